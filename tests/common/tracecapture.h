#pragma once

#include <QMessageLogContext>
#include <QStringList>
#include <QtGlobal>

// Collects the trace lines written while it is alive, so tests can check what was (and was not)
// traced. Not thread-safe: for traces written on the test's own thread.
class TraceCapture
{
public:
    TraceCapture()
    {
        previous = qInstallMessageHandler(&TraceCapture::handler);
        current = this;
    }
    ~TraceCapture()
    {
        qInstallMessageHandler(previous);
        current = nullptr;
    }
    TraceCapture(const TraceCapture &) = delete;
    TraceCapture &operator=(const TraceCapture &) = delete;

    const QStringList &lines() const { return captured; }
    bool contains(const QString &text) const { return captured.contains(text); }
    int count(const QString &text) const { return captured.count(text); }
    void clear() { captured.clear(); }

private:
    static void handler(QtMsgType, const QMessageLogContext &, const QString &message)
    {
        if (current)
            current->captured << message;
    }

    inline static TraceCapture *current = nullptr;
    QtMessageHandler previous = nullptr;
    QStringList captured;
};
