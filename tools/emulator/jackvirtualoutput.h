#pragma once

#include <QByteArray>
#include <QString>

#include <jack/jack.h>
#include <jack/ringbuffer.h>

// A MIDI output port that others connect to, on a JACK client of its own, through libjack
// itself. send() queues a message in a ring buffer; the client's process callback moves the
// queued messages into the port each cycle. Closing deactivates the client before anything the
// callback uses is freed. RtMidi's JACK output frees its ring buffer while its client still
// runs cycles, so a cycle under way then reads freed memory and the program crashes on exit.
class JackVirtualOutput
{
public:
    JackVirtualOutput() = default;
    ~JackVirtualOutput() { close(); }
    JackVirtualOutput(const JackVirtualOutput &) = delete;
    JackVirtualOutput &operator=(const JackVirtualOutput &) = delete;

    // Opens a client named clientName (or JACK's variant of it when taken) with an output port
    // portName. On failure nothing stays open and error says why.
    bool open(const char *clientName, const QString &portName, QString *error);
    // Queues message for the next cycle; false when the port is not open or the queue is full.
    // A message longer than a cycle's MIDI buffer can hold is dropped there; one that only
    // finds the buffer full goes in the next cycle.
    bool send(const QByteArray &message);
    void close();

private:
    static int process(jack_nframes_t frames, void *self);

    jack_client_t *client = nullptr;
    jack_port_t *port = nullptr;
    // Each message as its size (a quint32) followed by its bytes.
    jack_ringbuffer_t *queue = nullptr;
};
