#include "jackport.h"
#include "miditrace.h"

#include "jackcall.h"
#include "jacklister.h"
#include "rtmidiapi.h"
#include "rtmidiport.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QThread>

#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>

#include <semaphore.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <thread>

namespace {

const char clientName[] = "Vellichord Editor";
const char listerName[] = "Vellichord Editor lister";

// Room for sendSysex's messages, each with its length in front.
constexpr size_t outRingBytes = 1u << 16;

// JACK makes a new connection live only from one of its next cycles, and a message sent before
// then is lost. Three cycles of the port's own are certain to come after the connect; the time
// limit covers a server whose cycles have stopped.
constexpr int connectSettleCycles = 3;
// Cycles that pass after the last message sent before the connection is closed.
constexpr unsigned int closeSettleCycles = 2;
constexpr qint64 connectSettleLimitMs = 200;

// How long sendSysex waits for a cycle to take the message while the server is slow.
constexpr qint64 sendWaitMs = 1000;

// The drops of a flood are summed up in the trace, once a second at most.
constexpr qint64 dropTraceIntervalMs = 1000;

// Keeps libjack's own messages off the terminal while ports are listed again and again.
class QuietJack
{
public:
    QuietJack()
        : before(set_midi_system_quiet(true))
    {
    }
    ~QuietJack() { set_midi_system_quiet(before); }
    QuietJack(const QuietJack &) = delete;
    QuietJack &operator=(const QuietJack &) = delete;

private:
    const bool before;
};

// Full names of the server's MIDI ports with the given flags.
QStringList jackPorts(jack_client_t *client, unsigned long flags)
{
    QStringList names;
    const char **ports = jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, flags);
    for (const char **port = ports; port && *port; ++port)
        names << QString::fromUtf8(*port);
    jack_free(ports);
    return names;
}

bool namesMatch(const QString &reported, const QString &portName)
{
    return RtMidiPort::portNameMatches(reported, portName, false);
}

} // namespace

// One client on the server with its two ports, and what runs beside it: the process callback on
// the server's thread and the reader thread that empties the input ring into the pipe.
struct JackPort::Connection
{
    Connection(MidiBytePipe &pipe, unsigned int bound, std::atomic<unsigned long long> &dropped,
               std::shared_ptr<JackNotice> notice)
        : pipe(pipe)
        , bound(bound)
        , dropped(dropped)
        , notice(std::move(notice))
    {
        sem_init(&arrived, 0, 0);
    }
    ~Connection()
    {
        stopReader();
        if (client)
            jack_client_close(client);
        if (inRing)
            jack_ringbuffer_free(inRing);
        if (outRing)
            jack_ringbuffer_free(outRing);
        sem_destroy(&arrived);
    }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // Registers the ports, activates the client and connects it to the device's ports; all of
    // them requests to the server. Its output's peer goes to outputName.
    bool attach(const QString &portName);
    bool setUp();
    void startReader();
    void stopReader();
    static int process(jack_nframes_t frames, void *self);
    static void shutDown(jack_status_t, const char *, void *self);
    static void portRegistered(jack_port_id_t, int, void *self);
    static void portConnected(jack_port_id_t, jack_port_id_t, int, void *self);
    void readLoop();
    // Moves what the ring holds into the pipe, within the bound.
    void drainRing();
    void traceDrops(bool now);

    MidiBytePipe &pipe;
    const unsigned int bound;
    std::atomic<unsigned long long> &dropped;
    // Posted from libjack's notification thread when ports change or the server stops.
    const std::shared_ptr<JackNotice> notice;

    jack_client_t *client = nullptr;
    jack_port_t *in = nullptr;
    jack_port_t *out = nullptr;
    jack_ringbuffer_t *inRing = nullptr;
    jack_ringbuffer_t *outRing = nullptr;
    QString outputName;
    // Posted by the process callback when it put bytes into the ring, and to end the reader.
    sem_t arrived;
    std::thread reader;
    std::atomic<bool> stopping{false};
    // Set by libjack when the server has gone; the client is dead then.
    std::atomic<bool> shutdown{false};
    std::atomic<unsigned int> cycles{0};
    // The cycle count when the last message sent had been taken; a close waits for the
    // cycles after it.
    unsigned int cyclesAtLastSend = 0u - closeSettleCycles;
    // Bytes the callback found no room for, not yet counted in dropped.
    std::atomic<unsigned long long> ringDropped{0};
    // Bytes of the message being sent that are still to go out; the process thread's own.
    size_t outLeft = 0;
    // Message bytes put into the output ring, and those a cycle has taken out to the server.
    unsigned long long written = 0;
    std::atomic<unsigned long long> taken{0};
    // A message that sendSysex gave up on is not sent late: the callback skips whole messages
    // that end at or before this count.
    std::atomic<unsigned long long> givenUp{0};

    // The reader thread's own.
    unsigned long long dropsNotTraced = 0;
    QElapsedTimer sinceDropTrace;
    bool shutdownTraced = false;
};

bool JackPort::Connection::setUp()
{
    in = jack_port_register(client, "input", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    out = jack_port_register(client, "output", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    inRing = jack_ringbuffer_create(JackPort::ringBytes);
    outRing = jack_ringbuffer_create(outRingBytes);
    if (!in || !out || !inRing || !outRing)
        return false;
    // The callback runs in the server's cycles: nothing it touches may be paged out.
    jack_ringbuffer_mlock(inRing);
    jack_ringbuffer_mlock(outRing);
    jack_set_process_callback(client, &Connection::process, this);
    jack_on_info_shutdown(client, &Connection::shutDown, this);
    jack_set_port_registration_callback(client, &Connection::portRegistered, this);
    jack_set_port_connect_callback(client, &Connection::portConnected, this);
    // Until the reader starts, what arrives waits in the ring.
    return jack_activate(client) == 0;
}

bool JackPort::Connection::attach(const QString &portName)
{
    const QStringList sources = jackPorts(client, JackPortIsOutput);
    for (const QString &reported : sources)
        qCDebug(lcMidiTrace).noquote() << "Found input:" << reported;
    // Nothing is registered, and the server never wakes the client, unless the device is there.
    if (std::none_of(sources.begin(), sources.end(),
                     [&](const QString &reported) { return namesMatch(reported, portName); }))
        return false;
    if (!setUp()) {
        qWarning().noquote() << "MIDI not available: the JACK client cannot be set up";
        return false;
    }

    const QByteArray ownInput = jack_port_name(in);
    const auto connected = [&](const QString &reported) {
        if (jack_connect(client, reported.toUtf8().constData(), ownInput.constData()) == 0)
            return true;
        qCDebug(lcMidiTrace).noquote() << "Error opening input!" << reported;
        return false;
    };
    if (std::none_of(sources.begin(), sources.end(), [&](const QString &reported) {
            return namesMatch(reported, portName) && connected(reported);
        }))
        return false;
    qCDebug(lcMidiTrace) << "Midi input open";

    const QStringList destinations = jackPorts(client, JackPortIsInput);
    for (const QString &reported : destinations)
        qCDebug(lcMidiTrace).noquote() << "Found output:" << reported;
    const QByteArray ownOutput = jack_port_name(out);
    for (const QString &reported : destinations) {
        if (!namesMatch(reported, portName))
            continue;
        if (jack_connect(client, ownOutput.constData(), reported.toUtf8().constData()) == 0) {
            qCDebug(lcMidiTrace) << "Midi output open";
            outputName = reported;
            return true;
        }
        qCDebug(lcMidiTrace).noquote() << "Error opening output!" << reported;
    }
    return false;
}

void JackPort::Connection::startReader()
{
    reader = std::thread(&Connection::readLoop, this);
}

void JackPort::Connection::stopReader()
{
    if (!reader.joinable())
        return;
    stopping.store(true);
    sem_post(&arrived);
    reader.join();
}

// On the server's real-time thread: copies bytes and nothing else. No lock, no allocation, no
// trace.
int JackPort::Connection::process(jack_nframes_t frames, void *self)
{
    auto *c = static_cast<Connection *>(self);

    void *inBuffer = jack_port_get_buffer(c->in, frames);
    const uint32_t count = jack_midi_get_event_count(inBuffer);
    bool arrived = false;
    for (uint32_t i = 0; i < count; ++i) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, inBuffer, i) != 0 || event.size == 0)
            continue;
        // An event is queued whole or not at all.
        if (jack_ringbuffer_write_space(c->inRing) < event.size) {
            c->ringDropped.fetch_add(event.size, std::memory_order_relaxed);
            continue;
        }
        jack_ringbuffer_write(c->inRing, reinterpret_cast<const char *>(event.buffer), event.size);
        arrived = true;
    }
    if (arrived || c->ringDropped.load(std::memory_order_relaxed) != 0)
        sem_post(&c->arrived);

    void *outBuffer = jack_port_get_buffer(c->out, frames);
    jack_midi_clear_buffer(outBuffer);
    const size_t wholeCycle = jack_midi_max_event_size(outBuffer);
    for (;;) {
        if (c->outLeft == 0) {
            uint32_t length = 0;
            const size_t ready = jack_ringbuffer_read_space(c->outRing);
            if (ready < sizeof length)
                break;
            jack_ringbuffer_peek(c->outRing, reinterpret_cast<char *>(&length), sizeof length);
            // The writer puts the length in before the bytes.
            if (ready < sizeof length + length)
                break;
            jack_ringbuffer_read_advance(c->outRing, sizeof length);
            const unsigned long long end = c->taken.load(std::memory_order_relaxed) + length;
            if (end <= c->givenUp.load(std::memory_order_acquire)) {
                jack_ringbuffer_read_advance(c->outRing, length);
                c->taken.store(end, std::memory_order_release);
                continue;
            }
            c->outLeft = length;
            if (length == 0)
                continue;
        }
        const size_t room = jack_midi_max_event_size(outBuffer);
        // A message that fits into a cycle of its own waits for the next one rather than
        // being cut; a longer one goes out in pieces, as SysEx may.
        if (room == 0 || (room < c->outLeft && room < wholeCycle && c->outLeft <= wholeCycle))
            break;
        const size_t piece = std::min(room, c->outLeft);
        jack_midi_data_t *bytes = jack_midi_event_reserve(outBuffer, 0, piece);
        if (!bytes)
            break;
        jack_ringbuffer_read(c->outRing, reinterpret_cast<char *>(bytes), piece);
        c->outLeft -= piece;
        c->taken.fetch_add(piece, std::memory_order_release);
        if (c->outLeft != 0)
            break;
    }

    c->cycles.fetch_add(1, std::memory_order_release);
    return 0;
}

void JackPort::Connection::shutDown(jack_status_t, const char *, void *self)
{
    auto *c = static_cast<Connection *>(self);
    c->shutdown.store(true);
    sem_post(&c->arrived);
    c->notice->post();
}

void JackPort::Connection::portRegistered(jack_port_id_t, int, void *self)
{
    static_cast<Connection *>(self)->notice->post();
}

void JackPort::Connection::portConnected(jack_port_id_t, jack_port_id_t, int, void *self)
{
    static_cast<Connection *>(self)->notice->post();
}

void JackPort::Connection::readLoop()
{
    for (;;) {
        if (dropsNotTraced == 0) {
            while (sem_wait(&arrived) != 0 && errno == EINTR) {
            }
        } else {
            // Drops not yet told are told once their second is over, flood or not.
            timespec until{};
            clock_gettime(CLOCK_REALTIME, &until);
            until.tv_sec += 1;
            while (sem_timedwait(&arrived, &until) != 0 && errno == EINTR) {
            }
        }
        drainRing();
        if (shutdown.load() && !shutdownTraced) {
            shutdownTraced = true;
            qCDebug(lcMidiTrace) << "MIDI error: the JACK server has stopped";
        }
        if (stopping.load()) {
            traceDrops(true);
            return;
        }
        traceDrops(false);
    }
}

void JackPort::Connection::drainRing()
{
    unsigned long long lost = ringDropped.exchange(0, std::memory_order_relaxed);
    jack_ringbuffer_data_t parts[2];
    jack_ringbuffer_get_read_vector(inRing, parts);
    size_t taken = 0;
    for (const jack_ringbuffer_data_t &part : parts) {
        if (part.len == 0)
            continue;
        const unsigned int pending = pipe.pending();
        const size_t room = pending < bound ? bound - pending : 0;
        const size_t kept = std::min(room, part.len);
        if (pipe.inputRunning())
            pipe.append(reinterpret_cast<const unsigned char *>(part.buf), unsigned(kept));
        lost += part.len - kept;
        taken += part.len;
    }
    jack_ringbuffer_read_advance(inRing, taken);
    if (lost != 0) {
        dropped.fetch_add(lost);
        dropsNotTraced += lost;
    }
}

void JackPort::Connection::traceDrops(bool now)
{
    if (dropsNotTraced == 0
        || (!now && sinceDropTrace.isValid() && sinceDropTrace.elapsed() < dropTraceIntervalMs))
        return;
    qCDebug(lcMidiTrace) << "MIDI input: dropped" << dropsNotTraced
                         << "received bytes, more than the reader takes";
    dropsNotTraced = 0;
    sinceDropTrace.restart();
}

JackPort::JackPort(unsigned int bound)
    : m_bound(bound)
    , m_notice(std::make_shared<JackNotice>())
    , m_waitLimit(JackCall::defaultLimitMs)
{
    route_midi_system_messages();
}

JackPort::~JackPort()
{
    disconnect();
}

bool JackPort::connect(const char *portName)
{
    // Clients whose server may have stopped are closed before a new one is opened (see
    // portPresent); the port's own client lists the ports from now on.
    disconnect();
    if (m_lister && !m_lister->close()) {
        m_lister.reset();
        traceStall();
        return false;
    }
    // A server known to be stalled is not waited for again; an open left unanswered before
    // is taken up by a later connect, once the server answers.
    const int openWait = waitLimit();
    m_lister.reset();
    jack_client_t *client = openClient(openWait);
    if (!client)
        return false;

    // Every step from here is a request to the server, which may stall under any of them.
    auto *connection = new Connection(m_pipe, m_bound, m_dropped, m_notice);
    connection->client = client;
    auto attached = std::make_shared<bool>(false);
    JackCall attach(
        [connection, attached, name = QString::fromLocal8Bit(portName)] {
            *attached = connection->attach(name);
        },
        [connection] {
            set_midi_system_quiet(true);
            delete connection;
        });
    if (!attach.wait(m_waitLimit) && attach.giveUp()) {
        traceStall();
        return false;
    }
    std::unique_ptr<Connection> owned(connection);
    if (!*attached) {
        closeClient(std::move(owned));
        return false;
    }
    m_pipe.setInputRunning(true);
    owned->startReader();
    m_connection = std::move(owned);
    m_outputName = m_connection->outputName;
    m_connectedName = portName;
    m_serverStopped = false;
    m_stalled = false;

    // Callers send at once: the patch request at start-up, the update code in the handshake.
    const unsigned int start = m_connection->cycles.load(std::memory_order_acquire);
    QElapsedTimer waited;
    waited.start();
    while (m_connection->cycles.load(std::memory_order_acquire) - start < connectSettleCycles
           && waited.elapsed() < connectSettleLimitMs && !m_connection->shutdown.load())
        QThread::msleep(1);
    return true;
}

jack_client_t *JackPort::openClient(int waitMs)
{
    // An open left unanswered before is only looked at again: the server that left it
    // unanswered holds up no caller twice.
    int wait = 0;
    if (!m_opening) {
        m_opening = std::make_unique<JackClientOpen>(clientName);
        wait = waitMs;
    }
    if (!m_opening->wait(wait)) {
        traceStall();
        return nullptr;
    }
    jack_client_t *client = m_opening->take();
    m_opening.reset();
    m_stalled = false;
    if (!client)
        qWarning().noquote() << "MIDI not available: no JACK server is running";
    return client;
}

void JackPort::traceStall()
{
    if (!m_stalled) {
        qCDebug(lcMidiTrace) << "MIDI error: the JACK server does not answer";
        // A stalled server tells nothing itself; the watcher learns it counts as stopped.
        m_stalled = true;
        m_notice->post();
    }
}

int JackPort::waitLimit() const
{
    // A server known to be stalled is not waited for again.
    return m_stalled || (m_lister && m_lister->serverStalledNow()) ? 0 : m_waitLimit;
}

void JackPort::closeClient(std::unique_ptr<Connection> connection)
{
    Connection *closed = connection.release();
    JackCall close([closed] {
        set_midi_system_quiet(true);
        delete closed;
    });
    // The call frees the connection whenever it returns.
    if (!close.wait(waitLimit()) && close.giveUp())
        traceStall();
}

void JackPort::closeConnection()
{
    std::unique_ptr<Connection> c = std::move(m_connection);
    if (c->shutdown.load()) {
        m_serverStopped = true;
        c->stopReader();
        m_pipe.setInputRunning(false);
        const QuietJack quiet;
        c.reset();
        return;
    }
    // A device whose client runs before this one in the server's cycle (it both sends to us
    // and receives from us) reads a message a cycle after it was taken: the connection stays
    // for that cycle, so that a message sent just before the close still arrives.
    QElapsedTimer waited;
    waited.start();
    while (c->cycles.load(std::memory_order_acquire) - c->cyclesAtLastSend < closeSettleCycles
           && waited.elapsed() < connectSettleLimitMs && !c->shutdown.load() && !m_stalled)
        QThread::msleep(1);
    // Once the deactivation returns the process callback runs no more, and the reader then
    // hands on what came before the close. A stalled server keeps the connection, with the
    // reader stopped, until it answers.
    Connection *raw = c.get();
    JackCall deactivate(
        [raw] {
            set_midi_system_quiet(true);
            jack_deactivate(raw->client);
        },
        [raw] {
            set_midi_system_quiet(true);
            delete raw;
        });
    const bool deactivated = deactivate.wait(waitLimit());
    c->stopReader();
    m_pipe.setInputRunning(false);
    if (!deactivated && deactivate.giveUp()) {
        c.release();
        traceStall();
        return;
    }
    closeClient(std::move(c));
}

void JackPort::disconnect()
{
    if (m_connection)
        closeConnection();
    m_outputName.clear();
    m_connectedName.clear();
}

int JackPort::read(unsigned char *buffer, unsigned int capacity)
{
    return m_pipe.read(buffer, capacity);
}

bool JackPort::dataAvailable()
{
    return m_pipe.dataAvailable();
}

bool JackPort::waitForData(unsigned long msecs)
{
    return m_pipe.waitForData(msecs);
}

void JackPort::wakeWaiter()
{
    m_pipe.wakeWaiter();
}

int JackPort::sendSysex(unsigned char *message, unsigned int count)
{
    if (!m_connection)
        return notConnected;
    Connection &c = *m_connection;
    if (c.shutdown.load()) {
        qCDebug(lcMidiTrace) << "MIDI error: the JACK server has stopped";
        return notConnected;
    }
    if (!connectionAlive()) {
        qCDebug(lcMidiTrace).noquote() << "MIDI error: the port" << m_outputName << "has gone";
        return notConnected;
    }
    if (!message || count == 0 || count > maxSendBytes)
        return sendFailed;

    const uint32_t length = count;
    // Short of room only while a stalled server has not taken earlier messages.
    if (jack_ringbuffer_write_space(c.outRing) < sizeof length + length) {
        qCDebug(lcMidiTrace) << "MIDI error: the JACK server takes no output";
        return sendFailed;
    }
    jack_ringbuffer_write(c.outRing, reinterpret_cast<const char *>(&length), sizeof length);
    jack_ringbuffer_write(c.outRing, reinterpret_cast<const char *>(message), length);
    c.written += length;

    // Sent means that a cycle has passed it to the server: a server that has just stopped
    // takes nothing, and that is no success. It costs at most a period's wait.
    QElapsedTimer waited;
    waited.start();
    while (c.taken.load(std::memory_order_acquire) < c.written) {
        if (c.shutdown.load()) {
            qCDebug(lcMidiTrace) << "MIDI error: the JACK server has stopped";
            return notConnected;
        }
        if (waited.elapsed() >= sendWaitMs) {
            qCDebug(lcMidiTrace) << "MIDI error: the JACK server takes no output";
            c.givenUp.store(c.written, std::memory_order_release);
            // Until a message goes again, the server counts as stalled.
            if (!m_stalled) {
                m_stalled = true;
                m_notice->post();
            }
            return sendFailed;
        }
        QThread::usleep(250);
    }
    c.cyclesAtLastSend = c.cycles.load(std::memory_order_acquire);
    m_stalled = false;
    return 0;
}

std::string JackPort::connectedName() const
{
    return m_connectedName;
}

std::string JackPort::systemName() const
{
    // The name RtMidi gives the same system, so that both JACK backends read alike.
    return RtMidi::getApiDisplayName(RtMidi::UNIX_JACK);
}

bool JackPort::connectionAlive()
{
    if (!m_connection || m_connection->shutdown.load() || m_outputName.isEmpty())
        return false;
    // A port that went and came back under the same name is not connected to this one.
    const QuietJack quiet;
    return jack_port_connected_to(m_connection->out, m_outputName.toUtf8().constData()) != 0;
}

bool JackPort::portPresent(const char *portName)
{
    // libjack 1.9 frees every client of a stopped server when another one is opened, and
    // closing one of them afterwards crashes. The dead client is closed first, by disconnect.
    if (m_connection && m_connection->shutdown.load())
        return false;
    const QuietJack quiet;
    QStringList names;
    if (m_connection) {
        names = jackPorts(m_connection->client, JackPortIsInput);
    } else {
        names = lister().destinations();
    }
    const QString name = QString::fromLocal8Bit(portName);
    return std::any_of(names.begin(), names.end(),
                       [&](const QString &reported) { return namesMatch(reported, name); });
}

std::vector<IMidi::ListedPort> JackPort::listPorts()
{
    if (m_connection && m_connection->shutdown.load())
        return {}; // see portPresent
    const QuietJack quiet;
    QStringList sources;
    QStringList destinations;
    if (m_connection) {
        sources = jackPorts(m_connection->client, JackPortIsOutput);
        destinations = jackPorts(m_connection->client, JackPortIsInput);
    } else {
        sources = lister().sources();
        destinations = lister().destinations();
    }
    std::vector<ListedPort> listed;
    for (const QString &name : qAsConst(sources))
        listed.push_back({name.toLocal8Bit().toStdString(), true});
    for (const QString &name : qAsConst(destinations))
        listed.push_back({name.toLocal8Bit().toStdString(), false});
    return listed;
}

bool JackPort::listedPortMatches(const std::string &listed, const char *portName) const
{
    return namesMatch(QString::fromLocal8Bit(listed.c_str()), QString::fromLocal8Bit(portName));
}

bool JackPort::watchPorts(std::function<void()> changed)
{
    const bool wanted = bool(changed);
    m_notice->set(std::move(changed));
    if (!wanted)
        return false;
    if (m_connection)
        return !m_connection->shutdown.load();
    // A dead connection's client is gone by now (see portPresent): the lister may open.
    return lister().watch();
}

bool JackPort::midiSystemStopped()
{
    return m_serverStopped || m_stalled || (m_connection && m_connection->shutdown.load())
        || (m_lister && m_lister->serverStalledNow());
}

void JackPort::setWaitLimit(int ms)
{
    m_waitLimit = ms;
    if (m_lister)
        m_lister->setWaitLimit(ms);
}

JackLister &JackPort::lister()
{
    if (!m_lister) {
        m_lister = std::make_unique<JackLister>(listerName, m_notice);
        m_lister->setWaitLimit(m_waitLimit);
        if (m_stalled)
            m_lister->assumeStalled();
    }
    return *m_lister;
}

unsigned int JackPort::bufferedBytes() const
{
    const size_t ring = m_connection ? jack_ringbuffer_read_space(m_connection->inRing) : 0;
    return m_pipe.pending() + unsigned(ring);
}

unsigned long long JackPort::droppedBytes() const
{
    return m_dropped.load();
}
