#pragma once

#include <QProcess>

#include <csignal>
#include <sys/types.h>

// Sends signal to a child process while it runs. kill() with the pid of a process that has
// already ended, which QProcess gives as 0, would send it to the test's whole process group
// instead: to the test itself, and to ctest and the tests beside it.
inline bool signalProcess(const QProcess &process, int signal)
{
    const qint64 pid = process.processId();
    return process.state() != QProcess::NotRunning && pid > 0 && ::kill(pid_t(pid), signal) == 0;
}
