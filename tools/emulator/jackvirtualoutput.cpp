#include "jackvirtualoutput.h"

#include <jack/midiport.h>

#include <QtGlobal>

namespace {

// Room for many patches and status answers queued between two cycles.
constexpr size_t queueBytes = 1 << 16;

} // namespace

bool JackVirtualOutput::open(const char *clientName, const QString &portName, QString *error)
{
    close();
    jack_status_t status{};
    client = jack_client_open(clientName, JackNoStartServer, &status);
    if (!client) {
        *error = QStringLiteral("cannot open a JACK client (status 0x%1): is the JACK server "
                                "running?")
                     .arg(unsigned(status), 0, 16);
        return false;
    }
    queue = jack_ringbuffer_create(queueBytes);
    port = jack_port_register(client, portName.toUtf8().constData(), JACK_DEFAULT_MIDI_TYPE,
                              JackPortIsOutput, 0);
    if (!queue || !port || jack_set_process_callback(client, &process, this) != 0
        || jack_activate(client) != 0) {
        *error = QStringLiteral("cannot open the JACK port \"%1\"").arg(portName);
        close();
        return false;
    }
    return true;
}

bool JackVirtualOutput::send(const QByteArray &message)
{
    const quint32 size = quint32(message.size());
    if (!client || jack_ringbuffer_write_space(queue) < sizeof size + size)
        return false;
    // Single writer, single reader: the callback takes a message only once all of it is here.
    jack_ringbuffer_write(queue, reinterpret_cast<const char *>(&size), sizeof size);
    jack_ringbuffer_write(queue, message.constData(), size);
    return true;
}

void JackVirtualOutput::close()
{
    if (client) {
        // Returns once the callback has run for the last time; closing the client then removes
        // its port, and only then is the queue freed.
        jack_deactivate(client);
        jack_client_close(client);
        client = nullptr;
        port = nullptr;
    }
    if (queue) {
        jack_ringbuffer_free(queue);
        queue = nullptr;
    }
}

int JackVirtualOutput::process(jack_nframes_t frames, void *self)
{
    auto *output = static_cast<JackVirtualOutput *>(self);
    void *buffer = jack_port_get_buffer(output->port, frames);
    jack_midi_clear_buffer(buffer);
    const size_t cycleRoom = jack_midi_max_event_size(buffer);
    quint32 size = 0;
    while (jack_ringbuffer_peek(output->queue, reinterpret_cast<char *>(&size), sizeof size)
               == sizeof size
           && jack_ringbuffer_read_space(output->queue) >= sizeof size + size) {
        jack_midi_data_t *event = jack_midi_event_reserve(buffer, 0, size);
        // What no cycle can hold is dropped; what this one cannot hold any more waits.
        if (!event && size <= cycleRoom)
            break;
        jack_ringbuffer_read_advance(output->queue, sizeof size);
        if (event)
            jack_ringbuffer_read(output->queue, reinterpret_cast<char *>(event), size);
        else
            jack_ringbuffer_read_advance(output->queue, size);
    }
    return 0;
}
