#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

class QSocketNotifier;
typedef struct _snd_seq snd_seq_t;

// Tells of the ALSA sequencer's clients and ports as they start, exit or change, and of
// subscriptions made or undone between them. A sequencer client of its own, with one port
// subscribed to the system's announce port, receives what the sequencer announces; the event
// loop of the thread that opened it reads it once its descriptor turns readable, so nothing
// wakes while nothing changes.
class AlsaAnnounce : public QObject
{
    Q_OBJECT

public:
    ~AlsaAnnounce() override;

    // Whether the program was built with libasound; without it nothing can be opened.
    static bool available();

    // The client, subscribed to the announce port, or null when the system has no sequencer
    // (or it refused the client or the subscription). changed is called in this thread.
    static std::unique_ptr<AlsaAnnounce> open(std::function<void()> changed);

    void setChanged(std::function<void()> changed);

private:
    // Whether an event is one of those that changed is called for.
    static bool tellsOfChange(int eventType);

    AlsaAnnounce() = default;
    // Reads every event queued; calls changed once when any of them told of a change.
    void readEvents();

    snd_seq_t *seq = nullptr;
    std::vector<std::unique_ptr<QSocketNotifier>> notifiers;
    std::function<void()> changed;
};
