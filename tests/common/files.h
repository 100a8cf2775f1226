#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

// Whole-file helpers for tests; a failure shows as an empty read or a false write.
inline bool writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && file.write(contents) == contents.size();
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

#ifdef Q_OS_UNIX
// While alive, no file this process writes can grow past limit bytes: a write beyond it fails
// part-way, as on a full disk (also for root, whom permissions do not stop).
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t limit)
    {
        previousHandler = std::signal(SIGXFSZ, SIG_IGN); // the write fails instead
        getrlimit(RLIMIT_FSIZE, &previous);
        rlimit lowered = previous;
        lowered.rlim_cur = limit;
        active = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, previousHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    bool isActive() const { return active; }

private:
    rlimit previous{};
    void (*previousHandler)(int) = SIG_DFL;
    bool active = false;
};
#endif
