#include "../common/controllerprobe.h"
#include "../common/files.h"
#include "../common/simulateddevice.h"
#include "../common/tracecapture.h"
#include "controltable.h"
#include "deviceclaim.h"
#include "midicontroller.h"
#include "midimonitor.h"
#include "patch.h"
#include "patchcommand.h"
#include "patchdocument.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QUndoStack>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(SimulatedDevice::Reply)

// The editor's patch, its undo steps and what the device holds, without any window: the
// document talks to a simulated device through its own controller.
namespace {

// A document with what it has said so far.
struct Probe
{
    explicit Probe(std::unique_ptr<IMidi> midi)
        : document(std::move(midi))
        , texts(&document, &PatchDocument::statusMessage)
        , unsent(&document, &PatchDocument::unsentChanged)
    {
    }

    QString status() const { return texts.isEmpty() ? QString() : texts.last().at(0).toString(); }
    QStringList allTexts() const
    {
        QStringList all;
        for (const QList<QVariant> &args : texts)
            all << args.at(0).toString();
        return all;
    }
    QByteArray type1() { return ::type1(*document.controller()); }
    QUndoStack &stack() { return *document.undoStack(); }

    PatchDocument document;
    QSignalSpy texts;
    QSignalSpy unsent;
};

// A document started on a device that has answered its first request.
std::unique_ptr<Probe> connected(SimulatedDevice *&device,
                                 SimulatedDevice::Reply reply = SimulatedDevice::Reply::Patch)
{
    auto probe = std::make_unique<Probe>(plug(device, true, reply));
    probe->document.start();
    if (reply == SimulatedDevice::Reply::Patch
        && !QTest::qWaitFor([&] { return probe->status() == QStringLiteral("Patch uploaded."); }))
        return nullptr;
    return probe;
}

int addressOf(PatchDocument &document, int control, ParameterId id)
{
    return int(document.controls().at(control)->getParameter(id)->address());
}

} // namespace

class TestPatchDocument : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void startsWithOrWithoutADevice_data();
    void startsWithOrWithoutADevice();
    void uploadTakesTheDevicesPatchAsOneStep();
    void uploadOverUnsentChangesIsOneStep();
    void eachUploadIsAnsweredAndApplied();
    void unansweredUploadSaysSoOnlyOverItsOwnText();
    void downloadSendsExactlyTheCurrentModels();
    void downloadClearsTheUnsentSet();
    void undoBackToTheDevicesBytesClearsTheUnsentSet();
    void applyEditNamesItsStep_data();
    void applyEditNamesItsStep();
    void applyEditPinsValuesToTheParameter();
    void loadIsOneStepWithOneText_data();
    void loadIsOneStepWithOneText();
    void saveWritesThePatch_data();
    void saveWritesThePatch();
    void unrequestedPatch_data();
    void unrequestedPatch();
    void unrequestedPatchesMergeWithinASecond_data();
    void unrequestedPatchesMergeWithinASecond();
    void aBurstOfUnrequestedPatchesIsOneStep();
    void typingIsOneStepPerBurst();
    void restoreUnsentIsOneStep();
    void refusedWhileAnotherProgramUpdates_data();
    void refusedWhileAnotherProgramUpdates();
    void nothingReachesTheDeviceWhileTheUpdaterIsBusy();
    void answerThatIsNoPatchChangesNothing_data();
    void answerThatIsNoPatchChangesNothing();
    void statusAnswersAreKeptForTheUpdater();
    void savedDevicePatchLoadsIntoAnotherEditor();

private:
    QTemporaryDir workDir;
};

void TestPatchDocument::initTestCase()
{
    QVERIFY(workDir.isValid());
    QVERIFY(QDir::setCurrent(workDir.path())); // log.txt goes here
    // The device's claims are this test's alone.
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(workDir.path()));
}

void TestPatchDocument::startsWithOrWithoutADevice_data()
{
    QTest::addColumn<bool>("attached");
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("noDeviceFound");
    QTest::newRow("device") << true << "Ready" << false;
    QTest::newRow("none") << false << "No Vellichord found" << true;
}

void TestPatchDocument::startsWithOrWithoutADevice()
{
    QFETCH(bool, attached);
    QFETCH(QString, status);
    QFETCH(bool, noDeviceFound);

    SimulatedDevice *device = nullptr;
    Probe probe(plug(device, attached, SimulatedDevice::Reply::Nothing));
    QSignalSpy found(&probe.document, &PatchDocument::deviceFoundChanged);
    const QByteArray factory = probe.type1();
    QCOMPARE(probe.document.patch(), factory);
    QCOMPARE(probe.document.devicePatch(), factory);
    probe.document.start();
    QCOMPARE(probe.allTexts(), QStringList{status});
    QCOMPARE(probe.document.noDeviceFound(), noDeviceFound);
    QCOMPARE(probe.document.answerAwaited(), attached);
    QCOMPARE(found.count(), noDeviceFound ? 1 : 0);
    QCOMPARE(device->received.size(), attached ? 1 : 0);

    // A device plugged in later is asked for its patch, and is found.
    device->attached = true;
    device->reply = SimulatedDevice::Reply::Patch;
    probe.document.deviceAppeared();
    QVERIFY(!probe.document.noDeviceFound());
    QCOMPARE(found.count(), noDeviceFound ? 2 : 0);
    QTRY_COMPARE(probe.status(), QStringLiteral("Patch uploaded."));
    Patch own;
    QVERIFY(own.apply(SimulatedDevice::ownPatch()));
    QCOMPARE(probe.type1(), own.toType1());
}

void TestPatchDocument::uploadTakesTheDevicesPatchAsOneStep()
{
    SimulatedDevice *device = nullptr;
    auto probe = connected(device);
    QVERIFY(probe);
    PatchDocument &document = probe->document;
    QCOMPARE(probe->stack().count(), 1);
    QCOMPARE(probe->stack().text(0), QStringLiteral("Patch from Vellichord"));
    QCOMPARE(document.patch(), probe->type1());
    QCOMPARE(document.devicePatch(), document.patch());
    QVERIFY(!document.answerAwaited());
    QVERIFY(!document.hasUnsentChanges());

    QByteArray own = SimulatedDevice::ownPatch();
    own[addressOf(document, 3, Max)] = 9;
    device->reply = SimulatedDevice::Reply::Nothing;
    QVERIFY(document.upload());
    QCOMPARE(probe->status(), QStringLiteral("Waiting for upload..."));
    QVERIFY(document.answerAwaited());
    device->send(own);
    QTRY_COMPARE(probe->status(), QStringLiteral("Patch uploaded."));
    QCOMPARE(probe->stack().count(), 2);
    QCOMPARE(probe->type1().at(addressOf(document, 3, Max)), char(9));
    QCOMPARE(document.devicePatch(), probe->type1());
    QVERIFY(!document.hasUnsentChanges());
    probe->stack().undo();
    QCOMPARE(probe->type1().at(addressOf(document, 3, Max)),
             SimulatedDevice::ownPatch().at(addressOf(document, 3, Max)));
    // Undone, the editor's patch is no longer what the device holds.
    QCOMPARE(document.unsentControls(), QList<int>{3});
}

void TestPatchDocument::uploadOverUnsentChangesIsOneStep()
{
    SimulatedDevice *device = nullptr;
    auto probe = connected(device);
    QVERIFY(probe);
    PatchDocument &document = probe->document;
    const QByteArray fromDevice = document.patch();
    document.applyEdit({30, 31}, Channel, 15);
    document.setPresetName(QStringLiteral("mine"));
    QVERIFY(document.hasUnsentChanges());
    const int steps = probe->stack().count();

    QVERIFY(document.upload());
    QTRY_COMPARE(probe->status(), QStringLiteral("Patch uploaded."));
    QCOMPARE(probe->type1(), fromDevice);
    QVERIFY(!document.hasUnsentChanges());
    QCOMPARE(probe->stack().count(), steps + 1);
    QCOMPARE(probe->stack().undoText(), QStringLiteral("Patch from Vellichord"));
    probe->stack().undo();
    QCOMPARE(document.controller()->getPresetName(), QStringLiteral("mine"));
    QCOMPARE(document.unsentControls(), (QList<int>{30, 31}));
}

// Moved from the window's device tests: the window only pressed Upload.
void TestPatchDocument::eachUploadIsAnsweredAndApplied()
{
    SimulatedDevice *device = nullptr;
    auto probe = connected(device, SimulatedDevice::Reply::Nothing);
    MidiController &controller = *probe->document.controller();
    QSignalSpy updated(&controller, &MidiController::modelUpdated);

    device->reply = SimulatedDevice::Reply::Patch;
    probe->document.upload();
    QCOMPARE(probe->status(), QStringLiteral("Waiting for upload..."));
    probe->document.upload();
    QCOMPARE(probe->status(), QStringLiteral("Waiting for upload..."));

    QCOMPARE(device->received.size(), 3); // the start-up request and two more
    QCOMPARE(device->received.count(QByteArray::fromHex("f0000000007f620000f7")), 3);
    QTRY_COMPARE(updated.count(), 2);
    QVERIFY(drained(controller, *device));
    QCOMPARE(updated.count(), 2);
    QCOMPARE(probe->status(), QStringLiteral("Patch uploaded."));
    QCOMPARE(controller.getPresetName(), QStringLiteral("Simulated Device"));
}

void TestPatchDocument::unansweredUploadSaysSoOnlyOverItsOwnText()
{
    SimulatedDevice *device = nullptr;
    auto probe = connected(device, SimulatedDevice::Reply::Nothing);
    PatchDocument &document = probe->document;
    auto *wait = document.findChild<QTimer *>(QStringLiteral("uploadAnswerTimer"));
    QVERIFY(wait);
    QCOMPARE(wait->interval(), PatchDocument::uploadAnswerWaitMs);
    wait->setInterval(10);
    QSignalSpy followUp(&document, &PatchDocument::statusFollowUp);
    QSignalSpy ended(&document, &PatchDocument::answerWaitEnded);
    document.upload();
    QVERIFY(ended.wait());
    QVERIFY(!document.answerAwaited());
    QCOMPARE(followUp.count(), 1);
    QCOMPARE(followUp.first().at(0).toString(),
             QStringLiteral("Upload failed: no answer from Vellichord"));
    QCOMPARE(followUp.first().at(1).toString(), QStringLiteral("Waiting for upload..."));
    QCOMPARE(probe->stack().count(), 0);
}

// Moved from the window's device tests: the window set the name through its field.
void TestPatchDocument::downloadSendsExactlyTheCurrentModels()
{
    SimulatedDevice *device = nullptr;
    auto probe = connected(device);
    QVERIFY(probe);
    MidiController &controller = *probe->document.controller();

    controller.getModels()->at(45)->updateParameter(NoteOrCC, 61);
    controller.getModels()->at(3)->updateParameter(Max, 100);
    probe->document.setPresetName(QStringLiteral("Encore"));
    QVERIFY(probe->document.download());
    QCOMPARE(probe->status(), QStringLiteral("Patch downloaded"));

    QCOMPARE(device->received.size(), 2);
    const QByteArray sent = device->received.last();
    QCOMPARE(sent.size(), 348);
    QCOMPARE(sent, type1(controller));
    // What the device sent at start-up, as Type 1, with the three edits.
    QByteArray expected = SimulatedDevice().patchMessage();
    expected[6] = 0x61;
    expected.replace(11, 16, QByteArray("Encore").leftJustified(16, '\0'));
    expected[102] = 61; // pad 7 NoteOrCC
    expected[42] = 100; // S4 Max
    QCOMPARE(sent.toHex(' '), expected.toHex(' '));
}

void TestPatchDocument::downloadClearsTheUnsentSet()
{
    SimulatedDevice *device = nullptr;
    auto probe = connected(device);
    QVERIFY(probe);
    PatchDocument &document = probe->document;
    document.applyEdit({16, 17}, Channel, 9);
    QCOMPARE(document.unsentControls(), (QList<int>{16, 17}));
    const int signalled = probe->unsent.count();

    device->attached = false;
    QVERIFY(!document.download());
    QCOMPARE(probe->status(), QStringLiteral("Download failed: Vellichord not connected"));
    QVERIFY(document.hasUnsentChanges());
    QCOMPARE(probe->unsent.count(), signalled);

    device->attached = true;
    QVERIFY(document.download());
    QCOMPARE(device->received.last(), document.patch());
    QCOMPARE(document.devicePatch(), document.patch());
    QVERIFY(!document.hasUnsentChanges());
    QCOMPARE(probe->unsent.count(), signalled + 1);
    // A download is no step: undo goes back before the edit, which the device now lacks.
    probe->stack().undo();
    QCOMPARE(document.unsentControls(), (QList<int>{16, 17}));
}

void TestPatchDocument::undoBackToTheDevicesBytesClearsTheUnsentSet()
{
    SimulatedDevice *device = nullptr;
    auto probe = connected(device);
    QVERIFY(probe);
    PatchDocument &document = probe->document;
    QSignalSpy changed(&document, &PatchDocument::patchChanged);
    document.applyEdit({45}, Colour, 2);
    document.applyEdit({0, 5}, Max, 7);
    QCOMPARE(document.unsentControls(), (QList<int>{0, 5, 45}));
    QCOMPARE(changed.count(), 0); // an edit is no replacement

    probe->stack().undo();
    QCOMPARE(document.unsentControls(), QList<int>{45});
    probe->stack().undo();
    QVERIFY(!document.hasUnsentChanges());
    QCOMPARE(document.unsentControls(), QList<int>());
    QCOMPARE(probe->type1(), document.devicePatch());
    QCOMPARE(changed.count(), 2);
    QCOMPARE(changed.last().at(0).value<PatchDocument::Replacement>(),
             PatchDocument::Replacement::Restored);
    // The device's bytes reached by setting a value back by hand count the same.
    probe->stack().redo();
    QVERIFY(document.hasUnsentChanges());
    const unsigned char was = static_cast<unsigned char>(
        document.devicePatch().at(addressOf(document, 45, Colour)));
    document.applyEdit({45}, Colour, was);
    QVERIFY(!document.hasUnsentChanges());
    QCOMPARE(probe->stack().count(), 3);
}

void TestPatchDocument::applyEditNamesItsStep_data()
{
    QTest::addColumn<QList<int>>("before"); // set to the value first, as a step of their own
    QTest::addColumn<QList<int>>("controls");
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("one pad's colour")
        << QList<int>() << QList<int>{45} << int(Colour) << 2 << "Set Color of PAD7";
    QTest::newRow("three knobs' channel") << QList<int>() << QList<int>{16, 17, 18} << int(Channel)
                                          << 5 << "Set Channel on 3 controls";
    QTest::newRow("a slider's maximum")
        << QList<int>() << QList<int>{0} << int(Max) << 100 << "Set Max of S1";
    QTest::newRow("colour of pads and a knob without one")
        << QList<int>() << QList<int>{16, 39, 40} << int(Colour) << 2 << "Set Color on 2 controls";
    QTest::newRow("a value one of them had already")
        << QList<int>{39} << QList<int>{39, 40} << int(Colour) << 2 << "Set Color on 2 controls";
    QTest::newRow("the value they all had")
        << QList<int>{39, 40} << QList<int>{40, 39} << int(Colour) << 2 << QString();
}

void TestPatchDocument::applyEditNamesItsStep()
{
    QFETCH(QList<int>, before);
    QFETCH(QList<int>, controls);
    QFETCH(int, id);
    QFETCH(int, value);
    QFETCH(QString, text);

    Probe probe(noDevice());
    if (!before.isEmpty())
        probe.document.applyEdit(before, ParameterId(id), value);
    const int steps = probe.stack().count();
    probe.document.applyEdit(controls, ParameterId(id), value);
    QCOMPARE(probe.stack().count(), steps + (text.isEmpty() ? 0 : 1));
    if (!text.isEmpty())
        QCOMPARE(probe.stack().undoText(), text);
    QCOMPARE(probe.document.patch(), probe.type1());
}

void TestPatchDocument::applyEditPinsValuesToTheParameter()
{
    Probe probe(noDevice());
    PatchDocument &document = probe.document;
    const ControlParameter *max = document.controls().at(0)->getParameter(Max);
    document.applyEdit({0}, Max, 300);
    QCOMPARE(int(static_cast<unsigned char>(document.patch().at(int(max->address())))), max->max());
    document.applyEdit({0}, Max, -5);
    QCOMPARE(int(static_cast<unsigned char>(document.patch().at(int(max->address())))), max->min());
}

void TestPatchDocument::loadIsOneStepWithOneText_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("status");

    QByteArray file = SimulatedDevice::ownPatch();
    file[6] = 0x61;
    QTest::newRow("patch") << file << "Settings File Loaded";
    QByteArray wide = file;
    wide[int(ControlTable().at(0)->getParameter(Channel)->address())] = char(0x7F);
    QTest::newRow("value out of range") << wide << "Settings File Loaded; %1";
    QTest::newRow("short") << file.left(100) << "Could not load";
    QTest::newRow("not a patch") << QByteArray(348, 'x') << "Could not load";
}

void TestPatchDocument::loadIsOneStepWithOneText()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, status);

    const QString path = workDir.filePath(QStringLiteral("%1.syx").arg(QTest::currentDataTag()));
    QVERIFY(writeFile(path, content));
    Probe probe(noDevice());
    PatchDocument &document = probe.document;
    document.controller()->setPresetNo(3);
    QSignalSpy changed(&document, &PatchDocument::patchChanged);
    const QByteArray before = document.patch();
    const bool loads = !status.startsWith(QStringLiteral("Could not"));

    QCOMPARE(document.load(path), loads);
    // Only the document's own text, never the controller's "Patch uploaded." first.
    QCOMPARE(probe.texts.count(), 1);
    if (loads) {
        Patch expected;
        QVERIFY(expected.apply(content));
        const QString outOfRange = out_of_range_text(expected.broughtIntoRange());
        QCOMPARE(outOfRange.isEmpty(), !status.contains(QStringLiteral("%1")));
        QCOMPARE(probe.status(), outOfRange.isEmpty() ? status : status.arg(outOfRange));
        expected.setPresetNo(3);
        QCOMPARE(document.patch(), expected.toType1());
        QCOMPARE(probe.stack().count(), 1);
        QCOMPARE(probe.stack().undoText(), QStringLiteral("Load patch file"));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.first().at(0).value<PatchDocument::Replacement>(),
                 PatchDocument::Replacement::Arrived);
        // Loaded, not sent: the device (taken to hold the start's patch) lacks it.
        QVERIFY(document.hasUnsentChanges());
        probe.stack().undo();
        QCOMPARE(document.patch(), before);
    } else {
        QByteArray read;
        const PatchFileFault fault = read_patch_file(path, &read);
        QCOMPARE(probe.status(),
                 QStringLiteral("Could not load settings file: %1: %2")
                     .arg(path, patch_file_fault_text(fault)));
        QCOMPARE(document.patch(), before);
        QCOMPARE(probe.stack().count(), 0);
        QCOMPARE(changed.count(), 0);
    }
}

void TestPatchDocument::saveWritesThePatch_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("saved");
    QTest::newRow("file") << "saved.syx" << true;
    QTest::newRow("missing folder") << "no/such/folder/saved.syx" << false;
    QTest::newRow("a folder") << "." << false;
}

void TestPatchDocument::saveWritesThePatch()
{
    QFETCH(QString, name);
    QFETCH(bool, saved);

    Probe probe(noDevice());
    PatchDocument &document = probe.document;
    document.applyEdit({45}, Colour, 2);
    const QString path = workDir.filePath(name);
    QCOMPARE(document.save(path), saved);
    QCOMPARE(probe.status(),
             saved ? QStringLiteral("Settings file saved: %1").arg(path)
                   : QStringLiteral("Could not save settings file: ") + path);
    if (saved)
        QCOMPARE(readFile(path), document.patch());
    // Saving is no step and sends nothing: the change is still unsent.
    QCOMPARE(probe.stack().count(), 1);
    QVERIFY(document.hasUnsentChanges());
}

void TestPatchDocument::unrequestedPatch_data()
{
    QTest::addColumn<bool>("edited");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("kept");
    QTest::addColumn<QString>("status");

    const QString changed = QStringLiteral(
        "The Vellichord's patch changed; your unsent changes are "
        "kept. Upload takes the device's patch.");
    QTest::newRow("unasked, over unsent edits") << true << false << true << changed;
    QTest::newRow("unasked, nothing unsent") << false << false << false << "Patch uploaded.";
    QTest::newRow("asked by Upload, over unsent edits")
        << true << true << false << "Patch uploaded.";
}

// A patch the editor did not ask for never replaces unsent edits: it becomes the patch the
// device is known to hold, and reverting takes it as one step.
void TestPatchDocument::unrequestedPatch()
{
    QFETCH(bool, edited);
    QFETCH(bool, asked);
    QFETCH(bool, kept);
    QFETCH(QString, status);

    SimulatedDevice *device = nullptr;
    auto probe = connected(device);
    QVERIFY(probe);
    PatchDocument &document = probe->document;
    if (edited)
        document.applyEdit({30, 31}, Channel, 16);
    const QByteArray before = document.patch();
    const int steps = probe->stack().count();
    if (asked) {
        device->reply = SimulatedDevice::Reply::Nothing;
        QVERIFY(document.upload());
    }

    QByteArray own = SimulatedDevice::ownPatch();
    own.replace(11, 16, QByteArray("on its own\0\0\0\0\0\0", 16));
    own[addressOf(document, 5, Max)] = char(3);
    Patch onDevice;
    QVERIFY(onDevice.apply(own));
    const int said = probe->texts.count();
    device->send(own);
    QTRY_VERIFY(probe->texts.count() > said);
    QCOMPARE(probe->status(), status);

    QCOMPARE(document.patch(), kept ? before : onDevice.toType1());
    QCOMPARE(probe->type1(), document.patch());
    QCOMPARE(document.devicePatch(), onDevice.toType1());
    QCOMPARE(probe->stack().count(), kept ? steps : steps + 1);
    QCOMPARE(document.unsentControls(), kept ? (QList<int>{5, 30, 31}) : QList<int>());
    if (!kept)
        return;
    document.revertToDevice();
    QCOMPARE(document.patch(), onDevice.toType1());
    QCOMPARE(document.controller()->getPresetName(), QStringLiteral("on its own"));
    QVERIFY(!document.hasUnsentChanges());
    QCOMPARE(probe->stack().count(), steps + 1);
    QCOMPARE(probe->stack().undoText(), QStringLiteral("Revert to Device Patch"));
    // Nothing unsent: reverting again is no step.
    document.revertToDevice();
    QCOMPARE(probe->stack().count(), steps + 1);
    probe->stack().undo();
    QCOMPARE(probe->type1(), before);
    QCOMPARE(document.unsentControls(), (QList<int>{5, 30, 31}));
}

// Moved from the window's undo tests.
void TestPatchDocument::unrequestedPatchesMergeWithinASecond_data()
{
    QTest::addColumn<qint64>("gap");
    QTest::addColumn<bool>("secondRequested");
    QTest::addColumn<int>("steps");
    QTest::addColumn<QByteArray>("afterOneUndo");

    QTest::newRow("together") << qint64(0) << false << 1 << QByteArray("start");
    QTest::newRow("a second apart")
        << PatchCommand::unrequestedBurstMs << false << 1 << QByteArray("start");
    QTest::newRow("more than a second apart")
        << PatchCommand::unrequestedBurstMs + 1 << false << 2 << QByteArray("start+");
    QTest::newRow("an answer to a request between")
        << qint64(0) << true << 3 << QByteArray("start++");
}

void TestPatchDocument::unrequestedPatchesMergeWithinASecond()
{
    QFETCH(qint64, gap);
    QFETCH(bool, secondRequested);
    QFETCH(int, steps);
    QFETCH(QByteArray, afterOneUndo);

    QByteArray shown("start");
    const auto apply = [&shown](const QByteArray &patch) { shown = patch; };
    QUndoStack stack;
    // Three patches; the gap is between the first and the second, the third comes at once.
    const QList<QPair<qint64, bool>> patches = {
        {5000, false}, {5000 + gap, secondRequested}, {5000 + gap, false}};
    for (const auto &[at, requested] : patches) {
        const QByteArray before = shown;
        shown += '+';
        auto *step = new PatchCommand(apply, before, shown,
                                      QStringLiteral("Patch from Vellichord"));
        if (!requested)
            step->setUnrequestedArrival(at);
        stack.push(step);
    }
    QCOMPARE(stack.count(), steps);
    stack.undo();
    QCOMPARE(shown, afterOneUndo);
}

// Moved from the window's undo tests: the window only showed the status text and triggered
// Upload.
void TestPatchDocument::aBurstOfUnrequestedPatchesIsOneStep()
{
    SimulatedDevice *device = nullptr;
    auto probe = connected(device);
    QVERIFY(probe);
    QUndoStack *stack = probe->document.undoStack();
    QCOMPARE(stack->count(), 1);
    const QByteArray start = probe->type1();

    const int max = addressOf(probe->document, 0, Max);
    QByteArray patch = SimulatedDevice::ownPatch();
    for (char value : {3, 4, 5}) {
        patch[max] = value;
        device->send(patch);
    }
    QTRY_COMPARE(probe->type1().at(max), char(5));
    QCOMPARE(stack->count(), 2);
    QCOMPARE(stack->text(1), QStringLiteral("Patch from Vellichord"));
    const QByteArray burst = probe->type1();

    // The answer to Upload is a step of its own, however soon it follows.
    probe->document.upload();
    QTRY_COMPARE(probe->type1().at(max), SimulatedDevice::ownPatch().at(max));
    QCOMPARE(stack->count(), 3);
    stack->undo();
    QCOMPARE(probe->type1(), burst);
    stack->undo();
    QCOMPARE(probe->type1(), start);
}

void TestPatchDocument::typingIsOneStepPerBurst()
{
    Probe probe(noDevice());
    PatchDocument &document = probe.document;
    QCOMPARE(probe.stack().undoLimit(), PatchDocument::undoLimit);
    const QString start = document.controller()->getPresetName();
    for (const char *name : {"a", "ab", "abc"})
        document.setPresetName(QLatin1String(name));
    QCOMPARE(probe.stack().count(), 1);
    document.endNameBurst();
    document.setPresetName(QStringLiteral("abcx"));
    QCOMPARE(probe.stack().count(), 2);
    // Typed and taken back within one burst: nothing more to undo.
    document.setPresetName(QStringLiteral("abc"));
    QCOMPARE(probe.stack().count(), 1);
    document.setPresetName(QStringLiteral("abcde"));
    QCOMPARE(probe.stack().text(1), QStringLiteral("Rename preset"));
    probe.stack().undo();
    QCOMPARE(document.controller()->getPresetName(), QStringLiteral("abc"));
    // After an undo, typing starts a step of its own.
    document.setPresetName(QStringLiteral("abcz"));
    QCOMPARE(probe.stack().count(), 2);
    probe.stack().undo();
    probe.stack().undo();
    QCOMPARE(document.controller()->getPresetName(), start);
}

void TestPatchDocument::restoreUnsentIsOneStep()
{
    SimulatedDevice *device = nullptr;
    auto probe = connected(device);
    QVERIFY(probe);
    PatchDocument &document = probe->document;
    QByteArray kept = document.patch();
    kept[9] = 12; // the preset number too, byte for byte
    kept[addressOf(document, 20, Channel)] = 4;
    QSignalSpy changed(&document, &PatchDocument::patchChanged);
    document.restoreUnsent(kept);
    QCOMPARE(probe->type1(), kept);
    QCOMPARE(document.patch(), kept);
    QCOMPARE(probe->stack().undoText(), QStringLiteral("Restore unsent changes"));
    QCOMPARE(document.unsentControls(), QList<int>{20});
    QCOMPARE(changed.count(), 1);
    probe->stack().undo();
    QVERIFY(!document.hasUnsentChanges());
}

// Moved from the window's unsent tests: the window only pressed the buttons.
void TestPatchDocument::refusedWhileAnotherProgramUpdates_data()
{
    QTest::addColumn<QString>("action");
    QTest::newRow("Download") << "Download";
    QTest::newRow("Upload") << "Upload";
    QTest::newRow("request at start-up") << "Patch request";
}

void TestPatchDocument::refusedWhileAnotherProgramUpdates()
{
    QFETCH(QString, action);

    // Held as vellichord update holds it.
    DeviceClaim update(DeviceClaim::Kind::Update);
    SimulatedDevice *device = nullptr;
    Probe probe(plug(device));
    QVERIFY(update.take());
    if (action == QLatin1String("Download"))
        QVERIFY(!probe.document.download());
    else if (action == QLatin1String("Upload"))
        QVERIFY(!probe.document.upload());
    else
        probe.document.start();
    QCOMPARE(probe.status(),
             QStringLiteral("%1 refused: %2 is updating the Vellichord's firmware")
                 .arg(action, QFileInfo(QCoreApplication::applicationFilePath()).fileName()));
    QCOMPARE(device->received.size(), 0);
    QVERIFY(!probe.document.answerAwaited());

    update.release();
    QVERIFY(probe.document.upload());
    QCOMPARE(device->received.size(), 1);
}

void TestPatchDocument::nothingReachesTheDeviceWhileTheUpdaterIsBusy()
{
    SimulatedDevice *device = nullptr;
    Probe probe(plug(device));
    bool busy = true;
    probe.document.setBusyCheck([&busy] { return busy; });
    probe.document.applyEdit({0}, Max, 3);
    QVERIFY(!probe.document.upload());
    QVERIFY(!probe.document.download());
    QCOMPARE(device->received.size(), 0);
    QVERIFY(probe.texts.isEmpty());
    busy = false;
    QVERIFY(probe.document.download());
    QCOMPARE(device->received.size(), 1);
}

// Moved from the window's device tests.
void TestPatchDocument::answerThatIsNoPatchChangesNothing_data()
{
    QTest::addColumn<SimulatedDevice::Reply>("reply");
    QTest::addColumn<QString>("trace");
    QTest::newRow("silent") << SimulatedDevice::Reply::Nothing << QString();
    QTest::newRow("truncated") << SimulatedDevice::Reply::Truncated
                               << "ignored a SysEx message that is not a patch";
    QTest::newRow("other kind") << SimulatedDevice::Reply::OtherKind
                                << "parseType2Message: not a patch, kind byte 98";
    QTest::newRow("overlong") << SimulatedDevice::Reply::Overlong
                              << "Sysex buffer overflow, sysex terminator not found after 1024 "
                                 "bytes.";
}

void TestPatchDocument::answerThatIsNoPatchChangesNothing()
{
    QFETCH(SimulatedDevice::Reply, reply);
    QFETCH(QString, trace);

    const QByteArray defaults = Probe(noDevice()).type1();
    TraceCapture traces;
    SimulatedDevice *device = nullptr;
    Probe probe(plug(device, true, reply));
    probe.document.start();
    MidiController &controller = *probe.document.controller();
    QSignalSpy updated(&controller, &MidiController::modelUpdated);
    QVERIFY(drained(controller, *device));

    QCOMPARE(probe.status(), QStringLiteral("Ready"));
    QCOMPARE(updated.count(), 0);
    QCOMPARE(type1(controller), defaults);
    QCOMPARE(probe.stack().count(), 0);
    if (!trace.isEmpty())
        QVERIFY2(traces.contains(trace), qPrintable(traces.lines().join('\n')));
}

// Moved from the window's device tests.
void TestPatchDocument::statusAnswersAreKeptForTheUpdater()
{
    SimulatedDevice *device = nullptr;
    auto probe = connected(device, SimulatedDevice::Reply::Nothing);
    MidiController &controller = *probe->document.controller();
    QSignalSpy updated(&controller, &MidiController::modelUpdated);
    TraceCapture traces;

    device->statusAnswer = 0x3D;
    QCOMPARE(controller.getMidi()->sendSysex(
                 reinterpret_cast<unsigned char *>(QByteArray("\xF0Qk8vR2x\xF7").data()), 9),
             0);
    QTRY_COMPARE(controller.getMonitor()->status(), 0x3D);
    QCoreApplication::processEvents();
    QCOMPARE(updated.count(), 0);
    QCOMPARE(probe->status(), QStringLiteral("Ready"));
    QVERIFY(!traces.contains(QStringLiteral("Received: ")));
}

// Moved from the window's device tests: saved and loaded through the document.
void TestPatchDocument::savedDevicePatchLoadsIntoAnotherEditor()
{
    const QString path = workDir.filePath(QStringLiteral("device.syx"));
    QByteArray saved;
    {
        SimulatedDevice *device = nullptr;
        auto probe = connected(device);
        QVERIFY(probe);
        QVERIFY(probe->document.save(path));
        saved = readFile(path);
        QCOMPARE(saved, probe->type1());
    }

    Probe target(noDevice());
    target.document.controller()->setPresetNo(2);
    QVERIFY(target.document.load(path));
    QCOMPARE(target.document.controller()->getPresetName(), QStringLiteral("Simulated Device"));
    QCOMPARE(int(target.document.controller()->getPresetNo()), 2);
    QByteArray expected = saved;
    expected[9] = 2;
    QCOMPARE(target.type1().toHex(' '), expected.toHex(' '));
}

QTEST_GUILESS_MAIN(TestPatchDocument)
#include "tst_patchdocument.moc"
