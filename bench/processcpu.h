#pragma once

#include <QDir>
#include <QFile>
#include <QMap>
#include <QString>

#include <ctime>

// CPU time used so far by every thread of this process, in seconds.
inline double processCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// What the scheduler counted for one thread: its name, the time it ran and how often it was
// put on a CPU (each wake-up at least once).
struct ThreadCpu
{
    QString name;
    double seconds = 0;
    qulonglong slices = 0;
};

// Every thread of the process pid (0: this one) by thread id, from /proc, in nanoseconds of
// run time rather than clock ticks: an idle thread runs for microseconds at a time.
inline QMap<int, ThreadCpu> threadCpu(qint64 pid = 0)
{
    const QString base = pid == 0 ? QStringLiteral("/proc/self/task")
                                  : QStringLiteral("/proc/%1/task").arg(pid);
    QMap<int, ThreadCpu> threads;
    const QStringList ids = QDir(base).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &id : ids) {
        QFile stat(base + QLatin1Char('/') + id + QStringLiteral("/schedstat"));
        QFile comm(base + QLatin1Char('/') + id + QStringLiteral("/comm"));
        if (!stat.open(QIODevice::ReadOnly) || !comm.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> fields = stat.readAll().simplified().split(' ');
        if (fields.size() < 3)
            continue;
        ThreadCpu thread;
        thread.name = QString::fromLocal8Bit(comm.readAll().trimmed());
        thread.seconds = fields[0].toDouble() / 1e9;
        thread.slices = fields[2].toULongLong();
        threads.insert(id.toInt(), thread);
    }
    return threads;
}
