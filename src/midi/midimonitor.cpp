#include "midimonitor.h"
#include "miditrace.h"

#include "imidi.h"
#include "midibytepipe.h"
#include "mididatawait.h"

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
        return;
    }
    if (byte == sysexStart) {
        dropUnfinished();
        m_inMessage = true;
    } else if (byte >= firstStatus && byte != sysexEnd) {
        dropUnfinished();
        m_ignored.add();
        return;
    }

    if (m_fill >= maxMessageLength) {
        // Whatever follows, up to the next F0, is thrown away as it arrives.
        m_inMessage = false;
        m_overlong.add();
        m_fill = 0;
        return;
    }

    // Bytes outside a message, a stray F7 among them, are not stored and end nothing.
    if (!m_inMessage)
        return;

    m_buffer[m_fill++] = byte;
    if (byte != sysexEnd)
        return;

    const unsigned int length = m_fill;
    m_inMessage = false;
    m_fill = 0;
    if (length == 3) {
        m_status.store(m_buffer[1]);
        qCDebug(lcMidiTrace) << "Received Status" << int(m_buffer[1]);
        return;
    }
    sortMessage(length);
}

void MidiMonitor::sortMessage(unsigned int length)
{
    // A copy per message: the buffer is reused for the next message while the receiver, on
    // another thread, may still be reading this one.
    const auto copy = [&] {
        return QByteArray(reinterpret_cast<const char *>(m_buffer), int(length));
    };
    static const QMetaMethod received = QMetaMethod::fromSignal(&MidiMonitor::receivedSysex);
    if (isSignalConnected(received))
        emit receivedSysex(copy());
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
        m_queue.append(copy());
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

void MidiMonitor::bytesLost()
{
    dropUnfinished();
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
