// show, set and diff: commands on patch files.
#include "cli.h"

#include "controlnames.h"
#include "parametertext.h"
#include "patch.h"
#include "sysextext.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <vector>

namespace {

// The end of each command's help.
const char *const fileNote = "\nA patch file holds the 348 bytes that the editor's Save "
                             "Settings writes.\n";

// Reads a patch file, or says in one line on stderr why it is none.
bool loadPatch(const QString &command, const QString &path, Patch *patch)
{
    const PatchFileFault fault = patch->load(path);
    if (fault == PatchFileFault::None)
        return true;
    const QString why = fault == PatchFileFault::CannotRead && !QFileInfo::exists(path)
        ? QStringLiteral("no such file")
        : patch_file_fault_text(fault);
    Cli::err() << command << ": " << path << ": " << why << Qt::endl;
    return false;
}

// Checks the number of arguments after the options; says what is missing or too much.
bool positionalCount(const QCommandLineParser &parser, const QString &command, int least, int most)
{
    const int count = parser.positionalArguments().size();
    if (count >= least && (most < 0 || count <= most))
        return true;
    Cli::err() << command << ": " << (count < least ? "missing arguments" : "too many arguments")
               << "; '" << command << " --help' shows how to call it" << Qt::endl;
    return false;
}

QString quoted(const QString &name)
{
    return QLatin1Char('"') + printable_text(name) + QLatin1Char('"');
}

// Each parameter's raw value of one control, in id order.
std::vector<std::pair<ParameterId, unsigned char>> values(const MidiControlModel &model)
{
    std::vector<std::pair<ParameterId, unsigned char>> list;
    for (const ControlParameter &p : model.parameters())
        list.emplace_back(ParameterId(p.id()), p.value());
    return list;
}

QString line(const MidiControlModel &model)
{
    QStringList fields;
    for (const ControlParameter &p : model.parameters())
        fields << ParameterText::name(p.id()) + QLatin1Char('=')
                + ParameterText::valueText(model, ParameterId(p.id()));
    return fields.join(QLatin1Char(' '));
}

QJsonObject toJson(const Patch &patch)
{
    QJsonArray controls;
    for (int i = 0; i < ControlTable::count; ++i) {
        const MidiControlModel &model = *patch.controls().at(i);
        QJsonObject texts;
        QJsonObject numbers;
        for (const ControlParameter &p : model.parameters()) {
            const QString name = ParameterText::name(p.id());
            texts.insert(name, ParameterText::valueText(model, ParameterId(p.id())));
            numbers.insert(name, p.value());
        }
        controls.append(QJsonObject{{QStringLiteral("control"), ControlNames::name(i)},
                                    {QStringLiteral("index"), i},
                                    {QStringLiteral("parameters"), texts},
                                    {QStringLiteral("values"), numbers}});
    }
    return {{QStringLiteral("name"), patch.name()},
            {QStringLiteral("preset"), patch.presetNo()},
            {QStringLiteral("controls"), controls}};
}

// A parameter's value as text, the control's current type deciding how a number is named.
QString textOf(const MidiControlModel &model, ParameterId id, unsigned char value)
{
    unsigned char type = 0;
    const bool isNote = model.getValue(Type, &type) && type == 0;
    return ParameterText::valueText(*model.getParameter(id), value, isNote);
}

} // namespace

namespace Cli {

void printPatch(const Patch &patch, bool json)
{
    if (json) {
        out() << QJsonDocument(toJson(patch)).toJson(QJsonDocument::Indented) << Qt::flush;
        return;
    }
    out() << "name: " << quoted(patch.name()) << "\npreset: " << patch.presetNo() << '\n';
    for (int i = 0; i < ControlTable::count; ++i)
        out() << ControlNames::name(i).leftJustified(8) << line(*patch.controls().at(i)) << '\n';
    out() << Qt::flush;
}

int show(const QStringList &arguments)
{
    const QString command = arguments.value(0);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Prints a patch file: its name, its preset number and one line per control\n"
                       "with its parameters, in the form that 'vellichord set' takes.\n")
        + QLatin1String(fileNote)
        + QStringLiteral("Exit codes: 0 done, 2 bad usage or not a patch file."));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("Print the patch as JSON."));
    parser.addOption(json);
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The patch file."));
    int exitCode = Done;
    if (!parse(parser, arguments, &exitCode))
        return exitCode;
    if (!positionalCount(parser, command, 1, 1))
        return BadUsage;

    Patch patch;
    if (!loadPatch(command, parser.positionalArguments().constFirst(), &patch))
        return BadUsage;
    printPatch(patch, parser.isSet(json));
    return Done;
}

int set(const QStringList &arguments)
{
    const QString command = arguments.value(0);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral(
            "Changes parameters of one control in a patch file and prints what changed.\n"
            "The file is replaced only once the new one is written whole; on any bad\n"
            "argument it is left as it was.\n\n"
            "CONTROL is a name printed on the device (S1, F3, PAD7, XFADER, ...) or an\n"
            "index 0..63. PARAM is one of:\n  %1,\n  %2.\n"
            "VALUE is written as 'vellichord show' prints it, or as a number: channel 1..16\n"
            "or Global, notes C-2..G8 or 0..127, Note or CC, Momentary or Toggle, On or Off,\n"
            "colour names. A value out of range is refused.\n")
            .arg(ParameterText::names().mid(0, 10).join(QStringLiteral(", ")),
                 ParameterText::names().mid(10).join(QStringLiteral(", ")))
        + QLatin1String(fileNote)
        + QStringLiteral("Exit codes: 0 done, 1 the file could not be written, 2 bad usage, a bad\n"
                         "argument or not a patch file."));
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The patch file."));
    parser.addPositionalArgument(QStringLiteral("CONTROL"), QStringLiteral("The control."));
    parser.addPositionalArgument(QStringLiteral("PARAM=VALUE"),
                                 QStringLiteral("The parameters and their new values."),
                                 QStringLiteral("PARAM=VALUE..."));
    int exitCode = Done;
    if (!parse(parser, arguments, &exitCode))
        return exitCode;
    if (!positionalCount(parser, command, 3, -1))
        return BadUsage;
    const QStringList given = parser.positionalArguments();
    const QString path = given[0];

    Patch patch;
    if (!loadPatch(command, path, &patch))
        return BadUsage;
    QString error;
    const int index = ControlNames::parse(given[1], &error);
    if (index < 0) {
        err() << command << ": " << error << Qt::endl;
        return BadUsage;
    }
    MidiControlModel &model = *patch.controls().at(index);
    const QString controlName = ControlNames::name(index);

    // Everything is checked before anything changes.
    std::vector<std::pair<ParameterId, unsigned char>> changes;
    for (const QString &assignment : given.mid(2)) {
        const int equals = assignment.indexOf(QLatin1Char('='));
        if (equals < 0) {
            err() << command << ": \"" << assignment << "\" is not PARAM=VALUE" << Qt::endl;
            return BadUsage;
        }
        ParameterId id = Channel;
        unsigned char value = 0;
        if (!ParameterText::parseParameter(assignment.left(equals), model, controlName, &id,
                                           &error)) {
            err() << command << ": " << error << Qt::endl;
            return BadUsage;
        }
        if (!ParameterText::parseValue(*model.getParameter(id), assignment.mid(equals + 1), &value,
                                       &error)) {
            err() << command << ": " << controlName << ' ' << assignment << ": " << error
                  << Qt::endl;
            return BadUsage;
        }
        changes.emplace_back(id, value);
    }

    const auto before = values(model);
    QStringList oldTexts;
    for (const auto &[id, value] : before)
        oldTexts << textOf(model, id, value);
    for (const auto &[id, value] : changes)
        model.updateParameter(id, value);
    const auto after = values(model);

    QStringList report;
    for (std::size_t i = 0; i < after.size(); ++i) {
        if (before[i].second != after[i].second)
            report << QStringLiteral("%1 %2: %3 -> %4")
                          .arg(controlName, ParameterText::name(after[i].first), oldTexts[int(i)],
                               textOf(model, after[i].first, after[i].second));
    }
    if (report.isEmpty()) {
        out() << controlName << ": nothing changed" << Qt::endl;
        return Done;
    }
    if (!patch.save(path)) {
        err() << command << ": " << path << ": cannot be written; the file is unchanged"
              << Qt::endl;
        return Failed;
    }
    out() << report.join(QLatin1Char('\n')) << Qt::endl;
    return Done;
}

int diff(const QStringList &arguments)
{
    const QString command = arguments.value(0);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Compares two patch files and prints, one per line, the name, the preset\n"
                       "number and each control's parameters that differ, as 'A -> B'.\n")
        + QLatin1String(fileNote)
        + QStringLiteral("Exit codes: 0 the patches are equal, 1 they differ, 2 bad usage or not\n"
                         "a patch file."));
    parser.addPositionalArgument(QStringLiteral("A"), QStringLiteral("A patch file."));
    parser.addPositionalArgument(QStringLiteral("B"), QStringLiteral("The other patch file."));
    int exitCode = Done;
    if (!parse(parser, arguments, &exitCode))
        return exitCode;
    if (!positionalCount(parser, command, 2, 2))
        return BadUsage;
    const QStringList given = parser.positionalArguments();

    Patch a;
    Patch b;
    if (!loadPatch(command, given[0], &a) || !loadPatch(command, given[1], &b))
        return BadUsage;

    QStringList report;
    if (a.name() != b.name())
        report << QStringLiteral("name: %1 -> %2").arg(quoted(a.name()), quoted(b.name()));
    if (a.presetNo() != b.presetNo())
        report << QStringLiteral("preset: %1 -> %2").arg(a.presetNo()).arg(b.presetNo());
    for (int i = 0; i < ControlTable::count; ++i) {
        const MidiControlModel &modelA = *a.controls().at(i);
        const MidiControlModel &modelB = *b.controls().at(i);
        for (const ControlParameter &p : modelA.parameters()) {
            const ParameterId id = ParameterId(p.id());
            unsigned char other = 0;
            modelB.getValue(id, &other);
            if (p.value() != other)
                report << QStringLiteral("%1 %2: %3 -> %4")
                              .arg(ControlNames::name(i), ParameterText::name(id),
                                   textOf(modelA, id, p.value()), textOf(modelB, id, other));
        }
    }
    if (report.isEmpty())
        return Done;
    out() << report.join(QLatin1Char('\n')) << Qt::endl;
    return Failed;
}

} // namespace Cli
