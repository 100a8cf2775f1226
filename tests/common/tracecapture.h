#pragma once

#include <QLoggingCategory>
#include <QMessageLogContext>
#include <QMutex>
#include <QMutexLocker>
#include <QStringList>
#include <QtGlobal>

// Collects the trace lines written while it is alive, so tests can check what was (and was not)
// traced, also by other threads (the MIDI input threads), which may go on tracing while it is
// destroyed. Create it on the test's thread. The program's trace category, quiet by default, is
// on while a capture is alive.
class TraceCapture
{
public:
    TraceCapture()
    {
        QMutexLocker lock(&handlerMutex);
        previous = qInstallMessageHandler(&TraceCapture::handler);
        current = this;
        QLoggingCategory::setFilterRules(QStringLiteral("vellichord.debug=true"));
    }
    ~TraceCapture()
    {
        // Once this lock is taken no handler call is inside the capture, and none gets in.
        QMutexLocker lock(&handlerMutex);
        QLoggingCategory::setFilterRules(QString());
        qInstallMessageHandler(previous);
        current = nullptr;
    }
    TraceCapture(const TraceCapture &) = delete;
    TraceCapture &operator=(const TraceCapture &) = delete;

    QStringList lines() const
    {
        QMutexLocker lock(&mutex);
        return captured;
    }
    bool contains(const QString &text) const { return lines().contains(text); }
    int count(const QString &text) const { return lines().count(text); }
    void clear()
    {
        QMutexLocker lock(&mutex);
        captured.clear();
    }

private:
    static void handler(QtMsgType, const QMessageLogContext &, const QString &message)
    {
        QMutexLocker lock(&handlerMutex);
        if (current) {
            QMutexLocker listLock(&current->mutex);
            current->captured << message;
        }
    }

    // Guards current and every handler call against a capture being destroyed meanwhile.
    inline static QMutex handlerMutex;
    inline static TraceCapture *current = nullptr;
    QtMessageHandler previous = nullptr;
    mutable QMutex mutex;
    QStringList captured;
};
