#include "../common/jackserver.h"
#include "../transfer/updaterig.h"
#include "controltable.h"
#include "emulateddevice.h"
#include "emulatorprocess.h"
#include "patchlayout.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <RtMidi.h>

#include <csignal>
#include <memory>

namespace {

// What a run of the vellichord program left behind.
struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs in a folder of its own: the program leaves a diagnostic log in the working folder.
// The folder the program runs in.
QString cliWorkingFolder()
{
    static QTemporaryDir folder;
    return folder.path();
}

Run runCli(const QStringList &arguments)
{
    QProcess process;
    process.setWorkingDirectory(cliWorkingFolder());
    process.start(QStringLiteral(VELLICHORD_CLI), arguments);
    Run run;
    // Generous: the timeouts under test are far shorter, and a busy machine is slow.
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished(5000);
        run.err = QStringLiteral("vellichord did not end");
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

QString describe(const Run &run)
{
    return QStringLiteral("exit %1\nstdout: %2\nstderr: %3")
        .arg(run.exitCode)
        .arg(run.out, run.err);
}

// An image of records records of 512 bytes and the empty record that ends it.
QByteArray firmwareImage(int records)
{
    QByteArray image;
    for (int i = 0; i < records; ++i)
        image += updateRecordOfSize(512);
    return image + updateRecord(QByteArray());
}

// The preset the device is on in the send tests.
constexpr int devicePreset = 4;

// A patch that differs from the factory's in its name, preset number and every control's
// channel, as a Type 2 message.
QByteArray unusualPatch(int presetNo)
{
    QByteArray patch = EmulatedDevice::defaultPatch();
    patch.replace(PatchLayout::nameOffset, PatchLayout::nameLength,
                  QByteArray("cli test patch\0\0", PatchLayout::nameLength));
    patch[PatchLayout::presetNoOffset] = char(presetNo);
    const ControlTable table;
    for (int i = 0; i < ControlTable::count; ++i) {
        for (const ControlParameter &p : table.at(i)->parameters()) {
            if (p.id() != ParameterId::Channel)
                continue;
            const int channel = p.min() + (i + 3) % (p.max() - p.min() + 1);
            patch[int(p.address())] = char(channel);
            if (i == ControlTable::xyPadIndex)
                patch[int(ControlTable::xyPadXChannelAddress)] = char(channel);
        }
    }
    return patch;
}

// The message as a patch file holds it: a Type 1 message.
QByteArray asType1(QByteArray patch)
{
    patch[PatchLayout::kindOffset] = char(PatchLayout::kindType1);
    return patch;
}

// A library of twenty presets, each its own patch, as Type 1 messages in preset order.
QList<QByteArray> twentyPresets()
{
    QList<QByteArray> library;
    for (int presetNo = 0; presetNo < 20; ++presetNo) {
        QByteArray patch = asType1(unusualPatch(presetNo));
        patch.replace(PatchLayout::nameOffset, PatchLayout::nameLength,
                      ("set preset " + QByteArray::number(presetNo))
                          .leftJustified(PatchLayout::nameLength, '\0'));
        library << patch;
    }
    return library;
}

// The factory patch as the emulator stores it for presetNo, as a Type 1 message.
QByteArray factoryPreset(int presetNo)
{
    QByteArray patch = asType1(EmulatedDevice::defaultPatch());
    patch[PatchLayout::presetNoOffset] = char(presetNo);
    return patch;
}

QByteArray joined(const QList<QByteArray> &messages)
{
    QByteArray bytes;
    for (const QByteArray &message : messages)
        bytes += message;
    return bytes;
}

// What the program prints, as runCli reads it back.
QString printed(const QString &text)
{
    return QString::fromLocal8Bit(text.toUtf8());
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// The vellichord program against the emulator program over a JACK server's MIDI ports.
class TestEndToEndCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void portsMarksTheDevice_data();
    void portsMarksTheDevice();
    void getWritesTheDevicesPatch_data();
    void getWritesTheDevicesPatch();
    void getPrintsThePatch();
    void getSurvivesADroppedAnswer();
    void sendReachesTheDevice_data();
    void sendReachesTheDevice();
    void failures_data();
    void failures();
    void outsideNamesAreEscaped_data();
    void outsideNamesAreEscaped();
    void updateTransfersTheImage_data();
    void updateTransfersTheImage();
    void updateFailures_data();
    void updateFailures();
    void interruptStopsTheUpdateBetweenRecords_data();
    void interruptStopsTheUpdateBetweenRecords();
    void librarySendStoresEachPreset_data();
    void librarySendStoresEachPreset();
    void getIntoALibraryWhileStepping();

private:
    JackServer server;
    QTemporaryDir folder;
};

void TestEndToEndCli::initTestCase()
{
    // The program takes the ALSA sequencer where there is one; the emulator here is on JACK.
    if (QFileInfo::exists(QStringLiteral("/dev/snd/seq")))
        QSKIP("the ALSA sequencer is there: vellichord would not use the test's JACK server");
    QVERIFY(folder.isValid());
    QString error;
    QVERIFY2(server.start(&error), qPrintable(error));
}

void TestEndToEndCli::portsMarksTheDevice_data()
{
    QTest::addColumn<QStringList>("emulatorArguments"); // no emulator when empty
    QTest::addColumn<QString>("mark");
    QTest::addColumn<int>("marked"); // lines that carry the mark

    QTest::newRow("normal mode") << QStringList{"--hex"} << "[Vellichord]" << 2;
    QTest::newRow("update mode") << QStringList{"--updater"} << "[Vellichord Updater]" << 2;
    QTest::newRow("no device") << QStringList() << "[Vellichord" << 0;
}

void TestEndToEndCli::portsMarksTheDevice()
{
    QFETCH(QStringList, emulatorArguments);
    QFETCH(QString, mark);
    QFETCH(int, marked);

    EmulatorProcess emulator;
    QString error;
    if (!emulatorArguments.isEmpty())
        QVERIFY2(emulator.start(emulatorArguments, &error), qPrintable(error));

    const Run run = runCli({QStringLiteral("ports")});
    QVERIFY2(run.exitCode == 0, qPrintable(describe(run)));
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY2(lines.contains(QStringLiteral("Inputs:"))
                 && lines.contains(QStringLiteral("Outputs:")),
             qPrintable(run.out));
    // One input and one output, in their own parts of the list.
    const QStringList withMark = lines.filter(mark);
    QCOMPARE(withMark.size(), marked);
    if (marked > 0) {
        const int outputs = lines.indexOf(QStringLiteral("Outputs:"));
        QVERIFY(lines.indexOf(withMark.first()) < outputs);
        QVERIFY(lines.lastIndexOf(withMark.last()) > outputs);
        // The updater's ports are not taken for the normal ones.
        QVERIFY(!run.out.contains(mark == QLatin1String("[Vellichord]")
                                      ? QStringLiteral("[Vellichord Updater]")
                                      : QStringLiteral("[Vellichord]")));
    }
    QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
}

void TestEndToEndCli::getWritesTheDevicesPatch_data()
{
    QTest::addColumn<QByteArray>("held"); // empty for the factory patch
    QTest::addColumn<QString>("note");    // on stderr

    QTest::newRow("factory patch") << QByteArray() << QString();
    QTest::newRow("preset 0") << unusualPatch(0) << QString();
    QTest::newRow("preset 7") << unusualPatch(7) << QString();
    QTest::newRow("highest preset") << unusualPatch(PatchLayout::highestPresetNo) << QString();
    QTest::newRow("preset 50, kept")
        << unusualPatch(50)
        << "vellichord get: the device's preset number 50 is outside 0..19; it is kept as it is\n";
}

void TestEndToEndCli::getWritesTheDevicesPatch()
{
    QFETCH(QByteArray, held);
    QFETCH(QString, note);

    QStringList arguments{QStringLiteral("--hex")};
    if (!held.isEmpty()) {
        const QString patchFile = folder.filePath(QStringLiteral("held.syx"));
        QVERIFY(writeFile(patchFile, held));
        arguments << QStringLiteral("--patch") << patchFile;
    }
    EmulatorProcess emulator;
    QString error;
    QVERIFY2(emulator.start(arguments, &error), qPrintable(error));
    const QString path = folder.filePath(QStringLiteral("got.syx"));
    QFile::remove(path);
    const Run run = runCli({QStringLiteral("get"), QStringLiteral("-o"), path});
    QVERIFY2(run.exitCode == 0, qPrintable(describe(run)));
    QVERIFY2(run.out.contains(path), qPrintable(run.out));
    QCOMPARE(run.err, note);
    const QByteArray sent = emulator.lastMessage(QStringLiteral("sent: Type 2 patch"));
    QCOMPARE(sent.toHex(' '), (held.isEmpty() ? EmulatedDevice::defaultPatch() : held).toHex(' '));
    QCOMPARE(readFile(path).toHex(' '), asType1(sent).toHex(' '));
    QCOMPARE(emulator.count(QStringLiteral("received: patch request")), 1);
    QCOMPARE(emulator.stop(), QString());
}

void TestEndToEndCli::getPrintsThePatch()
{
    const QString patchFile = folder.filePath(QStringLiteral("printed.syx"));
    QVERIFY(writeFile(patchFile, unusualPatch(5)));
    EmulatorProcess emulator;
    QString error;
    QVERIFY2(emulator.start({QStringLiteral("--patch"), patchFile}, &error), qPrintable(error));

    const Run run = runCli({QStringLiteral("get")});
    QVERIFY2(run.exitCode == 0, qPrintable(describe(run)));
    QVERIFY2(run.out.contains(QStringLiteral("cli test patch")), qPrintable(run.out));
    QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
    // Printed as show prints the same patch from a file, in both forms.
    const Run shown = runCli({QStringLiteral("show"), patchFile});
    QVERIFY2(shown.exitCode == 0, qPrintable(describe(shown)));
    QCOMPARE(run.out, shown.out);
    const Run json = runCli({QStringLiteral("get"), QStringLiteral("--json")});
    const Run shownJson = runCli({QStringLiteral("show"), QStringLiteral("--json"), patchFile});
    QVERIFY2(json.exitCode == 0 && shownJson.exitCode == 0, qPrintable(describe(json)));
    QCOMPARE(json.out, shownJson.out);
    // The answers were applied without leaving the editor's log.txt where the program ran.
    QVERIFY(QDir(cliWorkingFolder()).isEmpty());
    QCOMPARE(emulator.stop(), QString());
}

void TestEndToEndCli::getSurvivesADroppedAnswer()
{
    EmulatorProcess emulator;
    QString error;
    QVERIFY2(emulator.start({QStringLiteral("--drop-every"), QStringLiteral("2")}, &error),
             qPrintable(error));
    const QString path = folder.filePath(QStringLiteral("dropped.syx"));

    // The first answer goes out; the second is dropped, so the second run must ask again.
    for (int i = 0; i < 2; ++i) {
        QFile::remove(path);
        const Run run = runCli({QStringLiteral("get"), QStringLiteral("-o"), path});
        QVERIFY2(run.exitCode == 0, qPrintable(describe(run)));
        QCOMPARE(readFile(path).size(), int(PatchLayout::length));
    }
    QTRY_COMPARE(emulator.count(QStringLiteral("received: patch request")), 3);
    QCOMPARE(emulator.count(QStringLiteral("dropped answer")), 1);
    QCOMPARE(emulator.stop(), QString());
}

void TestEndToEndCli::sendReachesTheDevice_data()
{
    QTest::addColumn<QByteArray>("file");

    QTest::newRow("Type 1 file") << asType1(unusualPatch(0));
    QTest::newRow("Type 2 file") << unusualPatch(0);
    // The preset number of a file is not sent: the patch goes into the device's preset.
    QTest::newRow("file of preset 9") << asType1(unusualPatch(9));
    QTest::newRow("file of the device's preset") << asType1(unusualPatch(devicePreset));
    QTest::newRow("bytes after the patch") << asType1(unusualPatch(0)) + QByteArray(40, '\x55');
}

void TestEndToEndCli::sendReachesTheDevice()
{
    QFETCH(QByteArray, file);

    // The device is on another preset than the editor's default and the files'.
    QByteArray devicePatch = EmulatedDevice::defaultPatch();
    devicePatch[PatchLayout::presetNoOffset] = char(devicePreset);
    const QString devicePatchFile = folder.filePath(QStringLiteral("device.syx"));
    QVERIFY(writeFile(devicePatchFile, devicePatch));
    EmulatorProcess emulator;
    QString error;
    QVERIFY2(emulator.start({QStringLiteral("--hex"), QStringLiteral("--patch"), devicePatchFile},
                            &error),
             qPrintable(error));
    const QString path = folder.filePath(QStringLiteral("sent.syx"));
    QVERIFY(writeFile(path, file));

    const Run run = runCli({QStringLiteral("send"), path});
    QVERIFY2(run.exitCode == 0, qPrintable(describe(run)));
    QVERIFY2(run.out.contains(QStringLiteral("Sent")) && run.out.contains(path),
             qPrintable(run.out));
    QVERIFY(emulator.waitForLine(QStringLiteral("received: Type 1 patch")));
    // Asked for the device's patch first, then sent the file's into the device's preset.
    QCOMPARE(emulator.count(QStringLiteral("received: patch request")), 1);
    const QByteArray expected = asType1(unusualPatch(devicePreset));
    QVERIFY2(run.out.contains(QStringLiteral("preset %1").arg(devicePreset)), qPrintable(run.out));
    QCOMPARE(emulator.lastMessage(QStringLiteral("received: Type 1 patch")).toHex(' '),
             expected.toHex(' '));
    // The emulator holds it now and answers with it.
    const QString back = folder.filePath(QStringLiteral("back.syx"));
    QFile::remove(back);
    const Run get = runCli({QStringLiteral("get"), QStringLiteral("-o"), back});
    QVERIFY2(get.exitCode == 0, qPrintable(describe(get)));
    QCOMPARE(readFile(back).toHex(' '), expected.toHex(' '));
    QCOMPARE(emulator.stop(), QString());
}

void TestEndToEndCli::failures_data()
{
    QTest::addColumn<QStringList>("emulatorArguments"); // no emulator when empty
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message"); // the start of the one line on stderr
    QTest::addColumn<int>("requests");    // patch requests the emulator receives

    const QString missingFolder = folder.filePath(QStringLiteral("no such folder/got.syx"));
    const QString damaged = folder.filePath(QStringLiteral("damaged.syx"));
    QByteArray damagedPatch = asType1(EmulatedDevice::defaultPatch());
    damagedPatch[PatchLayout::endOffset] = 0x00;
    writeFile(damaged, damagedPatch);
    const QString shortFile = folder.filePath(QStringLiteral("short.syx"));
    writeFile(shortFile, asType1(EmulatedDevice::defaultPatch()).left(300));
    const QString missing = folder.filePath(QStringLiteral("missing.syx"));
    const QString healthy = folder.filePath(QStringLiteral("healthy.syx"));
    writeFile(healthy, asType1(EmulatedDevice::defaultPatch()));
    const QStringList device{QStringLiteral("--hex")};
    const QString preset50 = folder.filePath(QStringLiteral("preset50.syx"));
    writeFile(preset50, asType1(unusualPatch(50)));
    const QStringList deviceOn50{QStringLiteral("--patch"), preset50};
    const QStringList quickGet{QStringLiteral("get"), QStringLiteral("--timeout"),
                               QStringLiteral("600")};

    QTest::newRow("silent device") << QStringList{"--silent"} << quickGet << 1
                                   << "vellichord get: no answer from the device on \"Vellichord\" "
                                      "within 600 ms"
                                   << 3;
    QTest::newRow("short answer")
        << QStringList{"--patch-reply", "short"} << quickGet << 1
        << "vellichord get: the device on \"Vellichord\" answered with a message that is not a "
           "patch (101 bytes)"
        << 3;
    QTest::newRow("answer of another kind")
        << QStringList{"--patch-reply", "other-kind"} << quickGet << 1
        << "vellichord get: the device on \"Vellichord\" answered with a message that is not a "
           "patch (348 bytes)"
        << 3;
    // Longer than any message may be: it never reaches the program.
    QTest::newRow("overlong answer") << QStringList{"--patch-reply", "overlong"} << quickGet << 1
                                     << "vellichord get: no answer from the device" << 3;
    QTest::newRow("get, no device") << QStringList() << QStringList{"get"} << 3
                                    << "vellichord get: no MIDI port \"Vellichord\"" << -1;
    QTest::newRow("send, no device") << QStringList() << QStringList{"send", healthy} << 3
                                     << "vellichord send: no MIDI port \"Vellichord\"" << -1;
    QTest::newRow("device in update mode") << QStringList{"--updater"} << QStringList{"get"} << 3
                                           << "vellichord get: no MIDI port \"Vellichord\"" << 0;
    QTest::newRow("other port name") << device << QStringList{"get", "--port", "Vellichord 2"} << 3
                                     << "vellichord get: no MIDI port \"Vellichord 2\"" << 0;
    QTest::newRow("damaged patch file")
        << device << QStringList{"send", damaged} << 2 << "vellichord send: " + damaged + ": " << 0;
    QTest::newRow("short patch file") << device << QStringList{"send", shortFile} << 2
                                      << "vellichord send: " + shortFile + ": " << 0;
    QTest::newRow("missing patch file")
        << device << QStringList{"send", missing} << 2 << "vellichord send: " + missing + ": " << 0;
    QTest::newRow("send, file of preset 50")
        << device << QStringList{"send", preset50} << 2
        << "vellichord send: " + preset50 + ": preset number 50 is outside 0..19" << 0;
    // Not into the editor's default preset 0: nothing at all.
    QTest::newRow("send, device on preset 50")
        << deviceOn50 << QStringList{"send", healthy} << 1
        << "vellichord send: the device's preset number 50 is outside 0..19; nothing was sent" << 1;
    QTest::newRow("send without a file")
        << device << QStringList{"send"} << 2 << "vellichord send: the patch file is missing" << 0;
    QTest::newRow("send, two files") << device << QStringList{"send", healthy, healthy} << 2
                                     << "vellichord send: unexpected argument" << 0;
    QTest::newRow("get into a missing folder")
        << device << QStringList{"get", "-o", missingFolder} << 2
        << "vellichord get: cannot write \"" + missingFolder + "\"" << 0;
    QTest::newRow("get, no timeout") << device << QStringList{"get", "--timeout", "0"} << 2
                                     << "vellichord get: --timeout must be a positive number" << 0;
    QTest::newRow("get, extra argument") << device << QStringList{"get", "now"} << 2
                                         << "vellichord get: unexpected argument \"now\"" << 0;
}

void TestEndToEndCli::failures()
{
    QFETCH(QStringList, emulatorArguments);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QFETCH(int, requests);

    EmulatorProcess emulator;
    QString error;
    if (!emulatorArguments.isEmpty())
        QVERIFY2(emulator.start(emulatorArguments, &error), qPrintable(error));
    const QString output = folder.filePath(QStringLiteral("got.syx"));
    QFile::remove(output);

    const Run run = runCli(arguments);
    QVERIFY2(run.exitCode == exitCode, qPrintable(describe(run)));
    const QStringList lines = run.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY2(lines.size() == 1 && lines.first().startsWith(message), qPrintable(run.err));
    QVERIFY2(run.out.isEmpty(), qPrintable(run.out));
    QVERIFY(!QFileInfo::exists(output));
    if (requests >= 0) {
        QTRY_COMPARE(emulator.count(QStringLiteral("received: patch request")), requests);
        // Nothing else reached the device either.
        QCOMPARE(emulator.count(QStringLiteral("received:")), requests);
        QCOMPARE(emulator.stop(), QString());
    }
}

void TestEndToEndCli::outsideNamesAreEscaped_data()
{
    QTest::addColumn<QStringList>("arguments"); // FILE stands for a patch file of that name
    QTest::addColumn<QString>("shown");

    const QString name = QStringLiteral(R"("\x1b]0;T\x07\x1b[2J\"q\x7f")");
    const QString file = QStringLiteral("s\x1b[2J.syx");
    QTest::newRow("get -o") << QStringList{"get", "-o", "FILE"}
                            << "Wrote the patch " + name + " to "
            + folder.filePath(R"(s\x1b[2J.syx)");
    QTest::newRow("get") << QStringList{"get"} << "name: " + name + "\n";
    QTest::newRow("get --json") << QStringList{"get", "--json"}
                                << R"("name": "\u001b]0;T\u0007\u001b[2J\"q\u007f")";
    QTest::newRow("send") << QStringList{"send", "FILE"}
                          << "Sent the patch " + name + " from "
            + folder.filePath(R"(s\x1b[2J.syx)") + " to \"Vellichord\"";
    QTest::newRow("get, port") << QStringList{"get", "--port", "V\x1b[2J"}
                               << R"(no MIDI port "V\x1b[2J")";
    QTest::newRow("ports") << QStringList{"ports"} << R"(  Peer:V\x1b]0;T\x07)";
}

// Names from the device, a file, the arguments and the MIDI system reach the terminal escaped.
void TestEndToEndCli::outsideNamesAreEscaped()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, shown);
    QByteArray patch = EmulatedDevice::defaultPatch();
    patch.replace(PatchLayout::nameOffset, PatchLayout::nameLength,
                  QByteArray("\x1b]0;T\x07\x1b[2J\"q\x7f\0\0\0\0", PatchLayout::nameLength));
    const QString patchFile = folder.filePath(QStringLiteral("s\x1b[2J.syx"));
    QFile::remove(patchFile);
    QVERIFY(writeFile(folder.filePath(QStringLiteral("named.syx")), patch));
    if (arguments.contains(QStringLiteral("send")))
        QVERIFY(writeFile(patchFile, patch));
    arguments.replaceInStrings(QRegularExpression(QStringLiteral("^FILE$")), patchFile);
    EmulatorProcess emulator;
    QString error;
    QVERIFY2(emulator.start(
                 {QStringLiteral("--patch"), folder.filePath(QStringLiteral("named.syx"))}, &error),
             qPrintable(error));
    // A port of another program, named to act on a terminal.
    RtMidiIn peer(RtMidi::UNIX_JACK, "Peer");
    peer.openVirtualPort("V\x1b]0;T\x07");

    const Run run = runCli(arguments);
    const QString all = run.out + run.err;
    QVERIFY2(all.contains(shown), qPrintable(describe(run)));
    for (const QChar c : all)
        QVERIFY2(c == QLatin1Char('\n') || c.isPrint(), qPrintable(describe(run)));
    QCOMPARE(emulator.stop(), QString());
}

void TestEndToEndCli::updateTransfersTheImage_data()
{
    QTest::addColumn<QStringList>("emulatorArguments");
    QTest::addColumn<int>("records");

    QTest::newRow("normal mode") << QStringList() << 8;
    QTest::newRow("update mode") << QStringList{"--updater"} << 8;
    QTest::newRow("a record damaged on the way") << QStringList{"--crc-error-every", "3"} << 8;
    QTest::newRow("one record") << QStringList() << 1;
}

void TestEndToEndCli::updateTransfersTheImage()
{
    QFETCH(QStringList, emulatorArguments);
    QFETCH(int, records);

    const QByteArray image = firmwareImage(records);
    const QString firmware = folder.filePath(QStringLiteral("firmware.hex"));
    QVERIFY(writeFile(firmware, image.toHex(' ').toUpper()));
    const QString received = folder.filePath(QStringLiteral("received.bin"));
    QFile::remove(received);
    EmulatorProcess emulator;
    QString error;
    QVERIFY2(emulator.start(emulatorArguments + QStringList{"--write-image", received}, &error),
             qPrintable(error));

    const Run run = runCli({QStringLiteral("update"), firmware});
    QVERIFY2(run.exitCode == 0, qPrintable(describe(run)));
    QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.first(), QStringLiteral("Opened file: ") + firmware);
    QVERIFY2(lines.contains(QStringLiteral("Transfer Complete.")), qPrintable(run.out));
    QVERIFY2(!lines.contains(QStringLiteral("Please press Update to continue.")),
             qPrintable(run.out));
    // Not a terminal: a line at each tenth, rising, ending with the whole image, the record
    // that completed the update included.
    const QStringList progress = lines.filter(QRegularExpression(QStringLiteral("^\\d+ % ")));
    QVERIFY2(!progress.isEmpty(), qPrintable(run.out));
    int tenth = -1;
    for (const QString &line : progress) {
        const int percent = line.section(QLatin1Char(' '), 0, 0).toInt();
        QVERIFY2(percent / 10 > tenth, qPrintable(run.out));
        tenth = percent / 10;
    }
    QCOMPARE(lines.last(),
             QStringLiteral("100 % (%1 of %1 records, %2 of %2 bytes)")
                 .arg(records + 1)
                 .arg(image.size()));
    QVERIFY(emulator.waitForLine(QStringLiteral("wrote the image")));
    QCOMPARE(readFile(received).toHex(' '), image.toHex(' '));
    QCOMPARE(emulator.stop(), QString());
}

void TestEndToEndCli::updateFailures_data()
{
    QTest::addColumn<QStringList>("emulatorArguments"); // no emulator when empty
    QTest::addColumn<QByteArray>("file");               // the update file's text
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");  // what the one line on stderr ends with
    QTest::addColumn<bool>("touched");     // whether the device received anything
    QTest::addColumn<QString>("lastLine"); // on stdout, when the transfer began

    const QByteArray healthy = firmwareImage(2).toHex(' ').toUpper();
    QByteArray badChecksum = firmwareImage(2);
    badChecksum[10] = char(badChecksum[10] ^ 0x01);
    const QStringList device{QStringLiteral("--hex")};
    const QString preset50 = folder.filePath(QStringLiteral("preset50.syx"));
    writeFile(preset50, asType1(unusualPatch(50)));
    const QStringList deviceOn50{QStringLiteral("--patch"), preset50};

    QTest::newRow("not hex") << device << QByteArray(healthy).append(" 0G") << 2
                             << ": Error, the update file is damaged: line 1 is not pairs of "
                                "hexadecimal digits."
                             << false << QString();
    QTest::newRow("empty file") << device << QByteArray() << 2
                                << ": Error, the update file is damaged: it holds no data." << false
                                << QString();
    QTest::newRow("bad checksum")
        << device << badChecksum.toHex(' ').toUpper() << 2
        << ": CRC Error, the update file is damaged: record 1 fails its checksum." << false
        << QString();
    QTest::newRow("cut short") << device << firmwareImage(2).left(700).toHex(' ').toUpper() << 2
                               << ": Error, the update file is damaged: it ends inside record 2."
                               << false << QString();
    QTest::newRow("no device") << QStringList() << healthy << 3
                               << "(is the device connected? 'vellichord ports' lists the ports)"
                               << false << QString();
    QTest::newRow("device not ready")
        << QStringList{"--not-ready"} << healthy << 1
        << ": the update failed: Please disconnect and reconnect the Vellichord, then run the "
           "update again."
        << true << QString();
    QTest::newRow("error in the file, says the device")
        << QStringList{"--code-error"} << healthy << 1
        << ": the update failed: Error in update file.  Please download the latest update and "
           "try again."
        << true << "0 % (0 of 3 records, 0 of 1028 bytes; missing: 3 records, 1028 bytes)";
    // Every record taken is no update until the device confirms it.
    QTest::newRow("never confirmed")
        << QStringList{"--no-confirm"} << healthy << 1
        << ": the update failed: The Vellichord took every record but did not confirm the "
           "update. It may still be in update mode: reconnect it and run the update again."
        << true << "99 % (3 of 3 records, 1028 of 1028 bytes; missing: the device's confirmation)";
    // The device's word that it is done does not make the records that were not sent.
    QTest::newRow("ended at the first record")
        << QStringList{"--end-at", "1"} << healthy << 1
        << ": the update failed: The Vellichord ended the update after 1 of 3 records." << true
        << "49 % (1 of 3 records, 512 of 1028 bytes; missing: 2 records, 516 bytes)";
    // Given up after the silence limit, in real time here (some 15 s).
    QTest::newRow("silent after the handshake")
        << QStringList{"--silent-after-handshake"} << healthy << 1
        << ": the update failed: The Vellichord stopped answering.  Please reconnect it and run "
           "the update again."
        << true << "0 % (0 of 3 records, 0 of 1028 bytes; missing: 3 records, 1028 bytes)";
}

void TestEndToEndCli::updateFailures()
{
    QFETCH(QStringList, emulatorArguments);
    QFETCH(QByteArray, file);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QFETCH(bool, touched);
    QFETCH(QString, lastLine);

    const QString firmware = folder.filePath(QStringLiteral("failing.hex"));
    QVERIFY(writeFile(firmware, file));
    EmulatorProcess emulator;
    QString error;
    if (!emulatorArguments.isEmpty())
        QVERIFY2(emulator.start(emulatorArguments, &error), qPrintable(error));

    const Run run = runCli({QStringLiteral("update"), firmware});
    QVERIFY2(run.exitCode == exitCode, qPrintable(describe(run)));
    const QStringList lines = run.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY2(lines.size() == 1 && lines.first().startsWith(QStringLiteral("vellichord update: "))
                 && lines.first().endsWith(message),
             qPrintable(run.err));
    // A file that fails its check is named; the device never hears of it.
    if (exitCode == 2)
        QVERIFY2(lines.first().contains(firmware), qPrintable(run.err));
    // A transfer that began ends with what is missing.
    const QStringList out = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (lastLine.isEmpty())
        QVERIFY2(out.filter(QStringLiteral(" records, ")).isEmpty(), qPrintable(run.out));
    else
        QVERIFY2(!out.isEmpty() && out.last() == lastLine, qPrintable(run.out));
    if (!emulatorArguments.isEmpty()) {
        if (touched)
            QTRY_VERIFY(emulator.count(QStringLiteral("received:")) > 0);
        else
            QCOMPARE(emulator.count(QStringLiteral("received:")), 0);
        // Only a device that ends the update itself takes its image for complete.
        QCOMPARE(emulator.count(QStringLiteral("image complete")),
                 emulatorArguments.contains(QStringLiteral("--end-at")) ? 1 : 0);
        QCOMPARE(emulator.stop(), QString());
    }
}

void TestEndToEndCli::interruptStopsTheUpdateBetweenRecords_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGINT (Ctrl-C)") << SIGINT;
    QTest::newRow("SIGTERM (kill)") << SIGTERM;
    QTest::newRow("SIGHUP (terminal closed)") << SIGHUP;
}

void TestEndToEndCli::interruptStopsTheUpdateBetweenRecords()
{
    QFETCH(int, signal);
    const int records = 12;
    const QString firmware = folder.filePath(QStringLiteral("interrupted.hex"));
    QVERIFY(writeFile(firmware, firmwareImage(records).toHex(' ').toUpper()));
    EmulatorProcess emulator;
    QString error;
    QVERIFY2(emulator.start({}, &error), qPrintable(error));

    QProcess cli;
    cli.start(QStringLiteral(VELLICHORD_CLI), {QStringLiteral("update"), firmware});
    QVERIFY(cli.waitForStarted());
    const auto accepted = [&] { return emulator.count(QStringLiteral("sent: status 0x1A")); };
    QTRY_VERIFY_WITH_TIMEOUT(accepted() >= 2, 60000);
    QVERIFY(signalProcess(cli, signal));
    QVERIFY(cli.waitForFinished(60000));

    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    QCOMPARE(cli.exitCode(), 1);
    const QString err = QString::fromLocal8Bit(cli.readAllStandardError());
    QCOMPARE(err,
             QStringLiteral("vellichord update: the update failed: Update stopped. The Vellichord "
                            "needs a complete update: run the update again.\n"));
    // Stopped between records: every record sent was whole and accepted, and not all were sent.
    QVERIFY(emulator.count(QStringLiteral("received: data frame")) > 0);
    const int acceptedRecords = accepted();
    QVERIFY2(acceptedRecords < records, qPrintable(QString::number(acceptedRecords)));
    QCOMPARE(emulator.count(QStringLiteral("sent: status 0x20")), 0);
    QCOMPARE(emulator.count(QStringLiteral("image complete")), 0);
    QCOMPARE(emulator.stop(), QString());
}

void TestEndToEndCli::librarySendStoresEachPreset_data()
{
    QTest::addColumn<QStringList>("emulatorArguments");
    QTest::addColumn<QStringList>("sendArguments");
    QTest::addColumn<QList<int>>("stored"); // the presets that hold the library's patch after
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("summary"); // on stdout when 0, else on stderr after the command

    QList<int> all;
    for (int presetNo = 0; presetNo < 20; ++presetNo)
        all << presetNo;
    QTest::newRow("twenty") << QStringList() << QStringList() << all << 0
                            << "Sent presets 0\u201319 (20)";
    QTest::newRow("--presets 0-4,7")
        << QStringList() << QStringList{"--presets", "0-4,7"} << QList<int>{0, 1, 2, 3, 4, 7} << 0
        << "Sent presets 0\u20134, 7 (6)";
    // The device ignores every 5th patch and leaves every 5th answer unsent.
    QTest::newRow("--drop-every 5")
        << QStringList{"--drop-every", "5"} << QStringList()
        << QList<int>{0, 1, 2, 3, 5, 6, 7, 8, 10, 11, 12, 13, 15, 16, 17, 18} << 1
        << "Sent presets 0\u20133, 5\u20138, 10\u201313, 15\u201318 (16); failed: presets 4, 9, "
           "14, 19 (4)";
}

void TestEndToEndCli::librarySendStoresEachPreset()
{
    QFETCH(QStringList, emulatorArguments);
    QFETCH(QStringList, sendArguments);
    QFETCH(QList<int>, stored);
    QFETCH(int, exitCode);
    QFETCH(QString, summary);

    const QList<QByteArray> library = twentyPresets();
    const QString libraryFile = folder.filePath(QStringLiteral("twenty.syx"));
    QVERIFY(writeFile(libraryFile, joined(library)));
    const QString memories = folder.filePath(QStringLiteral("memories.syx"));
    QFile::remove(memories);
    EmulatorProcess emulator;
    QString error;
    QVERIFY2(
        emulator.start(emulatorArguments + QStringList{QStringLiteral("--write-presets"), memories},
                       &error),
        qPrintable(error));

    const Run run = runCli(
        QStringList{QStringLiteral("library"), QStringLiteral("send"), libraryFile}
        + sendArguments);
    QVERIFY2(run.exitCode == exitCode, qPrintable(describe(run)));
    if (exitCode == 0) {
        QCOMPARE(run.out, printed(summary + QLatin1Char('\n')));
        QCOMPARE(run.err, QString());
    } else {
        QCOMPARE(run.out, QString());
        QCOMPARE(
            run.err,
            printed(QStringLiteral("vellichord library send: ") + summary + QLatin1Char('\n')));
    }
    QCOMPARE(emulator.stop(), QString());

    // What the device stores is the Type 1 message it was sent, byte for byte; the others
    // keep the factory patch.
    QList<QByteArray> expected;
    for (int presetNo = 0; presetNo < 20; ++presetNo)
        expected << (stored.contains(presetNo) ? library[presetNo] : factoryPreset(presetNo));
    const QByteArray written = readFile(memories);
    QCOMPARE(written.size(), 20 * 348);
    for (int presetNo = 0; presetNo < 20; ++presetNo)
        QVERIFY2(written.mid(presetNo * 348, 348) == expected[presetNo],
                 qPrintable(QStringLiteral("preset %1").arg(presetNo)));
}

void TestEndToEndCli::getIntoALibraryWhileStepping()
{
    const QList<QByteArray> library = twentyPresets();
    const QString presets = folder.filePath(QStringLiteral("loaded.syx"));
    QVERIFY(writeFile(presets, joined(library)));
    EmulatorProcess emulator;
    QString error;
    QVERIFY2(emulator.start({QStringLiteral("--presets"), presets, QStringLiteral("--preset"),
                             QStringLiteral("12")},
                            &error),
             qPrintable(error));
    const QString backup = folder.filePath(QStringLiteral("backup.syx"));
    QFile::remove(backup);

    // As a musician steps through the presets on the device and fetches each: the library is
    // made, grows in preset order, and takes a preset fetched again in its place.
    const QList<int> steps{12, 3, 19, 0, 3};
    QMap<int, int> selected;
    for (int i = 0; i < steps.size(); ++i) {
        const int presetNo = steps[i];
        if (i > 0) {
            emulator.process.write(QByteArray("preset ") + QByteArray::number(presetNo) + '\n');
            const QString line = QStringLiteral("preset %1 is current").arg(presetNo);
            QTRY_COMPARE(emulator.count(line), selected.value(presetNo) + 1);
            selected[presetNo] += 1;
        }
        const Run run = runCli({QStringLiteral("get"), QStringLiteral("--into"), backup});
        QVERIFY2(run.exitCode == 0, qPrintable(describe(run)));
        QCOMPARE(run.out,
                 QStringLiteral("Put the patch \"set preset %1\" into %2 as preset %1\n")
                     .arg(presetNo)
                     .arg(backup));
    }
    QCOMPARE(readFile(backup), joined({library[0], library[3], library[12], library[19]}));

    // A line that is no preset changes nothing.
    emulator.process.write("preset 20\n");
    QTRY_VERIFY(emulator.errors().contains(
        QStringLiteral("standard input: \"preset 20\" is not \"preset N\" with N 0..19")));
    const Run again = runCli({QStringLiteral("get"), QStringLiteral("--into"), backup});
    QVERIFY2(again.exitCode == 0, qPrintable(describe(again)));
    QVERIFY(again.out.endsWith(QStringLiteral(" as preset 3\n")));
    QCOMPARE(readFile(backup), joined({library[0], library[3], library[12], library[19]}));
    QCOMPARE(emulator.stop(), QString());
}

QTEST_GUILESS_MAIN(TestEndToEndCli)
#include "tst_endtoendcli.moc"
