#include "midibytepipe.h"

#include <QMutexLocker>

#include <algorithm>
#include <cstring>

MidiBytePipe::MidiBytePipe(unsigned int capacity)
    : m_capacity(std::max(capacity, 1u))
    // Left uninitialised: the system provides the pages only as the ring first fills them.
    , m_ring(new unsigned char[m_capacity])
{
}

void MidiBytePipe::append(const unsigned char *bytes, unsigned int count)
{
    if (count == 0)
        return;
    QMutexLocker lock(&m_mutex);
    if (count >= m_capacity) {
        m_dropped += m_size + (count - m_capacity);
        bytes += count - m_capacity;
        count = m_capacity;
        m_head = 0;
        m_size = 0;
    } else if (m_size + count > m_capacity) {
        const unsigned int excess = m_size + count - m_capacity;
        m_dropped += excess;
        m_head = (m_head + excess) % m_capacity;
        m_size -= excess;
    }
    const bool wasEmpty = m_size == 0;
    const unsigned int tail = (m_head + m_size) % m_capacity;
    const unsigned int first = std::min(count, m_capacity - tail);
    std::memcpy(m_ring.get() + tail, bytes, first);
    std::memcpy(m_ring.get(), bytes + first, count - first);
    m_size += count;
    // Updated under the mutex after the bytes are in, so a reader that sees the count also
    // finds the bytes, and a drain can never zero the count of a block appended after it.
    m_pending.store(m_size, std::memory_order_release);
    // A reader waits only on an empty ring (checked under the mutex).
    if (wasEmpty)
        m_arrived.wakeAll();
}

bool MidiBytePipe::waitForData(unsigned long msecs)
{
    m_droppedTrace.flushDue();
    // Drops not traced yet are traced once due, even when nothing more arrives.
    if (const qint64 due = m_droppedTrace.msUntilDue(); due >= 0)
        msecs = std::min(msecs, static_cast<unsigned long>(due));
    if (dataAvailable())
        return true;
    QMutexLocker lock(&m_mutex);
    // Checked under the mutex that append() and wakeWaiter() hold, so neither a block nor a
    // wake can slip in unnoticed.
    if (m_size == 0 && !m_woken)
        m_arrived.wait(&m_mutex, msecs);
    m_woken = false;
    return m_size != 0;
}

void MidiBytePipe::wakeWaiter()
{
    QMutexLocker lock(&m_mutex);
    m_woken = true;
    m_arrived.wakeAll();
}

int MidiBytePipe::read(unsigned char *buffer, unsigned int capacity)
{
    if (capacity == 0 || !dataAvailable())
        return 0;
    QMutexLocker lock(&m_mutex);
    if (m_dropped != 0) {
        const quint64 dropped = m_dropped;
        m_dropped = 0;
        lock.unlock();
        m_droppedTrace.add(dropped);
        return bytesLost;
    }
    const unsigned int moved = std::min(capacity, m_size);
    const unsigned int first = std::min(moved, m_capacity - m_head);
    std::memcpy(buffer, m_ring.get() + m_head, first);
    std::memcpy(buffer + first, m_ring.get(), moved - first);
    m_head = (m_head + moved) % m_capacity;
    m_size -= moved;
    m_pending.store(m_size, std::memory_order_release);
    return int(moved);
}
