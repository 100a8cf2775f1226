// vellichord-emulator: a virtual Vellichord on the system's MIDI, so that the editor can be
// tried, and tested end to end, without the hardware.

#include "controlplayer.h"
#include "emulateddevice.h"
#include "emulatoroutput.h"
#include "patch.h"
#include "patchlibrary.h"
#ifdef VELLICHORD_HAVE_JACK
#include "jackvirtualdevice.h"
#endif
#include "rtmidiapi.h"
#include "rtmidiport.h"
#include "stopsignals.h"
#include "sysextext.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>

#include <RtMidi.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <functional>
#include <iostream>
#include <memory>
#include <sstream>

#include <unistd.h>

namespace {

const char clientName[] = "Vellichord Emulator";
const QString normalPortName = QStringLiteral("Vellichord");
const QString updaterPortName = QStringLiteral("Vellichord Updater");

// Where the twenty memories are written when the emulator ends (--write-presets); empty for
// nowhere.
QString presetsOutput;

// While the ports are being opened, the MIDI system's complaints are gathered here and told in
// one line if opening fails; afterwards each is printed as it comes.
struct MidiErrors
{
    std::atomic<bool> gathering{true};
    bool failed = false;
    QStringList texts;
};

void onMidiError(RtMidiError::Type type, const std::string &text, void *errors)
{
    auto *midiErrors = static_cast<MidiErrors *>(errors);
    const QString line = QString::fromStdString(text).trimmed();
    if (!midiErrors->gathering) {
        complain(line);
        return;
    }
    if (type != RtMidiError::WARNING && type != RtMidiError::DEBUG_WARNING)
        midiErrors->failed = true;
    if (!midiErrors->texts.contains(line))
        midiErrors->texts << line;
}

// Reads a number of at least 1 from option; 0 when it is not given.
bool positiveOption(const QCommandLineParser &parser, const QString &option, int *value)
{
    *value = 0;
    if (!parser.isSet(option))
        return true;
    bool ok = false;
    *value = parser.value(option).toInt(&ok);
    if (ok && *value > 0)
        return true;
    complain(QStringLiteral("--%1 wants a whole number of at least 1, not \"%2\"")
                 .arg(option, parser.value(option)));
    return false;
}

// The name of a port that already stands for a Vellichord, or an empty text.
QString connectedDevice(RtMidiIn &sources)
{
    const bool alsa = sources.getCurrentApi() == RtMidi::LINUX_ALSA;
    for (unsigned int i = 0; i < sources.getPortCount(); ++i) {
        const QString name = QString::fromStdString(sources.getPortName(i));
        if (RtMidiPort::portNameMatches(name, normalPortName, alsa)
            || RtMidiPort::portNameMatches(name, updaterPortName, alsa))
            return name;
    }
    return QString();
}

// The device behind the two virtual ports: prints every message, answers as the device does.
class Emulator
{
public:
    using Send = std::function<void(const QByteArray &)>;

    Emulator(EmulatedDevice &device, Send send, bool hex)
        : device(device)
        , send(std::move(send))
        , hex(hex)
    {
    }

    // Called on the MIDI system's thread; the message is handled on the main thread.
    static void arrived(double, std::vector<unsigned char> *message, void *self)
    {
        if (!message || message->empty())
            return;
        const QByteArray bytes(reinterpret_cast<const char *>(message->data()),
                               int(message->size()));
        auto *emulator = static_cast<Emulator *>(self);
        QMetaObject::invokeMethod(
            qApp, [emulator, bytes] { emulator->handle(bytes); }, Qt::QueuedConnection);
    }

    void handle(const QByteArray &message)
    {
        say(QStringLiteral("received: ") + line(message));
        for (const QByteArray &answer : device.receive(message)) {
            send(answer);
            say(QStringLiteral("sent: ") + line(answer));
        }
    }

private:
    QString line(const QByteArray &message) const
    {
        QString text = EmulatedDevice::describe(message);
        if (hex)
            text += QStringLiteral(": ") + QString::fromLatin1(message.toHex(' '));
        return text;
    }

    EmulatedDevice &device;
    Send send;
    bool hex;
};

// Nothing would ever reach an emulator without ports: says so, once.
void cannotOpen(const QString &portName, const QString &api, const QString &cause)
{
    complain(QStringLiteral("could not open the MIDI ports \"%1\" on %2 (%3). Is the MIDI "
                            "system running? Start a JACK server (for example \"jackd -d "
                            "dummy\") or load the ALSA sequencer (snd-seq).")
                 .arg(portName, api, cause));
}

// Runs the emulation on open ports until Ctrl-C, kill or a closed terminal; closePorts ends
// every call into the emulator.
int serve(EmulatedDevice &device, const QString &portName, const QString &api,
          const std::function<void()> &closePorts, const SendNow &sendNow, bool hex)
{
    StopSignals stopSignals;
    if (!stopSignals.isActive()) {
        complain(QStringLiteral("cannot set up signal handling"));
        closePorts();
        return 1;
    }
    QObject::connect(&stopSignals, &StopSignals::received, qApp, &QCoreApplication::quit);
    // "preset N" lines on standard input switch the current preset, as a musician steps
    // through the presets on the device; "touch" and "flood" lines play its controls. Read on
    // the main thread, as the messages are handled.
    // Started in the background of a terminal, reading would stop the emulator (SIGTTIN);
    // ignored, the read fails instead and the input is left alone.
    std::signal(SIGTTIN, SIG_IGN);
    ControlPlayer player(device, sendNow, hex);
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, qApp, [&] {
        char buffer[256];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            return;
        if (got <= 0) {
            // The end of the input, or an input that cannot be read: nothing more will come.
            input.setEnabled(false);
            return;
        }
        pending.append(buffer, int(got));
        for (int end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
            takeInputLine(device, player, QString::fromLocal8Bit(pending.left(end)).trimmed());
            pending.remove(0, end + 1);
        }
    });
    set_midi_system_quiet(false);
    say(QStringLiteral("holds: ") + EmulatedDevice::describe(device.patchMessage()));
    say(QStringLiteral("Emulating a Vellichord on the MIDI ports \"%1\" (%2). Ctrl-C stops.")
            .arg(portName, api));
    const int result = QCoreApplication::exec();
    closePorts();
    if (!presetsOutput.isEmpty()) {
        if (write_library_file(presetsOutput, device.presetMessages()))
            say(QStringLiteral("wrote the presets to %1").arg(printable_text(presetsOutput)));
        else
            complain(QStringLiteral("cannot write the presets to %1")
                         .arg(printable_text(presetsOutput)));
    }
    say(QStringLiteral("Stopped."));
    return result;
}

#ifdef VELLICHORD_HAVE_JACK
// Room in the output queue that a flood leaves for patches and status answers.
constexpr size_t floodKeepsFree = 1 << 16;

// On JACK the device is one client of the emulator's own on libjack, named as the device's
// ports, with both of them.
int emulateOnJack(EmulatedDevice &device, const QString &portName, bool hex, bool ifAbsent)
{
    const QString api = QString::fromStdString(RtMidi::getApiDisplayName(RtMidi::UNIX_JACK));
    JackVirtualDevice ports;
    QString error;
    if (!ports.openClient(portName, &error)) {
        if (ifAbsent && error.contains(QStringLiteral("there already"))) {
            say(QStringLiteral("A Vellichord is connected (%1); not emulating one.")
                    .arg(printable_text(portName)));
            return 0;
        }
        cannotOpen(portName, api, error);
        return 1;
    }
    if (ifAbsent) {
        for (const QString &name : ports.ports(true)) {
            if (RtMidiPort::portNameMatches(name, normalPortName, false)
                || RtMidiPort::portNameMatches(name, updaterPortName, false)) {
                say(QStringLiteral("A Vellichord is connected (%1); not emulating one.")
                        .arg(printable_text(name)));
                return 0;
            }
        }
    }
    Emulator emulator(
        device,
        [&ports](const QByteArray &message) {
            if (!ports.send(message))
                complain(QStringLiteral("no room in the JACK output queue for a message of %1 "
                                        "bytes; it is not sent")
                             .arg(message.size()));
        },
        hex);
    // Received on the reader thread; handled on the main thread.
    const auto receive = [&emulator](const QByteArray &message) {
        QMetaObject::invokeMethod(
            qApp, [&emulator, message] { emulator.handle(message); }, Qt::QueuedConnection);
    };
    if (!ports.openPorts(receive, &error)) {
        cannotOpen(portName, api, error);
        return 1;
    }
    return serve(
        device, portName, api, [&ports] { ports.close(); },
        [&ports](const QByteArray &message, bool flood) {
            return ports.send(message, flood ? floodKeepsFree : 0);
        },
        hex);
}
#endif

// Elsewhere (the ALSA sequencer, CoreMIDI) through RtMidi's virtual ports.
int emulateOnRtMidi(EmulatedDevice &device, const QString &portName, bool hex, bool ifAbsent,
                    bool jackOnly)
{
    MidiErrors midiErrors; // outlives the clients, which may complain as they close
    // RtMidi prints what goes wrong while a client is made, before it can be told where to.
    std::ostringstream madeErrors;
    std::streambuf *const errorOutput = std::cerr.rdbuf(madeErrors.rdbuf());
    std::unique_ptr<RtMidiIn> input = create_midi_client<RtMidiIn>(jackOnly, clientName);
    std::unique_ptr<RtMidiOut> output;
    if (input)
        output = create_midi_client<RtMidiOut>(jackOnly, clientName);
    std::cerr.rdbuf(errorOutput);
    for (const QString &line : QString::fromStdString(madeErrors.str()).split(QLatin1Char('\n'))) {
        if (!line.trimmed().isEmpty() && !midiErrors.texts.contains(line.trimmed()))
            midiErrors.texts << line.trimmed();
    }
    if (!input || !output) {
        complain(QStringLiteral("no MIDI system: start a JACK server (for example "
                                "\"jackd -d dummy\") or load the ALSA sequencer (snd-seq)"));
        return 1;
    }
    input->setErrorCallback(&onMidiError, &midiErrors);
    output->setErrorCallback(&onMidiError, &midiErrors);
    if (ifAbsent) {
        const QString found = connectedDevice(*input);
        if (!found.isEmpty()) {
            say(QStringLiteral("A Vellichord is connected (%1); not emulating one.")
                    .arg(printable_text(found)));
            return 0;
        }
    }

    Emulator::Send send = [&output](const QByteArray &message) {
        output->sendMessage(reinterpret_cast<const unsigned char *>(message.constData()),
                            size_t(message.size()));
    };
    Emulator emulator(device, send, hex);
    // Receive SysEx; timing and active sensing stay filtered.
    input->ignoreTypes(false, true, true);
    input->setCallback(&Emulator::arrived, &emulator);
    try {
        input->openVirtualPort(portName.toStdString());
        output->openVirtualPort(portName.toStdString());
    } catch (const RtMidiError &error) {
        midiErrors.failed = true;
        midiErrors.texts << QString::fromStdString(error.getMessage()).trimmed();
    }
    set_midi_system_quiet(false);
    midiErrors.gathering = false;
    const QString api = QString::fromStdString(RtMidi::getApiDisplayName(output->getCurrentApi()));
    if (midiErrors.failed) {
        // The first complaint is the cause; the others follow from it.
        cannotOpen(portName, api, midiErrors.texts.value(0));
        input.reset();
        return 1;
    }
    for (const QString &warning : qAsConst(midiErrors.texts))
        complain(warning);

    return serve(
        device, portName, api,
        [&] {
            // The input goes first: once its client is closed, nothing calls the emulator any
            // more. Unsetting its callback instead would race with a call under way on its
            // thread.
            input.reset();
            output.reset();
        },
        [&send](const QByteArray &message, bool) {
            // The sequencer takes it, waiting for room when it must.
            send(message);
            return true;
        },
        hex);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vellichord-emulator"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELLICHORD_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A virtual Vellichord on the system's MIDI (the ALSA sequencer when the system has "
        "one, JACK otherwise). It holds twenty presets (0..19), one of them current, and "
        "answers the editor's patch request with the current preset's patch; a patch the "
        "editor sends for preset n is stored as preset n, which becomes current. A line "
        "\"preset N\" on standard input makes preset N current, as stepping through the "
        "presets on the device does. A line \"touch CONTROL [VALUE]\" (a control name such as "
        "PAD7, E3 or XY) sends what that control sends under the current patch: a note-on and "
        "note-off for a pad or button of type Note, the controller at VALUE and at 0 for one of "
        "type CC, a control change of VALUE for a slider, knob or the crossfader, CC X and CC Y "
        "for the X-Y pad; VALUE (the velocity of a note) is 64 unless given. A line \"flood N "
        "[CONTROL [PER_SECOND]]\" sends N "
        "messages of that control (default S1), its values stepping 0..127, as fast as the "
        "port takes them or PER_SECOND a second. "
        "It takes firmware updates: a record with an empty body "
        "ends the image. It prints one line per message it receives and sends. Without "
        "options it is a healthy device in normal mode, every preset holding the factory "
        "patch, preset 0 current. Ctrl-C stops it."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {QStringLiteral("updater"),
         QStringLiteral("Present the ports as \"Vellichord Updater\" (update mode) instead of "
                        "\"Vellichord\".")},
        {QStringLiteral("patch"),
         QStringLiteral("Start with the patch of a patch file instead of the factory patch, its "
                        "preset number as stored (also one outside 0..19), in every preset."),
         QStringLiteral("file")},
        {QStringLiteral("presets"),
         QStringLiteral("Load the presets of a library file at start, each into its own preset "
                        "number; the others keep the patch they start with."),
         QStringLiteral("file")},
        {QStringLiteral("preset"), QStringLiteral("Start with preset <n> (0..19) current."),
         QStringLiteral("n")},
        {QStringLiteral("write-presets"),
         QStringLiteral("Write all twenty presets to <file> as a library file when the emulator "
                        "ends, each as the Type 1 message that stores it."),
         QStringLiteral("file")},
        {QStringLiteral("write-image"),
         QStringLiteral("Write the received firmware image to <file> when an update ends."),
         QStringLiteral("file")},
        {QStringLiteral("not-ready"),
         QStringLiteral("Answer the update code with 0x15 (reset the device first) instead of "
                        "0x3D (ready).")},
        {QStringLiteral("drop-every"),
         QStringLiteral("Leave every <n>-th answer unsent (patches and status answers), and "
                        "ignore every <n>-th patch it is sent (store nothing)."),
         QStringLiteral("n")},
        {QStringLiteral("crc-error-every"),
         QStringLiteral("Answer every <n>-th record with 0x20 (damaged in transit)."),
         QStringLiteral("n")},
        {QStringLiteral("code-error"),
         QStringLiteral("Answer every record with 0x21 (error in the update file).")},
        {QStringLiteral("no-confirm"),
         QStringLiteral("Answer the record that ends the image with 0x1A (accepted) instead of "
                        "0x77 (update complete): take every record and never confirm the "
                        "update.")},
        {QStringLiteral("end-at"),
         QStringLiteral("Answer the <n>-th record received with 0x77 (update complete) even "
                        "when more records follow, and the records before it with 0x1A "
                        "(accepted): a device that ends the update early."),
         QStringLiteral("n")},
        {QStringLiteral("silent-after-handshake"),
         QStringLiteral("Answer the update code, then no record at all: a device that goes "
                        "silent once the transfer has begun.")},
        {QStringLiteral("silent"), QStringLiteral("Answer nothing at all.")},
        {QStringLiteral("patch-reply"),
         QStringLiteral("Answer the patch request with <kind>: patch (the default), short (the "
                        "first 100 bytes), overlong (1100 bytes), other-kind (a patch of the "
                        "wrong kind) or none."),
         QStringLiteral("kind"), QStringLiteral("patch")},
        {QStringLiteral("hex"), QStringLiteral("Print the bytes of every message as well.")},
        {QStringLiteral("jack"), QStringLiteral("Use JACK even where the ALSA sequencer exists.")},
        {QStringLiteral("if-absent"),
         QStringLiteral("Only emulate a Vellichord when none is connected; otherwise say so "
                        "and end at once.")},
    });
    parser.process(app);
    if (!parser.positionalArguments().isEmpty()) {
        complain(QStringLiteral("unexpected argument \"%1\"; see --help")
                     .arg(parser.positionalArguments().first()));
        return 2;
    }

    EmulatedDevice device;
    if (parser.isSet(QStringLiteral("patch"))) {
        QString error;
        if (!device.loadPatchFile(parser.value(QStringLiteral("patch")), &error)) {
            complain(error);
            return 1;
        }
    }
    if (parser.isSet(QStringLiteral("presets"))) {
        const QString path = parser.value(QStringLiteral("presets"));
        QList<QByteArray> messages;
        if (const LibraryFileError error = read_library_file(path, &messages)) {
            complain(QStringLiteral("cannot load the library file %1: %2")
                         .arg(printable_text(path), library_file_fault_text(error)));
            return 1;
        }
        device.loadPresets(messages);
    }
    if (parser.isSet(QStringLiteral("preset"))) {
        bool ok = false;
        const int presetNo = parser.value(QStringLiteral("preset")).toInt(&ok);
        if (!ok || !device.selectPreset(presetNo)) {
            complain(QStringLiteral("--preset wants a preset number 0..%1, not \"%2\"")
                         .arg(EmulatedDevice::presetCount - 1)
                         .arg(parser.value(QStringLiteral("preset"))));
            return 2;
        }
    }
    presetsOutput = parser.value(QStringLiteral("write-presets"));
    const QMap<QString, EmulatedDevice::Reply> replies{
        {QStringLiteral("patch"), EmulatedDevice::Reply::Patch},
        {QStringLiteral("short"), EmulatedDevice::Reply::Truncated},
        {QStringLiteral("overlong"), EmulatedDevice::Reply::Overlong},
        {QStringLiteral("other-kind"), EmulatedDevice::Reply::OtherKind},
        {QStringLiteral("none"), EmulatedDevice::Reply::Nothing},
    };
    const QString reply = parser.value(QStringLiteral("patch-reply"));
    if (!replies.contains(reply)) {
        complain(QStringLiteral("unknown --patch-reply \"%1\"; see --help").arg(reply));
        return 2;
    }
    device.reply = replies.value(reply);
    int endAt = 0;
    if (!positiveOption(parser, QStringLiteral("drop-every"), &device.dropEvery)
        || !positiveOption(parser, QStringLiteral("crc-error-every"), &device.crcErrorEvery)
        || !positiveOption(parser, QStringLiteral("end-at"), &endAt))
        return 2;
    device.ignorePatchEvery = device.dropEvery;
    if (parser.isSet(QStringLiteral("silent")))
        device.dropEvery = 1;
    if (parser.isSet(QStringLiteral("not-ready")))
        device.statusAnswer = EmulatedDevice::statusReset;
    if (parser.isSet(QStringLiteral("no-confirm")))
        device.confirmUpdate = false;
    if (parser.isSet(QStringLiteral("code-error")))
        device.recordAnswer = [](const QByteArray &) { return EmulatedDevice::statusCode; };
    if (endAt > 0) {
        device.recordAnswer = [&device, endAt](const QByteArray &) {
            // The record being answered is already counted.
            return device.records.size() == endAt ? EmulatedDevice::statusDone
                                                  : EmulatedDevice::statusOk;
        };
    }
    // An answer of 0 is none.
    if (parser.isSet(QStringLiteral("silent-after-handshake")))
        device.recordAnswer = [](const QByteArray &) { return static_cast<unsigned char>(0); };
    device.note = say;
    const QString imagePath = parser.value(QStringLiteral("write-image"));
    if (!imagePath.isEmpty()) {
        device.imageComplete = [&imagePath](const QByteArray &image) {
            QFile file(imagePath);
            if (file.open(QIODevice::WriteOnly) && file.write(image) == image.size()
                && file.flush())
                say(QStringLiteral("wrote the image to %1").arg(imagePath));
            else
                complain(QStringLiteral("cannot write the image to %1: %2")
                             .arg(imagePath, file.errorString()));
        };
    }

    const QString portName = parser.isSet(QStringLiteral("updater")) ? updaterPortName
                                                                     : normalPortName;
    const bool hex = parser.isSet(QStringLiteral("hex"));
    const bool ifAbsent = parser.isSet(QStringLiteral("if-absent"));
    const bool jackOnly = parser.isSet(QStringLiteral("jack"));
    // libjack's own lines (several per attempt without a server) would bury the one that says
    // what went wrong.
    set_midi_system_quiet(true);
#ifdef VELLICHORD_HAVE_JACK
    if (system_midi_api(jackOnly) == RtMidi::UNIX_JACK)
        return emulateOnJack(device, portName, hex, ifAbsent);
#endif
    return emulateOnRtMidi(device, portName, hex, ifAbsent, jackOnly);
}
