#pragma once

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

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

    void stop()
    {
        if (server.state() == QProcess::NotRunning)
            return;
        // SIGTERM lets jackd remove its shared-memory files.
        server.terminate();
        if (!server.waitForFinished(5000))
            server.kill();
        server.waitForFinished(5000);
    }

    QString name() const { return serverName; }

private:
    QProcess server;
    QString serverName;
};
