#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include "../common/signalprocess.h"

// The vellichord-emulator program on the test's JACK server. Its output goes to a file, so it
// never waits for a reader while the editor is busy; the test reads that file line by line.
class EmulatorProcess
{
public:
    EmulatorProcess() = default;
    EmulatorProcess(const EmulatorProcess &) = delete;
    EmulatorProcess &operator=(const EmulatorProcess &) = delete;
    ~EmulatorProcess()
    {
        // Asked to stop first: a killed JACK client holds up the server for seconds, and with
        // it whatever the next test starts.
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(10000)) {
                process.kill();
                process.waitForFinished(5000);
            }
        }
    }

    // Starts the emulator with arguments and waits until its ports are open. On failure,
    // error says why.
    bool start(const QStringList &arguments, QString *error)
    {
        process.setStandardOutputFile(outputPath());
        process.setStandardErrorFile(errorPath());
        process.start(QStringLiteral(VELLICHORD_EMULATOR),
                      QStringList(QStringLiteral("--jack")) + arguments);
        if (!process.waitForStarted(10000)) {
            *error = QStringLiteral("cannot start the emulator: ") + process.errorString();
            return false;
        }
        if (!waitForLine(QStringLiteral("Emulating a Vellichord"))) {
            *error = QStringLiteral("the emulator did not come up: ") + errors();
            return false;
        }
        return true;
    }

    // Ends it with signal (SIGINT is Ctrl-C). Empty when it stopped cleanly, saying so;
    // otherwise what went wrong.
    QString stop(int signal = SIGTERM)
    {
        if (!signalProcess(process, signal))
            return QStringLiteral("the emulator had ended before it was stopped, output ending "
                                  "in: %1; errors: %2")
                .arg(lines().mid(lines().size() - 3).join(QLatin1Char('|')), errors());
        // Closing its JACK clients can wait for the server's cycles, which a busy machine
        // makes slow.
        if (!process.waitForFinished(30000))
            return QStringLiteral("the emulator did not stop");
        if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0
            && lines().endsWith(QStringLiteral("Stopped.")))
            return QString();
        return QStringLiteral("exit status %1, code %2, output ending in: %3; errors: %4")
            .arg(process.exitStatus())
            .arg(process.exitCode())
            .arg(lines().mid(lines().size() - 3).join(QLatin1Char('|')), errors());
    }

    // Ends it at once, as pulling the cable does.
    void kill()
    {
        process.kill();
        process.waitForFinished(5000);
    }

    QStringList lines() const
    {
        QFile file(outputPath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    QString errors() const
    {
        QFile file(errorPath());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    // Waits, with events processed, until a line starts with start.
    bool waitForLine(const QString &start, int timeoutMs = 10000) const
    {
        const QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired()) {
            for (const QString &line : lines()) {
                if (line.startsWith(start))
                    return true;
            }
            if (process.state() == QProcess::NotRunning)
                return false;
            QTest::qWait(10);
        }
        return false;
    }

    // The bytes of the last message whose line starts with start; the emulator must run with
    // --hex.
    QByteArray lastMessage(const QString &start) const
    {
        const QStringList all = lines();
        for (auto line = all.crbegin(); line != all.crend(); ++line) {
            if (line->startsWith(start))
                return QByteArray::fromHex(line->section(QStringLiteral(": "), -1).toLatin1());
        }
        return QByteArray();
    }

    int count(const QString &start) const
    {
        int found = 0;
        for (const QString &line : lines())
            found += line.startsWith(start) ? 1 : 0;
        return found;
    }

    QProcess process;

private:
    QString outputPath() const { return folder.filePath(QStringLiteral("output.txt")); }
    QString errorPath() const { return folder.filePath(QStringLiteral("errors.txt")); }

    QTemporaryDir folder;
};
