#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QThread>

#include "signalprocess.h"

#include <csignal>

// A JACK server with the dummy driver (no sound hardware needed) on a server name of this
// process's own, so that test runs in parallel never meet. Every JACK client this process
// opens afterwards goes to it.
class JackServer
{
public:
    JackServer() = default;
    JackServer(const JackServer &) = delete;
    JackServer &operator=(const JackServer &) = delete;
    ~JackServer() { stop(); }

    // Starts the server, with cycles of periodFrames at 48 kHz, and waits until it takes
    // clients. On failure, error says why.
    bool start(QString *error, int periodFrames = 256)
    {
        serverName = QStringLiteral("vellichord-test-%1").arg(QCoreApplication::applicationPid());
        qputenv("JACK_DEFAULT_SERVER", serverName.toUtf8());
        qputenv("JACK_NO_START_SERVER", "1");

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        // The dummy driver needs no sound card to reserve.
        environment.insert(QStringLiteral("JACK_NO_AUDIO_RESERVATION"), QStringLiteral("1"));
        server.setProcessEnvironment(environment);
        server.setProcessChannelMode(QProcess::MergedChannels);
        // -S (synchronous): a cycle waits for every client to finish. Without it a client that
        // a busy machine (a parallel build, the sanitizers) makes late misses the cycle, and
        // the MIDI events of that cycle are lost.
        server.start(QStringLiteral("jackd"),
                     {"-S", "-n", serverName, "--no-realtime", "-d", "dummy", "-r", "48000", "-p",
                      QString::number(periodFrames)});
        if (!server.waitForStarted(10000)) {
            *error = QStringLiteral("cannot start jackd (package jackd2): ") + server.errorString();
            return false;
        }

        QProcess wait;
        wait.start(QStringLiteral("jack_wait"), {"--wait", "--timeout", "10"});
        if (!wait.waitForFinished(15000) || wait.exitCode() != 0
            || server.state() != QProcess::Running) {
            *error = QStringLiteral("jackd did not come up: ")
                + QString::fromLocal8Bit(server.readAll() + wait.readAll());
            return false;
        }
        return true;
    }

    // Stops the server as SIGSTOP does, and waits until every thread of it has stopped: it
    // then answers no client. True once it has.
    bool stall()
    {
        if (server.state() != QProcess::Running)
            return false;
        signalProcess(server, SIGSTOP);
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            if (stalled())
                return true;
            QThread::msleep(10);
        }
        return false;
    }

    // Lets a stalled server go on; harmless when it runs.
    void resume() { signalProcess(server, SIGCONT); }

    void stop()
    {
        if (server.state() == QProcess::NotRunning)
            return;
        // A stalled server would take the signal only once it goes on.
        resume();
        // SIGTERM lets jackd remove its shared-memory files.
        server.terminate();
        if (!server.waitForFinished(5000))
            server.kill();
        server.waitForFinished(5000);
    }

    QString name() const { return serverName; }

private:
    // Whether every thread of the server is stopped (state T in /proc).
    bool stalled() const
    {
        const QDir tasks(QStringLiteral("/proc/%1/task").arg(server.processId()));
        const QStringList threads = tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString &thread : threads) {
            QFile stat(tasks.filePath(thread + QStringLiteral("/stat")));
            if (!stat.open(QIODevice::ReadOnly))
                return false;
            const QByteArray line = stat.readAll();
            const int end = line.lastIndexOf(')');
            if (end < 0 || line.mid(end + 2, 1) != "T")
                return false;
        }
        return !threads.isEmpty();
    }

    QProcess server;
    QString serverName;
};
