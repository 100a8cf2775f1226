#include "rtmidiport.h"

#include "rtmidiapi.h"

#include <QDebug>
#include <QRegularExpression>
#include <QThread>

#include <RtMidi.h>

namespace {

// Name of this program's own clients and ports on the MIDI system.
const char clientName[] = "Vellichord Editor";

// JACK makes a new connection live only from one of its next cycles, and a message sent
// before then is lost (seen as 1 connect in 100 on a busy machine). The wait covers a few
// cycles of even a long period (2048 frames at 48 kHz last 43 ms).
constexpr unsigned long jackConnectSettleMs = 100;

void traceError(RtMidiError::Type, const std::string &text, void *)
{
    qDebug().noquote() << "MIDI error:" << text.c_str();
}

void traceSendError(RtMidiError::Type type, const std::string &text, void *failed)
{
    traceError(type, text, nullptr);
    if (type != RtMidiError::WARNING && type != RtMidiError::DEBUG_WARNING)
        static_cast<std::atomic<bool> *>(failed)->store(true);
}

// Names of the ports the client offers, in RtMidi's index order; each is traced.
QStringList listPorts(RtMidi &client, const char *trace)
{
    QStringList names;
    const unsigned int count = client.getPortCount();
    for (unsigned int i = 0; i < count; ++i) {
        names << QString::fromStdString(client.getPortName(i));
        qDebug().noquote() << trace << names.last();
    }
    return names;
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
    const QStringList names = listPorts(*in, "Found input:");

    // Receive SysEx; timing and active sensing stay filtered.
    in->ignoreTypes(false, true, true);
    in->setCallback(&RtMidiPort::inputCallback, this);
    for (int i = 0; i < names.size(); ++i) {
        if (!portNameMatches(names[i], portName, alsa))
            continue;
        m_pipe.setInputRunning(true);
        in->openPort(unsigned(i), "input");
        if (in->isPortOpen()) {
            qDebug() << "Midi input open";
            m_in = std::move(in);
            return true;
        }
        m_pipe.setInputRunning(false);
        qDebug().noquote() << "Error opening input!" << names[i];
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
    const QStringList names = listPorts(*out, "Found output:");

    for (int i = 0; i < names.size(); ++i) {
        if (!portNameMatches(names[i], portName, alsa))
            continue;
        out->openPort(unsigned(i), "output");
        if (out->isPortOpen()) {
            qDebug() << "Midi output open";
            m_out = std::move(out);
            m_outputName = names[i];
            m_outputGone = false;
            return true;
        }
        qDebug().noquote() << "Error opening output!" << names[i];
    }
    return false;
}

void RtMidiPort::disconnect()
{
    // Cleared first, so that nothing arriving while the ports close is queued.
    m_pipe.setInputRunning(false);
    // Destroying the clients closes their ports and ends RtMidi's input thread.
    m_in.reset();
    m_out.reset();
    m_outputName.clear();
    m_outputGone = false;
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

bool RtMidiPort::outputPresent()
{
    if (!m_outputGone) {
        // RtMidi sends to a vanished port without an error, so the list is looked at instead.
        const unsigned int count = m_out->getPortCount();
        bool found = false;
        for (unsigned int i = 0; i < count && !found; ++i)
            found = QString::fromStdString(m_out->getPortName(i)) == m_outputName;
        m_outputGone = !found;
    }
    if (m_outputGone)
        qDebug().noquote() << "MIDI error: the port" << m_outputName << "has gone";
    return !m_outputGone;
}

int RtMidiPort::sendSysex(unsigned char *message, unsigned int count)
{
    if (!m_out || !m_out->isPortOpen() || !outputPresent())
        return notConnected;
    if (!message || count == 0)
        return sendFailed;
    m_sendFailed.store(false);
    m_out->sendMessage(message, count);
    return m_sendFailed.load() ? sendFailed : 0;
}

void RtMidiPort::inputCallback(double timeStamp, std::vector<unsigned char> *message, void *self)
{
    if (message && !message->empty())
        static_cast<RtMidiPort *>(self)->received(timeStamp, *message);
}

void RtMidiPort::received(double timeStamp, const std::vector<unsigned char> &message)
{
    // RtMidi hands over a SysEx message whole, however the MIDI system carried it.
    if (message.front() != 0xF0) {
        // Packed as the Windows port reports a short message: status in the lowest byte.
        quint32 packed = 0;
        for (size_t i = 0; i < message.size() && i < 4; ++i)
            packed |= quint32(message[i]) << (8 * i);
        qDebug() << "data" << packed;
        qDebug() << "data" << timeStamp;
        return;
    }
    if (m_pipe.inputRunning())
        m_pipe.append(message.data(), unsigned(message.size()));
}
