#include "jackvirtualdevice.h"

#include <jack/midiport.h>

#include <QtGlobal>

#include <algorithm>
#include <cerrno>

namespace {

// Room for many patches, status answers and firmware records queued between two cycles.
constexpr size_t queueBytes = 1 << 18;

// A SysEx message longer than any the device takes is dropped as it grows.
constexpr int maxSysex = 1 << 16;

constexpr unsigned char sysexStart = 0xF0;
constexpr unsigned char sysexEnd = 0xF7;
constexpr unsigned char timingClock = 0xF8;
constexpr unsigned char activeSensing = 0xFE;

} // namespace

bool JackVirtualDevice::openClient(const QString &clientName, QString *error)
{
    close();
    jack_status_t status{};
    // The name is the device's own; a second emulator would get another and not be found.
    client = jack_client_open(clientName.toUtf8().constData(),
                              JackOptions(JackNoStartServer | JackUseExactName), &status);
    if (!client) {
        *error = status & JackNameNotUnique
            ? QStringLiteral("a JACK client named \"%1\" is there already").arg(clientName)
            : QStringLiteral("cannot open a JACK client (status 0x%1): is the JACK server "
                             "running?")
                  .arg(unsigned(status), 0, 16);
        return false;
    }
    return true;
}

QStringList JackVirtualDevice::ports(bool sources) const
{
    QStringList names;
    if (!client)
        return names;
    const char **found = jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE,
                                        sources ? JackPortIsOutput : JackPortIsInput);
    for (const char **port = found; port && *port; ++port)
        names << QString::fromUtf8(*port);
    jack_free(found);
    return names;
}

bool JackVirtualDevice::openPorts(Receiver receive, QString *error)
{
    receiver = std::move(receive);
    outQueue = jack_ringbuffer_create(queueBytes);
    inQueue = jack_ringbuffer_create(queueBytes);
    semaphoreMade = sem_init(&arrived, 0, 0) == 0;
    out = jack_port_register(client, "midi_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    in = jack_port_register(client, "midi_in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    if (!client || !outQueue || !inQueue || !semaphoreMade || !out || !in
        || jack_set_process_callback(client, &process, this) != 0) {
        *error = QStringLiteral("cannot register the JACK ports");
        close();
        return false;
    }
    reader = std::thread(&JackVirtualDevice::readLoop, this);
    if (jack_activate(client) != 0) {
        *error = QStringLiteral("cannot activate the JACK client");
        close();
        return false;
    }
    return true;
}

bool JackVirtualDevice::send(const QByteArray &message, size_t keepFree)
{
    const quint32 size = quint32(message.size());
    if (!out || size == 0 || jack_ringbuffer_write_space(outQueue) < sizeof size + size + keepFree)
        return false;
    // Single writer, single reader: the callback takes a message only once all of it is here.
    jack_ringbuffer_write(outQueue, reinterpret_cast<const char *>(&size), sizeof size);
    jack_ringbuffer_write(outQueue, message.constData(), size);
    return true;
}

void JackVirtualDevice::close()
{
    if (client) {
        // Returns once the callback has run for the last time; closing the client then removes
        // its ports, and only then is what the callback used freed.
        jack_deactivate(client);
        jack_client_close(client);
        client = nullptr;
        in = nullptr;
        out = nullptr;
    }
    if (reader.joinable()) {
        stopping.store(true);
        sem_post(&arrived);
        reader.join();
    }
    if (semaphoreMade) {
        sem_destroy(&arrived);
        semaphoreMade = false;
    }
    for (jack_ringbuffer_t **queue : {&outQueue, &inQueue}) {
        if (*queue) {
            jack_ringbuffer_free(*queue);
            *queue = nullptr;
        }
    }
    outLeft = 0;
    stopping.store(false);
}

// On the server's real-time thread: copies bytes and nothing else.
int JackVirtualDevice::process(jack_nframes_t frames, void *self)
{
    auto *device = static_cast<JackVirtualDevice *>(self);

    void *inBuffer = jack_port_get_buffer(device->in, frames);
    const uint32_t count = jack_midi_get_event_count(inBuffer);
    bool received = false;
    for (uint32_t i = 0; i < count; ++i) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, inBuffer, i) != 0 || event.size == 0)
            continue;
        const quint32 size = quint32(event.size);
        // An event that finds no room is lost whole, as on a cable that is overrun.
        if (jack_ringbuffer_write_space(device->inQueue) < sizeof size + size)
            continue;
        jack_ringbuffer_write(device->inQueue, reinterpret_cast<const char *>(&size), sizeof size);
        jack_ringbuffer_write(device->inQueue, reinterpret_cast<const char *>(event.buffer), size);
        received = true;
    }
    if (received)
        sem_post(&device->arrived);

    void *outBuffer = jack_port_get_buffer(device->out, frames);
    jack_midi_clear_buffer(outBuffer);
    for (;;) {
        if (device->outLeft == 0) {
            quint32 size = 0;
            if (jack_ringbuffer_peek(device->outQueue, reinterpret_cast<char *>(&size), sizeof size)
                    != sizeof size
                || jack_ringbuffer_read_space(device->outQueue) < sizeof size + size)
                break;
            jack_ringbuffer_read_advance(device->outQueue, sizeof size);
            device->outLeft = size;
        }
        // A message longer than the room left goes out in pieces, as SysEx may.
        const size_t piece = std::min(jack_midi_max_event_size(outBuffer), device->outLeft);
        if (piece == 0)
            break;
        jack_midi_data_t *event = jack_midi_event_reserve(outBuffer, 0, piece);
        if (!event)
            break;
        jack_ringbuffer_read(device->outQueue, reinterpret_cast<char *>(event), piece);
        device->outLeft -= piece;
        if (device->outLeft != 0)
            break;
    }
    return 0;
}

void JackVirtualDevice::readLoop()
{
    for (;;) {
        while (sem_wait(&arrived) != 0 && errno == EINTR) {
        }
        quint32 size = 0;
        while (jack_ringbuffer_peek(inQueue, reinterpret_cast<char *>(&size), sizeof size)
                   == sizeof size
               && jack_ringbuffer_read_space(inQueue) >= sizeof size + size) {
            jack_ringbuffer_read_advance(inQueue, sizeof size);
            QByteArray event(int(size), Qt::Uninitialized);
            jack_ringbuffer_read(inQueue, event.data(), size);
            gather(reinterpret_cast<const unsigned char *>(event.constData()), size);
        }
        if (stopping.load())
            return;
    }
}

void JackVirtualDevice::gather(const unsigned char *bytes, size_t size)
{
    // Clock and active sensing belong to no message, inside SysEx or not.
    QByteArray rest;
    for (size_t i = 0; i < size; ++i) {
        if (bytes[i] != timingClock && bytes[i] != activeSensing)
            rest += char(bytes[i]);
    }
    if (rest.isEmpty())
        return;
    const auto first = static_cast<unsigned char>(rest.front());
    if (first == sysexStart) {
        sysex = rest;
    } else if (!sysex.isEmpty() && (first < 0x80 || first == sysexEnd)) {
        // The next piece of a SysEx message that came in several events.
        sysex += rest;
    } else {
        // Any other status ends an unfinished SysEx message, which is dropped.
        sysex.clear();
        receiver(rest);
        return;
    }
    if (static_cast<unsigned char>(sysex.back()) == sysexEnd) {
        receiver(sysex);
        sysex.clear();
    } else if (sysex.size() > maxSysex) {
        sysex.clear();
    }
}
