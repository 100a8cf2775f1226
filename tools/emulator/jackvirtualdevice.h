#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <jack/jack.h>
#include <jack/ringbuffer.h>

#include <semaphore.h>

#include <atomic>
#include <functional>
#include <thread>

// The emulated device's ports on a JACK server, through libjack itself: one client, named as the
// device's ports are ("Vellichord"), with an output port the editor reads from ("midi_out") and
// an input port it writes to ("midi_in"). The process callback only copies bytes through ring
// buffers; a reader thread of its own reassembles what arrives into messages and hands each to
// the receiver. Closing deactivates the client before anything the callback uses is freed.
class JackVirtualDevice
{
public:
    // Called on the reader thread with each message received: a whole SysEx message, however
    // many events carried it, or a short message. Clock and active sensing are left out.
    using Receiver = std::function<void(const QByteArray &message)>;

    JackVirtualDevice() = default;
    ~JackVirtualDevice() { close(); }
    JackVirtualDevice(const JackVirtualDevice &) = delete;
    JackVirtualDevice &operator=(const JackVirtualDevice &) = delete;

    // Opens the client without its ports, so that the server's ports can be listed first. On
    // failure nothing stays open and error says why.
    bool openClient(const QString &clientName, QString *error);
    // The full names of the server's MIDI ports that send (sources) or receive.
    QStringList ports(bool sources) const;
    // Registers the two ports, starts the reader and activates the client.
    bool openPorts(Receiver receiver, QString *error);
    // Queues message for the next cycle; false when the ports are not open or the queue is
    // full, or would keep less than keepFree bytes free. A message longer than a cycle's MIDI
    // buffer holds goes out in pieces.
    bool send(const QByteArray &message, size_t keepFree = 0);
    void close();

private:
    static int process(jack_nframes_t frames, void *self);
    void readLoop();
    // Adds the bytes of one received event to the message being gathered.
    void gather(const unsigned char *bytes, size_t size);

    jack_client_t *client = nullptr;
    jack_port_t *in = nullptr;
    jack_port_t *out = nullptr;
    // Each message as its size (a quint32) followed by its bytes, both ways.
    jack_ringbuffer_t *outQueue = nullptr;
    jack_ringbuffer_t *inQueue = nullptr;
    // Bytes of the message being sent still to go out; the process thread's own.
    size_t outLeft = 0;
    sem_t arrived{};
    bool semaphoreMade = false;
    std::thread reader;
    std::atomic<bool> stopping{false};
    Receiver receiver;
    // The reader thread's own.
    QByteArray sysex;
};
