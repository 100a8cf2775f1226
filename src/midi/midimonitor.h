#pragma once

#include "miditraffic.h"
#include "throttledcount.h"

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QThread>

#include <atomic>
#include <deque>
#include <functional>

class IMidi;
class MidiDataWait;

// The input thread: drains the port's received bytes, reassembles SysEx messages and sorts
// them. A three-byte message F0 <status> F7 is the device's status answer and is kept for the
// updater to poll. Every other message is announced with receivedSysex to whoever listens, and
// sorted by the owner's patch filter: patches wait in a bounded queue for the owner to take
// them all at once (patchesWaiting, takePatches); the rest are counted, never queued, so that
// a flood of short messages costs the owner's thread nothing.
//
// The stream follows MIDI's rules: a real-time byte (F8..FF) belongs to no message and is
// dropped, also inside a SysEx message; any other status byte but F7 ends an unfinished SysEx
// message, which is dropped; an F0 starts a new message whatever came before. Messages other
// than SysEx are counted and ignored. What is dropped or ignored is traced at most once a
// second for each kind.
//
// Every message that passes, in or out, is also tapped for the MIDI monitor: channel messages
// (running status resolved), system messages, real-time bytes as messages of their own and
// SysEx whole, each with its time, wait in a bounded traffic queue for the owner to take them
// in one batch (trafficWaiting, takeTraffic). What is sent is added by recordSent.
class MidiMonitor : public QThread
{
    Q_OBJECT

public:
    // Longest message assembled, F0 and F7 included; a longer one is dropped.
    static constexpr unsigned int maxMessageLength = 1023;
    // Most patches that wait for the owner; when it falls behind, the oldest makes room.
    static constexpr int maxQueued = 64;
    // Most messages that wait in the traffic queue; beyond, the oldest are dropped.
    static constexpr int maxTraffic = 10000;

    // Tells patches from other messages (F0 to F7, length bytes).
    using PatchFilter = std::function<bool(const unsigned char *message, unsigned int length)>;

    // owner: the object that created the monitor; run() does nothing without one.
    MidiMonitor(QObject *owner, IMidi *midi);
    // Stops the thread and waits for it first when it still runs.
    ~MidiMonitor() override;

    // Feeds one received byte to the assembler. Called on the monitor thread only (by run()),
    // or by a caller that has not started the thread.
    void readSysex(unsigned char byte);

    // Tells the assembler that received bytes were lost before the next one: a message being
    // assembled cannot be completed. Same thread as readSysex.
    void bytesLost();

    // Ends the loop after the current pass, waking it when it waits for input. Any thread.
    void stop();

    // Status byte of the last status message, 0 when none is pending. Any thread.
    int status() const;
    void clearStatus();

    // Which messages are queued for takePatches(); set before start(). Without a filter
    // nothing is queued or counted.
    void setPatchFilter(PatchFilter isPatch) { m_isPatch = std::move(isPatch); }
    // The waiting patches, oldest first; the queue is empty afterwards. Any thread.
    QList<QByteArray> takePatches();
    // Messages the filter turned away so far. Any thread.
    quint64 passedOver() const { return m_passedOverTotal.load(); }

    // Adds a message that was handed to the port to the traffic queue. Any thread.
    void recordSent(const unsigned char *message, unsigned int length);
    // The messages in and out since the last call, oldest first; the queue is empty
    // afterwards. Any thread.
    MidiTraffic takeTraffic();
    // Messages dropped from the traffic queue because it was full. Any thread.
    quint64 trafficDropped() const { return m_trafficDropped.load(); }

signals:
    // One complete message, F0 to F7, as a copy of its own; only made while something is
    // connected. A queued call per message: for a listener that waits for one answer (the
    // command line), not for one that must stay responsive under a flood.
    void receivedSysex(QByteArray message);
    // Patches wait in the queue. Emitted again only once takePatches() has been called, so
    // at most one such call is ever queued.
    void patchesWaiting();
    // Messages wait in the traffic queue. Emitted again only once takeTraffic() has been
    // called: one queued call per batch, however many messages flow.
    void trafficWaiting();

protected:
    void run() override;

private:
    // Drops the message being assembled, if any.
    void dropUnfinished();
    // Traces the counts that are due; for the idle passes, so that a flood's end is traced.
    void traceCounts();
    // How long an idle pass may wait for input: until the first count is due to be traced,
    // without a limit when none waits.
    unsigned long idleWaitMs() const;
    void sortMessage(unsigned int length);
    // A status byte other than F0, F7 and real time: starts a channel or system message.
    void startShort(unsigned char status);
    // A data byte outside SysEx: completes the message begun, or one under running status.
    void addShortData(unsigned char byte);
    void queueTraffic(QByteArray bytes, bool outgoing);

    IMidi *m_midi;
    // The same port, when it can wake the monitor as input arrives.
    MidiDataWait *m_dataWait;
    bool m_inMessage = false;
    unsigned char m_buffer[1024] = {};
    unsigned int m_fill = 0;
    QObject *m_owner;
    std::atomic<bool> m_running{true};
    std::atomic<int> m_status{0};
    PatchFilter m_isPatch;
    QMutex m_queueMutex;
    QList<QByteArray> m_queue;
    std::atomic<bool> m_waitingAnnounced{false};
    std::atomic<quint64> m_passedOverTotal{0};
    // The channel or system message being assembled: its bytes so far (0 when none waits for
    // data) and how many it has when whole. A channel status stays for running status.
    unsigned char m_short[3] = {};
    unsigned int m_shortFill = 0;
    unsigned int m_shortLength = 0;
    QMutex m_trafficMutex;
    std::deque<MidiTrafficMessage> m_traffic;
    std::atomic<bool> m_trafficAnnounced{false};
    std::atomic<quint64> m_trafficDropped{0};
    ThrottledCount m_passedOver{QStringLiteral("ignored %1 SysEx messages that are not patches"),
                                QStringLiteral("ignored a SysEx message that is not a patch")};
    ThrottledCount m_dropped{QStringLiteral("dropped %1 patches that were not taken in time"),
                             QStringLiteral("dropped a patch that was not taken in time")};
    ThrottledCount m_ignored{QStringLiteral("ignored %1 non-SysEx messages"),
                             QStringLiteral("ignored a non-SysEx message")};
    ThrottledCount m_unfinished{QStringLiteral("dropped %1 unfinished SysEx messages"),
                                QStringLiteral("dropped an unfinished SysEx message")};
    ThrottledCount m_overlong{
        QStringLiteral("Sysex buffer overflow: %1 messages without a terminator after 1024 bytes."),
        QStringLiteral("Sysex buffer overflow, sysex terminator not found after 1024 bytes.")};
};
