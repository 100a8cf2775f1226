#include "midibytepipe.h"

#include <QMutexLocker>

#include <cstring>

void MidiBytePipe::append(const unsigned char *bytes, unsigned int count)
{
    if (count == 0)
        return;
    QMutexLocker lock(&m_mutex);
    m_queue.append(reinterpret_cast<const char *>(bytes), int(count));
    // Updated under the mutex after the bytes are in, so a reader that sees the count also
    // finds the bytes, and a drain can never zero the count of a block appended after it.
    m_pending.store(unsigned(m_queue.size()), std::memory_order_release);
    m_arrived.wakeAll();
}

bool MidiBytePipe::waitForData(unsigned long msecs)
{
    if (dataAvailable())
        return true;
    QMutexLocker lock(&m_mutex);
    // Checked under the mutex that append() holds, so a block cannot slip in unnoticed.
    if (m_queue.isEmpty())
        m_arrived.wait(&m_mutex, msecs);
    return !m_queue.isEmpty();
}

int MidiBytePipe::read(unsigned char *buffer, unsigned int capacity)
{
    if (capacity == 0 || !dataAvailable())
        return 0;
    QMutexLocker lock(&m_mutex);
    const int moved = int(qMin<unsigned int>(capacity, unsigned(m_queue.size())));
    std::memcpy(buffer, m_queue.constData(), size_t(moved));
    m_queue.remove(0, moved);
    m_pending.store(unsigned(m_queue.size()), std::memory_order_release);
    return moved;
}
