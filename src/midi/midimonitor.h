#pragma once

#include "throttledcount.h"

#include <QByteArray>
#include <QThread>

#include <atomic>

class IMidi;
class MidiDataWait;

// The input thread: drains the port's received bytes, reassembles SysEx messages and sorts
// them. A three-byte message F0 <status> F7 is the device's status answer and is kept for the
// updater to poll; every other message is announced with receivedSysex.
//
// The stream follows MIDI's rules: a real-time byte (F8..FF) belongs to no message and is
// dropped, also inside a SysEx message; any other status byte but F7 ends an unfinished SysEx
// message, which is dropped; an F0 starts a new message whatever came before. Messages other
// than SysEx are counted and ignored. What is dropped or ignored is traced at most once a
// second for each kind.
class MidiMonitor : public QThread
{
    Q_OBJECT

public:
    // Longest message assembled, F0 and F7 included; a longer one is dropped.
    static constexpr unsigned int maxMessageLength = 1023;

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

    // Ends the polling loop after the current pass. Any thread.
    void stop();

    // Status byte of the last status message, 0 when none is pending. Any thread.
    int status() const;
    void clearStatus();

signals:
    // One complete message, F0 to F7, as a copy of its own.
    void receivedSysex(QByteArray message);

protected:
    void run() override;

private:
    // Drops the message being assembled, if any.
    void dropUnfinished();
    // Traces the counts that are due; for the idle passes, so that a flood's end is traced.
    void traceCounts();

    IMidi *m_midi;
    // The same port, when it can wake the monitor as input arrives.
    MidiDataWait *m_dataWait;
    bool m_inMessage = false;
    unsigned char m_buffer[1024] = {};
    unsigned int m_fill = 0;
    QObject *m_owner;
    std::atomic<bool> m_running{true};
    std::atomic<int> m_status{0};
    ThrottledCount m_ignored{QStringLiteral("ignored %1 non-SysEx messages"),
                             QStringLiteral("ignored a non-SysEx message")};
    ThrottledCount m_unfinished{QStringLiteral("dropped %1 unfinished SysEx messages"),
                                QStringLiteral("dropped an unfinished SysEx message")};
    ThrottledCount m_overlong{
        QStringLiteral("Sysex buffer overflow: %1 messages without a terminator after 1024 bytes."),
        QStringLiteral("Sysex buffer overflow, sysex terminator not found after 1024 bytes.")};
};
