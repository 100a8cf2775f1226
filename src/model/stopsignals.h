#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

// Turns SIGINT (Ctrl-C), SIGTERM (kill, logging out) and SIGHUP (a closed terminal) into the
// received() signal, emitted on the event loop of the thread that made the object, instead of
// ending the process on the spot. While several are alive the latest made gets the signals;
// destroyed (latest first), each puts back the handlers and the receiver it found. Where there are
// no such signals, or they cannot be caught, isActive() is false and nothing is ever received.
class StopSignals : public QObject
{
    Q_OBJECT

public:
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;

    bool isActive() const;

signals:
    // The number of the signal that arrived; a burst of them may come as one.
    void received(int signal);

private:
    struct Handlers;
    std::unique_ptr<Handlers> handlers;
    QSocketNotifier *notifier = nullptr;
};
