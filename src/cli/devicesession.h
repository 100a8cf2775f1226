#pragma once

#include "cli.h"
#include "midicontroller.h"

#include <QCommandLineOption>
#include <QDeadlineTimer>
#include <QString>

#include <memory>

class QCommandLineParser;

// What the commands that talk to the device share: their --force and the end of their help,
// the checks of their arguments, claiming and opening the device, and asking it for its patch.
namespace Cli {

// --force of get, send, library send and update.
extern const QCommandLineOption forceOption;

// The help's last line: the exit codes, the refusal (4) included.
QString exitCodes(const char *codes);

// Says that the port is not there and how to find the right one; returns NoDevice.
int noDevice(const QString &command, const QString &port);
// Says that the MIDI system does not answer (a JACK server that was stopped, not killed);
// returns Failed.
int systemStalled(const QString &command);

// Whether command may use the device: no other program is updating the firmware, and the
// editor is not running unless force. Says why not.
bool deviceFree(const QString &command, bool force, int *exitCode);

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
DeviceSession openDevice(const QString &command, const QCommandLineParser &parser, int *exitCode);

// Say what is missing or too much after the options (exitCode BadUsage) when the command has
// arguments, or when it has not exactly one (what names the missing one).
bool noArguments(const QCommandLineParser &parser, const QString &command, int *exitCode);
bool oneArgument(const QCommandLineParser &parser, const QString &command, const char *what,
                 int *exitCode);

// Asks the device for its patch, again at each third of the time left until deadline, and
// waits for it; the controller then holds it. Done, or Failed after saying why (timeout ms
// being the whole wait).
int fetchPatch(const QString &command, MidiController *controller, const QString &port, int timeout,
               const QDeadlineTimer &deadline);

} // namespace Cli
