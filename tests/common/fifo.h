#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// A FIFO at path while it lives. Opening a FIFO for reading waits for a writer, so code that
// does so would hang the test: every two seconds the FIFO is opened here for reading and
// writing and closed again, which lets such a reader through to an empty read. The test then
// fails on what the reader made of that, instead of hanging.
class GuardedFifo
{
public:
    explicit GuardedFifo(const QString &path)
        : path(QFile::encodeName(path))
    {
        created = ::mkfifo(this->path.constData(), 0600) == 0;
        if (created)
            guard = std::thread([this] { releaseReaders(); });
    }
    ~GuardedFifo()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
        }
        wake.notify_all();
        if (guard.joinable())
            guard.join();
        ::unlink(path.constData());
    }
    GuardedFifo(const GuardedFifo &) = delete;
    GuardedFifo &operator=(const GuardedFifo &) = delete;

    bool isCreated() const { return created; }

private:
    void releaseReaders()
    {
        std::unique_lock<std::mutex> lock(mutex);
        while (!wake.wait_for(lock, std::chrono::seconds(2), [this] { return stopping; })) {
            // Opening for both never waits, and counts as the writer a blocked reader waits for.
            const int fd = ::open(path.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0)
                ::close(fd);
        }
    }

    const QByteArray path;
    bool created = false;
    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    std::thread guard;
};
