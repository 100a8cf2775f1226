// ports, get, send and library send: commands that talk to the device about its patches.
#include "devicesession.h"

#include "imidi.h"
#include "librarysender.h"
#include "patchfile.h"
#include "patchlayout.h"
#include "patchlibrary.h"
#include "platformmidi.h"
#include "stopsignals.h"
#include "sysextext.h"
#include "updateprotocol.h"

#include <QCommandLineParser>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QRegularExpression>

#include <memory>

namespace {

const char *const updaterPortName = UpdateProtocol::updaterPortName;

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

} // namespace Cli
