#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QMutex>
#include <QMutexLocker>

#include <jack/jack.h>
#include <jack/midiport.h>

#include <atomic>
#include <stdexcept>

// The device's side of the ports as a JACK client of its own, on libjack: an output port the
// editor reads from and an input port it writes to, either of which may be left out. It sends
// queued messages as single events, or floods an endless SysEx message, filling every cycle.
class JackPeer
{
public:
    // Ports named outPort and inPort on a client named client; an empty name leaves it out.
    JackPeer(const char *client, const char *outPort = "midi_out", const char *inPort = "midi_in")
    {
        jack = jack_client_open(client, JackNoStartServer, nullptr);
        if (!jack)
            throw std::runtime_error("no JACK server for the peer");
        if (*outPort)
            out = jack_port_register(jack, outPort, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        if (*inPort)
            in = jack_port_register(jack, inPort, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        jack_set_process_callback(jack, &JackPeer::process, this);
        jack_activate(jack);
    }
    ~JackPeer() { jack_client_close(jack); }
    JackPeer(const JackPeer &) = delete;
    JackPeer &operator=(const JackPeer &) = delete;

    // Sent as one event in one of the next cycles.
    void send(const QByteArray &event)
    {
        QMutexLocker lock(&mutex);
        outgoing << event;
    }

    // An F0 and then data bytes, as many as each cycle takes, until stopFlood.
    void startFlood() { flooding.store(true); }
    void stopFlood() { flooding.store(false); }
    unsigned long long floodBytes() const { return flooded.load(); }

    QByteArray received() const
    {
        QMutexLocker lock(&mutex);
        return incoming;
    }

private:
    static int process(jack_nframes_t frames, void *self)
    {
        auto *peer = static_cast<JackPeer *>(self);
        QMutexLocker lock(&peer->mutex);
        if (peer->in) {
            void *buffer = jack_port_get_buffer(peer->in, frames);
            const uint32_t count = jack_midi_get_event_count(buffer);
            for (uint32_t i = 0; i < count; ++i) {
                jack_midi_event_t event;
                if (jack_midi_event_get(&event, buffer, i) == 0)
                    peer->incoming.append(reinterpret_cast<const char *>(event.buffer),
                                          int(event.size));
            }
        }
        if (peer->out) {
            void *buffer = jack_port_get_buffer(peer->out, frames);
            jack_midi_clear_buffer(buffer);
            while (!peer->outgoing.isEmpty()) {
                const QByteArray &event = peer->outgoing.first();
                if (jack_midi_event_write(buffer, 0,
                                          reinterpret_cast<const jack_midi_data_t *>(event.data()),
                                          size_t(event.size()))
                    != 0)
                    break;
                peer->outgoing.removeFirst();
            }
            if (peer->flooding.load()) {
                const size_t room = jack_midi_max_event_size(buffer);
                if (jack_midi_data_t *bytes = jack_midi_event_reserve(buffer, 0, room)) {
                    for (size_t i = 0; i < room; ++i)
                        bytes[i] = jack_midi_data_t(i % 0x80);
                    if (peer->flooded.load() == 0)
                        bytes[0] = 0xF0;
                    peer->flooded.fetch_add(room);
                }
            }
        }
        return 0;
    }

    jack_client_t *jack = nullptr;
    jack_port_t *out = nullptr;
    jack_port_t *in = nullptr;
    mutable QMutex mutex;
    QByteArrayList outgoing;
    QByteArray incoming;
    std::atomic<bool> flooding{false};
    std::atomic<unsigned long long> flooded{0};
};
