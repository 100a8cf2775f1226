#include "../common/controllerprobe.h"
#include "../common/files.h"
#include "../common/simulateddevice.h"
#include "../common/tracecapture.h"
#include "diagnosticlog.h"
#include "midicontroller.h"
#include "midimonitor.h"

#include <QtTest>

Q_DECLARE_METATYPE(SimulatedDevice::Reply)
Q_DECLARE_METATYPE(PatchFileFault)

namespace {

// A patch message as the device sends it, with the given kind byte.
QByteArray deviceMessage(unsigned char kind = 0x63)
{
    QByteArray message = SimulatedDevice().patchMessage();
    message[6] = char(kind);
    return message;
}

} // namespace

class TestMidiController : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    // Building the Type 1 message
    void firstMessageCarriesDefaults();
    void nameIsSentAsSevenBitAscii_data();
    void nameIsSentAsSevenBitAscii();
    void presetNumberStaysWithinRange();
    void xyPadChannelGoesToBothAxes();
    void buildingTwiceGivesSameBytes();

    // Applying a received message
    void kindByteDecidesWhetherApplied_data();
    void kindByteDecidesWhetherApplied();
    void receivedValuesAreClamped();
    void presetNumberOutsideRangeIsNamedAndNeverSent_data();
    void presetNumberOutsideRangeIsNamedAndNeverSent();
    void foreignMessagesAreCountedAndIgnored_data();
    void foreignMessagesAreCountedAndIgnored();
    void nameIsDecodedAsLatin1();
    void shortMessageChangesNothing_data();
    void shortMessageChangesNothing();
    void messageThatIsNotExactlyAPatchChangesNothing_data();
    void messageThatIsNotExactlyAPatchChangesNothing();
    void receivedByte55SetsNothing();
    void builtMessageRoundTrips();

    // Patch files
    void saveThenLoadRestoresPatchButKeepsPresetNumber();
    void loadRejectsWhatIsNotAPatch_data();
    void loadRejectsWhatIsNotAPatch();
    void loadUsesFirst348BytesOfLongerFile();
    void fileLoadsAloneAsInTheEditorButForThePresetNumber_data();
    void fileLoadsAloneAsInTheEditorButForThePresetNumber();
    void loadOpensOnlyRegularFiles_data();
    void loadOpensOnlyRegularFiles();
    void namesAreTracedWithControlCharactersEscaped();
    void saveFailsWithoutTouchingAnything();
    void saveThatFailsPartWayKeepsTheOldFile();

    // Talking to the device, without a window
    void portOpensOnlyWhenAsked_data();
    void portOpensOnlyWhenAsked();
    void uploadAnswerIsAppliedAndReported_data();
    void uploadAnswerIsAppliedAndReported();
    void arrivingPatchSaysWhatWasBroughtIntoRange_data();
    void arrivingPatchSaysWhatWasBroughtIntoRange();
    void downloadSendsExactlyTheCurrentModels();
    void sendPatchMessageSendsOnlyAWholeType1Patch_data();
    void sendPatchMessageSendsOnlyAWholeType1Patch();
    void patchTakerComesBeforeHoldAndApply_data();
    void patchTakerComesBeforeHoldAndApply();
    void statusAnswersAreKeptForTheUpdater();
    void floodOfShortMessagesReachesNeitherParserNorLog();
    void controllerCanGoWhileAnswersArePending();
    void trafficCarriesWhatWentOutAndCameInInOrder();

private:
    QTemporaryDir workDir;
    QString previousDir;
};

void TestMidiController::initTestCase()
{
    QVERIFY(workDir.isValid());
    previousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(workDir.path())); // log.txt goes here
}

void TestMidiController::cleanupTestCase()
{
    QDir::setCurrent(previousDir);
}

void TestMidiController::firstMessageCarriesDefaults()
{
    QByteArray expected(348, '\0');
    const QByteArray header = QByteArray::fromHex("f0000000007f6102510000");
    expected.replace(0, header.size(), header);
    expected.replace(11, 16, "tarvelvellichord");
    // The Max bytes: sliders, crossfader, the X-Y pad's two axes, knobs.
    for (int slider = 0; slider < 6; ++slider)
        expected[27 + 4 * slider + 3] = 127;
    expected[54] = 127;
    expected[58] = 127;
    expected[62] = 127;
    for (int knob = 0; knob < 14; ++knob)
        expected[291 + 4 * knob + 3] = 127;
    expected[347] = char(0xF7);

    MidiController controller(noDevice());
    QCOMPARE(type1(controller).toHex(' '), expected.toHex(' '));
}

void TestMidiController::nameIsSentAsSevenBitAscii_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("field");

    QTest::newRow("short") << "abc" << QByteArray("abc").leftJustified(16, '\0');
    QTest::newRow("empty") << "" << QByteArray(16, '\0');
    QTest::newRow("exactly 16") << "0123456789abcdef" << QByteArray("0123456789abcdef");
    QTest::newRow("longer than 16") << "0123456789abcdefXYZ" << QByteArray("0123456789abcdef");
    QTest::newRow("Latin-1 letter")
        << QStringLiteral("Caf\u00e9") << QByteArray("Caf?").leftJustified(16, '\0');
    QTest::newRow("outside Latin-1")
        << QStringLiteral("\u65e5\u672c") << QByteArray("??").leftJustified(16, '\0');
    QTest::newRow("outside the BMP")
        << QStringLiteral("a\U0001D11Eb") << QByteArray("a?b").leftJustified(16, '\0');
    QTest::newRow("control characters")
        << QStringLiteral("a\tb\x7f") << QByteArray("a?b?").leftJustified(16, '\0');
    QTest::newRow("ends at NUL") << QString::fromLatin1("ab\0cd", 5)
                                 << QByteArray("ab").leftJustified(16, '\0');
}

void TestMidiController::nameIsSentAsSevenBitAscii()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, field);

    MidiController controller(noDevice());
    controller.setPresetName(name);
    const QByteArray message = type1(controller);
    QCOMPARE(message.mid(11, 16), field);
    for (int i = 1; i < 347; ++i)
        QVERIFY2(quint8(message[i]) < 0x80, qPrintable(QStringLiteral("byte %1").arg(i)));
}

void TestMidiController::presetNumberStaysWithinRange()
{
    MidiController controller(noDevice());
    controller.setPresetNo(7);
    QCOMPARE(int(type1(controller)[9]), 7);
    controller.setPresetNo(20);
    controller.setPresetNo(-1);
    QCOMPARE(int(type1(controller)[9]), 7);
    controller.setPresetNo(19);
    QCOMPARE(int(controller.getPresetNo()), 19);
}

void TestMidiController::xyPadChannelGoesToBothAxes()
{
    MidiController controller(noDevice());
    controller.getModels()->at(37)->updateParameter(Channel, 5);
    const QByteArray message = type1(controller);
    QCOMPARE(int(message[55]), 5);
    QCOMPARE(int(message[59]), 5);
}

void TestMidiController::buildingTwiceGivesSameBytes()
{
    MidiController controller(noDevice());
    controller.setPresetName(QStringLiteral("abcdefghijklmnop"));
    const QByteArray first = type1(controller);
    controller.setPresetName(QStringLiteral("ab"));
    type1(controller);
    controller.setPresetName(QStringLiteral("abcdefghijklmnop"));
    QCOMPARE(type1(controller), first);
    QCOMPARE(type1(controller), first);
}

void TestMidiController::kindByteDecidesWhetherApplied_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("applied");
    QTest::newRow("Type 2 (0x63)") << 0x63 << true;
    QTest::newRow("Type 1 (0x61), a saved file") << 0x61 << true;
    QTest::newRow("request (0x62)") << 0x62 << false;
    QTest::newRow("zero") << 0x00 << false;
}

void TestMidiController::kindByteDecidesWhetherApplied()
{
    QFETCH(int, kind);
    QFETCH(bool, applied);

    QByteArray message = deviceMessage(quint8(kind));
    message.replace(11, 16, QByteArray("from the device").leftJustified(16, '\0'));
    message[9] = 4;
    message[68] = 2;  // pad 1 Colour
    message[30] = 99; // S1 Max

    MidiController controller(noDevice());
    QSignalSpy updated(&controller, &MidiController::modelUpdated);
    TraceCapture traces;
    QCOMPARE(controller.parseType2Message(message), applied);
    QCOMPARE(traces.lines().contains(
                 QStringLiteral("parseType2Message: not a patch, kind byte %1").arg(kind)),
             !applied);

    QCOMPARE(updated.count(), applied ? 1 : 0);
    QCOMPARE(controller.getPresetName(),
             applied ? QStringLiteral("from the device") : QStringLiteral("tarvelvellichord"));
    QCOMPARE(int(controller.getPresetNo()), applied ? 4 : 0);
    QCOMPARE(int(valueOf(controller, 39, Colour)), applied ? 2 : 0);
    QCOMPARE(int(valueOf(controller, 0, Max)), applied ? 99 : 127);
}

void TestMidiController::receivedValuesAreClamped()
{
    QByteArray message = deviceMessage();
    message[68] = 9;          // pad 1 Colour, range 0..2
    message[65] = char(200);  // pad 1 Channel, range 0..16
    message[63] = 3;          // pad 1 Type, range 0..1
    message[28] = char(0x90); // S1 CC, range 0..127

    MidiController controller(noDevice());
    QVERIFY(controller.parseType2Message(message));
    QCOMPARE(int(valueOf(controller, 39, Colour)), 2);
    QCOMPARE(int(valueOf(controller, 39, Channel)), 16);
    QCOMPARE(int(valueOf(controller, 39, Type)), 1);
    QCOMPARE(int(valueOf(controller, 0, CC)), 127);
}

void TestMidiController::presetNumberOutsideRangeIsNamedAndNeverSent_data()
{
    QTest::addColumn<int>("presetNo");
    QTest::addColumn<QString>("status");
    QTest::newRow("highest") << 19 << "Patch uploaded.";
    QTest::newRow("one past") << 20
                              << "Patch uploaded. Its preset number 20 is outside 0..19: "
                                 "Download is off until a patch of a preset 0..19 arrives.";
    QTest::newRow("50, and a value out of range")
        << 50
        << "Patch uploaded. Its preset number 50 is outside 0..19: Download is off until a patch "
           "of a preset 0..19 arrives. 1 value was out of range and was brought into range "
           "(PAD7 Color 127 \u2192 2)";
}

void TestMidiController::presetNumberOutsideRangeIsNamedAndNeverSent()
{
    QFETCH(int, presetNo);
    QFETCH(QString, status);
    const bool inRange = presetNo <= 19;
    SimulatedDevice *device = nullptr;
    MidiController controller(plug(device));
    controller.setPresetNo(6);
    QSignalSpy said(&controller, &MidiController::statusMessage);
    QByteArray patch = SimulatedDevice::ownPatch();
    patch[9] = char(presetNo);
    patch.replace(11, 16, QByteArray("kept").leftJustified(16, '\0'));
    if (presetNo == 50)
        patch[int(controller.getModels()->at(45)->getParameter(Colour)->address())] = char(0x7F);
    device->send(patch);
    QVERIFY(said.wait());
    QCOMPARE(said.first().first().toString(), status);
    QCOMPARE(controller.getPresetNo(), presetNo);
    QCOMPARE(controller.getPresetName(), QStringLiteral("kept"));

    // Neither Download nor a loaded file sends the patch to the editor's earlier preset.
    const QString file = workDir.filePath(QStringLiteral("preset.syx"));
    QVERIFY(controller.saveSysex(file));
    QCOMPARE(int(readFile(file)[9]), presetNo);
    QVERIFY(controller.loadSysex(file));
    QCOMPARE(controller.getPresetNo(), presetNo);
    QCOMPARE(controller.downloadRefusal().isEmpty(), inRange);
    if (!inRange)
        QCOMPARE(controller.downloadRefusal(),
                 QStringLiteral("Download refused: preset number %1 is outside 0..19; choose a "
                                "preset 0..19 on the Vellichord and upload it")
                     .arg(presetNo));
    QCOMPARE(controller.downloadPatch(), inRange);
    QCOMPARE(device->received.size(), inRange ? 1 : 0);

    // A patch of a preset the device has makes Download send again, into that preset.
    patch[9] = char(3);
    device->send(patch);
    QVERIFY(drained(controller, *device));
    QVERIFY(controller.downloadPatch());
    QCOMPARE(int(device->received.last()[9]), 3);
}

void TestMidiController::foreignMessagesAreCountedAndIgnored_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<bool>("held");
    QTest::addColumn<QString>("trace"); // the first message's, and the second's a second later
    const QString otherMaker = QStringLiteral("ignored a SysEx message of another maker");
    QByteArray foreign = SimulatedDevice::ownPatch();
    foreign[1] = char(0x41); // another maker's ID
    foreign.replace(11, 16, QByteArray("foreign").leftJustified(16, '\0'));
    QTest::newRow("patch-sized") << foreign << false << otherMaker;
    QTest::newRow("patch-sized, while patches are held") << foreign << true << otherMaker;
    QByteArray notSeven = SimulatedDevice::ownPatch();
    notSeven[5] = 0x00;
    QTest::newRow("byte 5 not 7F") << notSeven << false << otherMaker;
    // Not even of a patch's length: the monitor counts it before it reaches the controller.
    QTest::newRow("short") << QByteArray::fromHex("f0010203f7") << false
                           << QStringLiteral("ignored a SysEx message that is not a patch");
}

void TestMidiController::foreignMessagesAreCountedAndIgnored()
{
    QFETCH(QByteArray, message);
    QFETCH(bool, held);
    QFETCH(QString, trace);
    SimulatedDevice *device = nullptr;
    MidiController controller(plug(device));
    controller.setPatchHold([held] { return held; });
    const QByteArray before = type1(controller);
    QSignalSpy updated(&controller, &MidiController::modelUpdated);
    QSignalSpy heldBack(&controller, &MidiController::patchHeld);
    QSignalSpy said(&controller, &MidiController::statusMessage);
    TraceCapture traces;
    device->send(message);
    device->send(message);
    QVERIFY(drained(controller, *device));
    QCOMPARE(updated.count() + heldBack.count() + said.count(), 0);
    QCOMPARE(type1(controller), before);
    // The first is traced at once, the second within a second once that second has passed.
    QCOMPARE(traces.count(trace), 1);
    QTRY_COMPARE(traces.count(trace), 2);
}

void TestMidiController::nameIsDecodedAsLatin1()
{
    MidiController controller(noDevice());
    QByteArray message = deviceMessage();
    message.replace(11, 16, QByteArray("Caf\xe9").leftJustified(16, '\0'));
    QVERIFY(controller.parseType2Message(message));
    QCOMPARE(controller.getPresetName(), QStringLiteral("Caf\u00e9"));

    message.replace(11, 16, QByteArray("ABCDEFGHIJKLMNOP"));
    QVERIFY(controller.parseType2Message(message));
    QCOMPARE(controller.getPresetName(), QStringLiteral("ABCDEFGHIJKLMNOP"));
}

void TestMidiController::shortMessageChangesNothing_data()
{
    QTest::addColumn<int>("length");
    QTest::newRow("empty") << 0;
    QTest::newRow("status message") << 3;
    QTest::newRow("up to byte 6") << 7;
    QTest::newRow("one byte short") << 347;
}

void TestMidiController::shortMessageChangesNothing()
{
    QFETCH(int, length);

    QByteArray full = deviceMessage();
    full.replace(11, 16, QByteArray("other").leftJustified(16, '\0'));
    full[9] = 3;
    full[30] = 1;
    // A heap copy of exactly the short length: reading past it is caught by ASan.
    const QByteArray message = full.left(length);

    MidiController controller(noDevice());
    const QByteArray before = type1(controller);
    QSignalSpy updated(&controller, &MidiController::modelUpdated);
    TraceCapture traces;

    QVERIFY(!controller.parseType2Message(message));
    QCOMPARE(updated.count(), 0);
    QCOMPARE(type1(controller), before);
    QVERIFY(traces.lines().first().contains(QStringLiteral("too short")));
}

void TestMidiController::messageThatIsNotExactlyAPatchChangesNothing_data()
{
    QTest::addColumn<QByteArray>("message");
    QByteArray patch = deviceMessage();
    patch[346] = 42; // P6 Max, the last parameter byte
    patch.replace(11, 16, QByteArray("other").leftJustified(16, '\0'));
    // A clock byte that slipped in before the last parameter byte: F7 lands at 348.
    QTest::newRow("349 bytes, a byte slipped in")
        << patch.left(346) + QByteArray(1, char(0xF8)) + patch.mid(346);
    QTest::newRow("349 bytes, F7 at 347 and 348") << patch + QByteArray(1, char(0xF7));
    QTest::newRow("448 bytes") << patch + QByteArray(100, char(0x7F));
    QByteArray noEnd = patch;
    noEnd[347] = 0x7F;
    QTest::newRow("348 bytes without F7") << noEnd;
}

void TestMidiController::messageThatIsNotExactlyAPatchChangesNothing()
{
    QFETCH(QByteArray, message);

    MidiController controller(noDevice());
    const QByteArray before = type1(controller);
    QSignalSpy updated(&controller, &MidiController::modelUpdated);
    TraceCapture traces;
    QVERIFY(!controller.parseType2Message(message));
    QCOMPARE(updated.count(), 0);
    QCOMPARE(type1(controller), before);
    QVERIFY(traces.contains(QStringLiteral("parseType2Message: message of %1 bytes does not end "
                                           "at byte 347")
                                .arg(message.size())));
}

void TestMidiController::receivedByte55SetsNothing()
{
    QByteArray message = deviceMessage();
    message[55] = 9;
    message[59] = 3;

    MidiController controller(noDevice());
    QVERIFY(controller.parseType2Message(message));
    QCOMPARE(int(valueOf(controller, 37, Channel)), 3);
    for (int i = 0; i < ControlTable::count; ++i) {
        for (const ControlParameter &p : controller.getModels()->at(i)->parameters())
            QVERIFY(p.value() != 9 || p.address() != 55);
    }
    QCOMPARE(int(type1(controller)[55]), 3);
}

void TestMidiController::builtMessageRoundTrips()
{
    MidiController source(noDevice());
    source.setPresetName(QStringLiteral("Round Trip"));
    source.setPresetNo(11);
    ControlTable *models = source.getModels();
    for (int i = 0; i < ControlTable::count; ++i) {
        for (const ControlParameter &p : models->at(i)->parameters())
            models->at(i)->updateParameter(p.id(), uint8_t(p.address() * 7 + i));
    }
    const QByteArray sent = type1(source);

    MidiController target(noDevice());
    QVERIFY(target.parseType2Message(sent));
    QCOMPARE(target.getPresetName(), QStringLiteral("Round Trip"));
    QCOMPARE(type1(target), sent);
}

void TestMidiController::saveThenLoadRestoresPatchButKeepsPresetNumber()
{
    MidiController source(noDevice());
    source.setPresetName(QStringLiteral("Saved"));
    source.setPresetNo(3);
    source.getModels()->at(45)->updateParameter(NoteOrCC, 64);
    source.getModels()->at(20)->updateParameter(Min, 33);
    const QString path = workDir.filePath(QStringLiteral("patch.syx"));
    QVERIFY(source.saveSysex(path));

    QCOMPARE(readFile(path), type1(source));

    MidiController target(noDevice());
    target.setPresetNo(7);
    QSignalSpy updated(&target, &MidiController::modelUpdated);
    QVERIFY(target.loadSysex(path));
    QCOMPARE(updated.count(), 1);
    QCOMPARE(target.getPresetName(), QStringLiteral("Saved"));
    QCOMPARE(int(target.getPresetNo()), 7);
    QCOMPARE(int(valueOf(target, 45, NoteOrCC)), 64);
    QCOMPARE(int(valueOf(target, 20, Min)), 33);
    QCOMPARE(int(type1(target)[9]), 7);
}

void TestMidiController::loadRejectsWhatIsNotAPatch_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("trace");
    QTest::addColumn<PatchFileFault>("fault");

    const QByteArray patch = deviceMessage(0x61);
    QByteArray noStart = patch;
    noStart[0] = 0;
    QByteArray noEnd = patch;
    noEnd[347] = 0;
    QByteArray request = patch;
    request[6] = 0x62;

    const auto tooShort = PatchFileFault::TooShort;
    const auto notPatch = PatchFileFault::NotPatch;
    QTest::newRow("347 bytes") << patch.left(347) << "Only read 347 bytes" << tooShort;
    QTest::newRow("empty file") << QByteArray() << "Only read 0 bytes" << tooShort;
    QTest::newRow("348 zero bytes") << QByteArray(348, '\0') << "" << notPatch;
    QTest::newRow("no F0") << noStart << "" << notPatch;
    QTest::newRow("no F7 at 347") << noEnd << "" << notPatch;
    QTest::newRow("wrong kind") << request << "" << notPatch;
}

void TestMidiController::loadRejectsWhatIsNotAPatch()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, trace);
    QFETCH(PatchFileFault, fault);

    const QString path = workDir.filePath(QStringLiteral("bad.syx"));
    QVERIFY(writeFile(path, contents));

    MidiController controller(noDevice());
    const QByteArray before = type1(controller);
    QSignalSpy updated(&controller, &MidiController::modelUpdated);
    TraceCapture traces;
    PatchFileFault found = PatchFileFault::None;
    QVERIFY(!controller.loadSysex(path, &found));
    QCOMPARE(found, fault);
    QCOMPARE(updated.count(), 0);
    QCOMPARE(type1(controller), before);
    if (!trace.isEmpty())
        QVERIFY(traces.contains(trace));
}

void TestMidiController::loadUsesFirst348BytesOfLongerFile()
{
    QByteArray contents = deviceMessage(0x61);
    contents[30] = 5;
    contents.append(QByteArray(52, char(0xF0)));
    const QString path = workDir.filePath(QStringLiteral("long.syx"));
    QVERIFY(writeFile(path, contents));

    MidiController controller(noDevice());
    QVERIFY(controller.loadSysex(path));
    QCOMPARE(int(valueOf(controller, 0, Max)), 5);
}

void TestMidiController::fileLoadsAloneAsInTheEditorButForThePresetNumber_data()
{
    QTest::addColumn<QByteArray>("contents");

    QByteArray saved = deviceMessage(0x61);
    saved[9] = 12;
    QTest::newRow("saved by the editor") << saved;
    QByteArray fromDevice = deviceMessage(0x63);
    fromDevice[9] = 19;
    for (int offset = 27; offset < 347; offset += 3)
        fromDevice[offset] = char(0x7F); // clamped alike
    QTest::newRow("device answer, values out of range") << fromDevice;
}

// A patch file read without an editor gives the editor's bytes; only the editor keeps its own
// preset number.
void TestMidiController::fileLoadsAloneAsInTheEditorButForThePresetNumber()
{
    QFETCH(QByteArray, contents);
    const QString path = workDir.filePath(QStringLiteral("alone.syx"));
    QVERIFY(writeFile(path, contents));

    MidiController controller(noDevice());
    controller.setPresetNo(4);
    QVERIFY(controller.loadSysex(path));
    Patch alone;
    QCOMPARE(alone.load(path), PatchFileFault::None);

    QCOMPARE(alone.presetNo(), int(contents[9]));
    QCOMPARE(int(controller.getPresetNo()), 4);
    QByteArray expected = type1(controller);
    expected[9] = contents[9];
    QCOMPARE(alone.toType1().toHex(' '), expected.toHex(' '));
    QCOMPARE(controller.getPatch().toType1(), type1(controller));
}

// FIFOs, folders and oversized files go through the dialogs' tests.
void TestMidiController::loadOpensOnlyRegularFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<PatchFileFault>("fault");

    QTest::newRow("character device") << "device" << PatchFileFault::NotRegularFile;
    QTest::newRow("empty name") << "empty" << PatchFileFault::CannotRead;
    QTest::newRow("unreadable") << "unreadable" << PatchFileFault::CannotRead;
    QTest::newRow("link to a patch") << "link" << PatchFileFault::None;
}

void TestMidiController::loadOpensOnlyRegularFiles()
{
    QFETCH(QString, kind);
    QFETCH(PatchFileFault, fault);

    QTemporaryDir folder;
    QString path = folder.filePath(QStringLiteral("patch.syx"));
    QByteArray patch = deviceMessage(0x61);
    patch.replace(11, 16, QByteArray("From the file").leftJustified(16, '\0'));
    if (kind == QLatin1String("device")) {
        path = QStringLiteral("/dev/zero");
    } else if (kind == QLatin1String("empty")) {
        path.clear();
    } else if (kind == QLatin1String("unreadable")) {
        QVERIFY(writeFile(path, patch));
        QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
        if (QFile(path).open(QIODevice::ReadOnly))
            QSKIP("permissions do not stop this user (root)");
    } else {
        QVERIFY(writeFile(folder.filePath(QStringLiteral("target.syx")), patch));
        QVERIFY(QFile::link(folder.filePath(QStringLiteral("target.syx")), path));
    }

    MidiController controller(noDevice());
    const QByteArray before = type1(controller);
    PatchFileFault found = PatchFileFault::NotPatch;
    QCOMPARE(controller.loadSysex(path, &found), fault == PatchFileFault::None);
    QCOMPARE(found, fault);
    if (fault == PatchFileFault::None) {
        QCOMPARE(controller.getPresetName(), QStringLiteral("From the file"));
        patch[9] = 0; // the editor keeps its preset number
        QCOMPARE(type1(controller), patch);
    } else {
        QCOMPARE(type1(controller), before);
    }
}

void TestMidiController::namesAreTracedWithControlCharactersEscaped()
{
    QByteArray message = deviceMessage();
    message.replace(11, 16,
                    QByteArray("\x1b]0;pwn\x07\x1b[2J\x9b"
                               "1m")
                        .leftJustified(16, '\0'));
    MidiController controller(noDevice());
    TraceCapture traces;
    QVERIFY(controller.parseType2Message(message));
    controller.getType1Sysex();
    const QString shown = QStringLiteral("\\x1b]0;pwn\\x07\\x1b[2J\\x9b1m");
    QVERIFY(traces.contains(QStringLiteral("parseType2Message name: ") + shown));
    QVERIFY(traces.contains(QStringLiteral("setPresetName ") + shown));
    QVERIFY(traces.contains(QStringLiteral("getType1Sysex ") + shown));
    // The name itself is kept as it came.
    QCOMPARE(controller.getPresetName(),
             QString::fromLatin1("\x1b]0;pwn\x07\x1b[2J\x9b"
                                 "1m"));
    for (const QString &line : traces.lines()) {
        for (const QChar c : line)
            QVERIFY2(c.isPrint(), qPrintable(line.toUtf8().toPercentEncoding(" :")));
    }
}

void TestMidiController::saveFailsWithoutTouchingAnything()
{
    MidiController controller(noDevice());
    QVERIFY(!controller.saveSysex(QString()));
    QVERIFY(!controller.saveSysex(workDir.filePath(QStringLiteral("missing/dir/patch.syx"))));
    QVERIFY(!controller.loadSysex(QString()));
    QVERIFY(!controller.loadSysex(workDir.filePath(QStringLiteral("does-not-exist.syx"))));

    // An existing patch is replaced whole on success and left alone when the target is unusable.
    const QString path = workDir.filePath(QStringLiteral("keep.syx"));
    controller.setPresetName(QStringLiteral("first"));
    QVERIFY(controller.saveSysex(path));
    controller.setPresetName(QStringLiteral("second"));
    QVERIFY(controller.saveSysex(path));
    QCOMPARE(readFile(path), type1(controller));
    QVERIFY(!controller.saveSysex(workDir.path())); // a directory
}

void TestMidiController::saveThatFailsPartWayKeepsTheOldFile()
{
#ifdef Q_OS_UNIX
    const QString folder = workDir.filePath(QStringLiteral("part-way"));
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/patch.syx");
    MidiController controller(noDevice());
    controller.setPresetName(QStringLiteral("old"));
    QVERIFY(controller.saveSysex(path));
    const QByteArray old = readFile(path);

    controller.setPresetName(QStringLiteral("new"));
    for (const rlim_t room : {rlim_t(0), rlim_t(100), rlim_t(347)}) {
        FileSizeLimit full(room);
        QVERIFY(full.isActive());
        QVERIFY2(!controller.saveSysex(path), qPrintable(QString::number(room)));
    }
    QCOMPARE(readFile(path), old);
    // Nothing half-written is left beside it, and the next save goes through.
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"patch.syx"});
    QVERIFY(controller.saveSysex(path));
    QCOMPARE(readFile(path), type1(controller));
#else
    QSKIP("needs a file size limit");
#endif
}

void TestMidiController::arrivingPatchSaysWhatWasBroughtIntoRange_data()
{
    QTest::addColumn<int>("colour"); // PAD7's colour byte
    QTest::addColumn<QString>("status");

    QTest::newRow("in range") << 2 << "Patch uploaded.";
    QTest::newRow("out of range") << 0x7F
                                  << "Patch uploaded. 1 value was out of range and was brought "
                                     "into range (PAD7 Color 127 \u2192 2)";
}

void TestMidiController::arrivingPatchSaysWhatWasBroughtIntoRange()
{
    QFETCH(int, colour);
    QFETCH(QString, status);
    SimulatedDevice *device = nullptr;
    MidiController controller(plug(device));
    QSignalSpy said(&controller, &MidiController::statusMessage);
    QByteArray patch = SimulatedDevice::ownPatch();
    const MidiControlModel &pad7 = *controller.getModels()->at(45);
    patch[int(pad7.getParameter(Colour)->address())] = char(colour);
    device->send(patch);
    QVERIFY(said.wait());
    QCOMPARE(said.first().first().toString(), status);
    QCOMPARE(int(pad7.getParameter(Colour)->value()), 2);
}

void TestMidiController::portOpensOnlyWhenAsked_data()
{
    QTest::addColumn<bool>("attached");
    QTest::addColumn<QString>("devicePort");
    QTest::addColumn<bool>("opened");
    QTest::newRow("device") << true << QStringLiteral("Vellichord") << true;
    QTest::newRow("no device") << false << QStringLiteral("Vellichord") << false;
    QTest::newRow("device in update mode") << true << QStringLiteral("Vellichord Updater") << true;
    QTest::newRow("another name") << true << QStringLiteral("Vellichord Updater 2") << false;
}

void TestMidiController::portOpensOnlyWhenAsked()
{
    QFETCH(bool, attached);
    QFETCH(QString, devicePort);
    QFETCH(bool, opened);
    SimulatedDevice *device = nullptr;
    MidiController controller(plug(device, attached), devicePort.toLatin1());
    device->portNames << QStringLiteral("Vellichord Updater");
    // Constructing takes no time with the MIDI system: nothing is opened, nothing is sent.
    QCOMPARE(device->connects, 0);
    QVERIFY(device->received.isEmpty());
    QCOMPARE(controller.open(), opened);
    QCOMPARE(device->connects, 1);
    QCOMPARE(QString::fromStdString(device->connectedName()), opened ? devicePort : QString());
    QVERIFY(device->received.isEmpty());
}

void TestMidiController::uploadAnswerIsAppliedAndReported_data()
{
    QTest::addColumn<SimulatedDevice::Reply>("reply");
    QTest::addColumn<bool>("applied");
    QTest::addColumn<QString>("trace");
    QTest::newRow("patch") << SimulatedDevice::Reply::Patch << true << QString();
    QTest::newRow("silent") << SimulatedDevice::Reply::Nothing << false << QString();
    QTest::newRow("truncated") << SimulatedDevice::Reply::Truncated << false
                               << "ignored a SysEx message that is not a patch";
    QTest::newRow("other kind") << SimulatedDevice::Reply::OtherKind << false
                                << "parseType2Message: not a patch, kind byte 98";
    QTest::newRow("overlong") << SimulatedDevice::Reply::Overlong << false
                              << "Sysex buffer overflow, sysex terminator not found after 1024 "
                                 "bytes.";
}

void TestMidiController::uploadAnswerIsAppliedAndReported()
{
    QFETCH(SimulatedDevice::Reply, reply);
    QFETCH(bool, applied);
    QFETCH(QString, trace);

    const QByteArray defaults = type1(*std::make_unique<MidiController>(noDevice()));
    TraceCapture traces;
    SimulatedDevice *device = nullptr;
    MidiController controller(plug(device, true, reply));
    QSignalSpy updated(&controller, &MidiController::modelUpdated);
    QSignalSpy received(&controller, &MidiController::patchReceived);
    QSignalSpy status(&controller, &MidiController::statusMessage);

    QVERIFY(controller.uploadPatch());
    QCOMPARE(device->received, QList<QByteArray>{QByteArray::fromHex("f0000000007f620000f7")});
    QVERIFY(drained(controller, *device));

    QCOMPARE(updated.count(), applied ? 1 : 0);
    QCOMPARE(received.count(), applied ? 1 : 0);
    QCOMPARE(status.count(), applied ? 1 : 0);
    if (applied) {
        QCOMPARE(status.first().first().toString(), QStringLiteral("Patch uploaded."));
        QCOMPARE(controller.getPresetName(), QStringLiteral("Simulated Device"));
        QCOMPARE(int(controller.getPresetNo()), int(SimulatedDevice::presetNo));
        const ControlTable table;
        for (int i = 0; i < ControlTable::count; ++i) {
            for (const ControlParameter &p : table.at(i)->parameters())
                QVERIFY2(valueOf(controller, i, ParameterId(p.id()))
                             == SimulatedDevice::ownValue(i, p),
                         qPrintable(QStringLiteral("control %1, parameter %2").arg(i).arg(p.id())));
        }
    } else {
        QCOMPARE(type1(controller), defaults);
    }
    if (!trace.isEmpty())
        QVERIFY2(traces.contains(trace), qPrintable(traces.lines().join('\n')));
}

void TestMidiController::downloadSendsExactlyTheCurrentModels()
{
    SimulatedDevice *device = nullptr;
    MidiController controller(plug(device));
    QSignalSpy status(&controller, &MidiController::statusMessage);
    controller.getModels()->at(45)->updateParameter(NoteOrCC, 61);
    controller.setPresetName(QStringLiteral("Encore"));

    QVERIFY(controller.downloadPatch());
    QCOMPARE(device->received.size(), 1);
    QCOMPARE(device->received.last(), type1(controller));
    QCOMPARE(device->received.last()[102], char(61));
    // Sending is the caller's to report.
    QCOMPARE(status.count(), 0);

    device->attached = false;
    QVERIFY(!controller.downloadPatch());
    QCOMPARE(device->received.size(), 1);
}

void TestMidiController::sendPatchMessageSendsOnlyAWholeType1Patch_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<bool>("sent");

    QByteArray type1 = deviceMessage(0x61);
    type1[9] = 19;
    QTest::newRow("Type 1, preset 19") << type1 << true;
    QTest::newRow("Type 1, preset 20") << QByteArray(type1).replace(9, 1, "\x14") << false;
    QTest::newRow("Type 2") << deviceMessage(0x63) << false;
    QTest::newRow("request kind") << deviceMessage(0x62) << false;
    QTest::newRow("one byte short") << type1.left(347) << false;
    QTest::newRow("one byte more") << type1 + '\xF7' << false;
    QTest::newRow("no F7 at the end") << QByteArray(type1).replace(347, 1, "\x7F") << false;
    QTest::newRow("another maker") << QByteArray(type1).replace(5, 1, "\x41") << false;
}

void TestMidiController::sendPatchMessageSendsOnlyAWholeType1Patch()
{
    QFETCH(QByteArray, message);
    QFETCH(bool, sent);

    SimulatedDevice *device = nullptr;
    MidiController controller(plug(device));
    const QByteArray editorPatch = controller.currentPatch();
    // Connects first, as downloadPatch does.
    QCOMPARE(controller.sendPatchMessage(message), sent);
    QCOMPARE(device->received, sent ? QList<QByteArray>{message} : QList<QByteArray>{});
    QCOMPARE(controller.currentPatch(), editorPatch);

    device->attached = false;
    QVERIFY(!controller.sendPatchMessage(message));
}

void TestMidiController::patchTakerComesBeforeHoldAndApply_data()
{
    QTest::addColumn<bool>("take");
    QTest::addColumn<bool>("hold");
    QTest::addColumn<int>("applied");
    QTest::addColumn<int>("held");

    QTest::newRow("taken") << true << false << 0 << 0;
    QTest::newRow("taken while held") << true << true << 0 << 0;
    QTest::newRow("left, applied") << false << false << 1 << 0;
    QTest::newRow("left, held") << false << true << 0 << 1;
}

void TestMidiController::patchTakerComesBeforeHoldAndApply()
{
    QFETCH(bool, take);
    QFETCH(bool, hold);
    QFETCH(int, applied);
    QFETCH(int, held);

    SimulatedDevice *device = nullptr;
    MidiController controller(plug(device));
    QSignalSpy received(&controller, &MidiController::patchReceived);
    QSignalSpy heldBack(&controller, &MidiController::patchHeld);
    QList<QByteArray> taken;
    controller.setPatchTaker([&](const QByteArray &message) {
        taken << message;
        return take;
    });
    controller.setPatchHold([hold] { return hold; });
    const QByteArray foreign = QByteArray::fromHex("f04100") + QByteArray(344, 1) + '\xF7';
    device->send(foreign);
    device->send(device->patchMessage());
    QVERIFY(drained(controller, *device));

    // Another maker's message is never offered.
    QCOMPARE(taken, QList<QByteArray>{device->patchMessage()});
    QCOMPARE(received.count(), applied);
    QCOMPARE(heldBack.count(), held);
    QCOMPARE(controller.getPresetName() == QLatin1String(SimulatedDevice::name), applied == 1);

    // Without a taker, the controller does as before.
    controller.setPatchTaker(nullptr);
    controller.setPatchHold(nullptr);
    device->send(device->patchMessage());
    QVERIFY(drained(controller, *device));
    QCOMPARE(received.count(), applied + 1);
    QCOMPARE(taken.size(), 1);
}

void TestMidiController::statusAnswersAreKeptForTheUpdater()
{
    SimulatedDevice *device = nullptr;
    MidiController controller(plug(device, true, SimulatedDevice::Reply::Nothing));
    QVERIFY(controller.open());
    QSignalSpy updated(&controller, &MidiController::modelUpdated);
    QSignalSpy status(&controller, &MidiController::statusMessage);
    TraceCapture traces;

    device->statusAnswer = 0x3D;
    QCOMPARE(controller.getMidi()->sendSysex(
                 reinterpret_cast<unsigned char *>(QByteArray("\xF0Qk8vR2x\xF7").data()), 9),
             0);
    QTRY_COMPARE(controller.getMonitor()->status(), 0x3D);
    QCoreApplication::processEvents();
    QCOMPARE(updated.count(), 0);
    QCOMPARE(status.count(), 0);
    QVERIFY(!traces.contains(QStringLiteral("Received: ")));
}

void TestMidiController::floodOfShortMessagesReachesNeitherParserNorLog()
{
    QTemporaryDir here;
    QVERIFY(QDir::setCurrent(here.path()));
    const auto back = qScopeGuard([this] { QDir::setCurrent(workDir.path()); });
    SimulatedDevice *device = nullptr;
    MidiController controller(plug(device));
    QSignalSpy received(&controller, &MidiController::patchReceived);
    const QByteArray flood = QByteArray::fromHex("f0010203f7").repeated(10000);
    device->send(flood);
    device->send(SimulatedDevice::ownPatch());
    device->send(flood);
    QVERIFY(drained(controller, *device));

    QCOMPARE(received.count(), 1);
    QCOMPARE(controller.getPresetName(), QStringLiteral("Simulated Device"));
    QCOMPARE(controller.getMonitor()->passedOver(), quint64(20000));
    // The patch alone was handed to the parser, and logged.
    DiagnosticLog::instance().flush();
    QCOMPARE(readFile(QStringLiteral("log.txt")).count("In: "), 1);
}

void TestMidiController::controllerCanGoWhileAnswersArePending()
{
    // Answers still queued when the controller goes away are dropped with it (the sanitizer
    // build checks that nothing freed is touched).
    for (int round = 0; round < 20; ++round) {
        SimulatedDevice *device = nullptr;
        TraceCapture traces;
        {
            MidiController controller(plug(device));
            for (int i = 0; i < round; ++i)
                device->send(device->patchMessage());
            if (round % 2)
                QTest::qWait(1);
        }
        QVERIFY(traces.contains(QStringLiteral("~MidiMonitor()")));
        QVERIFY(traces.contains(QStringLiteral("processMidi Finished")));
    }
}

void TestMidiController::trafficCarriesWhatWentOutAndCameInInOrder()
{
    SimulatedDevice *device = nullptr;
    MidiController controller(plug(device));
    QVERIFY(controller.open());
    MidiTraffic traffic;
    connect(&controller, &MidiController::traffic, this,
            [&](const MidiTraffic &batch) { traffic += batch; });

    QVERIFY(controller.uploadPatch());
    QTRY_COMPARE(traffic.size(), 2);
    QVERIFY(traffic[0].outgoing);
    QCOMPARE(traffic[0].bytes, device->received.last());
    QVERIFY(!traffic[1].outgoing);
    QCOMPARE(traffic[1].bytes.size(), 348);
    QCOMPARE(quint8(traffic[1].bytes[6]), quint8(0x63));

    device->send(QByteArray::fromHex("b90740"));
    QVERIFY(controller.downloadPatch());
    QVERIFY(controller.sendPatchMessage(type1(controller)));
    // What the port refused never went out.
    device->attached = false;
    QVERIFY(!controller.downloadPatch());
    QVERIFY(!controller.sendPatchMessage(QByteArray(10, 'x')));
    device->attached = true;
    QVERIFY(controller.uploadPatch());
    QTRY_COMPARE(traffic.size(), 7);

    // The CC came in while the patches went out: each direction keeps its own order.
    QList<QByteArray> sent;
    QList<QByteArray> received;
    for (const MidiTrafficMessage &message : traffic)
        (message.outgoing ? sent : received) << message.bytes;
    QCOMPARE(sent, device->received);
    QCOMPARE(sent.size(), 4);
    QCOMPARE(received.size(), 3);
    QCOMPARE(received[1], QByteArray::fromHex("b90740"));
    QCOMPARE(received[2].size(), 348);
    QCOMPARE(quint8(received[2][6]), quint8(0x63));
}

QTEST_GUILESS_MAIN(TestMidiController)
#include "tst_midicontroller.moc"
