#include "alsaannounce.h"
#include "miditrace.h"

#include <QDebug>
#include <QSocketNotifier>

#ifdef VELLICHORD_HAVE_ALSA
#include <alsa/asoundlib.h>

#include <cerrno>
#include <poll.h>
#endif

AlsaAnnounce::~AlsaAnnounce()
{
    // The notifiers go before the descriptors they watch.
    notifiers.clear();
#ifdef VELLICHORD_HAVE_ALSA
    if (seq)
        snd_seq_close(seq);
#endif
}

bool AlsaAnnounce::available()
{
#ifdef VELLICHORD_HAVE_ALSA
    return true;
#else
    return false;
#endif
}

std::unique_ptr<AlsaAnnounce> AlsaAnnounce::open(std::function<void()> changed)
{
#ifdef VELLICHORD_HAVE_ALSA
    std::unique_ptr<AlsaAnnounce> announce(new AlsaAnnounce);
    announce->changed = std::move(changed);
    // Non-blocking: readEvents takes what is queued and never waits for more.
    if (snd_seq_open(&announce->seq, "default", SND_SEQ_OPEN_INPUT, SND_SEQ_NONBLOCK) < 0) {
        announce->seq = nullptr;
        return nullptr;
    }
    snd_seq_set_client_name(announce->seq, "Vellichord Editor watcher");
    // Written to by the announce port only: not offered to other programs.
    const int port = snd_seq_create_simple_port(
        announce->seq, "announce",
        SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE | SND_SEQ_PORT_CAP_NO_EXPORT,
        SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (port < 0
        || snd_seq_connect_from(announce->seq, port, SND_SEQ_CLIENT_SYSTEM,
                                SND_SEQ_PORT_SYSTEM_ANNOUNCE)
            < 0) {
        qCDebug(lcMidiTrace) << "MIDI error: the ALSA sequencer announces nothing";
        return nullptr;
    }
    const int count = snd_seq_poll_descriptors_count(announce->seq, POLLIN);
    if (count <= 0)
        return nullptr;
    std::vector<pollfd> descriptors(static_cast<size_t>(count));
    const int filled = snd_seq_poll_descriptors(announce->seq, descriptors.data(), unsigned(count),
                                                POLLIN);
    for (int i = 0; i < filled; ++i) {
        auto notifier = std::make_unique<QSocketNotifier>(descriptors[size_t(i)].fd,
                                                          QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, announce.get(),
                         &AlsaAnnounce::readEvents);
        announce->notifiers.push_back(std::move(notifier));
    }
    if (announce->notifiers.empty())
        return nullptr;
    return announce;
#else
    (void)changed;
    return nullptr;
#endif
}

void AlsaAnnounce::setChanged(std::function<void()> function)
{
    changed = std::move(function);
}

bool AlsaAnnounce::tellsOfChange(int eventType)
{
#ifdef VELLICHORD_HAVE_ALSA
    switch (eventType) {
    case SND_SEQ_EVENT_CLIENT_START:
    case SND_SEQ_EVENT_CLIENT_EXIT:
    case SND_SEQ_EVENT_CLIENT_CHANGE:
    case SND_SEQ_EVENT_PORT_START:
    case SND_SEQ_EVENT_PORT_EXIT:
    case SND_SEQ_EVENT_PORT_CHANGE:
    case SND_SEQ_EVENT_PORT_SUBSCRIBED:
    case SND_SEQ_EVENT_PORT_UNSUBSCRIBED:
        return true;
    default:
        return false;
    }
#else
    (void)eventType;
    return false;
#endif
}

void AlsaAnnounce::readEvents()
{
#ifdef VELLICHORD_HAVE_ALSA
    bool told = false;
    for (;;) {
        snd_seq_event_t *event = nullptr;
        // Returns the events left in the input buffer, -EAGAIN once nothing is queued, and
        // -ENOSPC when the queue overran: events were lost, so something may have changed.
        const int left = snd_seq_event_input(seq, &event);
        if (left == -ENOSPC) {
            told = true;
            continue;
        }
        if (left < 0)
            break;
        if (event && tellsOfChange(event->type))
            told = true;
    }
    if (told && changed)
        changed();
#endif
}
