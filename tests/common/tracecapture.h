#pragma once

#include <QMessageLogContext>
#include <QMutex>
#include <QMutexLocker>
#include <QStringList>
#include <QtGlobal>

#include <atomic>

// Collects the trace lines written while it is alive, so tests can check what was (and was not)
// traced, also by other threads (the MIDI input threads). Create it on the test's thread.
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
        // Threads that trace must have stopped before the capture is destroyed.
        if (TraceCapture *capture = current.load()) {
            QMutexLocker lock(&capture->mutex);
            capture->captured << message;
        }
    }

    inline static std::atomic<TraceCapture *> current{nullptr};
    QtMessageHandler previous = nullptr;
    mutable QMutex mutex;
    QStringList captured;
};
