#include "../common/files.h"
#include "../common/laidoutpatch.h"
#include "../common/simulateddevice.h"
#include "../transfer/updaterig.h"
#include "controlnames.h"
#include "controlsummary.h"
#include "deviceclaim.h"
#include "midicontroller.h"
#include "parametertext.h"
#include "patch.h"
#include "patchlayout.h"
#include "sysextext.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

namespace {

struct Result
{
    int exitCode = -1;
    QString out;
    QString err;
};

Result run(const QStringList &arguments, const QString &program = QStringLiteral(VELLICHORD_CLI),
           const QString &workingDirectory = QString())
{
    QProcess process;
    process.setWorkingDirectory(workingDirectory);
    process.start(program, arguments);
    Result result;
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return result;
    result.exitCode = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

// Every parameter of every control at a value of its own, spread over its range.
void fillDistinct(ControlTable &table, int seed)
{
    for (int i = 0; i < ControlTable::count; ++i) {
        for (const ControlParameter &p : table.at(i)->parameters()) {
            const int span = p.max() - p.min() + 1;
            table.at(i)->updateParameter(p.id(),
                                         uchar(p.min() + (int(p.address()) * 5 + seed) % span));
        }
    }
}

using Assignment = std::tuple<int, ParameterId, int>; // control, parameter, value

// A patch message with distinct values for presetNo, named name, as the editor saves it.
QByteArray presetMessage(int presetNo, const QString &name, int seed)
{
    MidiController controller(noDevice());
    fillDistinct(*controller.getModels(), seed);
    controller.setPresetName(name);
    controller.setPresetNo(presetNo);
    return controller.currentPatch();
}

QByteArray joined(const QList<QByteArray> &messages)
{
    QByteArray bytes;
    for (const QByteArray &message : messages)
        bytes += message;
    return bytes;
}

} // namespace

Q_DECLARE_METATYPE(QList<Assignment>)
Q_DECLARE_METATYPE(ParameterId)

class TestCliFiles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void help_data();
    void help();
    void programExitCodes_data();
    void programExitCodes();
    void showPrintsTheNameThePresetAndEachControlsLine();
    void showPrintsWhatSetTakesBack();
    void showJson();
    void setWritesWhatTheEditorWould_data();
    void setWritesWhatTheEditorWould();
    void setThatChangesNothingLeavesTheFile();
    void setThatCannotWriteKeepsTheOldFile();
    void badSetLeavesTheFileUntouched_data();
    void badSetLeavesTheFileUntouched();
    void diff_data();
    void diff();
    void checkPrintsOneLinePerFinding_data();
    void checkPrintsOneLinePerFinding();
    void storedBytesThatAreReadOtherwise_data();
    void storedBytesThatAreReadOtherwise();
    void badFiles_data();
    void badFiles();
    void setChangesOnlyTheNamedBytes_data();
    void setChangesOnlyTheNamedBytes();
    void outsideTextIsEscaped_data();
    void outsideTextIsEscaped();
    void fileNamesThatAreNotUtf8_data();
    void fileNamesThatAreNotUtf8();
    void deviceCommandsGiveWayToOtherPrograms_data();
    void deviceCommandsGiveWayToOtherPrograms();
    void librarySplitAndJoinRoundTrip_data();
    void librarySplitAndJoinRoundTrip();
    void libraryShowJsonIsShowJsonOfEachPreset();
    void badLibraryFilesAreRefused_data();
    void badLibraryFilesAreRefused();
    void libraryJoinNumbers_data();
    void libraryJoinNumbers();
    void librarySplitKeepsFilesThatExist();
    void libraryArgumentsAreCheckedFirst_data();
    void libraryArgumentsAreCheckedFirst();

private:
    QString path(const QString &name) const { return workDir.filePath(name); }
    // A patch file with distinct values, saved by the editor's controller.
    QByteArray savedPatch(const QString &name, int seed = 1);

    QTemporaryDir workDir;
};

QByteArray TestCliFiles::savedPatch(const QString &name, int seed)
{
    MidiController controller(noDevice());
    fillDistinct(*controller.getModels(), seed);
    controller.setPresetName(QStringLiteral("distinct %1").arg(seed));
    controller.setPresetNo(seed % 20);
    if (!controller.saveSysex(path(name)))
        return QByteArray();
    return readFile(path(name));
}

void TestCliFiles::initTestCase()
{
    QVERIFY(workDir.isValid());
    QVERIFY(QFileInfo(QStringLiteral(VELLICHORD_CLI)).isExecutable());
    // The device's claims are this test's and its programs' alone.
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(workDir.path()));
}

void TestCliFiles::help_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("relative");
    QTest::addColumn<QString>("firstLine");
    QTest::addColumn<QString>("mentions");

    QTest::newRow("program") << QStringList{"--help"} << false
                             << "Usage: vellichord COMMAND [OPTIONS] [ARGUMENTS]"
                             << "Exit codes";
    QTest::newRow("show") << QStringList{"show", "--help"} << false
                          << "Usage: vellichord show [options] FILE"
                          << "--json";
    QTest::newRow("set") << QStringList{"set", "-h"} << false
                         << "Usage: vellichord set [options] FILE CONTROL PARAM=VALUE..."
                         << "noteorcc";
    QTest::newRow("diff") << QStringList{"diff", "--help"} << false
                          << "Usage: vellichord diff [options] A B"
                          << "1 they differ";
    QTest::newRow("check") << QStringList{"check", "--help"} << false
                           << "Usage: vellichord check [options] FILE"
                           << "Exit codes: 0 nothing found, 1 findings, 2 bad usage";
    // The commands that talk to the device answer --help without one.
    QTest::newRow("ports") << QStringList{"ports", "--help"} << false
                           << "Usage: vellichord ports [options]"
                           << "Exit codes: 0 done, 1 the MIDI system does not answer, 2 bad usage.";
    QTest::newRow("get") << QStringList{"get", "--help"} << false
                         << "Usage: vellichord get [options]"
                         << "3 no device";
    QTest::newRow("send") << QStringList{"send", "--help"} << false
                          << "Usage: vellichord send [options] FILE"
                          << "3 no device";
    QTest::newRow("update") << QStringList{"update", "--help"} << false
                            << "Usage: vellichord update [options] FIRMWARE"
                            << "1 the update failed, was stopped or was not confirmed";
    QTest::newRow("get --into") << QStringList{"get", "--help"} << false
                                << "Usage: vellichord get [options]"
                                << "--into <LIBRARY>";
    QTest::newRow("library") << QStringList{"library", "--help"} << false
                             << "Usage: vellichord library SUBCOMMAND [OPTIONS] [ARGUMENTS]"
                             << "4 the device is in use";
    QTest::newRow("library show") << QStringList{"library", "show", "--help"} << false
                                  << "Usage: vellichord library show [options] FILE"
                                  << "2 bad usage or not a library file";
    QTest::newRow("library split") << QStringList{"library", "split", "--help"} << false
                                   << "Usage: vellichord library split [options] FILE DIR"
                                   << "1 a file could not be written";
    QTest::newRow("library join") << QStringList{"library", "join", "--help"} << false
                                  << "Usage: vellichord library join [options] OUT FILE..."
                                  << "two patches for one preset";
    QTest::newRow("library send") << QStringList{"library", "send", "-h"} << false
                                  << "Usage: vellichord library send [options] FILE"
                                  << "3 no device";
    // Started as ./vellichord: the usage line still names the command.
    QTest::newRow("show, started by a relative path")
        << QStringList{"show", "--help"} << true << "Usage: vellichord show [options] FILE"
        << "Exit codes";
}

void TestCliFiles::help()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, relative);
    QFETCH(QString, firstLine);
    QFETCH(QString, mentions);
    const QFileInfo program(QStringLiteral(VELLICHORD_CLI));
    const Result result = relative
        ? run(arguments, QStringLiteral("./") + program.fileName(), program.absolutePath())
        : run(arguments);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.err, QString());
    QCOMPARE(result.out.section(QLatin1Char('\n'), 0, 0), firstLine);
    QVERIFY2(result.out.contains(mentions), qPrintable(result.out));
}

void TestCliFiles::programExitCodes_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("err");

    QTest::newRow("no command") << QStringList() << 2 << "Usage: vellichord COMMAND";
    QTest::newRow("unknown command") << QStringList{"shwo"} << 2 << "no command \"shwo\"";
    QTest::newRow("unknown option")
        << QStringList{"show", "--jsno", "x.syx"} << 2 << "vellichord show: Unknown option 'jsno'.";
    QTest::newRow("show without a file") << QStringList{"show"} << 2 << "missing arguments";
    QTest::newRow("show with two files")
        << QStringList{"show", "a", "b"} << 2 << "too many arguments";
    QTest::newRow("diff with one file") << QStringList{"diff", "a"} << 2 << "missing arguments";
    QTest::newRow("check with two files")
        << QStringList{"check", "a", "b"} << 2 << "too many arguments";
    QTest::newRow("set without a change")
        << QStringList{"set", "a", "PAD1"} << 2 << "missing arguments";
    QTest::newRow("library without a subcommand")
        << QStringList{"library"} << 2 << "Usage: vellichord library SUBCOMMAND";
    QTest::newRow("unknown library subcommand")
        << QStringList{"library", "shwo"} << 2
        << "vellichord library: no subcommand \"shwo\"; 'vellichord library --help' lists them";
    QTest::newRow("library join without files")
        << QStringList{"library", "join", "out.syx"} << 2 << "missing arguments";
}

void TestCliFiles::programExitCodes()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, err);
    const Result result = run(arguments);
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY2(result.err.contains(err), qPrintable(result.err));
    QCOMPARE(result.out, QString());
}

// Each control's line as ControlSummary::parameterLine writes it.
void TestCliFiles::showPrintsTheNameThePresetAndEachControlsLine()
{
    Patch patch;
    patch.setName(QStringLiteral("Live\tset"));
    patch.setPresetNo(19);
    fillDistinct(patch.controls(), 2);
    QVERIFY(patch.save(path(QStringLiteral("show.syx"))));

    const Result result = run({QStringLiteral("show"), path(QStringLiteral("show.syx"))});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.err, QString());
    const QStringList lines = result.out.split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 2 + 64 + 1);
    // The name as sent, the tab written out so that it cannot act on the terminal.
    QCOMPARE(lines[0], QStringLiteral(R"(name: "Live?set")"));
    QCOMPARE(lines[1], QStringLiteral("preset: 19"));
    for (int i = 0; i < 64; ++i)
        QCOMPARE(lines[2 + i], ControlSummary::parameterLine(i, *patch.controls().at(i)));
    QCOMPARE(lines[45],
             QStringLiteral("PAD5    channel=6 type=CC toggle=Momentary noteorcc=68 "
                            "aftertouch=On colour=Red"));
}

// Each control's line of show, given to set on a new patch, makes the same patch again.
void TestCliFiles::showPrintsWhatSetTakesBack()
{
    const QByteArray original = savedPatch(QStringLiteral("original.syx"), 3);
    const Result shown = run({QStringLiteral("show"), path(QStringLiteral("original.syx"))});
    QCOMPARE(shown.exitCode, 0);

    Patch fresh;
    fresh.setName(QStringLiteral("distinct 3"));
    fresh.setPresetNo(3);
    const QString copy = path(QStringLiteral("copy.syx"));
    QVERIFY(fresh.save(copy));
    const QStringList lines = shown.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(2);
    QCOMPARE(lines.size(), 64);
    for (const QString &line : lines) {
        const QStringList fields = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const Result set = run(QStringList{QStringLiteral("set"), copy} + fields);
        QVERIFY2(set.exitCode == 0, qPrintable(line + QLatin1Char('\n') + set.err));
    }
    QCOMPARE(readFile(copy).toHex(' '), original.toHex(' '));
}

void TestCliFiles::showJson()
{
    Patch patch;
    patch.setName(QStringLiteral("json"));
    patch.setPresetNo(5);
    patch.controls().at(45)->updateParameter(NoteOrCC, 61);
    patch.controls().at(0)->updateParameter(Channel, 16);
    QVERIFY(patch.save(path(QStringLiteral("json.syx"))));

    const Result result = run(
        {QStringLiteral("show"), QStringLiteral("--json"), path(QStringLiteral("json.syx"))});
    QCOMPARE(result.exitCode, 0);
    QJsonParseError error;
    const QJsonObject root = QJsonDocument::fromJson(result.out.toUtf8(), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(root.value("name").toString(), QStringLiteral("json"));
    QCOMPARE(root.value("preset").toInt(), 5);
    const QJsonArray controls = root.value("controls").toArray();
    QCOMPARE(controls.size(), 64);
    const QJsonObject pad7 = controls[45].toObject();
    QCOMPARE(pad7.value("control").toString(), QStringLiteral("PAD7"));
    QCOMPARE(pad7.value("index").toInt(), 45);
    QCOMPARE(pad7.value("parameters").toObject().value("noteorcc").toString(),
             QStringLiteral("C#3"));
    QCOMPARE(pad7.value("values").toObject().value("noteorcc").toInt(), 61);
    QCOMPARE(pad7.value("parameters").toObject().keys(),
             (QStringList{"aftertouch", "channel", "colour", "noteorcc", "toggle", "type"}));
    const QJsonObject s1 = controls[0].toObject();
    QCOMPARE(s1.value("parameters").toObject().value("channel").toString(),
             QStringLiteral("Global"));
    QCOMPARE(s1.value("values").toObject().value("channel").toInt(), 16);
}

void TestCliFiles::setWritesWhatTheEditorWould_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QList<Assignment>>("edits");

    QTest::newRow("channel as Ch 16")
        << QStringList{"PAD7", "channel=Ch 16"} << QList<Assignment>{{45, Channel, 15}};
    QTest::newRow("lower case, two at once")
        << QStringList{"pad7", "type=cc", "noteorcc=127"}
        << QList<Assignment>{{45, Type, 1}, {45, NoteOrCC, 127}};
    QTest::newRow("by index, edge 0")
        << QStringList{"0", "max=0", "min=0"} << QList<Assignment>{{0, Max, 0}, {0, Min, 0}};
    QTest::newRow("last index, note G8")
        << QStringList{"63", "noteorcc=G8"} << QList<Assignment>{{63, NoteOrCC, 127}};
    QTest::newRow("note C-2") << QStringList{"PAD1", "noteorcc=c-2"}
                              << QList<Assignment>{{39, NoteOrCC, 0}};
    QTest::newRow("X-Y pad, both channel bytes")
        << QStringList{"XY", "channel=Global", "ccx=5", "maxy=127"}
        << QList<Assignment>{{37, Channel, 16}, {37, CCX, 5}, {37, MaxY, 127}};
    QTest::newRow("function button") << QStringList{"F10", "colourf=Green", "toggle=Toggle"}
                                     << QList<Assignment>{{15, ColourF, 1}, {15, Toggle, 1}};
    QTest::newRow("pad colour and aftertouch")
        << QStringList{"PAD3", "aftertouch=On", "colour=Blue"}
        << QList<Assignment>{{41, Aftertouch, 1}, {41, Colour, 2}};
    QTest::newRow("later assignment wins")
        << QStringList{"RECORD", "type=Note", "type=CC"} << QList<Assignment>{{32, Type, 1}};
    // The names the editor shows write the same bytes as the command line's own.
    const QList<Assignment> modeNoteColour = {{39, Toggle, 1}, {39, NoteOrCC, 60}, {39, Colour, 2}};
    QTest::newRow("the editor's captions")
        << QStringList{"PAD1", "mode=Toggle", "note=C3", "color=Blue"} << modeNoteColour;
    QTest::newRow("the command line's names")
        << QStringList{"PAD1", "toggle=Toggle", "noteorcc=C3", "colour=Blue"} << modeNoteColour;
    QTest::newRow("captions with spaces and slashes")
        << QStringList{"F1", "Color Fn=Green", "Note/CC=D3"}
        << QList<Assignment>{{6, ColourF, 1}, {6, NoteOrCC, 62}};
    QTest::newRow("a pad's CC row") << QStringList{"PAD2", "type=CC", "cc=42"}
                                    << QList<Assignment>{{40, Type, 1}, {40, NoteOrCC, 42}};
    QTest::newRow("crossfader to 127") << QStringList{"xfader", "cc=127", "max=127"}
                                       << QList<Assignment>{{38, CC, 127}, {38, Max, 127}};
}

void TestCliFiles::setWritesWhatTheEditorWould()
{
    QFETCH(QStringList, arguments);
    QFETCH(QList<Assignment>, edits);
    const QString file = path(QStringLiteral("set.syx"));

    // The same edits through the editor's models, then its Type 1 build.
    MidiController editor(noDevice());
    QVERIFY(!savedPatch(QStringLiteral("set.syx"), 7).isEmpty());
    QVERIFY(editor.loadSysex(file));
    editor.setPresetNo(7);
    const QByteArray before(reinterpret_cast<const char *>(editor.getType1Sysex()), 348);
    QCOMPARE(readFile(file), before);
    for (const auto &[control, id, value] : edits) {
        MidiControlModel *model = editor.getModels()->at(control);
        model->updateParameter(id, uchar(value));
    }
    const QByteArray expected(reinterpret_cast<const char *>(editor.getType1Sysex()), 348);
    QVERIFY(expected != before);

    const Result result = run(QStringList{QStringLiteral("set"), file} + arguments);
    QCOMPARE(result.err, QString());
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(readFile(file).toHex(' '), expected.toHex(' '));
    // One line per parameter whose value changed, naming the control as printed.
    const QStringList lines = result.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY(!lines.isEmpty());
    const QString control = ControlNames::name(std::get<0>(edits.first()));
    for (const QString &line : lines)
        QVERIFY2(line.startsWith(control + QLatin1Char(' '))
                     && line.contains(QLatin1String(" -> ")),
                 qPrintable(line));
}

void TestCliFiles::setThatChangesNothingLeavesTheFile()
{
    const QString file = path(QStringLiteral("same.syx"));
    Patch patch;
    patch.controls().at(45)->updateParameter(NoteOrCC, 60);
    QVERIFY(patch.save(file));
    const QDateTime modified = QFileInfo(file).lastModified();
    QTest::qSleep(20); // a rewrite would show in the time stamp
    const Result result = run({QStringLiteral("set"), file, QStringLiteral("PAD7"),
                               QStringLiteral("noteorcc=C3"), QStringLiteral("channel=1")});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, QStringLiteral("PAD7: nothing changed\n"));
    QCOMPARE(QFileInfo(file).lastModified(), modified);
}

void TestCliFiles::setThatCannotWriteKeepsTheOldFile()
{
#ifdef Q_OS_UNIX
    const QString file = path(QStringLiteral("full.syx"));
    const QByteArray before = savedPatch(QStringLiteral("full.syx"), 4);
    QVERIFY(!before.isEmpty());
    Result result;
    {
        // The program inherits the limit: its write fails part-way, as on a full disk.
        FileSizeLimit full(100);
        QVERIFY(full.isActive());
        result = run({QStringLiteral("set"), file, QStringLiteral("PAD1"),
                      QStringLiteral("channel=Global")});
    }
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.err,
             QStringLiteral("vellichord set: %1: cannot be written; the file is "
                            "unchanged\n")
                 .arg(file));
    QCOMPARE(result.out, QString());
    QCOMPARE(readFile(file), before);
    QCOMPARE(QDir(workDir.path()).entryList({QStringLiteral("full*")}, QDir::Files),
             QStringList{"full.syx"});
#else
    QSKIP("needs a file size limit");
#endif
}

void TestCliFiles::badSetLeavesTheFileUntouched_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("err");

    QTest::newRow("unknown control")
        << QStringList{"PADD7", "channel=2"}
        << R"(vellichord set: no control "PADD7"; did you mean "PAD7"?)";
    QTest::newRow("index past the end")
        << QStringList{"64", "channel=2"} << "vellichord set: no control 64 (indices run 0..63)";
    QTest::newRow("unknown parameter")
        << QStringList{"PAD7", "chanel=2"}
        << R"(vellichord set: PAD7 has no parameter "chanel"; did you mean "channel"?)";
    QTest::newRow("parameter of another kind")
        << QStringList{"S1", "colour=Red"}
        << R"(vellichord set: S1 has no parameter "colour"; it has channel, cc, min, max)";
    QTest::newRow("channel 17") << QStringList{"S1", "channel=17"}
                                << "vellichord set: S1 channel=17: out of range (allowed: 1..16 "
                                   "or Global)";
    QTest::newRow("max 128") << QStringList{"S1", "max=128"}
                             << "vellichord set: S1 max=128: out of range (allowed: 0..127)";
    QTest::newRow("note past G8") << QStringList{"PAD1", "noteorcc=A8"}
                                  << "vellichord set: PAD1 noteorcc=A8: out of range (allowed: "
                                     "0..127 or C-2..G8)";
    QTest::newRow("unknown value")
        << QStringList{"PAD1", "type=Nte"}
        << R"(vellichord set: PAD1 type=Nte: no such value (allowed: Note, CC or 0..1); did you mean "Note"?)";
    QTest::newRow("bad after good") << QStringList{"PAD1", "channel=3", "colour=Purple"}
                                    << "vellichord set: PAD1 colour=Purple: no such value "
                                       "(allowed: Red, Green, Blue or 0..2)";
    QTest::newRow("no equals sign")
        << QStringList{"PAD1", "channel", "3"} << R"(vellichord set: "channel" is not PARAM=VALUE)";
    QTest::newRow("empty value") << QStringList{"PAD1", "channel="}
                                 << "vellichord set: PAD1 channel=: no such value (allowed: "
                                    "1..16 or Global)";
}

void TestCliFiles::badSetLeavesTheFileUntouched()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, err);
    const QString file = path(QStringLiteral("untouched.syx"));
    const QByteArray before = savedPatch(QStringLiteral("untouched.syx"), 9);
    QVERIFY(!before.isEmpty());
    const QDateTime modified = QFileInfo(file).lastModified();
    QTest::qSleep(20); // a rewrite would show in the time stamp

    const Result result = run(QStringList{QStringLiteral("set"), file} + arguments);
    QCOMPARE(result.exitCode, 2);
    QCOMPARE(result.err, err + QLatin1Char('\n'));
    QCOMPARE(result.out, QString());
    QCOMPARE(readFile(file), before);
    QCOMPARE(QFileInfo(file).lastModified(), modified);
    QCOMPARE(QDir(workDir.path()).entryList({QStringLiteral("untouched*")}, QDir::Files),
             QStringList{"untouched.syx"});
}

void TestCliFiles::diff_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("presetNo");
    QTest::addColumn<QList<Assignment>>("edits");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");

    QTest::newRow("equal") << "patch" << 2 << QList<Assignment>{} << 0 << "";
    QTest::newRow("name") << "other" << 2 << QList<Assignment>{} << 1
                          << "name: \"patch\" -> \"other\"\n";
    QTest::newRow("preset number")
        << "patch" << 19 << QList<Assignment>{} << 1 << "preset: 2 -> 19\n";
    QTest::newRow("a note") << "patch" << 2 << QList<Assignment>{{45, NoteOrCC, 62}} << 1
                            << "PAD7 noteorcc: C3 -> D3\n";
    QTest::newRow("type and the number's name with it")
        << "patch" << 2 << QList<Assignment>{{45, Type, 1}, {45, NoteOrCC, 61}} << 1
        << "PAD7 type: Note -> CC\nPAD7 noteorcc: C3 -> 61\n";
    QTest::newRow("everything, in control order")
        << "x" << 0 << QList<Assignment>{{63, Colour, 1}, {0, Channel, 16}, {37, MaxY, 0}} << 1
        << "name: \"patch\" -> \"x\"\npreset: 2 -> 0\nS1 channel: 1 -> Global\n"
           "XY maxy: 127 -> 0\nPAD25 colour: Red -> Green\n";
}

void TestCliFiles::diff()
{
    QFETCH(QString, name);
    QFETCH(int, presetNo);
    QFETCH(QList<Assignment>, edits);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    Patch a;
    a.setName(QStringLiteral("patch"));
    a.setPresetNo(2);
    a.controls().at(45)->updateParameter(NoteOrCC, 60);
    QVERIFY(a.save(path(QStringLiteral("a.syx"))));
    Patch b;
    QVERIFY(b.apply(a.toType1()));
    b.setName(name);
    b.setPresetNo(presetNo);
    for (const auto &[control, id, value] : edits)
        b.controls().at(control)->updateParameter(id, uchar(value));
    QVERIFY(b.save(path(QStringLiteral("b.syx"))));

    const Result result = run(
        {QStringLiteral("diff"), path(QStringLiteral("a.syx")), path(QStringLiteral("b.syx"))});
    QCOMPARE(result.err, QString());
    QCOMPARE(result.out, out);
    QCOMPARE(result.exitCode, exitCode);
}

void TestCliFiles::checkPrintsOneLinePerFinding_data()
{
    QTest::addColumn<bool>("laidOut"); // or the factory patch
    QTest::addColumn<QList<Assignment>>("edits");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("lines"); // the first lines printed
    QTest::addColumn<int>("count");         // of all lines printed

    QTest::newRow("laid out") << true << QList<Assignment>{} << 0 << QStringList() << 0;
    QTest::newRow("a duplicate and a reserved CC")
        << true << QList<Assignment>{{40, NoteOrCC, 36}, {16, CC, 0}} << 1
        << QStringList{"PAD1 and PAD2 both send Note 36 on Ch 1",
                       "E1 sends CC 0, which DAWs and synths reserve for bank select"}
        << 2;
    // Everything on channel 1, the controllers on CC 0 and the notes on note 0.
    QTest::newRow("factory patch")
        << false << QList<Assignment>{} << 1
        << QStringList{"S1, S2, S3, S4, S5, S6, E1, E2, E3, E4, E5, E6, E7, E8, P1, P2, P3, P4, "
                       "P5, P6, XY X, XY Y and XFADER all send CC 0 on Ch 1",
                       "F1, F2, F3, F4, F5, F6, F7, F8, F9, F10, STOP, PLAY, RECORD, DOWN, UP, "
                       "LEFT, RIGHT, PAD1, PAD2, PAD3, PAD4, PAD5, PAD6, PAD7, PAD8, PAD9, PAD10, "
                       "PAD11, PAD12, PAD13, PAD14, PAD15, PAD16, PAD17, PAD18, PAD19, PAD20, "
                       "PAD21, PAD22, PAD23, PAD24 and PAD25 all send Note 0 on Ch 1",
                       "S1 sends CC 0, which DAWs and synths reserve for bank select"}
        << 2 + 23;
}

void TestCliFiles::checkPrintsOneLinePerFinding()
{
    QFETCH(bool, laidOut);
    QFETCH(QList<Assignment>, edits);
    QFETCH(int, exitCode);
    QFETCH(QStringList, lines);
    QFETCH(int, count);
    Patch patch;
    if (laidOut)
        layOut(patch.controls());
    for (const auto &[control, id, value] : edits)
        patch.controls().at(control)->updateParameter(id, uchar(value));
    const QString file = path(QStringLiteral("check.syx"));
    QVERIFY(patch.save(file));

    const Result result = run({QStringLiteral("check"), file});
    QCOMPARE(result.err, QString());
    QCOMPARE(result.exitCode, exitCode);
    const QStringList printed = result.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(printed.size(), count);
    QCOMPARE(printed.mid(0, lines.size()), lines);
    QVERIFY(count == 0 ? result.out.isEmpty() : result.out.endsWith(QLatin1Char('\n')));
}

void TestCliFiles::storedBytesThatAreReadOtherwise_data()
{
    QTest::addColumn<QList<Assignment>>("edits"); // of both files
    QTest::addColumn<int>("control");             // whose parameter is poked, or -1
    QTest::addColumn<ParameterId>("id");
    QTest::addColumn<int>("offset"); // poked when control is -1
    QTest::addColumn<int>("byte");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("diffOut");

    QTest::newRow("channel past Global") << QList<Assignment>{{39, Channel, 16}} << 39 << Channel
                                         << 0 << 50 << "channel=Global (stored 50)"
                                         << "PAD1 channel: Global -> Global (stored 50)\n";
    QTest::newRow("colour past Blue")
        << QList<Assignment>{{39, Colour, 2}} << 39 << Colour << 0 << 9 << "colour=Blue (stored 9)"
        << "PAD1 colour: Blue -> Blue (stored 9)\n";
    QTest::newRow("max byte with the high bit")
        << QList<Assignment>{} << 0 << Max << 0 << 200 << "max=127 (stored 200)"
        << "S1 max: 127 -> 127 (stored 200)\n";
    QTest::newRow("a value that differs too")
        << QList<Assignment>{} << 63 << Toggle << 0 << 7 << "toggle=Toggle (stored 7)"
        << "PAD25 toggle: Momentary -> Toggle (stored 7)\n";
    QTest::newRow("name byte after its end")
        << QList<Assignment>{} << -1 << Channel << 11 + 10 << int('x') << QString()
        << "name: \"patch\" -> \"patch\" (the stored bytes after the name differ)\n";
    QTest::newRow("preset number past 19")
        << QList<Assignment>{} << -1 << Channel << 9 << 25 << "preset: 25 (outside 0..19)\n"
        << "preset: 2 -> 25 (outside 0..19)\n";
    QTest::newRow("preset number 0xFF")
        << QList<Assignment>{} << -1 << Channel << 9 << 255 << "preset: 255 (outside 0..19)\n"
        << "preset: 2 -> 255 (outside 0..19)\n";
    QTest::newRow("byte of no parameter")
        << QList<Assignment>{} << -1 << Channel << 55 << 5 << QString() << "byte 55: 0 -> 5\n";
}

// show marks a value whose stored byte was out of range, diff tells such files apart.
void TestCliFiles::storedBytesThatAreReadOtherwise()
{
    QFETCH(QList<Assignment>, edits);
    QFETCH(int, control);
    QFETCH(ParameterId, id);
    QFETCH(int, offset);
    QFETCH(int, byte);
    QFETCH(QString, shown);
    QFETCH(QString, diffOut);
    Patch patch;
    patch.setName(QStringLiteral("patch"));
    patch.setPresetNo(2);
    for (const auto &[index, parameter, value] : edits)
        patch.controls().at(index)->updateParameter(parameter, uchar(value));
    QByteArray bytes = patch.toType1();
    QVERIFY(writeFile(path(QStringLiteral("a.syx")), bytes));
    if (control >= 0)
        offset = int(patch.controls().at(control)->getParameter(id)->address());
    bytes[offset] = char(byte);
    const QString b = path(QStringLiteral("b.syx"));
    QVERIFY(writeFile(b, bytes));

    const Result text = run({QStringLiteral("show"), b});
    QCOMPARE(text.exitCode, 0);
    if (!shown.isEmpty())
        QVERIFY2((control < 0 || text.out.contains(ControlNames::name(control).leftJustified(8)))
                     && text.out.contains(shown),
                 qPrintable(text.out));
    else
        QVERIFY2(!text.out.contains(QStringLiteral("stored")), qPrintable(text.out));

    const Result json = run({QStringLiteral("show"), QStringLiteral("--json"), b});
    QCOMPARE(json.exitCode, 0);
    const QJsonArray controls =
        QJsonDocument::fromJson(json.out.toUtf8()).object().value("controls").toArray();
    QCOMPARE(controls.size(), 64);
    for (int i = 0; i < 64; ++i) {
        const QJsonObject stored = controls[i].toObject().value("stored").toObject();
        QCOMPARE(stored.keys(),
                 i == control ? QStringList{ParameterText::name(id)} : QStringList{});
    }
    if (control >= 0) {
        const QJsonObject found = controls[control].toObject();
        QCOMPARE(found.value("stored").toObject().value(ParameterText::name(id)).toInt(), byte);
        // The value as it is read, under the key scripts know.
        QCOMPARE(found.value("values").toObject().value(ParameterText::name(id)).toInt(),
                 int(patch.controls().at(control)->getParameter(id)->max()));
    }

    const Result diffed = run({QStringLiteral("diff"), path(QStringLiteral("a.syx")), b});
    QCOMPARE(diffed.err, QString());
    QCOMPARE(diffed.out, diffOut);
    QCOMPARE(diffed.exitCode, 1);

    // set leaves the byte as stored, and says so.
    if (control >= 0) {
        const Result set = run(
            {QStringLiteral("set"), b, QStringLiteral("S2"), QStringLiteral("channel=9")});
        QCOMPARE(set.exitCode, 0);
        const QString told = QStringLiteral("\n%1 %2: stored %3 (read as ")
                                 .arg(ControlNames::name(control), ParameterText::name(id))
                                 .arg(byte);
        QVERIFY2(set.out.contains(told)
                     && set.out.mid(set.out.indexOf(told))
                            .contains(QLatin1String("), left as stored\n")),
                 qPrintable(set.out));
        QCOMPARE(uchar(readFile(b).at(offset)), uchar(byte));
    }
}

void TestCliFiles::badFiles_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("why");

    const QByteArray good = Patch().toType1();
    QByteArray request = good;
    request[6] = 0x62;
    QByteArray foreign = good;
    foreign[1] = 0x41;
    for (const char *command : {"show", "set", "diff A", "diff B", "check"}) {
        QTest::addRow("%s, missing", command)
            << command << "missing.syx" << QByteArray() << "no such file";
        QTest::addRow("%s, folder", command)
            << command << "folder" << QByteArray() << "not a regular file";
        QTest::addRow("%s, short", command)
            << command << "short.syx" << good.left(347) << "shorter than 348 bytes";
        QTest::addRow("%s, request", command)
            << command << "request.syx" << request << "not a patch file";
        QTest::addRow("%s, another maker's header", command)
            << command << "foreign.syx" << foreign << "not a patch file";
    }
}

void TestCliFiles::badFiles()
{
    QFETCH(QString, command);
    QFETCH(QString, file);
    QFETCH(QByteArray, contents);
    QFETCH(QString, why);
    const QString bad = path(file);
    if (file == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(bad));
    else if (file != QLatin1String("missing.syx"))
        QVERIFY(writeFile(bad, contents));
    const QString good = path(QStringLiteral("good.syx"));
    QVERIFY(Patch().save(good));

    QStringList arguments;
    if (command == QLatin1String("show") || command == QLatin1String("check"))
        arguments = QStringList{command, bad};
    else if (command == QLatin1String("set"))
        arguments = QStringList{command, bad, QStringLiteral("PAD1"), QStringLiteral("channel=2")};
    else if (command == QLatin1String("diff A"))
        arguments = QStringList{QStringLiteral("diff"), bad, good};
    else
        arguments = QStringList{QStringLiteral("diff"), good, bad};

    const Result result = run(arguments);
    QCOMPARE(result.exitCode, 2);
    QCOMPARE(result.err, QStringLiteral("vellichord %1: %2: %3\n").arg(arguments[0], bad, why));
    QCOMPARE(result.out, QString());
    if (!contents.isEmpty())
        QCOMPARE(readFile(bad), contents);
    QVERIFY(QFileInfo(bad).exists() == (file != QLatin1String("missing.syx")));
}

void TestCliFiles::deviceCommandsGiveWayToOtherPrograms_data()
{
    QTest::addColumn<QString>("claim"); // held by this test: editor, update or none
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("err"); // <pid> and <program> stand for this test

    // A port that is nowhere, so that what gets through finds no device.
    const QStringList nowhere = {"--port", "Vellichord nowhere", "--timeout", "100"};
    const QString editor = "vellichord %1: the Vellichord Editor is running (process <pid>): use "
                           "it, or pass --force\n";
    const QString update = "vellichord %1: <program> is updating the Vellichord's firmware "
                           "(process <pid>); try again once it has finished\n";
    const QString noPort = "vellichord %1: no MIDI port \"Vellichord nowhere\"";
    QTest::newRow("send, editor running")
        << "editor" << QStringList{"send", "patch.syx"} + nowhere << 4 << editor.arg("send");
    QTest::newRow("get, editor running")
        << "editor" << QStringList{"get"} + nowhere << 4 << editor.arg("get");
    QTest::newRow("update, editor running")
        << "editor" << QStringList{"update", "firmware.hex"} << 4 << editor.arg("update");
    QTest::newRow("send --force, editor running")
        << "editor" << QStringList{"send", "--force", "patch.syx"} + nowhere << 3
        << noPort.arg("send");
    QTest::newRow("get --force, editor running")
        << "editor" << QStringList{"get", "--force"} + nowhere << 3 << noPort.arg("get");
    QTest::newRow("send --force, update running")
        << "update" << QStringList{"send", "--force", "patch.syx"} + nowhere << 4
        << update.arg("send");
    QTest::newRow("update --force, update running")
        << "update" << QStringList{"update", "--force", "firmware.hex"} << 4
        << update.arg("update");
    QTest::newRow("send, nothing running")
        << "none" << QStringList{"send", "patch.syx"} + nowhere << 3 << noPort.arg("send");
    // A bad file is told before any claim is looked at.
    QTest::newRow("send of a missing file, editor running")
        << "editor" << QStringList{"send", "missing.syx"} << 2 << "vellichord send: missing.syx";
    QTest::newRow("show, update running")
        << "update" << QStringList{"show", "patch.syx"} << 0 << QString();
}

void TestCliFiles::deviceCommandsGiveWayToOtherPrograms()
{
    QFETCH(QString, claim);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, err);

    QVERIFY(!savedPatch(QStringLiteral("patch.syx")).isEmpty());
    QVERIFY(writeFile(path(QStringLiteral("firmware.hex")),
                      (updateRecordOfSize(512) + updateRecord(QByteArray())).toHex(' ')));
    DeviceClaim held(claim == QLatin1String("update") ? DeviceClaim::Kind::Update
                                                      : DeviceClaim::Kind::Editor);
    if (claim != QLatin1String("none"))
        QVERIFY(held.take());

    const Result result = run(arguments, QStringLiteral(VELLICHORD_CLI), workDir.path());
    const QString expected = QString(err)
                                 .replace(QLatin1String("<pid>"),
                                          QString::number(QCoreApplication::applicationPid()))
                                 .replace(
                                     QLatin1String("<program>"),
                                     QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    QVERIFY2(result.exitCode == exitCode && result.err.startsWith(expected),
             qPrintable(QStringLiteral("exit %1: %2").arg(result.exitCode).arg(result.err)));
}

void TestCliFiles::librarySplitAndJoinRoundTrip_data()
{
    QTest::addColumn<QList<QByteArray>>("messages");
    QTest::addColumn<QStringList>("files");

    QList<QByteArray> twenty;
    QStringList twentyFiles;
    for (int presetNo = 0; presetNo < 20; ++presetNo) {
        twenty << presetMessage(presetNo, QStringLiteral("set %1").arg(presetNo), presetNo);
        twentyFiles
            << QStringLiteral("%1-set_%2.syx").arg(presetNo, 2, 10, QLatin1Char('0')).arg(presetNo);
    }
    QTest::newRow("twenty") << twenty << twentyFiles;
    QTest::newRow("one, preset 19")
        << QList<QByteArray>{presetMessage(19, QStringLiteral("Encore"), 3)}
        << QStringList{"19-Encore.syx"};
    QTest::newRow("names that are no file names")
        << QList<QByteArray>{presetMessage(2, QStringLiteral("../a/b c:*?"), 1),
                             presetMessage(4, QStringLiteral(".hidden"), 2),
                             presetMessage(5, QString(), 3)}
        << QStringList{"02-.._a_b_c___.syx", "04-.hidden.syx", "05.syx"};
    // A device's answer (Type 2) is kept as such in its patch file, and joined as Type 1.
    QByteArray type2 = presetMessage(8, QStringLiteral("answer"), 4);
    type2[6] = 0x63;
    QTest::newRow("Type 2") << QList<QByteArray>{type2} << QStringList{"08-answer.syx"};
}

void TestCliFiles::librarySplitAndJoinRoundTrip()
{
    QFETCH(QList<QByteArray>, messages);
    QFETCH(QStringList, files);

    QTemporaryDir here;
    const QString library = here.filePath(QStringLiteral("set.syx"));
    QVERIFY(writeFile(library, joined(messages)));

    const Result shown = run({QStringLiteral("library"), QStringLiteral("show"), library});
    QCOMPARE(shown.exitCode, 0);
    QStringList table{QStringLiteral("preset  name")};
    for (const QByteArray &message : messages) {
        Patch patch;
        QVERIFY(patch.apply(message));
        table << QStringLiteral("%1  %2").arg(patch.presetNo(), 6).arg(quoted_text(patch.name()));
    }
    QCOMPARE(shown.out, table.join(QLatin1Char('\n')) + QLatin1Char('\n'));

    const QString folder = here.filePath(QStringLiteral("presets"));
    const Result split = run({QStringLiteral("library"), QStringLiteral("split"), library, folder});
    QVERIFY2(split.exitCode == 0, qPrintable(split.err));
    QCOMPARE(QDir(folder).entryList(QDir::Files, QDir::Name), files);
    QStringList paths;
    for (int i = 0; i < files.size(); ++i) {
        paths << QDir(folder).filePath(files[i]);
        QCOMPARE(readFile(paths.last()), messages[i]);
    }

    const QString rejoined = here.filePath(QStringLiteral("rejoined.syx"));
    const Result join = run(QStringList{QStringLiteral("library"), QStringLiteral("join"), rejoined}
                            + paths);
    QVERIFY2(join.exitCode == 0, qPrintable(join.err));
    QList<QByteArray> type1;
    for (QByteArray message : messages) {
        message[6] = 0x61;
        type1 << message;
    }
    QCOMPARE(readFile(rejoined), joined(type1));
}

void TestCliFiles::libraryShowJsonIsShowJsonOfEachPreset()
{
    QTemporaryDir here;
    const QList<QByteArray> messages{presetMessage(3, QStringLiteral("three"), 3),
                                     presetMessage(1, QStringLiteral("one"), 1)};
    const QString library = here.filePath(QStringLiteral("set.syx"));
    QVERIFY(writeFile(library, joined(messages)));
    const Result shown = run(
        {QStringLiteral("library"), QStringLiteral("show"), QStringLiteral("--json"), library});
    QCOMPARE(shown.exitCode, 0);
    const QJsonArray presets = QJsonDocument::fromJson(shown.out.toUtf8()).array();
    QCOMPARE(presets.size(), 2);
    for (int i = 0; i < 2; ++i) {
        const QString single = here.filePath(QStringLiteral("single.syx"));
        QVERIFY(writeFile(single, messages[i]));
        const Result one = run({QStringLiteral("show"), QStringLiteral("--json"), single});
        QCOMPARE(presets[i].toObject(), QJsonDocument::fromJson(one.out.toUtf8()).object());
    }
}

void TestCliFiles::badLibraryFilesAreRefused_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("contents"); // "missing" and "folder" stand for those
    QTest::addColumn<QString>("why");

    const QByteArray one = presetMessage(1, QStringLiteral("one"), 1);
    const QByteArray three = presetMessage(3, QStringLiteral("three"), 3);
    QByteArray request = three;
    request[6] = 0x62;
    for (const char *command : {"show", "split", "join", "send", "get --into"}) {
        // get --into makes a library that is missing, and cannot write one that is a folder.
        if (QByteArray(command) != "get --into") {
            QTest::addRow("%s, missing", command)
                << command << QByteArray("missing") << "no such file";
            QTest::addRow("%s, folder", command)
                << command << QByteArray("folder") << "not a regular file";
        }
        QTest::addRow("%s, second message short", command)
            << command << one + three.left(347) << "message 2 (byte 348): shorter than 348 bytes";
        QTest::addRow("%s, trailing bytes", command)
            << command << one + "\xF0\xF7"
            << "message 2 (byte 348): shorter than 348 bytes";
        QTest::addRow("%s, duplicate", command)
            << command << one + three + one << "message 3 (byte 696): a second patch for preset 1";
        QTest::addRow("%s, preset 25", command)
            << command << QByteArray(one).replace(9, 1, "\x19")
            << "message 1 (byte 0): preset number 25 is outside 0..19";
        QTest::addRow("%s, request kind", command)
            << command << one + request << "message 2 (byte 348): not a patch message";
    }
    QTest::newRow("show, empty") << "show" << QByteArray("") << "empty";
    QTest::newRow("show, 21 messages")
        << "show" << one.repeated(21) << "larger than twenty patches (6960 bytes)";
}

void TestCliFiles::badLibraryFilesAreRefused()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, contents);
    QFETCH(QString, why);

    QTemporaryDir here;
    const QString bad = here.filePath(QStringLiteral("bad.syx"));
    if (contents == "folder")
        QVERIFY(QDir().mkpath(bad));
    else if (contents != "missing")
        QVERIFY(writeFile(bad, contents));
    const QString good = here.filePath(QStringLiteral("good.syx"));
    QVERIFY(writeFile(good, presetMessage(7, QStringLiteral("seven"), 7)));
    const QString out = here.filePath(QStringLiteral("out"));
    // A port that is nowhere: a command that got as far as the device would end with 3.
    const QStringList nowhere = {"--port", "Vellichord nowhere", "--timeout", "100"};

    QStringList arguments;
    QString name = QStringLiteral("library ") + command;
    if (command == QLatin1String("show"))
        arguments = QStringList{"library", command, bad};
    else if (command == QLatin1String("split"))
        arguments = QStringList{"library", command, bad, out};
    else if (command == QLatin1String("join"))
        arguments = QStringList{"library", command, out, good, bad};
    else if (command == QLatin1String("send"))
        arguments = QStringList{"library", command, bad} + nowhere;
    else {
        arguments = QStringList{"get", "--into", bad} + nowhere;
        name = QStringLiteral("get");
    }
    const Result result = run(arguments);
    QCOMPARE(result.exitCode, 2);
    QCOMPARE(result.err, QStringLiteral("vellichord %1: %2: %3\n").arg(name, bad, why));
    QCOMPARE(result.out, QString());
    // Nothing written, nothing changed.
    QVERIFY(!QFileInfo::exists(out));
    if (contents != "missing" && contents != "folder")
        QCOMPARE(readFile(bad), contents);
}

void TestCliFiles::libraryJoinNumbers_data()
{
    QTest::addColumn<QList<int>>("presetNos"); // of the files, in the order given
    QTest::addColumn<bool>("renumber");
    QTest::addColumn<QList<int>>("joinedAs"); // the preset number each file gets; empty: refused
    QTest::addColumn<QString>("err");

    QTest::newRow("own numbers, put in order")
        << QList<int>{5, 0, 19} << false << QList<int>{5, 0, 19} << QString();
    QTest::newRow("two for one preset")
        << QList<int>{4, 2, 4} << false << QList<int>{}
        << "vellichord library join: <f2>: preset 4 is also in <f0>; --renumber numbers the "
           "patches in the order given\n";
    QTest::newRow("renumbered in the order given")
        << QList<int>{4, 2, 4} << true << QList<int>{0, 1, 2} << QString();
    QList<int> twenty;
    QList<int> inOrder;
    for (int i = 0; i < 20; ++i) {
        twenty << 19 - i;
        inOrder << i;
    }
    QTest::newRow("twenty renumbered") << twenty << true << inOrder << QString();
    QTest::newRow("twenty-one") << twenty + QList<int>{3} << true << QList<int>{}
                                << "vellichord library join: 21 patches; a library holds at "
                                   "most 20\n";
}

void TestCliFiles::libraryJoinNumbers()
{
    QFETCH(QList<int>, presetNos);
    QFETCH(bool, renumber);
    QFETCH(QList<int>, joinedAs);
    QFETCH(QString, err);

    QTemporaryDir here;
    QStringList files;
    QList<QByteArray> messages;
    for (int i = 0; i < presetNos.size(); ++i) {
        messages << presetMessage(presetNos[i], QStringLiteral("file %1").arg(i), i);
        files << here.filePath(QStringLiteral("f%1.syx").arg(i));
        QVERIFY(writeFile(files.last(), messages.last()));
    }
    const QString out = here.filePath(QStringLiteral("out.syx"));
    // An earlier library stays as it was when joining is refused.
    QVERIFY(writeFile(out, "earlier"));
    QStringList arguments{"library", "join", out};
    if (renumber)
        arguments << QStringLiteral("--renumber");
    const Result result = run(arguments + files);

    if (joinedAs.isEmpty()) {
        QCOMPARE(result.exitCode, 2);
        for (int i = 0; i < files.size(); ++i)
            err.replace(QStringLiteral("<f%1>").arg(i), files[i]);
        QCOMPARE(result.err, err);
        QCOMPARE(readFile(out), QByteArray("earlier"));
        return;
    }
    QVERIFY2(result.exitCode == 0, qPrintable(result.err));
    QMap<int, QByteArray> expected;
    for (int i = 0; i < messages.size(); ++i)
        expected.insert(joinedAs[i],
                        QByteArray(messages[i]).replace(9, 1, QByteArray(1, char(joinedAs[i]))));
    QCOMPARE(readFile(out), joined(expected.values()));
}

void TestCliFiles::librarySplitKeepsFilesThatExist()
{
    QTemporaryDir here;
    const QString library = here.filePath(QStringLiteral("set.syx"));
    const QByteArray one = presetMessage(1, QStringLiteral("one"), 1);
    const QByteArray two = presetMessage(2, QStringLiteral("two"), 2);
    QVERIFY(writeFile(library, one + two));
    const QString kept = here.filePath(QStringLiteral("02-two.syx"));
    QVERIFY(writeFile(kept, "mine"));

    const Result refused = run({"library", "split", library, here.path()});
    QCOMPARE(refused.exitCode, 2);
    QCOMPARE(
        refused.err,
        QStringLiteral("vellichord library split: %1 exists; --force replaces it\n").arg(kept));
    QCOMPARE(readFile(kept), QByteArray("mine"));
    QVERIFY(!QFileInfo::exists(here.filePath(QStringLiteral("01-one.syx"))));

    const Result forced = run({"library", "split", "--force", library, here.path()});
    QCOMPARE(forced.exitCode, 0);
    QCOMPARE(readFile(kept), two);
    QCOMPARE(readFile(here.filePath(QStringLiteral("01-one.syx"))), one);
}

void TestCliFiles::libraryArgumentsAreCheckedFirst_data()
{
    QTest::addColumn<QStringList>("arguments"); // <lib> stands for a library of presets 0..4
    QTest::addColumn<QString>("err");

    const QString list = "vellichord library send: --presets wants preset numbers 0..19 and "
                         "ranges such as 0-4,7, not \"%1\"\n";
    for (const char *bad : {"", "x", "0-20", "4-2", "1,,2", "-1", "3-"})
        QTest::addRow("--presets %s", bad)
            << QStringList{"library", "send", "<lib>", "--presets", bad} << QString(list).arg(bad);
    QTest::newRow("a preset the library lacks")
        << QStringList{"library", "send", "<lib>", "--presets", "0-4,7"}
        << "vellichord library send: <lib> holds no preset 7\n";
    QTest::newRow("get --into a folder")
        << QStringList{"get", "--into", "<dir>"}
        << "vellichord get: cannot write \"<dir>\": no such folder, or a folder itself\n";
    QTest::newRow("join into a folder")
        << QStringList{"library", "join", "<dir>", "<lib>"}
        << "vellichord library join: cannot write \"<dir>\": no such folder, or a folder itself\n";
    QTest::newRow("split into a file") << QStringList{"library", "split", "<lib>", "<lib>"}
                                       << "vellichord library split: <lib>: not a folder\n";
}

void TestCliFiles::libraryArgumentsAreCheckedFirst()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, err);

    QTemporaryDir here;
    const QString library = here.filePath(QStringLiteral("lib.syx"));
    QList<QByteArray> messages;
    for (int presetNo = 0; presetNo < 5; ++presetNo)
        messages << presetMessage(presetNo, QStringLiteral("p"), presetNo);
    QVERIFY(writeFile(library, joined(messages)));
    arguments.replaceInStrings(QStringLiteral("<lib>"), library);
    arguments.replaceInStrings(QStringLiteral("<dir>"), here.path());
    // A port that is nowhere: a command that got as far as the device would end with 3.
    if (arguments.contains(QStringLiteral("send")) || arguments.contains(QStringLiteral("get")))
        arguments << QStringLiteral("--port") << QStringLiteral("Vellichord nowhere");

    const Result result = run(arguments);
    QCOMPARE(result.exitCode, 2);
    QCOMPARE(result.err,
             QString(err)
                 .replace(QLatin1String("<lib>"), library)
                 .replace(QLatin1String("<dir>"), here.path()));
    QCOMPARE(readFile(library), joined(messages));
    QCOMPARE(QDir(here.path()).entryList(QDir::Files), QStringList{"lib.syx"});
}

QTEST_GUILESS_MAIN(TestCliFiles)
#include "tst_clifiles.moc"

namespace {

// The address of a parameter in a patch message.
int addressOf(int control, ParameterId id)
{
    return int(ControlTable().at(control)->getParameter(id)->address());
}

// A patch file whose name (Latin-1) could act on a terminal.
const QByteArray hostileName("\x1b]0;T\x07\x1b[2J\"q\x9b\x7f\0\0", 16);

} // namespace

void TestCliFiles::setChangesOnlyTheNamedBytes_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("after");

    const QByteArray plain = Patch().toType1();
    QByteArray named = plain;
    for (int i = 0; i < int(PatchLayout::nameLength); ++i)
        named[int(PatchLayout::nameOffset) + i] = char(0xE0 + i);
    named[int(PatchLayout::presetNoOffset)] = char(50);
    QByteArray after = named;
    after[addressOf(0, CC)] = char(5);
    QTest::newRow("name bytes E0..EF, preset byte 50")
        << named << QStringList{"S1", "cc=5"} << after;

    QByteArray full = plain;
    for (int i = int(PatchLayout::nameOffset + PatchLayout::nameLength);
         i < int(PatchLayout::endOffset); ++i)
        full[i] = char(0xFF);
    after = full;
    after[addressOf(0, CC)] = char(5);
    QTest::newRow("every parameter byte FF") << full << QStringList{"S1", "cc=5"} << after;
    after = full;
    after[addressOf(ControlTable::xyPadIndex, Channel)] = char(2);
    after[int(ControlTable::xyPadXChannelAddress)] = char(2);
    QTest::newRow("X-Y pad channel, both bytes") << full << QStringList{"XY", "channel=3"} << after;
    // Read as Global already, but named: the byte becomes what was asked.
    after = full;
    after[addressOf(39, Channel)] = char(16);
    QTest::newRow("named byte out of range")
        << full << QStringList{"PAD1", "channel=Global"} << after;
}

void TestCliFiles::setChangesOnlyTheNamedBytes()
{
    QFETCH(QByteArray, before);
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, after);
    const QString file = path(QStringLiteral("hostile-set.syx"));
    QVERIFY(writeFile(file, before));

    const Result result = run(QStringList{QStringLiteral("set"), file} + arguments);
    QCOMPARE(result.err, QString());
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(readFile(file).toHex(' '), after.toHex(' '));
    // The change first, then every other byte out of range, each told as left.
    const QStringList lines = result.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY2(!lines.isEmpty() && lines.first().contains(QLatin1String(" -> ")),
             qPrintable(result.out));
    QCOMPARE(lines.filter(QStringLiteral(", left as stored")).size(),
             Patch().outOfRange(after).size());
}

void TestCliFiles::outsideTextIsEscaped_data()
{
    QTest::addColumn<QStringList>("arguments"); // FILE and PLAIN stand for the two files
    QTest::addColumn<QString>("shown");

    const QString name = QStringLiteral("\\x1b]0;T\\x07\\x1b[2J\\\"q\\x9b\\x7f");
    const QString escape = QStringLiteral("\x1b[2J");
    const QString escaped = QStringLiteral("\\x1b[2J");
    const QString missing = path(QStringLiteral("m") + escape);
    const QString missingShown = path(QStringLiteral("m") + escaped);
    QTest::newRow("show") << QStringList{"show", "FILE"} << "name: \"" + name + "\"\n";
    QTest::newRow("show --json") << QStringList{"show", "--json", "FILE"}
                                 << R"("name": "\u001b]0;T\u0007\u001b[2J\"q\u009b\u007f")";
    QTest::newRow("diff") << QStringList{"diff", "FILE", "PLAIN"} << "name: \"" + name + "\" -> ";
    QTest::newRow("show, missing file")
        << QStringList{"show", missing} << missingShown + ": no such file";
    QTest::newRow("set, missing file")
        << QStringList{"set", missing, "S1", "cc=1"} << missingShown + ": no such file";
    QTest::newRow("set, control") << QStringList{"set", "PLAIN", "S" + escape, "cc=1"}
                                  << "no control \"S" + escaped + "\"";
    QTest::newRow("set, parameter") << QStringList{"set", "PLAIN", "S1", "c" + escape + "=1"}
                                    << "no parameter \"c" + escaped + "\"";
    QTest::newRow("set, value") << QStringList{"set", "PLAIN", "S1", "cc=" + escape}
                                << "S1 cc=" + escaped + ": ";
    QTest::newRow("set, no assignment")
        << QStringList{"set", "PLAIN", "S1", escape} << "\"" + escaped + "\" is not PARAM=VALUE";
    QTest::newRow("send, missing file") << QStringList{"send", missing} << missingShown + ": ";
    QTest::newRow("get -o, no folder") << QStringList{"get", "-o", missing + "/x.syx"}
                                       << "cannot write \"" + missingShown + "/x.syx\"";
    QTest::newRow("update, missing file") << QStringList{"update", missing} << missingShown + ": ";
    QTest::newRow("no command") << QStringList{escape} << "no command \"" + escaped + "\"";
    QTest::newRow("unknown option")
        << QStringList{"show", "--x" + escape, "FILE"} << "Unknown option 'x" + escaped + "'";
    QTest::newRow("timeout") << QStringList{"get", "--timeout", escape}
                             << "not \"" + escaped + "\"";
}

void TestCliFiles::outsideTextIsEscaped()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, shown);
    QByteArray hostile = Patch().toType1();
    hostile.replace(int(PatchLayout::nameOffset), hostileName.size(), hostileName);
    QVERIFY(writeFile(path(QStringLiteral("escape.syx")), hostile));
    QVERIFY(Patch().save(path(QStringLiteral("plain.syx"))));
    arguments.replaceInStrings(QRegularExpression(QStringLiteral("^FILE$")),
                               path(QStringLiteral("escape.syx")));
    arguments.replaceInStrings(QRegularExpression(QStringLiteral("^PLAIN$")),
                               path(QStringLiteral("plain.syx")));

    const Result result = run(arguments);
    const QString all = result.out + result.err;
    QVERIFY2(all.contains(shown), qPrintable(all));
    for (const QChar c : all)
        QVERIFY2(
            c == QLatin1Char('\n') || (c.isPrint() && c != QChar(0x9b)),
            qPrintable(
                QStringLiteral("U+%1 in %2").arg(c.unicode(), 4, 16, QLatin1Char('0')).arg(all)));
    if (arguments.contains(QStringLiteral("--json")))
        QCOMPARE(QJsonDocument::fromJson(result.out.toUtf8()).object().value("name").toString(),
                 QString::fromLatin1(hostileName.constData()));
}

void TestCliFiles::fileNamesThatAreNotUtf8_data()
{
    QTest::addColumn<QStringList>("arguments"); // FILE stands for the file
    QTest::addColumn<bool>("exists");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("shown");

    QTest::newRow("show") << QStringList{"show", "FILE"} << true << 0 << "name: \"bytes\"\n";
    QTest::newRow("set") << QStringList{"set", "FILE", "S1", "cc=5"} << true << 0
                         << "S1 cc: 0 -> 5\n";
    QTest::newRow("diff") << QStringList{"diff", "FILE", "FILE"} << true << 0 << "";
    QTest::newRow("missing") << QStringList{"show", "FILE"} << false << 2
                             << path(QStringLiteral("bytes\\xff\\xc3(.syx: no such file\n"));
}

// Such names come as bytes from a folder or a script: the program takes them byte for byte
// (Qt 5), or, as Qt 6 names files in UTF-8 only, refuses them by their bytes and touches no file.
void TestCliFiles::fileNamesThatAreNotUtf8()
{
#ifdef Q_OS_UNIX
    QFETCH(QStringList, arguments);
    QFETCH(bool, exists);
    QFETCH(int, exitCode);
    QFETCH(QString, shown);
    const QByteArray name = QFile::encodeName(workDir.path()) + "/bytes\xff\xc3(.syx";
    ::unlink(name.constData());
    QByteArray patch = Patch().toType1();
    patch.replace(int(PatchLayout::nameOffset), 6, QByteArray("bytes", 6));
    if (exists) {
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, patch.constData(), size_t(patch.size())), ssize_t(patch.size()));
        ::close(fd);
    }
    // The shell hands the name over as these bytes: QProcess would encode it itself.
    QString octal;
    for (const char byte : name)
        octal += QStringLiteral("\\%1").arg(uint(uchar(byte)), 3, 8, QLatin1Char('0'));
    QString script = QStringLiteral("F=$(printf '%1'); exec \"$0\"").arg(octal);
    for (const QString &argument : qAsConst(arguments))
        script += argument == QLatin1String("FILE") ? QStringLiteral(" \"$F\"")
                                                    : QStringLiteral(" '%1'").arg(argument);

    const Result result = run({QStringLiteral("-c"), script, QStringLiteral(VELLICHORD_CLI)},
                              QStringLiteral("/bin/sh"));
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    exitCode = 2;
    shown = QLatin1Char('"') + path(QStringLiteral("bytes\\xff\\xc3(.syx\" is not UTF-8"));
#endif
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY2((exitCode == 0 ? result.out : result.err).contains(shown),
             qPrintable(result.out + result.err));
    if (exitCode == 0 && arguments.contains(QStringLiteral("cc=5")))
        patch[addressOf(0, CC)] = char(5);
    QCOMPARE(::access(name.constData(), F_OK) == 0, exists);
    if (exists) {
        QByteArray written(patch.size() + 1, '\0');
        const int fd = ::open(name.constData(), O_RDONLY);
        QVERIFY(fd >= 0);
        written.resize(int(::read(fd, written.data(), size_t(written.size()))));
        ::close(fd);
        QCOMPARE(written.toHex(' '), patch.toHex(' '));
    }
#else
    QSKIP("file names are bytes on Unix only");
#endif
}
