#include "cli.h"

#include "diagnosticlog.h"
#include "sysextext.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLoggingCategory>

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
#include <QTextCodec>
#endif

#include <cstdio>

namespace {

struct Command
{
    const char *name;
    const char *usage;
    int (*run)(const QStringList &arguments);
};

const Command commands[] = {
    {"ports", "ports                       list the MIDI ports, marking the Vellichord's",
     Cli::ports},
    {"get", "get [-o FILE] [--into LIB]  fetch the device's patch", Cli::get},
    {"send", "send FILE                   send a patch file to the device", Cli::send},
    {"show", "show [--json] FILE          print a patch file", Cli::show},
    {"set", "set FILE CONTROL PARAM=VALUE...  change parameters in a patch file", Cli::set},
    {"diff", "diff A B                    compare two patch files", Cli::diff},
    {"check", "check FILE                  find what makes a patch misbehave in a DAW", Cli::check},
    {"library", "library SUBCOMMAND ...      show, split, join and send library files",
     Cli::library},
    {"monitor", "monitor [--port P] [--hex]  print the MIDI messages the device sends",
     Cli::monitor},
    {"update", "update FIRMWARE             update the device's firmware", Cli::update},
};

QString programHelp()
{
    QString text = QStringLiteral("Usage: vellichord COMMAND [OPTIONS] [ARGUMENTS]\n"
                                  "Fetch, send, show, edit and compare patches of the Tarvel "
                                  "Vellichord, keep its presets in libraries, and update its "
                                  "firmware.\n\nCommands:\n");
    for (const Command &command : commands)
        text += QStringLiteral("  %1\n").arg(QLatin1String(command.usage));
    text += QStringLiteral(
        "\n'vellichord COMMAND --help' describes a command and its options.\n\n"
        "Options:\n"
        "  -h, --help     this help\n"
        "  -v, --version  the program's version\n\n"
        "Exit codes:\n"
        "  0  done\n"
        "  1  failed: the device answered wrongly, a transfer failed, the files differ (diff),\n"
        "     the patch has findings (check)\n"
        "  2  bad usage or a bad input file\n"
        "  3  no device\n"
        "  4  the device is in use: the Vellichord Editor runs (get, send and update without\n"
        "     --force), or another program is updating the firmware\n");
    return text;
}

} // namespace

namespace Cli {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

bool parse(QCommandLineParser &parser, const QStringList &arguments, int *exitCode,
           bool talksToDevice)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    const QCommandLineOption verbose(QStringLiteral("verbose"),
                                     QStringLiteral("Print trace lines: MIDI messages and steps."));
    parser.addOption(help);
    parser.addOption(verbose);
    if (talksToDevice) {
        parser.addOption({QStringLiteral("port"),
                          QStringLiteral("The device's MIDI port name (default \"Vellichord\")."),
                          QStringLiteral("NAME"), QStringLiteral("Vellichord")});
        parser.addOption({QStringLiteral("timeout"),
                          QStringLiteral("How long to wait for the MIDI system and the "
                                         "device's answer, in milliseconds (default 3000)."),
                          QStringLiteral("MS"), QStringLiteral("3000")});
    }
    if (!parser.parse(arguments)) {
        err() << arguments.value(0) << ": " << printable_text(parser.errorText()) << Qt::endl;
        *exitCode = BadUsage;
        return false;
    }
    if (parser.isSet(help)) {
        // The usage line names the program as it was started; it is run as one command.
        const QString started = QStringLiteral("Usage: ") + QCoreApplication::arguments().value(0)
            + QLatin1Char(' ');
        QString text = parser.helpText();
        if (text.startsWith(started))
            text.replace(0, started.size(),
                         QStringLiteral("Usage: ") + arguments.value(0) + QLatin1Char(' '));
        out() << text << Qt::flush;
        *exitCode = Done;
        return false;
    }
    if (parser.isSet(verbose))
        QLoggingCategory::setFilterRules(QStringLiteral("vellichord.debug=true"));
    if (talksToDevice) {
        bool ok = false;
        const int timeout = parser.value(QStringLiteral("timeout")).toInt(&ok);
        if (!ok || timeout <= 0) {
            err() << arguments.value(0) << ": --timeout must be a positive number of "
                  << "milliseconds, not " << quoted_text(parser.value(QStringLiteral("timeout")))
                  << Qt::endl;
            *exitCode = BadUsage;
            return false;
        }
        if (parser.value(QStringLiteral("port")).isEmpty()) {
            err() << arguments.value(0) << ": --port needs a port name" << Qt::endl;
            *exitCode = BadUsage;
            return false;
        }
    }
    return true;
}

QString portName(const QCommandLineParser &parser)
{
    return parser.value(QStringLiteral("port"));
}

int timeoutMs(const QCommandLineParser &parser)
{
    return parser.value(QStringLiteral("timeout")).toInt();
}

} // namespace Cli

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    // File names are kept byte for byte, also those that are not UTF-8: the arguments are read
    // and the files opened through the same codec.
    QTextCodec::setCodecForLocale(file_name_codec());
    // Output is UTF-8; every text from outside reaches it through printable_text.
    Cli::out().setCodec("UTF-8");
    Cli::err().setCodec("UTF-8");
#endif
    QCoreApplication::setApplicationName(QStringLiteral("vellichord"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELLICHORD_VERSION));

    // The editor's record of received patches is the editor's; here --verbose shows them.
    DiagnosticLog::instance().setEnabled(false);

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    // Qt 6 names files in UTF-8 only, and its own reading of the arguments would turn a byte
    // that is not UTF-8 into U+FFFD: read them here, so that such a name is refused by its
    // bytes rather than taken for another file. (Qt 6's streams write UTF-8.)
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << decode_file_name(QByteArray(argv[i]));
    for (const QString &argument : qAsConst(arguments)) {
        if (has_undecodable_bytes(argument)) {
            Cli::err() << "vellichord: " << quoted_text(argument)
                       << " is not UTF-8; this build takes UTF-8 arguments and file names only"
                       << Qt::endl;
            return Cli::BadUsage;
        }
    }
#else
    QStringList arguments = QCoreApplication::arguments();
#endif
    const QString first = arguments.value(1);
    if (first == QLatin1String("-v") || first == QLatin1String("--version")) {
        Cli::out() << "vellichord " << VELLICHORD_VERSION << Qt::endl;
        return Cli::Done;
    }
    if (first.isEmpty() || first == QLatin1String("-h") || first == QLatin1String("--help")) {
        (first.isEmpty() ? Cli::err() : Cli::out()) << programHelp() << Qt::flush;
        return first.isEmpty() ? Cli::BadUsage : Cli::Done;
    }
    for (const Command &command : commands) {
        if (first == QLatin1String(command.name)) {
            arguments.removeFirst();
            arguments[0] = QStringLiteral("vellichord ") + first;
            return command.run(arguments);
        }
    }
    Cli::err() << "vellichord: no command " << quoted_text(first)
               << "; 'vellichord --help' lists the commands" << Qt::endl;
    return Cli::BadUsage;
}
