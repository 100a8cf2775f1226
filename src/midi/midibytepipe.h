#pragma once

#include "throttledcount.h"

#include <QMutex>
#include <QWaitCondition>

#include <atomic>
#include <memory>

// The input side of a MIDI backend: the platform's input thread appends received bytes, the
// monitor thread drains them. The bytes live in a ring of fixed size, allocated once, so that
// appending never allocates and draining costs only what is handed out. A device that sends
// faster than the monitor drains loses the oldest bytes, never memory. One mutex guards the
// ring, held only for a copy; the pending count lets the reader poll without taking it.
class MidiBytePipe
{
public:
    // Bytes held at most: far more than any message the editor accepts.
    static constexpr unsigned int defaultCapacity = 1024 * 1024;
    // What read() returns once after bytes were dropped, before handing out what followed them.
    static constexpr int bytesLost = -2;

    explicit MidiBytePipe(unsigned int capacity = defaultCapacity);
    MidiBytePipe(const MidiBytePipe &) = delete;
    MidiBytePipe &operator=(const MidiBytePipe &) = delete;

    // Appends one received block, on the platform's input thread. When the ring would overflow,
    // the oldest bytes make room (a block larger than the ring keeps only its last bytes).
    // Neither allocates nor traces, so that it is safe on a real-time thread.
    void append(const unsigned char *bytes, unsigned int count);

    // True while bytes are queued. Takes no lock.
    bool dataAvailable() const { return m_pending.load(std::memory_order_acquire) != 0; }

    // Number of bytes queued.
    unsigned int pending() const { return m_pending.load(std::memory_order_acquire); }

    unsigned int capacity() const { return m_capacity; }

    // Blocks until bytes are queued or msecs have passed; true when bytes are queued. On the
    // reader's thread: it also traces a count of dropped bytes that is due.
    bool waitForData(unsigned long msecs);
    // Ends the current or the next waitForData at once (it returns whether bytes are queued).
    // Any thread.
    void wakeWaiter();

    // Moves up to capacity queued bytes, oldest first, into buffer and returns their number;
    // a queue larger than capacity is handed out in capacity-sized pieces. After bytes were
    // dropped, the next call moves nothing and returns bytesLost instead: the bytes that come
    // next do not continue those handed out before. The reader's thread traces the drops.
    int read(unsigned char *buffer, unsigned int capacity);

    // Whether the backend's input is running. Cleared first when a port closes, so that the
    // platform's input thread stops handing buffers back.
    void setInputRunning(bool running) { m_inputRunning.store(running); }
    bool inputRunning() const { return m_inputRunning.load(); }

private:
    const unsigned int m_capacity;
    const std::unique_ptr<unsigned char[]> m_ring;
    QMutex m_mutex;
    QWaitCondition m_arrived;
    // Under m_mutex: where the oldest byte is, how many are queued, and the bytes dropped since
    // the reader last heard of it.
    unsigned int m_head = 0;
    unsigned int m_size = 0;
    quint64 m_dropped = 0;
    // Set by wakeWaiter until a wait has seen it.
    bool m_woken = false;
    // m_size, written under the mutex and read without it.
    std::atomic<unsigned int> m_pending{0};
    std::atomic<bool> m_inputRunning{false};
    // The reader's thread only.
    ThrottledCount m_droppedTrace{QStringLiteral("Input queue full: dropped %1 bytes")};
};
