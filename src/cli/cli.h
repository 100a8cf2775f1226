#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QStringList>
#include <QTextStream>

class Patch;
class QCommandLineParser;

// The command-line program: one command per run, each with its own options and help.
namespace Cli {

// What the program returns; listed in its help and in the README.
enum ExitCode : int {
    Done = 0,
    // The device answered wrongly, a transfer failed, (diff) the patches differ, or (check) the
    // patch has findings.
    Failed = 1,
    // A wrong argument or option, or an input file that is not what the command needs.
    BadUsage = 2,
    // The device is not there.
    NoDevice = 3,
    // Another program has the device: the editor runs (get, send and update without --force),
    // or another program is updating the firmware.
    InUse = 4,
};

// Output for people, and diagnostics.
QTextStream &out();
QTextStream &err();

// Parses arguments (the first being "vellichord <command>") with the options every command
// has (--help, --verbose) and, for a command that talks to the device, --port and --timeout.
// On a parse error, prints one line to err() and returns false with *exitCode = BadUsage; on
// --help, prints the command's help and returns false with *exitCode = Done.
bool parse(QCommandLineParser &parser, const QStringList &arguments, int *exitCode,
           bool talksToDevice = false);
// The values of --port (default "Vellichord") and --timeout in milliseconds (default 3000).
QString portName(const QCommandLineParser &parser);
int timeoutMs(const QCommandLineParser &parser);

// Checks the number of arguments after the options (most < 0: no limit); says what is missing
// or too much.
bool positionalCount(const QCommandLineParser &parser, const QString &command, int least, int most);

// Prints a patch as "vellichord show" does: as text, or with json as one JSON object.
void printPatch(const Patch &patch, bool json);
// The JSON object that "show --json" prints for a patch.
QJsonObject patchJson(const Patch &patch);

// Reads a library file, or says in one line on stderr why it is none, naming the message.
bool loadLibrary(const QString &command, const QString &path, QList<QByteArray> *messages);
// The end of each library command's help: what a library file is.
extern const char *const libraryNote;

// The commands. Each takes the whole command line from "vellichord <command>" on and returns
// an ExitCode.
int ports(const QStringList &arguments);
int get(const QStringList &arguments);
int send(const QStringList &arguments);
int update(const QStringList &arguments);
int show(const QStringList &arguments);
int set(const QStringList &arguments);
int diff(const QStringList &arguments);
int check(const QStringList &arguments);
// "library show|split|join|send": the subcommand is the first argument after "library".
int library(const QStringList &arguments);
int librarySend(const QStringList &arguments);
int monitor(const QStringList &arguments);

} // namespace Cli
