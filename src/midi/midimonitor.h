#pragma once

#include <QByteArray>
#include <QThread>

#include <atomic>

class IMidi;
class MidiDataWait;

// The input thread: drains the port's received bytes, reassembles SysEx messages and sorts
// them. A three-byte message F0 <status> F7 is the device's status answer and is kept for the
// updater to poll; every other message is announced with receivedSysex.
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
    IMidi *m_midi;
    // The same port, when it can wake the monitor as input arrives.
    MidiDataWait *m_dataWait;
    bool m_inMessage = false;
    unsigned char m_buffer[1024] = {};
    unsigned int m_fill = 0;
    QObject *m_owner;
    std::atomic<bool> m_running{true};
    std::atomic<int> m_status{0};
};
