#pragma once

#include <QByteArray>
#include <QMutex>
#include <QWaitCondition>

#include <atomic>

// The input side of a MIDI backend: the platform's input thread appends received SysEx blocks,
// the monitor thread drains them. One mutex guards the queue; the pending count lets the
// reader poll without taking it.
class MidiBytePipe
{
public:
    MidiBytePipe() = default;
    MidiBytePipe(const MidiBytePipe &) = delete;
    MidiBytePipe &operator=(const MidiBytePipe &) = delete;

    // Appends one received block, on the platform's input thread.
    void append(const unsigned char *bytes, unsigned int count);

    // True while bytes are queued. Takes no lock.
    bool dataAvailable() const { return m_pending.load(std::memory_order_acquire) != 0; }

    // Number of bytes queued.
    unsigned int pending() const { return m_pending.load(std::memory_order_acquire); }

    // Blocks until bytes are queued or msecs have passed; true when bytes are queued.
    bool waitForData(unsigned long msecs);

    // Moves up to capacity queued bytes, oldest first, into buffer and returns their number;
    // a queue larger than capacity is handed out in capacity-sized pieces.
    int read(unsigned char *buffer, unsigned int capacity);

    // Whether the backend's input is running. Cleared first when a port closes, so that the
    // platform's input thread stops handing buffers back.
    void setInputRunning(bool running) { m_inputRunning.store(running); }
    bool inputRunning() const { return m_inputRunning.load(); }

private:
    QMutex m_mutex;
    QWaitCondition m_arrived;
    QByteArray m_queue;
    // Size of m_queue, written under the mutex and read without it.
    std::atomic<unsigned int> m_pending{0};
    std::atomic<bool> m_inputRunning{false};
};
