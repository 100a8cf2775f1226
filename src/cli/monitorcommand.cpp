// monitor: prints every MIDI message the device sends until stopped.
#include "cli.h"

#include "imidi.h"
#include "midicontroller.h"
#include "midimessagetext.h"
#include "platformmidi.h"
#include "stopsignals.h"
#include "sysextext.h"

#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QEventLoop>

#include <algorithm>
#include <limits>
#include <memory>

namespace {

// "11:38:01.123  in   Note On C3 (60) vel 100 Ch 10", with hex "  [99 3C 64]" added.
QString monitorLine(const MidiTrafficMessage &message, const QString &text, bool hex)
{
    QString line = midi_time_text(message.timeMs)
        + (message.outgoing ? QLatin1String("  out  ") : QLatin1String("  in   ")) + text;
    if (hex)
        line += QLatin1String("  [") + midi_hex_text(message.bytes) + QLatin1Char(']');
    return line;
}

} // namespace

namespace Cli {

int monitor(const QStringList &arguments)
{
    const QString command = arguments.value(0);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Prints every MIDI message that comes from the device, one line each: the time, the "
        "direction and the message as the editor's MIDI monitor shows it (\"Note On C3 (60) vel "
        "100 Ch 10\", \"CC 7 = 64 Ch 1\", \"Patch 'Drum Kit' preset 5 (348 bytes)\"). Clock and "
        "active sensing are left out unless --all is given. Runs until Ctrl-C, SIGTERM or "
        "SIGHUP.\n\nExit codes: 0 stopped, 1 the MIDI port could not be opened, 2 bad usage, "
        "3 no device."));
    const QCommandLineOption hexOption(QStringLiteral("hex"),
                                       QStringLiteral("Add each message's bytes in hex."));
    const QCommandLineOption allOption(QStringLiteral("all"),
                                       QStringLiteral("Print clock and active sensing too."));
    parser.addOption(hexOption);
    parser.addOption(allOption);
    int exitCode = Done;
    if (!parse(parser, arguments, &exitCode, true))
        return exitCode;
    if (!positionalCount(parser, command, 0, 0))
        return BadUsage;

    const QString port = portName(parser);
    const QByteArray name = port.toLocal8Bit();
    std::unique_ptr<IMidi> midi = make_platform_midi();
    midi->setWaitLimit(timeoutMs(parser));
    if (!midi->portPresent(name.constData())) {
        if (midi->midiSystemStopped()) {
            err() << command << ": the MIDI system does not answer (is the JACK server stopped?)"
                  << Qt::endl;
            return Failed;
        }
        err() << command << ": no MIDI port " << quoted_text(port)
              << " (is the device connected? 'vellichord ports' lists the ports)" << Qt::endl;
        return NoDevice;
    }
    MidiController controller(std::move(midi), name);
    if (!controller.open() || controller.getMidi()->connectedName().empty()) {
        err() << command << ": cannot open the MIDI port " << quoted_text(port) << Qt::endl;
        return Failed;
    }
    // The messages are only printed: a patch that comes changes nothing anywhere.
    controller.setPatchTaker([](const QByteArray &) { return true; });

    const bool hex = parser.isSet(hexOption);
    const bool all = parser.isSet(allOption);
    MidiTrafficDecoder decoder;
    QObject::connect(&controller, &MidiController::traffic, [&](const MidiTraffic &batch) {
        for (const MidiTrafficMessage &message : batch) {
            const MidiMessageKind kind = midi_message_kind(message.bytes);
            const QString text = decoder.text(message);
            if (all || (kind != MidiMessageKind::Clock && kind != MidiMessageKind::ActiveSensing))
                out() << monitorLine(message, text, hex) << '\n';
        }
        out() << Qt::flush;
    });

    QEventLoop loop;
    StopSignals stopSignals;
    QObject::connect(&stopSignals, &StopSignals::received, &loop, &QEventLoop::quit);
    err() << command << ": listening on " << quoted_text(port) << "; Ctrl-C ends" << Qt::endl;
    loop.exec();
    controller.stopMonitor();
    return Done;
}

} // namespace Cli
