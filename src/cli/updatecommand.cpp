// update: the device's firmware from an update file.
#include "devicesession.h"

#include "imidi.h"
#include "midimonitor.h"
#include "platformmidi.h"
#include "stopsignals.h"
#include "sysextext.h"
#include "updateprotocol.h"

#include <QCommandLineParser>
#include <QElapsedTimer>

#include <cstdio>
#include <memory>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

bool isTerminal(std::FILE *stream)
{
#ifdef Q_OS_UNIX
    return ::isatty(::fileno(stream)) == 1;
#else
    (void)stream;
    return false;
#endif
}

// The transfer's progress: on a terminal one line that is redrawn, with records, bytes and
// the time left; otherwise (a log, a pipe) one line at each tenth. A failed transfer ends with
// a line that says what is missing.
class UpdateProgressView
{
public:
    explicit UpdateProgressView(bool terminal)
        : terminal(terminal)
    {
    }

    void show(const UpdateProgress &progress)
    {
        if (progress.bytesTotal == 0)
            return;
        last = progress;
        if (!clock.isValid() || progress.bytes == 0)
            clock.start();
        const int percent = percentOf(progress);
        if (!terminal) {
            const int tenth = percent / 10;
            if (tenth <= shownTenth)
                return;
            shownTenth = tenth;
            Cli::out() << figures(progress) << ")" << Qt::endl;
            return;
        }
        constexpr int width = 30;
        const int filled = percent * width / 100;
        QString left;
        if (percent >= 100)
            left = QStringLiteral("done");
        else if (progress.bytes > 0)
            left = QStringLiteral("about %1 s left")
                       .arg(qint64(clock.elapsed()) * (progress.bytesTotal - progress.bytes)
                                / progress.bytes / 1000
                            + 1);
        Cli::out() << "\r[" << QString(filled, QLatin1Char('#'))
                   << QString(width - filled, QLatin1Char('-')) << "] "
                   << QStringLiteral("%1%").arg(percent, 3) << "  " << progress.records << "/"
                   << progress.recordsTotal << " records  " << progress.bytes << "/"
                   << progress.bytesTotal << " bytes  " << left << "\x1b[K" << Qt::flush;
        onLine = true;
    }

    // Ends the progress line, so that a message gets a line of its own.
    void interrupt()
    {
        if (onLine)
            Cli::out() << Qt::endl;
        onLine = false;
    }

    // After a transfer that failed: how far it came and what is missing, the records not
    // taken or, when the device took them all, its confirmation.
    void showMissing()
    {
        if (last.bytesTotal == 0)
            return;
        interrupt();
        const unsigned int records = last.recordsTotal - qMin(last.records, last.recordsTotal);
        const QString missing = records == 0
            ? QStringLiteral("the device's confirmation")
            : QStringLiteral("%1 %2, %3 bytes")
                  .arg(records)
                  .arg(records == 1 ? QStringLiteral("record") : QStringLiteral("records"))
                  .arg(last.bytesTotal - qMin(last.bytes, last.bytesTotal));
        Cli::out() << figures(last) << "; missing: " << missing << ")" << Qt::endl;
    }

private:
    // From the bytes accepted, so that the figures on a line agree; complete once the device
    // says so.
    static int percentOf(const UpdateProgress &progress)
    {
        if (progress.percent >= 100)
            return 100;
        return int(qMin<qint64>(99, qint64(progress.bytes) * 100 / progress.bytesTotal));
    }
    // "87 % (8 of 9 records, 3584 of 4096 bytes", to be closed by the caller.
    static QString figures(const UpdateProgress &progress)
    {
        return QStringLiteral("%1 % (%2 of %3 records, %4 of %5 bytes")
            .arg(percentOf(progress))
            .arg(progress.records)
            .arg(progress.recordsTotal)
            .arg(progress.bytes)
            .arg(progress.bytesTotal);
    }

    const bool terminal;
    UpdateProgress last;
    QElapsedTimer clock;
    int shownTenth = -1;
    bool onLine = false;
};

} // namespace

namespace Cli {

int update(const QStringList &arguments)
{
    const QString command = arguments.value(0);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral(
            "Checks the update file, then updates the device's firmware with it, as the editor's "
            "updater does. The device is found as \"Vellichord\" or, in update mode, as "
            "\"Vellichord Updater\". Ctrl-C, SIGTERM and SIGHUP stop it between records; the "
            "device then needs a complete update.")
        + exitCodes("0 updated (the device confirmed the update), 1 the update failed, was "
                    "stopped or was not confirmed, 2 bad usage or a damaged update file, 3 no "
                    "device"));
    parser.addPositionalArgument(QStringLiteral("FIRMWARE"), QStringLiteral("The update file."));
    parser.addOption(forceOption);
    int exitCode = Done;
    if (!parse(parser, arguments, &exitCode)
        || !oneArgument(parser, command, "the update file is", &exitCode))
        return exitCode;
    const QString fileName = parser.positionalArguments().at(0);

    const std::unique_ptr<IMidi> midi = make_platform_midi();
    QObject owner;
    MidiMonitor monitor(&owner, midi.get());
    UpdateProtocol protocol(*midi, monitor);
    protocol.setWording(UpdateProtocol::Wording::CommandLine);

    // The file is checked before the device is touched; its lines are shown only once it
    // passed, and otherwise the last of them says what is wrong.
    QStringList fileLines;
    QMetaObject::Connection gather = QObject::connect(
        &protocol, &UpdateProtocol::message, &owner,
        [&](const QString &line) { fileLines << line; });
    const bool loaded = protocol.load_update_binary(fileName);
    QObject::disconnect(gather);
    if (!loaded) {
        err() << command << ": " << printable_text(fileName) << ": "
              << printable_text(
                     fileLines.value(fileLines.size() - 1, QStringLiteral("cannot be loaded")))
              << Qt::endl;
        return BadUsage;
    }
    if (!deviceFree(command, parser.isSet(forceOption), &exitCode))
        return exitCode;
    if (!midi->portPresent(MidiController::portName)
        && !midi->portPresent(UpdateProtocol::updaterPortName)) {
        if (midi->midiSystemStopped())
            return systemStalled(command);
        err() << command << ": no MIDI port \"" << MidiController::portName << "\" or \""
              << UpdateProtocol::updaterPortName
              << "\" (is the device connected? 'vellichord ports' lists "
              << "the ports)" << Qt::endl;
        return NoDevice;
    }
    for (const QString &line : qAsConst(fileLines))
        out() << printable_text(line) << Qt::endl;

    UpdateProgressView progressView(isTerminal(stdout));
    QString lastLine;
    QObject::connect(&protocol, &UpdateProtocol::message, &owner, [&](const QString &line) {
        progressView.interrupt();
        out() << printable_text(line) << Qt::endl;
        lastLine = line;
    });
    QObject::connect(&protocol, &UpdateProtocol::progressChanged, &owner,
                     [&](const UpdateProgress &progress) { progressView.show(progress); });
    // Ctrl-C, kill and a closed terminal stop the update between records instead of ending the
    // program: cut off mid-record, the device would be left with neither the old firmware nor
    // word of what happened. The handlers found are back once the update is over.
    StopSignals stopSignals;
    QObject::connect(&stopSignals, &StopSignals::received, &protocol,
                     [&protocol] { protocol.requestStop(); });

    monitor.start();
    const bool done = protocol.doUpdate();
    progressView.interrupt();
    if (!done)
        progressView.showMissing();
    monitor.stop();
    monitor.wait();
    midi->disconnect();
    if (!done) {
        err() << command << ": the update failed: " << printable_text(lastLine) << Qt::endl;
        return Failed;
    }
    return Done;
}

} // namespace Cli
