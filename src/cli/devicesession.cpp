#include "devicesession.h"

#include "deviceclaim.h"
#include "imidi.h"
#include "midimonitor.h"
#include "platformmidi.h"
#include "sysextext.h"

#include <QCommandLineParser>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <limits>

namespace {

// How often get asks within its timeout: a request or its answer lost on the way costs a
// retry, not the whole wait.
constexpr int requestAttempts = 3;

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
        *exitCode = midi->midiSystemStopped() ? Cli::systemStalled(command)
                                              : Cli::noDevice(command, port);
        return nullptr;
    }
    midi->setWaitLimit(remainingMs(deadline));
    auto controller = std::make_unique<MidiController>(std::move(midi), name);
    controller->open();
    if (controller->getMidi()->midiSystemStopped()) {
        *exitCode = Cli::systemStalled(command);
        return nullptr;
    }
    if (controller->getMidi()->connectedName().empty()) {
        Cli::err() << command << ": cannot open the MIDI port " << quoted_text(port) << Qt::endl;
        *exitCode = Cli::Failed;
        return nullptr;
    }
    return controller;
}

} // namespace

namespace Cli {

int noDevice(const QString &command, const QString &port)
{
    err() << command << ": no MIDI port " << quoted_text(port)
          << " (is the device connected? 'vellichord ports' lists the ports)" << Qt::endl;
    return NoDevice;
}

int systemStalled(const QString &command)
{
    err() << command << ": the MIDI system does not answer (is the JACK server stopped?)"
          << Qt::endl;
    return Failed;
}

const QCommandLineOption forceOption(
    QStringLiteral("force"),
    QStringLiteral("Use the device even while the Vellichord Editor runs; the editor then does "
                   "not know what changed on the device. Never during another program's "
                   "firmware update."));

QString exitCodes(const char *codes)
{
    return QStringLiteral("\n\nExit codes: %1, 4 the Vellichord Editor is running (without "
                          "--force) or another program is updating the firmware.")
        .arg(QLatin1String(codes));
}

bool deviceFree(const QString &command, bool force, int *exitCode)
{
    DeviceClaim::Holder holder;
    if (DeviceClaim::isHeld(DeviceClaim::Kind::Update, &holder))
        err() << command << ": " << printable_text(holder.name())
              << " is updating the Vellichord's firmware (process " << holder.pid
              << "); try again once it has finished" << Qt::endl;
    else if (!force && DeviceClaim::isHeld(DeviceClaim::Kind::Editor, &holder))
        err() << command << ": the Vellichord Editor is running (process " << holder.pid
              << "): use it, or pass --force" << Qt::endl;
    else
        return true;
    *exitCode = InUse;
    return false;
}

DeviceSession openDevice(const QString &command, const QCommandLineParser &parser, int *exitCode)
{
    DeviceSession session{portName(parser), QDeadlineTimer(timeoutMs(parser)), nullptr};
    if (deviceFree(command, parser.isSet(forceOption), exitCode))
        session.controller = connectToDevice(command, session.port, session.deadline, exitCode);
    return session;
}

bool noArguments(const QCommandLineParser &parser, const QString &command, int *exitCode)
{
    if (parser.positionalArguments().isEmpty())
        return true;
    err() << command << ": unexpected argument " << quoted_text(parser.positionalArguments().at(0))
          << "; see '" << command << " --help'" << Qt::endl;
    *exitCode = BadUsage;
    return false;
}

bool oneArgument(const QCommandLineParser &parser, const QString &command, const char *what,
                 int *exitCode)
{
    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() == 1)
        return true;
    if (arguments.isEmpty())
        err() << command << ": " << what << " missing; see '" << command << " --help'" << Qt::endl;
    else
        err() << command << ": unexpected argument " << quoted_text(arguments.at(1)) << "; see '"
              << command << " --help'" << Qt::endl;
    *exitCode = BadUsage;
    return false;
}

int fetchPatch(const QString &command, MidiController *controller, const QString &port, int timeout,
               const QDeadlineTimer &deadline)
{
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
        return Failed;
    if (!received) {
        if (otherMessages > 0)
            err() << command << ": the device on " << quoted_text(port)
                  << " answered with a message that is not a patch (" << otherLength << " bytes)"
                  << Qt::endl;
        else
            err() << command << ": no answer from the device on " << quoted_text(port) << " within "
                  << timeout << " ms" << Qt::endl;
        return Failed;
    }

    return Done;
}

} // namespace Cli
