// library show, split and join: commands on library files. library send talks to the device
// and lives with the other such commands.
#include "cli.h"

#include "librarysender.h"
#include "patch.h"
#include "patchfile.h"
#include "patchlayout.h"
#include "patchlibrary.h"
#include "sysextext.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>

namespace {

struct Subcommand
{
    const char *name;
    const char *usage;
    int (*run)(const QStringList &arguments);
};

int show(const QStringList &arguments);
int split(const QStringList &arguments);
int join(const QStringList &arguments);

const Subcommand subcommands[] = {
    {"show", "show [--json] FILE            print the presets of a library file", show},
    {"split", "split [--force] FILE DIR      write each preset as a patch file NN-name.syx", split},
    {"join", "join [--renumber] OUT FILE...  join patch or library files into a library", join},
    {"send", "send [--presets LIST] FILE    send the presets of a library to the device",
     Cli::librarySend},
};

QString libraryHelp()
{
    QString text = QStringLiteral("Usage: vellichord library SUBCOMMAND [OPTIONS] [ARGUMENTS]\n"
                                  "Work with library files: the presets of a set.\n\n"
                                  "Subcommands:\n");
    for (const Subcommand &subcommand : subcommands)
        text += QStringLiteral("  %1\n").arg(QLatin1String(subcommand.usage));
    text += QStringLiteral("\n'vellichord library SUBCOMMAND --help' describes a subcommand and "
                           "its options.\n")
        + QLatin1String(Cli::libraryNote)
        + QStringLiteral("\nExit codes: 0 done, 1 failed (writing a file, sending to the device), "
                         "2 bad usage or a bad input file, 3 no device, 4 the device is in use.\n");
    return text;
}

int presetNoOf(const QByteArray &message)
{
    return static_cast<unsigned char>(message.at(int(PatchLayout::presetNoOffset)));
}

// The preset name of a message, as the device holds it: up to its first NUL.
QString nameOf(const QByteArray &message)
{
    const char *bytes = message.constData() + PatchLayout::nameOffset;
    return QString::fromLatin1(bytes, int(qstrnlen(bytes, PatchLayout::nameLength)));
}

// A preset name as part of a file name: letters, digits, '-', '_' and '.' stay, every other
// character (a space, a slash, a colon, ...) becomes '_'.
QString safeFileName(const QString &name)
{
    QString safe = name;
    for (QChar &c : safe) {
        const char latin = c.toLatin1();
        if (!((latin >= 'a' && latin <= 'z') || (latin >= 'A' && latin <= 'Z')
              || (latin >= '0' && latin <= '9') || latin == '-' || latin == '_' || latin == '.'))
            c = QLatin1Char('_');
    }
    return safe;
}

// Whether path names a file that can be written: not a folder, in a folder that exists.
bool writablePath(const QString &command, const QString &path)
{
    const QFileInfo file(path);
    if (!path.isEmpty() && !file.isDir() && file.absoluteDir().exists())
        return true;
    Cli::err() << command << ": cannot write " << quoted_text(path)
               << ": no such folder, or a folder itself" << Qt::endl;
    return false;
}

int show(const QStringList &arguments)
{
    const QString command = arguments.value(0);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Prints a library file: one line per preset, its number and its name, in "
                       "the file's order. With --json, every parameter of every preset, as "
                       "'vellichord show --json' prints one patch, in a JSON array.\n")
        + QLatin1String(Cli::libraryNote)
        + QStringLiteral("Exit codes: 0 done, 2 bad usage or not a library file."));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("Print every preset as JSON."));
    parser.addOption(json);
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The library file."));
    int exitCode = Cli::Done;
    if (!Cli::parse(parser, arguments, &exitCode))
        return exitCode;
    if (!Cli::positionalCount(parser, command, 1, 1))
        return Cli::BadUsage;
    QList<QByteArray> messages;
    if (!Cli::loadLibrary(command, parser.positionalArguments().constFirst(), &messages))
        return Cli::BadUsage;

    if (parser.isSet(json)) {
        QJsonArray presets;
        for (const QByteArray &message : qAsConst(messages)) {
            Patch patch;
            patch.apply(message);
            presets.append(Cli::patchJson(patch));
        }
        Cli::out() << printable_json(QJsonDocument(presets).toJson(QJsonDocument::Indented))
                   << Qt::flush;
        return Cli::Done;
    }
    Cli::out() << "preset  name\n";
    for (const QByteArray &message : qAsConst(messages))
        Cli::out() << QString::number(presetNoOf(message)).rightJustified(6) << "  "
                   << quoted_text(nameOf(message)) << '\n';
    Cli::out() << Qt::flush;
    return Cli::Done;
}

int split(const QStringList &arguments)
{
    const QString command = arguments.value(0);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Writes each preset of a library file as a patch file of its own into "
                       "DIR, named NN-name.syx (NN the preset number, name the preset name with "
                       "every character other than letters, digits, '-', '_' and '.' made '_'). "
                       "Each file holds the preset's message as the library holds it. DIR is "
                       "made when missing. Nothing is written when a file of these names exists, "
                       "unless --force.\n")
        + QLatin1String(Cli::libraryNote)
        + QStringLiteral("Exit codes: 0 done, 1 a file could not be written, 2 bad usage, not a "
                         "library file or a file exists."));
    const QCommandLineOption force(QStringLiteral("force"),
                                   QStringLiteral("Replace patch files that exist."));
    parser.addOption(force);
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The library file."));
    parser.addPositionalArgument(QStringLiteral("DIR"),
                                 QStringLiteral("The folder for the patch files."));
    int exitCode = Cli::Done;
    if (!Cli::parse(parser, arguments, &exitCode))
        return exitCode;
    if (!Cli::positionalCount(parser, command, 2, 2))
        return Cli::BadUsage;
    const QString library = parser.positionalArguments().at(0);
    const QString folder = parser.positionalArguments().at(1);
    QList<QByteArray> messages;
    if (!Cli::loadLibrary(command, library, &messages))
        return Cli::BadUsage;
    if (QFileInfo(folder).exists() && !QFileInfo(folder).isDir()) {
        Cli::err() << command << ": " << printable_text(folder) << ": not a folder" << Qt::endl;
        return Cli::BadUsage;
    }

    // Every name is found, and checked, before anything is written.
    QStringList paths;
    for (const QByteArray &message : qAsConst(messages)) {
        const QString name = safeFileName(nameOf(message));
        const QString file = QStringLiteral("%1%2.syx")
                                 .arg(presetNoOf(message), 2, 10, QLatin1Char('0'))
                                 .arg(name.isEmpty() ? QString() : QLatin1Char('-') + name);
        const QString path = QDir(folder).filePath(file);
        if (QFileInfo::exists(path) && (!parser.isSet(force) || QFileInfo(path).isDir())) {
            Cli::err() << command << ": " << printable_text(path)
                       << (QFileInfo(path).isDir() ? " is a folder"
                                                   : " exists; --force replaces it")
                       << Qt::endl;
            return Cli::BadUsage;
        }
        paths << path;
    }
    if (!QDir().mkpath(folder)) {
        Cli::err() << command << ": cannot make the folder " << quoted_text(folder) << Qt::endl;
        return Cli::Failed;
    }
    for (int i = 0; i < messages.size(); ++i) {
        if (!write_patch_file(paths[i], messages[i])) {
            Cli::err() << command << ": cannot write " << quoted_text(paths[i]) << Qt::endl;
            return Cli::Failed;
        }
        Cli::out() << "preset " << presetNoOf(messages[i]) << ' '
                   << quoted_text(nameOf(messages[i])) << ": " << printable_text(paths[i])
                   << Qt::endl;
    }
    return Cli::Done;
}

int join(const QStringList &arguments)
{
    const QString command = arguments.value(0);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Joins patch files (or library files) into the library file OUT, in "
                       "preset order, each patch as a Type 1 message. Each keeps the preset "
                       "number it has; two patches for one preset are refused. With --renumber "
                       "they are numbered 0, 1, 2 ... in the order given instead. OUT is "
                       "replaced only once it is written whole, and not at all on any error.\n")
        + QLatin1String(Cli::libraryNote)
        + QStringLiteral("Exit codes: 0 done, 1 OUT could not be written, 2 bad usage, a bad "
                         "input file, two patches for one preset or more than twenty."));
    const QCommandLineOption renumber(
        QStringLiteral("renumber"),
        QStringLiteral("Number the patches 0, 1, 2 ... in the order given."));
    parser.addOption(renumber);
    parser.addPositionalArgument(QStringLiteral("OUT"), QStringLiteral("The library file."));
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The patch files."),
                                 QStringLiteral("FILE..."));
    int exitCode = Cli::Done;
    if (!Cli::parse(parser, arguments, &exitCode))
        return exitCode;
    if (!Cli::positionalCount(parser, command, 2, -1))
        return Cli::BadUsage;
    const QString output = parser.positionalArguments().at(0);
    const QStringList inputs = parser.positionalArguments().mid(1);

    QList<QByteArray> joined;
    QStringList sources; // the file each of joined came from
    for (const QString &input : inputs) {
        QList<QByteArray> messages;
        if (!Cli::loadLibrary(command, input, &messages))
            return Cli::BadUsage;
        for (const QByteArray &message : qAsConst(messages)) {
            joined << message;
            sources << input;
        }
    }
    if (joined.size() > PatchLibrary::presetCount) {
        Cli::err() << command << ": " << joined.size() << " patches; a library holds at most "
                   << PatchLibrary::presetCount << Qt::endl;
        return Cli::BadUsage;
    }
    QList<QByteArray> rows;
    for (int i = 0; i < joined.size(); ++i) {
        const int presetNo = parser.isSet(renumber) ? i : presetNoOf(joined[i]);
        for (int earlier = 0; earlier < rows.size(); ++earlier) {
            if (presetNoOf(rows[earlier]) == presetNo) {
                Cli::err() << command << ": " << printable_text(sources[i]) << ": preset "
                           << presetNo << " is also in " << printable_text(sources[earlier])
                           << "; --renumber numbers the patches in the order given" << Qt::endl;
                return Cli::BadUsage;
            }
        }
        rows << PatchLibrary::messageForRow(joined[i], presetNo);
    }
    std::stable_sort(rows.begin(), rows.end(), [](const QByteArray &a, const QByteArray &b) {
        return presetNoOf(a) < presetNoOf(b);
    });
    if (!writablePath(command, output))
        return Cli::BadUsage;
    if (!write_library_file(output, rows)) {
        Cli::err() << command << ": cannot write " << quoted_text(output) << Qt::endl;
        return Cli::Failed;
    }
    QList<int> presetNos;
    for (const QByteArray &row : qAsConst(rows))
        presetNos << presetNoOf(row);
    Cli::out() << "Wrote " << rows.size() << (rows.size() == 1 ? " preset (" : " presets (")
               << preset_ranges_text(presetNos) << ") to " << printable_text(output) << Qt::endl;
    return Cli::Done;
}

} // namespace

namespace Cli {

const char *const libraryNote =
    "\nA library file holds the patch messages of up to twenty presets one after the other, each "
    "the 348 bytes of a patch file whose preset number (0..19) says which preset it is; a patch "
    "file is a library of one.\n";

bool loadLibrary(const QString &command, const QString &path, QList<QByteArray> *messages)
{
    const LibraryFileError error = read_library_file(path, messages);
    if (!error)
        return true;
    const QString why = error.fault == LibraryFileFault::CannotRead && !QFileInfo::exists(path)
        ? QStringLiteral("no such file")
        : library_file_fault_text(error);
    err() << command << ": " << printable_text(path) << ": " << why << Qt::endl;
    return false;
}

int library(const QStringList &arguments)
{
    const QString first = arguments.value(1);
    if (first.isEmpty() || first == QLatin1String("-h") || first == QLatin1String("--help")) {
        (first.isEmpty() ? err() : out()) << libraryHelp() << Qt::flush;
        return first.isEmpty() ? BadUsage : Done;
    }
    for (const Subcommand &subcommand : subcommands) {
        if (first == QLatin1String(subcommand.name)) {
            QStringList rest = arguments.mid(2);
            rest.prepend(arguments.value(0) + QLatin1Char(' ') + first);
            return subcommand.run(rest);
        }
    }
    err() << arguments.value(0) << ": no subcommand " << quoted_text(first) << "; '"
          << arguments.value(0) << " --help' lists them" << Qt::endl;
    return BadUsage;
}

} // namespace Cli
