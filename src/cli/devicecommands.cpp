// ports, get, send and update: commands that talk to the device.
#include "cli.h"

#include "deviceclaim.h"
#include "imidi.h"
#include "librarysender.h"
#include "midicontroller.h"
#include "midimonitor.h"
#include "patchfile.h"
#include "patchlayout.h"
#include "patchlibrary.h"
#include "platformmidi.h"
#include "stopsignals.h"
#include "sysextext.h"
#include "updateprotocol.h"

#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <iterator>
#include <limits>
#include <memory>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

const char *const updaterPortName = UpdateProtocol::updaterPortName;

// How often get asks within its timeout: a request or its answer lost on the way costs a
// retry, not the whole wait.
constexpr int requestAttempts = 3;

// Says that the port is not there and how to find the right one.
int noDevice(const QString &command, const QString &port)
{
    Cli::err() << command << ": no MIDI port " << quoted_text(port)
               << " (is the device connected? 'vellichord ports' lists the ports)" << Qt::endl;
    return Cli::NoDevice;
}

// Says that the MIDI system does not answer: a JACK server that was stopped, not killed.
int systemStalled(const QString &command)
{
    Cli::err() << command << ": the MIDI system does not answer (is the JACK server stopped?)"
               << Qt::endl;
    return Cli::Failed;
}

int remainingMs(const QDeadlineTimer &deadline)
{
    return int(std::min<qint64>(deadline.remainingTime(), std::numeric_limits<int>::max()));
}

// The controller on the platform's port, connected to port; null (after saying why) when
// the port is not there or cannot be opened, or the MIDI system does not answer by deadline.
std::unique_ptr<MidiController> connectToDevice(const QString &command, const QString &port,
                                                const QDeadlineTimer &deadline, int *exitCode)
{
    std::unique_ptr<IMidi> midi = make_platform_midi();
    const QByteArray name = port.toLocal8Bit();
    midi->setWaitLimit(remainingMs(deadline));
    if (!midi->portPresent(name.constData())) {
        *exitCode = midi->midiSystemStopped() ? systemStalled(command) : noDevice(command, port);
        return nullptr;
    }
    midi->setWaitLimit(remainingMs(deadline));
    auto controller = std::make_unique<MidiController>(std::move(midi), name);
    controller->open();
    if (controller->getMidi()->midiSystemStopped()) {
        *exitCode = systemStalled(command);
        return nullptr;
    }
    if (controller->getMidi()->connectedName().empty()) {
        Cli::err() << command << ": cannot open the MIDI port " << quoted_text(port) << Qt::endl;
        *exitCode = Cli::Failed;
        return nullptr;
    }
    return controller;
}

// --force of get, send and update.
const QCommandLineOption forceOption(
    QStringLiteral("force"),
    QStringLiteral("Use the device even while the Vellichord Editor runs; the editor then does "
                   "not know what changed on the device. Never during another program's "
                   "firmware update."));

// The help's last line: the exit codes, the refusal (4) included.
QString exitCodes(const char *codes)
{
    return QStringLiteral("\n\nExit codes: %1, 4 the Vellichord Editor is running (without "
                          "--force) or another program is updating the firmware.")
        .arg(QLatin1String(codes));
}

// Whether command may use the device: no other program is updating the firmware, and the
// editor is not running unless force. Says why not.
bool deviceFree(const QString &command, bool force, int *exitCode)
{
    DeviceClaim::Holder holder;
    if (DeviceClaim::isHeld(DeviceClaim::Kind::Update, &holder))
        Cli::err() << command << ": " << printable_text(holder.name())
                   << " is updating the Vellichord's firmware (process " << holder.pid
                   << "); try again once it has finished" << Qt::endl;
    else if (!force && DeviceClaim::isHeld(DeviceClaim::Kind::Editor, &holder))
        Cli::err() << command << ": the Vellichord Editor is running (process " << holder.pid
                   << "): use it, or pass --force" << Qt::endl;
    else
        return true;
    *exitCode = Cli::InUse;
    return false;
}

// The device claimed and connected for a command with the usual options (--port, --timeout,
// --force); no controller (after saying why, exitCode set) when another program holds the
// device or it cannot be reached. The deadline bounds the whole talk with the device, opening
// the port included.
struct DeviceSession
{
    QString port;
    QDeadlineTimer deadline;
    std::unique_ptr<MidiController> controller;
};

DeviceSession openDevice(const QString &command, const QCommandLineParser &parser, int *exitCode)
{
    DeviceSession session{Cli::portName(parser), QDeadlineTimer(Cli::timeoutMs(parser)), nullptr};
    if (deviceFree(command, parser.isSet(forceOption), exitCode))
        session.controller = connectToDevice(command, session.port, session.deadline, exitCode);
    return session;
}

bool noArguments(const QCommandLineParser &parser, const QString &command, int *exitCode)
{
    if (parser.positionalArguments().isEmpty())
        return true;
    Cli::err() << command << ": unexpected argument "
               << quoted_text(parser.positionalArguments().at(0)) << "; see '" << command
               << " --help'" << Qt::endl;
    *exitCode = Cli::BadUsage;
    return false;
}

bool oneArgument(const QCommandLineParser &parser, const QString &command, const char *what,
                 int *exitCode)
{
    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() == 1)
        return true;
    if (arguments.isEmpty())
        Cli::err() << command << ": " << what << " missing; see '" << command << " --help'"
                   << Qt::endl;
    else
        Cli::err() << command << ": unexpected argument " << quoted_text(arguments.at(1))
                   << "; see '" << command << " --help'" << Qt::endl;
    *exitCode = Cli::BadUsage;
    return false;
}

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

// Asks the device for its patch, again at each third of the time left until deadline, and
// waits for it; the controller then holds it. Done, or Failed after saying why (timeout ms
// being the whole wait).
int fetchPatch(const QString &command, MidiController *controller, const QString &port, int timeout,
               const QDeadlineTimer &deadline)
{
    using Cli::err;
    QEventLoop loop;
    bool received = false;
    int otherMessages = 0;
    int otherLength = 0;
    QObject::connect(controller, &MidiController::patchReceived, &loop, [&] {
        received = true;
        loop.quit();
    });
    // Whatever else arrives is remembered, so that a wrong answer is told from none.
    QObject::connect(controller->getMonitor(), &MidiMonitor::receivedSysex, &loop,
                     [&](const QByteArray &message) {
                         if (received)
                             return;
                         ++otherMessages;
                         otherLength = message.size();
                     });

    int attempts = 0;
    bool requestFailed = false;
    QTimer retry;
    const auto ask = [&] {
        if (attempts++ == requestAttempts || requestFailed) {
            loop.quit();
            return;
        }
        if (!controller->uploadPatch()) {
            err() << command << ": cannot send the patch request to the MIDI port "
                  << quoted_text(port) << Qt::endl;
            requestFailed = true;
            loop.quit();
        }
    };
    QObject::connect(&retry, &QTimer::timeout, &loop, ask);
    retry.start(std::max(1, remainingMs(deadline) / requestAttempts));
    ask();
    if (!requestFailed)
        loop.exec();
    retry.stop();
    controller->stopMonitor();
    if (requestFailed)
        return Cli::Failed;
    if (!received) {
        if (otherMessages > 0)
            err() << command << ": the device on " << quoted_text(port)
                  << " answered with a message that is not a patch (" << otherLength << " bytes)"
                  << Qt::endl;
        else
            err() << command << ": no answer from the device on " << quoted_text(port) << " within "
                  << timeout << " ms" << Qt::endl;
        return Cli::Failed;
    }

    return Cli::Done;
}

// The preset numbers of a list such as "0-4,7", in ascending order; false for anything else
// (a number outside 0..19, a range that runs backwards).
bool parsePresetList(const QString &text, QList<int> *presetNos)
{
    static const QRegularExpression item(
        QStringLiteral("^\\s*(\\d{1,2})\\s*(?:[-\u2013]\\s*(\\d{1,2})\\s*)?$"));
    bool chosen[PatchLibrary::presetCount] = {};
    for (const QString &part : text.split(QLatin1Char(','))) {
        const QRegularExpressionMatch match = item.match(part);
        if (!match.hasMatch())
            return false;
        const int first = match.captured(1).toInt();
        const int last = match.captured(2).isEmpty() ? first : match.captured(2).toInt();
        if (last < first || !PatchLibrary::validPresetNo(last))
            return false;
        for (int presetNo = first; presetNo <= last; ++presetNo)
            chosen[presetNo] = true;
    }
    presetNos->clear();
    for (int presetNo = 0; presetNo < PatchLibrary::presetCount; ++presetNo) {
        if (chosen[presetNo])
            *presetNos << presetNo;
    }
    return true;
}

// The library file with message put in: in place of the message of its preset number, or,
// for a preset the library does not hold, before the first of a higher number.
QList<QByteArray> withPreset(QList<QByteArray> messages, const QByteArray &message)
{
    const auto presetNo = [](const QByteArray &m) {
        return static_cast<unsigned char>(m.at(int(PatchLayout::presetNoOffset)));
    };
    for (QByteArray &held : messages) {
        if (presetNo(held) == presetNo(message)) {
            held = message;
            return messages;
        }
    }
    int place = 0;
    while (place < messages.size() && presetNo(messages[place]) < presetNo(message))
        ++place;
    messages.insert(place, message);
    return messages;
}

} // namespace

namespace Cli {

int ports(const QStringList &arguments)
{
    const QString command = arguments.value(0);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Lists the MIDI inputs and outputs the system offers; the device's own "
                       "are marked [Vellichord], or [Vellichord Updater] in update mode.\n\n"
                       "Exit codes: 0 done, 1 the MIDI system does not answer, 2 bad usage."));
    int exitCode = Done;
    if (!parse(parser, arguments, &exitCode) || !noArguments(parser, command, &exitCode))
        return exitCode;

    const std::unique_ptr<IMidi> midi = make_platform_midi();
    const std::vector<IMidi::ListedPort> listed = midi->listPorts();
    if (midi->midiSystemStopped())
        return systemStalled(command);
    // The updater's name contains the normal one, so it is tried first.
    const auto mark = [&](const std::string &name) {
        if (midi->listedPortMatches(name, updaterPortName))
            return QStringLiteral("  [%1]").arg(QLatin1String(updaterPortName));
        if (midi->listedPortMatches(name, MidiController::portName))
            return QStringLiteral("  [%1]").arg(QLatin1String(MidiController::portName));
        return QString();
    };
    for (const bool input : {true, false}) {
        out() << (input ? "Inputs:" : "Outputs:") << Qt::endl;
        bool any = false;
        for (const IMidi::ListedPort &port : listed) {
            if (port.input != input)
                continue;
            out() << "  " << printable_text(QString::fromLocal8Bit(port.name.c_str()))
                  << mark(port.name) << Qt::endl;
            any = true;
        }
        if (!any)
            out() << "  (none)" << Qt::endl;
    }
    return Done;
}

int get(const QStringList &arguments)
{
    const QString command = arguments.value(0);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Asks the device for its patch. With -o it is written as a patch file "
                       "(as the editor's Save Settings writes it); with --into it goes into a "
                       "library file, as the preset of its own number (added, or replacing the "
                       "one there; the file is made when missing); otherwise it is printed. A "
                       "preset number outside 0..19 is kept as the device sent it and named on "
                       "stderr; such a patch goes into no library.")
        + exitCodes("0 done, 1 the device did not answer with its patch or the "
                    "file could not be written, 2 bad usage or a bad library file, 3 no device"));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("Write the patch to FILE."),
                                    QStringLiteral("FILE"));
    parser.addOption(output);
    const QCommandLineOption into(QStringLiteral("into"),
                                  QStringLiteral("Put the patch into the library file LIBRARY."),
                                  QStringLiteral("LIBRARY"));
    parser.addOption(into);
    const QCommandLineOption json(
        QStringLiteral("json"), QStringLiteral("Print the patch as JSON, as 'show --json' does."));
    parser.addOption(json);
    parser.addOption(forceOption);
    int exitCode = Done;
    if (!parse(parser, arguments, &exitCode, true) || !noArguments(parser, command, &exitCode))
        return exitCode;
    const QString fileName = parser.value(output);
    if (parser.isSet(output)) {
        // Found out before the device is asked, so that a typing error costs nothing.
        const QFileInfo file(fileName);
        if (fileName.isEmpty() || file.isDir() || !file.absoluteDir().exists()) {
            err() << command << ": cannot write " << quoted_text(fileName)
                  << ": no such folder, or a folder itself" << Qt::endl;
            return BadUsage;
        }
    }
    const QString libraryName = parser.value(into);
    QList<QByteArray> library;
    if (parser.isSet(into)) {
        const QFileInfo file(libraryName);
        if (libraryName.isEmpty() || file.isDir() || !file.absoluteDir().exists()) {
            err() << command << ": cannot write " << quoted_text(libraryName)
                  << ": no such folder, or a folder itself" << Qt::endl;
            return BadUsage;
        }
        // A library that exists must be whole: what it holds is kept.
        if (file.exists() && !loadLibrary(command, libraryName, &library))
            return BadUsage;
    }

    const DeviceSession session = openDevice(command, parser, &exitCode);
    if (!session.controller)
        return exitCode;
    const QString &port = session.port;
    const QDeadlineTimer &deadline = session.deadline;
    MidiController *const controller = session.controller.get();

    exitCode = fetchPatch(command, controller, port, timeoutMs(parser), deadline);
    if (exitCode != Done)
        return exitCode;
    const QString presetOutside = preset_out_of_range_text(controller->getPresetNo());
    if (!presetOutside.isEmpty())
        err() << command << ": the device's " << presetOutside << "; it is kept as it is"
              << Qt::endl;

    if (parser.isSet(into)) {
        const int presetNo = controller->getPresetNo();
        if (!presetOutside.isEmpty()) {
            err() << command << ": " << printable_text(libraryName)
                  << ": no preset takes a patch of preset number " << presetNo
                  << "; the library is unchanged" << Qt::endl;
            return Failed;
        }
        if (!write_library_file(libraryName, withPreset(library, controller->currentPatch()))) {
            err() << command << ": cannot write " << quoted_text(libraryName) << Qt::endl;
            return Failed;
        }
        out() << "Put the patch " << quoted_text(controller->getPresetName()) << " into "
              << printable_text(libraryName) << " as preset " << presetNo << Qt::endl;
    }
    if (parser.isSet(output)) {
        if (!controller->saveSysex(fileName)) {
            err() << command << ": cannot write " << quoted_text(fileName) << Qt::endl;
            return Failed;
        }
        out() << "Wrote the patch " << quoted_text(controller->getPresetName()) << " to "
              << printable_text(fileName) << Qt::endl;
    }
    if (parser.isSet(output) || parser.isSet(into))
        return Done;
    printPatch(controller->getPatch(), parser.isSet(json));
    return Done;
}

int send(const QStringList &arguments)
{
    const QString command = arguments.value(0);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral(
            "Sends the patch of a patch file to the device, as the editor's Load Settings and "
            "Download do: it asks the device for its patch first and sends the file's into the "
            "preset the device is on. A file or a device whose preset number lies outside 0..19 "
            "is refused.")
        + exitCodes("0 sent, 1 the device did not answer or the patch could not be sent, 2 bad "
                    "usage or not a patch file, 3 no device"));
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The patch file."));
    parser.addOption(forceOption);
    int exitCode = Done;
    if (!parse(parser, arguments, &exitCode, true)
        || !oneArgument(parser, command, "the patch file is", &exitCode))
        return exitCode;
    const QString fileName = parser.positionalArguments().at(0);
    QByteArray patch;
    // The file is looked at before the device is touched.
    const PatchFileFault fault = read_patch_file(fileName, &patch);
    if (fault != PatchFileFault::None) {
        err() << command << ": " << printable_text(fileName) << ": " << patch_file_fault_text(fault)
              << Qt::endl;
        return BadUsage;
    }
    // The file's preset number is not sent, but one that no preset has marks a damaged file.
    const QString fileOutside = preset_out_of_range_text(
        static_cast<unsigned char>(patch.at(int(PatchLayout::presetNoOffset))));
    if (!fileOutside.isEmpty()) {
        err() << command << ": " << printable_text(fileName) << ": " << fileOutside << Qt::endl;
        return BadUsage;
    }

    const DeviceSession session = openDevice(command, parser, &exitCode);
    if (!session.controller)
        return exitCode;
    const QString &port = session.port;
    const QDeadlineTimer &deadline = session.deadline;
    MidiController *const controller = session.controller.get();
    // A patch goes into the preset the device is on, as the editor's Download sends it: the
    // editor learns that preset from the device's own patch at start-up, and a file's preset
    // number is not used.
    exitCode = fetchPatch(command, controller, port, timeoutMs(parser), deadline);
    if (exitCode != Done)
        return exitCode;
    const QString presetOutside = preset_out_of_range_text(controller->getPresetNo());
    if (!presetOutside.isEmpty()) {
        err() << command << ": the device's " << presetOutside << "; nothing was sent" << Qt::endl;
        return Failed;
    }
    PatchFileFault loadFault = PatchFileFault::None;
    if (!controller->loadSysex(fileName, &loadFault)) {
        // Changed between the look and the load.
        err() << command << ": " << printable_text(fileName) << ": "
              << patch_file_fault_text(loadFault) << Qt::endl;
        return BadUsage;
    }
    const bool sent = controller->downloadPatch();
    controller->stopMonitor();
    if (!sent) {
        err() << command << ": cannot send the patch to the MIDI port " << quoted_text(port)
              << Qt::endl;
        return Failed;
    }
    out() << "Sent the patch " << quoted_text(controller->getPresetName()) << " from "
          << printable_text(fileName) << " to " << quoted_text(port) << ", preset "
          << controller->getPresetNo() << Qt::endl;
    return Done;
}

int librarySend(const QStringList &arguments)
{
    const QString command = arguments.value(0);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral(
            "Sends the presets of a library file to the device, each into the preset of its own "
            "number, in preset order, at most one every %1 ms. The device stores what it is "
            "sent without a word; so after each preset the device is asked for its patch, and "
            "a preset counts as sent only when the device answers with it. A preset that does "
            "not come back so is named as failed, and the others are still sent; a port that "
            "cannot send ends the run. Ctrl-C, SIGTERM and SIGHUP stop it after the preset under "
            "way. It ends with a line such as \"Sent presets 0\u201319 (20)\".\n")
            .arg(LibrarySender::intervalMs)
        + QString::fromLatin1(libraryNote).trimmed()
        + exitCodes("0 every preset was sent, 1 some preset failed or was not tried, 2 bad usage "
                    "or not a library file, 3 no device"));
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The library file."));
    const QCommandLineOption presets(
        QStringLiteral("presets"),
        QStringLiteral("Send only these presets of the library, e.g. 0-4,7 (default: all)."),
        QStringLiteral("LIST"));
    parser.addOption(presets);
    parser.addOption(forceOption);
    int exitCode = Done;
    if (!parse(parser, arguments, &exitCode, true)
        || !oneArgument(parser, command, "the library file is", &exitCode))
        return exitCode;
    const QString fileName = parser.positionalArguments().at(0);
    QList<QByteArray> messages;
    // The file is looked at before the device is touched.
    if (!loadLibrary(command, fileName, &messages))
        return BadUsage;
    QMap<int, QByteArray> byPreset;
    for (const QByteArray &message : qAsConst(messages))
        byPreset.insert(static_cast<unsigned char>(message.at(int(PatchLayout::presetNoOffset))),
                        message);
    QList<int> chosen = byPreset.keys();
    if (parser.isSet(presets)) {
        if (!parsePresetList(parser.value(presets), &chosen)) {
            err() << command << ": --presets wants preset numbers 0.."
                  << PatchLayout::highestPresetNo << " and ranges such as 0-4,7, not "
                  << quoted_text(parser.value(presets)) << Qt::endl;
            return BadUsage;
        }
        for (const int presetNo : qAsConst(chosen)) {
            if (!byPreset.contains(presetNo)) {
                err() << command << ": " << printable_text(fileName) << " holds no preset "
                      << presetNo << Qt::endl;
                return BadUsage;
            }
        }
    }
    QList<QByteArray> toSend;
    for (const int presetNo : qAsConst(chosen))
        toSend << byPreset.value(presetNo);

    const DeviceSession session = openDevice(command, parser, &exitCode);
    if (!session.controller)
        return exitCode;
    MidiController *const controller = session.controller.get();

    LibrarySender sender(*controller);
    QEventLoop loop;
    LibrarySendResult result;
    QObject::connect(&sender, &LibrarySender::finished, &loop, [&](const LibrarySendResult &done) {
        result = done;
        loop.quit();
    });
    // Stopped between presets: one cut off would leave the device's preset half written.
    StopSignals stopSignals;
    QObject::connect(&stopSignals, &StopSignals::received, &sender, &LibrarySender::stop);
    if (!sender.start(toSend)) {
        err() << command << ": " << printable_text(fileName) << ": nothing to send" << Qt::endl;
        return BadUsage;
    }
    loop.exec();
    controller->stopMonitor();
    if (!result.failed.isEmpty() || !result.notTried.isEmpty() || result.stopped) {
        err() << command << ": " << result.summary() << Qt::endl;
        return Failed;
    }
    out() << result.summary() << Qt::endl;
    return Done;
}

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
    if (!midi->portPresent(MidiController::portName) && !midi->portPresent(updaterPortName)) {
        if (midi->midiSystemStopped())
            return systemStalled(command);
        err() << command << ": no MIDI port \"" << MidiController::portName << "\" or \""
              << updaterPortName << "\" (is the device connected? 'vellichord ports' lists "
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
