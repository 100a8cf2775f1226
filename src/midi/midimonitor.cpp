#include "midimonitor.h"
#include "miditrace.h"

#include "imidi.h"
#include "midibytepipe.h"
#include "mididatawait.h"

#include <QDateTime>
#include <QDebug>
#include <QMetaMethod>
#include <QMutexLocker>

#include <algorithm>
#include <utility>

namespace {

constexpr unsigned char sysexStart = 0xF0;
constexpr unsigned char sysexEnd = 0xF7;
constexpr unsigned char firstStatus = 0x80;
constexpr unsigned char firstRealTime = 0xF8;
constexpr unsigned char firstSystem = 0xF0;

// Bytes of a channel or system common message, its status byte included.
unsigned int short_message_length(unsigned char status)
{
    if (status < firstSystem) {
        const unsigned char kind = status & 0xF0;
        return kind == 0xC0 || kind == 0xD0 ? 2 : 3;
    }
    switch (status) {
    case 0xF1: // time code quarter frame
    case 0xF3: // song select
        return 2;
    case 0xF2: // song position
        return 3;
    default: // tune request, undefined
        return 1;
    }
}

// How long one idle pass sleeps on a port that cannot wake it: a message is handed over within
// about a millisecond.
constexpr unsigned long idleSleepMs = 1;

} // namespace

MidiMonitor::MidiMonitor(QObject *owner, IMidi *midi)
    : QThread(nullptr)
    , m_midi(midi)
    , m_dataWait(dynamic_cast<MidiDataWait *>(midi))
    , m_owner(owner)
{
}

MidiMonitor::~MidiMonitor()
{
    qCDebug(lcMidiTrace) << "~MidiMonitor()";
    // Destroying a QThread whose thread still runs aborts the program.
    stop();
    wait();
}

void MidiMonitor::run()
{
    if (!m_owner || !m_midi)
        return;

    unsigned char block[1024];
    while (m_running.load()) {
        if (!m_midi->dataAvailable()) {
            traceCounts();
            // While nothing arrives, the thread sleeps until a byte, stop() or a count that is
            // due to be traced wakes it.
            if (m_dataWait)
                m_dataWait->waitForData(idleWaitMs());
            else
                QThread::msleep(idleSleepMs);
            continue;
        }
        const int count = m_midi->read(block, sizeof block);
        if (count < 0) {
            // The port lost bytes (its queue overflowed) before the ones that come next.
            if (count != MidiBytePipe::bytesLost)
                qCDebug(lcMidiTrace) << "Buffer overflow";
            bytesLost();
            continue;
        }
        for (int i = 0; i < count; ++i)
            readSysex(block[i]);
    }
    qCDebug(lcMidiTrace) << "processMidi Finished";
}

void MidiMonitor::readSysex(unsigned char byte)
{
    if (byte >= firstRealTime) {
        m_ignored.add();
        queueTraffic(QByteArray(1, char(byte)), false);
        return;
    }
    if (byte >= firstStatus) {
        // Any other status byte ends running status; F0 and F7 belong to no short message.
        m_shortFill = 0;
        m_shortLength = 0;
    }
    if (byte == sysexStart) {
        dropUnfinished();
        m_inMessage = true;
    } else if (byte >= firstStatus && byte != sysexEnd) {
        dropUnfinished();
        m_ignored.add();
        startShort(byte);
        return;
    }

    if (m_fill >= maxMessageLength) {
        // Whatever follows, up to the next F0, is thrown away as it arrives.
        m_inMessage = false;
        m_overlong.add();
        m_fill = 0;
        return;
    }

    // Bytes outside a message, a stray F7 among them, are not stored and end nothing; data
    // bytes may complete a short message.
    if (!m_inMessage) {
        if (byte < firstStatus)
            addShortData(byte);
        return;
    }

    m_buffer[m_fill++] = byte;
    if (byte != sysexEnd)
        return;

    const unsigned int length = m_fill;
    m_inMessage = false;
    m_fill = 0;
    if (length == 3) {
        queueTraffic(QByteArray(reinterpret_cast<const char *>(m_buffer), 3), false);
        m_status.store(m_buffer[1]);
        qCDebug(lcMidiTrace) << "Received Status" << int(m_buffer[1]);
        return;
    }
    sortMessage(length);
}

void MidiMonitor::sortMessage(unsigned int length)
{
    // A copy per message, shared by the traffic queue, the signal and the patch queue: the
    // buffer is reused for the next message while a receiver, on another thread, may still be
    // reading this one.
    const QByteArray message(reinterpret_cast<const char *>(m_buffer), int(length));
    queueTraffic(message, false);
    static const QMetaMethod received = QMetaMethod::fromSignal(&MidiMonitor::receivedSysex);
    if (isSignalConnected(received))
        emit receivedSysex(message);
    if (!m_isPatch)
        return;
    if (!m_isPatch(m_buffer, length)) {
        ++m_passedOverTotal;
        m_passedOver.add();
        return;
    }
    bool dropped = false;
    {
        QMutexLocker lock(&m_queueMutex);
        if (m_queue.size() >= maxQueued) {
            m_queue.removeFirst();
            dropped = true;
        }
        m_queue.append(message);
    }
    if (dropped)
        m_dropped.add();
    if (!m_waitingAnnounced.exchange(true))
        emit patchesWaiting();
}

QList<QByteArray> MidiMonitor::takePatches()
{
    // Cleared first: a patch queued from here on is announced again.
    m_waitingAnnounced.store(false);
    QMutexLocker lock(&m_queueMutex);
    return std::exchange(m_queue, {});
}

void MidiMonitor::startShort(unsigned char status)
{
    m_short[0] = status;
    m_shortFill = 1;
    m_shortLength = short_message_length(status);
    if (m_shortLength == 1) {
        queueTraffic(QByteArray(1, char(status)), false);
        m_shortFill = 0;
    }
}

void MidiMonitor::addShortData(unsigned char byte)
{
    // A data byte with no status to belong to is dropped.
    if (m_shortFill == 0)
        return;
    m_short[m_shortFill++] = byte;
    if (m_shortFill < m_shortLength)
        return;
    queueTraffic(QByteArray(reinterpret_cast<const char *>(m_short), int(m_shortLength)), false);
    // A channel status stays for the data of the next message (running status); a system
    // message has none.
    if (m_short[0] < firstSystem) {
        m_shortFill = 1;
    } else {
        m_shortFill = 0;
        m_shortLength = 0;
    }
}

void MidiMonitor::recordSent(const unsigned char *message, unsigned int length)
{
    queueTraffic(QByteArray(reinterpret_cast<const char *>(message), int(length)), true);
}

void MidiMonitor::queueTraffic(QByteArray bytes, bool outgoing)
{
    MidiTrafficMessage message;
    message.timeMs = QDateTime::currentMSecsSinceEpoch();
    message.outgoing = outgoing;
    message.bytes = std::move(bytes);
    {
        QMutexLocker lock(&m_trafficMutex);
        if (m_traffic.size() >= std::size_t(maxTraffic)) {
            m_traffic.pop_front();
            ++m_trafficDropped;
        }
        m_traffic.push_back(std::move(message));
    }
    if (!m_trafficAnnounced.exchange(true))
        emit trafficWaiting();
}

MidiTraffic MidiMonitor::takeTraffic()
{
    // Cleared first: a message queued from here on is announced again.
    m_trafficAnnounced.store(false);
    std::deque<MidiTrafficMessage> taken;
    {
        QMutexLocker lock(&m_trafficMutex);
        taken.swap(m_traffic);
    }
    MidiTraffic batch;
    batch.reserve(int(taken.size()));
    for (MidiTrafficMessage &message : taken)
        batch.append(std::move(message));
    return batch;
}

void MidiMonitor::bytesLost()
{
    dropUnfinished();
    m_shortFill = 0;
    m_shortLength = 0;
}

void MidiMonitor::dropUnfinished()
{
    if (m_inMessage)
        m_unfinished.add();
    m_inMessage = false;
    m_fill = 0;
}

void MidiMonitor::traceCounts()
{
    m_ignored.flushDue();
    m_unfinished.flushDue();
    m_overlong.flushDue();
    m_passedOver.flushDue();
    m_dropped.flushDue();
}

unsigned long MidiMonitor::idleWaitMs() const
{
    unsigned long wait = MidiDataWait::noTimeLimit;
    for (const ThrottledCount *count :
         {&m_ignored, &m_unfinished, &m_overlong, &m_passedOver, &m_dropped}) {
        if (const qint64 due = count->msUntilDue(); due >= 0)
            wait = std::min(wait, static_cast<unsigned long>(due));
    }
    return wait;
}

void MidiMonitor::stop()
{
    m_running.store(false);
    if (m_dataWait)
        m_dataWait->wakeWaiter();
}

int MidiMonitor::status() const
{
    return m_status.load();
}

void MidiMonitor::clearStatus()
{
    m_status.store(0);
}
