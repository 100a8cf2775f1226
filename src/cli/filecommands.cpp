// show, set, diff and check: commands on patch files.
#include "cli.h"

#include "controlnames.h"
#include "controlsummary.h"
#include "parametertext.h"
#include "patch.h"
#include "patchcheck.h"
#include "patchcompare.h"
#include "patchlayout.h"
#include "sysextext.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QPair>

#include <algorithm>

#include <vector>

namespace {

// The end of each command's help.
const char *const fileNote = "\nA patch file holds the 348 bytes that the editor's Save "
                             "Settings writes.\n";

// Reads a patch file, or says in one line on stderr why it is none. bytes (when given) receives
// the file's patch message as stored.
bool loadPatch(const QString &command, const QString &path, Patch *patch,
               QByteArray *bytes = nullptr)
{
    QByteArray data;
    PatchFileFault fault = read_patch_file(path, &data);
    if (fault == PatchFileFault::None && !patch->apply(data))
        fault = PatchFileFault::NotPatch;
    if (fault == PatchFileFault::None) {
        if (bytes)
            *bytes = data;
        return true;
    }
    const QString why = fault == PatchFileFault::CannotRead && !QFileInfo::exists(path)
        ? QStringLiteral("no such file")
        : patch_file_fault_text(fault);
    Cli::err() << command << ": " << printable_text(path) << ": " << why << Qt::endl;
    return false;
}

// Each parameter's raw value of one control, in id order.
std::vector<std::pair<ParameterId, unsigned char>> values(const MidiControlModel &model)
{
    std::vector<std::pair<ParameterId, unsigned char>> list;
    for (const ControlParameter &p : model.parameters())
        list.emplace_back(ParameterId(p.id()), p.value());
    return list;
}

// The stored bytes that the patch brought into range, by control index and parameter.
using StoredBytes = QHash<QPair<int, unsigned int>, unsigned char>;

StoredBytes storedBytes(const Patch &patch)
{
    StoredBytes bytes;
    for (const OutOfRangeValue &v : patch.broughtIntoRange())
        bytes.insert({v.control, v.id}, v.stored);
    return bytes;
}

using ControlSummary::storedMark;

// "25 (outside 0..19)" for a number that no preset has.
QString presetText(const Patch &patch)
{
    return patch.presetNoInRange() ? QString::number(patch.presetNo())
                                   : QStringLiteral("%1 (outside 0..%2)")
                                         .arg(patch.presetNo())
                                         .arg(PatchLayout::highestPresetNo);
}

// The stored bytes of one control that the patch brought into range, by parameter id.
QMap<unsigned int, unsigned char> storedOf(const StoredBytes &stored, int index)
{
    QMap<unsigned int, unsigned char> bytes;
    for (auto it = stored.cbegin(); it != stored.cend(); ++it) {
        if (it.key().first == index)
            bytes.insert(it.key().second, it.value());
    }
    return bytes;
}

} // namespace

namespace Cli {

bool positionalCount(const QCommandLineParser &parser, const QString &command, int least, int most)
{
    const int count = parser.positionalArguments().size();
    if (count >= least && (most < 0 || count <= most))
        return true;
    err() << command << ": " << (count < least ? "missing arguments" : "too many arguments")
          << "; '" << command << " --help' shows how to call it" << Qt::endl;
    return false;
}

QJsonObject patchJson(const Patch &patch)
{
    const StoredBytes stored = storedBytes(patch);
    QJsonArray controls;
    for (int i = 0; i < ControlTable::count; ++i) {
        const MidiControlModel &model = *patch.controls().at(i);
        QJsonObject texts;
        QJsonObject numbers;
        QJsonObject outOfRange;
        for (const ControlParameter &p : model.parameters()) {
            const QString name = ParameterText::name(p.id());
            texts.insert(name, ParameterText::valueText(model, ParameterId(p.id())));
            numbers.insert(name, p.value());
            const auto found = stored.constFind({i, p.id()});
            if (found != stored.constEnd())
                outOfRange.insert(name, *found);
        }
        QJsonObject control{{QStringLiteral("control"), ControlNames::name(i)},
                            {QStringLiteral("index"), i},
                            {QStringLiteral("parameters"), texts},
                            {QStringLiteral("values"), numbers}};
        if (!outOfRange.isEmpty())
            control.insert(QStringLiteral("stored"), outOfRange);
        controls.append(control);
    }
    return {{QStringLiteral("name"), patch.name()},
            {QStringLiteral("preset"), patch.presetNo()},
            {QStringLiteral("controls"), controls}};
}

} // namespace Cli

namespace {

unsigned char byteAt(const QByteArray &bytes, unsigned int offset)
{
    return static_cast<unsigned char>(bytes.at(int(offset)));
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
        out() << printable_json(QJsonDocument(patchJson(patch)).toJson(QJsonDocument::Indented))
              << Qt::flush;
        return;
    }
    out() << "name: " << quoted_text(patch.name()) << "\npreset: " << presetText(patch) << '\n';
    const StoredBytes stored = storedBytes(patch);
    for (int i = 0; i < ControlTable::count; ++i)
        out() << ControlSummary::parameterLine(i, *patch.controls().at(i), storedOf(stored, i))
              << '\n';
    out() << Qt::flush;
}

int show(const QStringList &arguments)
{
    const QString command = arguments.value(0);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral(
            "Prints a patch file: its name, its preset number and one line per control\n"
            "with its parameters, in the form that 'vellichord set' takes.\n\n"
            "A parameter whose stored byte lies outside its range is read as the nearest\n"
            "value in range, as the editor and the device read it, and marked with the\n"
            "byte: channel=Global (stored 50). In JSON, such a control has a \"stored\"\n"
            "object holding these bytes by parameter name, beside \"values\".\n")
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
            "index 0..63. PARAM is one of:\n  %1,\n  %2;\n"
            "the editor's captions are taken too, in any case and without spaces (mode,\n"
            "note, color, colorfn, \"Note/CC\", \"CC X\", ...), and cc names the note or\n"
            "controller number of a pad or button.\n"
            "VALUE is written as 'vellichord show' prints it, or as a number: channel 1..16\n"
            "or Global, notes C-2..G8 or 0..127, Note or CC, Momentary or Toggle, On or Off,\n"
            "colour names. A value out of range is refused.\n\n"
            "Only the bytes of the parameters named change; every other byte of the file,\n"
            "the name and the preset number included, stays as it is. A value the file\n"
            "stores out of range elsewhere is left so, and printed as\n"
            "'CONTROL PARAM: stored BYTE (read as VALUE), left as stored'.\n")
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
    QByteArray bytes;
    if (!loadPatch(command, path, &patch, &bytes))
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
            err() << command << ": " << quoted_text(assignment) << " is not PARAM=VALUE"
                  << Qt::endl;
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
            err() << command << ": " << controlName << ' ' << printable_text(assignment) << ": "
                  << error << Qt::endl;
            return BadUsage;
        }
        changes.emplace_back(id, value);
    }

    // Only the bytes of the parameters named change; the rest of the file stays byte for byte,
    // bytes out of range, the name and the preset number included.
    QStringList oldTexts;
    for (const auto &[id, value] : values(model))
        oldTexts << textOf(model, id, value)
                + storedMark(byteAt(bytes, model.getParameter(id)->address()), value);
    for (const auto &[id, value] : changes)
        model.updateParameter(id, value);
    QByteArray changed = bytes;
    QList<ParameterId> named;
    QHash<ParameterId, QString> oldTextOf;
    int position = 0;
    for (const auto &[id, value] : values(model)) {
        oldTextOf.insert(id, oldTexts.value(position++));
        if (std::none_of(changes.cbegin(), changes.cend(),
                         [id = id](const auto &change) { return change.first == id; }))
            continue;
        named << id;
        const unsigned int address = model.getParameter(id)->address();
        if (byteAt(bytes, address) == value)
            continue;
        changed[int(address)] = char(value);
        // Both axes of the X-Y pad send on the channel chosen.
        if (index == ControlTable::xyPadIndex && id == Channel)
            changed[int(ControlTable::xyPadXChannelAddress)] = char(value);
    }
    QStringList report;
    for (const ParameterDifference &d : parameterDifferences(patch.controls(), bytes, changed)) {
        unsigned char value = 0;
        model.getValue(d.id, &value);
        report << QStringLiteral("%1 %2: %3 -> %4")
                      .arg(controlName, ParameterText::name(d.id), oldTextOf.value(d.id),
                           textOf(model, d.id, value));
    }
    // Bytes out of range elsewhere are told, not rewritten.
    QStringList left;
    for (const OutOfRangeValue &v : patch.broughtIntoRange()) {
        if (v.control == index && named.contains(v.id))
            continue;
        const MidiControlModel &other = *patch.controls().at(v.control);
        left << QStringLiteral("%1 %2: stored %3 (read as %4), left as stored")
                    .arg(ControlNames::name(v.control), ParameterText::name(v.id))
                    .arg(v.stored)
                    .arg(textOf(other, v.id, v.value));
    }
    if (changed == bytes) {
        out() << controlName << ": nothing changed" << Qt::endl;
    } else if (!write_patch_file(path, changed)) {
        err() << command << ": " << printable_text(path)
              << ": cannot be written; the file is unchanged" << Qt::endl;
        return Failed;
    } else {
        out() << report.join(QLatin1Char('\n')) << Qt::endl;
    }
    if (!left.isEmpty())
        out() << left.join(QLatin1Char('\n')) << Qt::endl;
    return Done;
}

int diff(const QStringList &arguments)
{
    const QString command = arguments.value(0);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral(
            "Compares two patch files and prints, one per line, the name, the preset\n"
            "number and each control's parameters that differ, as 'A -> B'. The stored\n"
            "bytes are compared: a byte outside its parameter's range is marked as\n"
            "'show' marks it, and differs from the value it is read as. The fixed bytes\n"
            "of the message and its kind (saved file or device answer) are not compared.\n")
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
    QByteArray bytesA;
    QByteArray bytesB;
    if (!loadPatch(command, given[0], &a, &bytesA) || !loadPatch(command, given[1], &b, &bytesB))
        return BadUsage;

    // The stored bytes are compared, so that two files read alike but stored differently
    // (a byte out of range, bytes after the name's end) are not called equal.
    QStringList report;
    const QByteArray nameA = bytesA.mid(int(PatchLayout::nameOffset), int(PatchLayout::nameLength));
    const QByteArray nameB = bytesB.mid(int(PatchLayout::nameOffset), int(PatchLayout::nameLength));
    if (a.name() != b.name())
        report
            << QStringLiteral("name: %1 -> %2").arg(quoted_text(a.name()), quoted_text(b.name()));
    else if (nameA != nameB)
        report << QStringLiteral("name: %1 -> %1 (the stored bytes after the name differ)")
                      .arg(quoted_text(a.name()));
    if (byteAt(bytesA, PatchLayout::presetNoOffset) != byteAt(bytesB, PatchLayout::presetNoOffset))
        report << QStringLiteral("preset: %1 -> %2").arg(presetText(a), presetText(b));
    for (const ParameterDifference &d : parameterDifferences(a.controls(), bytesA, bytesB)) {
        unsigned char valueA = 0;
        unsigned char valueB = 0;
        a.controls().at(d.control)->getValue(d.id, &valueA);
        b.controls().at(d.control)->getValue(d.id, &valueB);
        report << QStringLiteral("%1 %2: %3%4 -> %5%6")
                      .arg(ControlNames::name(d.control), ParameterText::name(d.id),
                           textOf(*a.controls().at(d.control), d.id, valueA),
                           storedMark(byteAt(bytesA, d.address), valueA),
                           textOf(*b.controls().at(d.control), d.id, valueB),
                           storedMark(byteAt(bytesB, d.address), valueB));
    }
    QByteArray owned(int(PatchLayout::length), '\0');
    for (int i = 0; i < ControlTable::count; ++i) {
        for (const ControlParameter &p : a.controls().at(i)->parameters())
            owned[int(p.address())] = 1;
    }
    // A byte among the parameters that no parameter owns: the X-Y pad's second channel byte.
    for (unsigned int offset = PatchLayout::nameOffset + PatchLayout::nameLength;
         offset < PatchLayout::endOffset; ++offset) {
        if (!owned.at(int(offset)) && byteAt(bytesA, offset) != byteAt(bytesB, offset))
            report << QStringLiteral("byte %1: %2 -> %3")
                          .arg(offset)
                          .arg(byteAt(bytesA, offset))
                          .arg(byteAt(bytesB, offset));
    }
    if (report.isEmpty())
        return Done;
    out() << report.join(QLatin1Char('\n')) << Qt::endl;
    return Failed;
}

int check(const QStringList &arguments)
{
    const QString command = arguments.value(0);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral(
            "Checks a patch file for what makes a patch misbehave in a DAW and prints one\n"
            "line per finding, as the editor's Edit > Check finds them:\n"
            "  two or more controls that send the same note or controller on the same\n"
            "  channel (the X-Y pad's axes each count; a control on the global channel\n"
            "  shares only with others on it);\n"
            "  a control on a controller number that DAWs and synths reserve: 0 and 32\n"
            "  (bank select), 6, 38 and 98..101 (parameter numbers), 120..127 (channel\n"
            "  mode).\n")
        + QLatin1String(fileNote)
        + QStringLiteral(
            "Exit codes: 0 nothing found, 1 findings, 2 bad usage or not a patch file."));
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The patch file."));
    int exitCode = Done;
    if (!parse(parser, arguments, &exitCode))
        return exitCode;
    if (!positionalCount(parser, command, 1, 1))
        return BadUsage;

    Patch patch;
    if (!loadPatch(command, parser.positionalArguments().constFirst(), &patch))
        return BadUsage;
    const QList<PatchCheck::Finding> findings = PatchCheck::run(patch.controls());
    for (const PatchCheck::Finding &finding : findings)
        out() << finding.reason << '\n';
    out() << Qt::flush;
    return findings.isEmpty() ? Done : Failed;
}

} // namespace Cli
