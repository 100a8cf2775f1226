#include "rtmidiport.h"
#include "miditrace.h"

#include "alsaannounce.h"
#include "jacklister.h"
#include "rtmidiapi.h"

#include <QDebug>
#include <QRegularExpression>
#include <QThread>

#include <RtMidi.h>

#include <algorithm>
#include <climits>
#include <cstdio>

#if defined(__APPLE__)
#include <mach/mach.h>
#else
#include <unistd.h>
#endif

namespace {

// Name of this program's own clients and ports on the MIDI system.
const char clientName[] = "Vellichord Editor";
// JACK renames a second client of a name; the lister keeps out of the ports' way.
const char jackListerName[] = "Vellichord Editor lister";

// JACK makes a new connection live only from one of its next cycles, and a message sent
// before then is lost (seen as 1 connect in 100 on a busy machine). The wait covers a few
// cycles of even a long period (2048 frames at 48 kHz last 43 ms).
constexpr unsigned long jackConnectSettleMs = 100;

// RtMidi 5's JACK output frees its message buffer before it closes its client, and a process
// cycle that began before the port closed may still be reading that buffer: a crash, seen
// once while the updater reconnected. Closing the port first and letting that cycle end
// (one cycle of even a long period, as above) before the client goes keeps clear of it.
constexpr unsigned long jackCloseSettleMs = 50;

// Largest message buffer of RtMidi's that the input callback lets it keep.
constexpr std::size_t retainedMessageBound = 64 * 1024;

void traceError(RtMidiError::Type, const std::string &text, void *)
{
    qCDebug(lcMidiTrace).noquote() << "MIDI error:" << text.c_str();
}

void traceSendError(RtMidiError::Type type, const std::string &text, void *failed)
{
    traceError(type, text, nullptr);
    if (type != RtMidiError::WARNING && type != RtMidiError::DEBUG_WARNING)
        static_cast<std::atomic<bool> *>(failed)->store(true);
}

void ignoreError(RtMidiError::Type, const std::string &, void *) {}

// Keeps libjack's own messages off the terminal while ports are listed again and again.
class QuietMidiSystem
{
public:
    QuietMidiSystem()
        : before(set_midi_system_quiet(true))
    {
    }
    ~QuietMidiSystem() { set_midi_system_quiet(before); }
    QuietMidiSystem(const QuietMidiSystem &) = delete;
    QuietMidiSystem &operator=(const QuietMidiSystem &) = delete;

private:
    const bool before;
};

// Names of the ports the client offers, in RtMidi's index order; each is traced.
QStringList tracedPorts(RtMidi &client, const char *trace)
{
    QStringList names;
    const unsigned int count = client.getPortCount();
    for (unsigned int i = 0; i < count; ++i) {
        names << QString::fromStdString(client.getPortName(i));
        qCDebug(lcMidiTrace).noquote() << trace << names.last();
    }
    return names;
}

// The process's resident memory in bytes, or 0 where it is not known.
std::size_t residentBytes()
{
#if defined(__linux__)
    std::FILE *statm = std::fopen("/proc/self/statm", "r");
    if (!statm)
        return 0;
    unsigned long size = 0;
    unsigned long resident = 0;
    const bool read = std::fscanf(statm, "%lu %lu", &size, &resident) == 2;
    std::fclose(statm);
    return read ? std::size_t(resident) * std::size_t(sysconf(_SC_PAGESIZE)) : 0;
#elif defined(__APPLE__)
    mach_task_basic_info_data_t info{};
    mach_msg_type_number_t count = MACH_TASK_BASIC_INFO_COUNT;
    if (task_info(mach_task_self(), MACH_TASK_BASIC_INFO, reinterpret_cast<task_info_t>(&info),
                  &count)
        != KERN_SUCCESS)
        return 0;
    return std::size_t(info.resident_size);
#else
    return 0;
#endif
}

} // namespace

RtMidiPort::RtMidiPort(Api api)
    : m_api(api)
{
}

RtMidiPort::~RtMidiPort()
{
    disconnect();
}

bool RtMidiPort::portNameMatches(const QString &reported, const QString &portName, bool alsa)
{
    if (portName.isEmpty())
        return false;
    QString name = reported;
    if (alsa)
        name.remove(QRegularExpression(QStringLiteral(" \\d+:\\d+$")));
    if (name == portName)
        return true;
    const int colon = name.indexOf(QLatin1Char(':'));
    return colon >= 0 && (name.left(colon) == portName || name.mid(colon + 1) == portName);
}

bool RtMidiPort::connect(const char *portName)
{
    const QString name = QString::fromLocal8Bit(portName);
    if (!openInput(name))
        return false;
    if (!openOutput(name)) {
        disconnect();
        return false;
    }
    m_connectedName = portName;
    // The output client lists the ports from now on.
    m_lister.reset();
    // Callers send at once: the patch request at start-up, the update code in the handshake.
    if (m_out->getCurrentApi() == RtMidi::UNIX_JACK)
        QThread::msleep(jackConnectSettleMs);
    return true;
}

bool RtMidiPort::openInput(const QString &portName)
{
    std::unique_ptr<RtMidiIn> in = create_midi_client<RtMidiIn>(m_api == Api::Jack, clientName);
    if (!in)
        return false;
    in->setErrorCallback(&traceError);
    const bool alsa = in->getCurrentApi() == RtMidi::LINUX_ALSA;
    const QStringList names = tracedPorts(*in, "Found input:");

    // Receive everything: the MIDI monitor lists clock and active sensing too (hidden until
    // asked for), and a real-time byte costs the input monitor next to nothing.
    in->ignoreTypes(false, false, false);
    in->setCallback(&RtMidiPort::inputCallback, this);
    for (int i = 0; i < names.size(); ++i) {
        if (!portNameMatches(names[i], portName, alsa))
            continue;
        m_pipe.setInputRunning(true);
        in->openPort(unsigned(i), "input");
        if (in->isPortOpen()) {
            qCDebug(lcMidiTrace) << "Midi input open";
            m_in = std::move(in);
            m_inputMessagesSeen = m_inputMessages.load(std::memory_order_relaxed);
            m_memoryAtLastInput = residentBytes();
            return true;
        }
        m_pipe.setInputRunning(false);
        qCDebug(lcMidiTrace).noquote() << "Error opening input!" << names[i];
    }
    return false;
}

bool RtMidiPort::openOutput(const QString &portName)
{
    std::unique_ptr<RtMidiOut> out = create_midi_client<RtMidiOut>(m_api == Api::Jack, clientName);
    if (!out)
        return false;
    out->setErrorCallback(&traceSendError, &m_sendFailed);
    const bool alsa = out->getCurrentApi() == RtMidi::LINUX_ALSA;
    const QStringList names = tracedPorts(*out, "Found output:");

    for (int i = 0; i < names.size(); ++i) {
        if (!portNameMatches(names[i], portName, alsa))
            continue;
        out->openPort(unsigned(i), "output");
        if (out->isPortOpen()) {
            qCDebug(lcMidiTrace) << "Midi output open";
            m_out = std::move(out);
            m_outputName = names[i];
            m_outputGone = false;
            return true;
        }
        qCDebug(lcMidiTrace).noquote() << "Error opening output!" << names[i];
    }
    return false;
}

void RtMidiPort::disconnect()
{
    // Cleared first, so that nothing arriving while the ports close is queued.
    m_pipe.setInputRunning(false);
    // Destroying the clients closes their ports and ends RtMidi's input thread.
    m_in.reset();
    if (m_out && m_out->isPortOpen() && m_out->getCurrentApi() == RtMidi::UNIX_JACK) {
        m_out->closePort();
        QThread::msleep(jackCloseSettleMs);
    }
    m_out.reset();
    m_outputName.clear();
    m_outputGone = false;
    m_connectedName.clear();
}

int RtMidiPort::read(unsigned char *buffer, unsigned int capacity)
{
    return m_pipe.read(buffer, capacity);
}

bool RtMidiPort::dataAvailable()
{
    return m_pipe.dataAvailable();
}

bool RtMidiPort::waitForData(unsigned long msecs)
{
    return m_pipe.waitForData(msecs);
}

void RtMidiPort::wakeWaiter()
{
    m_pipe.wakeWaiter();
}

bool RtMidiPort::outputPresent()
{
    if (!m_outputGone) {
        // RtMidi sends to a vanished port without an error, so the list is looked at instead.
        const QuietMidiSystem quiet;
        const unsigned int count = m_out->getPortCount();
        bool found = false;
        for (unsigned int i = 0; i < count && !found; ++i)
            found = QString::fromStdString(m_out->getPortName(i)) == m_outputName;
        m_outputGone = !found;
    }
    return !m_outputGone;
}

std::string RtMidiPort::connectedName() const
{
    return m_connectedName;
}

std::string RtMidiPort::systemName() const
{
    const RtMidi::Api api = system_midi_api(m_api == Api::Jack);
    return api == RtMidi::UNSPECIFIED ? "the system's own" : RtMidi::getApiDisplayName(api);
}

bool RtMidiPort::connectionAlive()
{
    boundInput();
    return m_in && m_out && m_out->isPortOpen() && outputPresent();
}

void RtMidiPort::boundInput()
{
    if (!m_in)
        return;
    const std::size_t memory = residentBytes();
    const unsigned int messages = m_inputMessages.load(std::memory_order_relaxed);
    if (messages != m_inputMessagesSeen || memory < m_memoryAtLastInput) {
        m_inputMessagesSeen = messages;
        m_memoryAtLastInput = memory;
        return;
    }
    if (memory - m_memoryAtLastInput <= m_inputGrowthBound)
        return;

    // Whatever grew meanwhile, an unfinished message in RtMidi's hands is the likely part, and
    // reopening costs at most a message in flight.
    qCDebug(lcMidiTrace) << "Input reopened: memory grew by"
                         << (memory - m_memoryAtLastInput) / 1024 << "KiB while no message ended";
    m_in.reset();
    if (!openInput(QString::fromStdString(m_connectedName)))
        qCDebug(lcMidiTrace).noquote() << "Could not reopen the input" << m_connectedName.c_str();
    else if (m_in->getCurrentApi() == RtMidi::UNIX_JACK)
        QThread::msleep(jackConnectSettleMs); // so that an answer to the next send is heard
    m_inputMessagesSeen = m_inputMessages.load(std::memory_order_relaxed);
    m_memoryAtLastInput = residentBytes();
}

QStringList RtMidiPort::destinations(bool *alsa)
{
    RtMidiOut *client = m_out.get();
    if (!client && system_midi_api(m_api == Api::Jack) == RtMidi::UNIX_JACK
        && JackLister::available()) {
        if (!m_jackLister)
            m_jackLister = std::make_unique<JackLister>(jackListerName);
        *alsa = false;
        return m_jackLister->destinations();
    }
    if (!client && !m_lister && !m_listerFailed) {
        m_lister = create_midi_client<RtMidiOut>(m_api == Api::Jack, clientName);
        // A system that cannot make a client now will not make one a second later either.
        m_listerFailed = !m_lister;
        if (m_lister)
            m_lister->setErrorCallback(&ignoreError);
    }
    if (!client)
        client = m_lister.get();
    if (!client)
        return {};
    *alsa = client->getCurrentApi() == RtMidi::LINUX_ALSA;
    QStringList names;
    const unsigned int count = client->getPortCount();
    for (unsigned int i = 0; i < count; ++i)
        names << QString::fromStdString(client->getPortName(i));
    return names;
}

bool RtMidiPort::portPresent(const char *portName)
{
    const QuietMidiSystem quiet;
    bool alsa = false;
    const QStringList names = destinations(&alsa);
    const QString name = QString::fromLocal8Bit(portName);
    return std::any_of(names.begin(), names.end(), [&](const QString &reported) {
        return portNameMatches(reported, name, alsa);
    });
}

std::vector<IMidi::ListedPort> RtMidiPort::listPorts()
{
    const QuietMidiSystem quiet;
    std::vector<ListedPort> listed;
    const bool jack = system_midi_api(m_api == Api::Jack) == RtMidi::UNIX_JACK;
    if (!m_in && jack && JackLister::available()) {
        if (!m_jackLister)
            m_jackLister = std::make_unique<JackLister>(jackListerName);
        m_listedAlsa = false;
        for (const QString &name : m_jackLister->sources())
            listed.push_back({name.toLocal8Bit().toStdString(), true});
        for (const QString &name : m_jackLister->destinations())
            listed.push_back({name.toLocal8Bit().toStdString(), false});
        return listed;
    }
    // A one-off listing: a client that only lists has no thread on the ALSA sequencer and
    // CoreMIDI.
    std::unique_ptr<RtMidiIn> ownInput;
    RtMidiIn *in = m_in.get();
    if (!in) {
        ownInput = create_midi_client<RtMidiIn>(m_api == Api::Jack, clientName);
        in = ownInput.get();
    }
    if (in) {
        in->setErrorCallback(&ignoreError);
        m_listedAlsa = in->getCurrentApi() == RtMidi::LINUX_ALSA;
        for (unsigned int i = 0, count = in->getPortCount(); i < count; ++i)
            listed.push_back({in->getPortName(i), true});
    }
    bool alsa = false;
    for (const QString &name : destinations(&alsa))
        listed.push_back({name.toLocal8Bit().toStdString(), false});
    m_listedAlsa = m_listedAlsa || alsa;
    return listed;
}

bool RtMidiPort::listedPortMatches(const std::string &listed, const char *portName) const
{
    return portNameMatches(QString::fromLocal8Bit(listed.c_str()), QString::fromLocal8Bit(portName),
                           m_listedAlsa);
}

int RtMidiPort::sendSysex(unsigned char *message, unsigned int count)
{
    if (!m_out || !m_out->isPortOpen())
        return notConnected;
    if (!outputPresent()) {
        qCDebug(lcMidiTrace).noquote() << "MIDI error: the port" << m_outputName << "has gone";
        return notConnected;
    }
    if (!message || count == 0)
        return sendFailed;
    m_sendFailed.store(false);
    m_out->sendMessage(message, count);
    return m_sendFailed.load() ? sendFailed : 0;
}

void RtMidiPort::inputCallback(double, std::vector<unsigned char> *message, void *self)
{
    if (!message || message->empty())
        return;
    // On JACK this runs inside the server's process cycle: it only copies. No trace (a write to
    // a terminal nobody reads blocks), no allocation, no lock held for more than the copy. The
    // monitor thread sorts the bytes and traces what is worth it; a message that is not SysEx
    // is queued like any other, for it to count.
    auto *port = static_cast<RtMidiPort *>(self);
    port->m_inputMessages.fetch_add(1, std::memory_order_relaxed);
    if (port->m_pipe.inputRunning())
        port->m_pipe.append(message->data(),
                            unsigned(std::min<std::size_t>(message->size(), UINT_MAX)));
    // RtMidi reuses this buffer for the next message and never shrinks it: a single giant SysEx
    // would hold its memory for as long as the port is open. Released here, rarely.
    if (message->capacity() > retainedMessageBound)
        std::vector<unsigned char>().swap(*message);
}

bool RtMidiPort::watchPorts(std::function<void()> changed)
{
    if (!changed || system_midi_api(m_api == Api::Jack) != RtMidi::LINUX_ALSA) {
        m_announce.reset();
        return false;
    }
    if (m_announce)
        m_announce->setChanged(std::move(changed));
    else
        m_announce = AlsaAnnounce::open(std::move(changed));
    return m_announce != nullptr;
}
