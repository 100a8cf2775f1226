#include "../common/controllerprobe.h"
#include "../common/files.h"
#include "../common/librarysets.h"
#include "../common/simulateddevice.h"
#include "librarydocument.h"
#include "librarysender.h"
#include "midicontroller.h"
#include "patch.h"
#include "patchdocument.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUndoStack>
#include <QtTest>

#include <functional>
#include <memory>

// The library beside the editor's patch, without any window: each change is one step on the
// patch's undo stack, and sending and receiving go to a simulated device.
namespace {

constexpr int length = int(PatchLayout::length);

struct Probe
{
    explicit Probe(std::unique_ptr<IMidi> midi)
        : patch(std::move(midi))
        , library(&patch)
        , texts(&library, &LibraryDocument::statusMessage)
    {
    }
    QString status() const
    {
        return texts.isEmpty() ? QString() : texts.constLast().at(0).toString();
    }
    QUndoStack &stack() { return *patch.undoStack(); }
    const PatchLibrary &rows() const { return library.library(); }

    PatchDocument patch;
    LibraryDocument library;
    QSignalSpy texts;
};

// The document's connection to a device that has answered its first request.
bool started(Probe &probe)
{
    probe.patch.start();
    return QTest::qWaitFor([&] { return !probe.patch.answerAwaited(); })
        && !probe.patch.noDeviceFound();
}

} // namespace

class TestLibraryDocument : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void presetListNamesRunsAndTheLast_data();
    void presetListNamesRunsAndTheLast();
    void eachChangeIsOneStepUndoneByteForByte_data();
    void eachChangeIsOneStepUndoneByteForByte();
    void whatCannotBeDoneIsNoStep_data();
    void whatCannotBeDoneIsNoStep();
    void damagedLibraryFileChangesNothing_data();
    void damagedLibraryFileChangesNothing();
    void savedLibraryOpensAgainByteForByte();
    void receiveFillsTheRowOfTheAnswersPreset_data();
    void receiveFillsTheRowOfTheAnswersPreset();
    void devicePatchesMarkRowsWithoutFillingThem();
    void sendMarksOnlyPresetsTheDeviceStored_data();
    void sendMarksOnlyPresetsTheDeviceStored();
    void rowChangedWhileSendingIsNotMarkedSent();

private:
    QString writeLibrary(const QString &name, const QByteArray &data);

    QTemporaryDir workDir;
};

void TestLibraryDocument::initTestCase()
{
    QVERIFY(workDir.isValid());
    QVERIFY(QDir::setCurrent(workDir.path())); // log.txt goes here
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(workDir.path()));
}

QString TestLibraryDocument::writeLibrary(const QString &name, const QByteArray &data)
{
    const QString path = workDir.filePath(name);
    if (!writeFile(path, data))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void TestLibraryDocument::presetListNamesRunsAndTheLast_data()
{
    QTest::addColumn<QList<int>>("presetNos");
    QTest::addColumn<QString>("text");
    QTest::newRow("one") << QList<int>{3} << "preset 3";
    QTest::newRow("two apart") << QList<int>{3, 7} << "presets 3 and 7";
    QTest::newRow("pairs stay numbers") << QList<int>{3, 4, 7} << "presets 3, 4 and 7";
    QTest::newRow("a run of three") << QList<int>{0, 1, 2} << "presets 0\u20132";
    QTest::newRow("all") << QList<int>{0,  1,  2,  3,  4,  5,  6,  7,  8,  9,
                                       10, 11, 12, 13, 14, 15, 16, 17, 18, 19}
                         << "presets 0\u201319";
    QTest::newRow("runs and single ones")
        << QList<int>{0, 1, 2, 5, 9, 10, 11, 12, 19} << "presets 0\u20132, 5, 9\u201312 and 19";
}

void TestLibraryDocument::presetListNamesRunsAndTheLast()
{
    QFETCH(QList<int>, presetNos);
    QFETCH(QString, text);
    QCOMPARE(preset_list_text(presetNos), text);
}

void TestLibraryDocument::eachChangeIsOneStepUndoneByteForByte_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("stepText");
    QTest::newRow("store") << "store"
                           << "Store into preset 7";
    QTest::newRow("store over a row") << "store over"
                                      << "Store into preset 1";
    QTest::newRow("open") << "open"
                          << "Open preset 2 from the library";
    QTest::newRow("rename") << "rename"
                            << "Rename preset 1";
    QTest::newRow("paste") << "paste"
                           << "Paste into preset 9";
    QTest::newRow("swap") << "swap"
                          << "Swap presets 0 and 4";
    QTest::newRow("swap with an empty row") << "swap empty"
                                            << "Swap presets 2 and 15";
    QTest::newRow("delete") << "delete"
                            << "Delete preset 3";
    QTest::newRow("open a library file") << "load"
                                         << "Open library other.syx";
}

void TestLibraryDocument::eachChangeIsOneStepUndoneByteForByte()
{
    QFETCH(QString, operation);
    QFETCH(QString, stepText);

    Probe probe(noDevice());
    QVERIFY(probe.library.load(writeLibrary(QStringLiteral("start.syx"), setOf({0, 1, 2, 3, 4}))));
    // An edit of the patch before: library steps and patch edits share one history.
    probe.patch.setPresetName(QStringLiteral("edited"));
    probe.patch.endNameBurst();
    const int stepsBefore = probe.stack().count();
    const PatchLibrary::Rows rowsBefore = probe.rows().rows();
    const QByteArray patchBefore = probe.patch.patch();
    QSignalSpy changed(&probe.library, &LibraryDocument::rowsChanged);

    const QString other = writeLibrary(QStringLiteral("other.syx"), setOf({12, 19}));
    const std::map<QString, std::function<bool()>> operations = {
        {"store", [&] { return probe.library.store(7); }},
        {"store over", [&] { return probe.library.store(1); }},
        {"open", [&] { return probe.library.open(2); }},
        {"rename", [&] { return probe.library.rename(1, QStringLiteral("Renamed")); }},
        {"paste", [&] { return probe.library.paste(9, probe.rows().message(3)); }},
        {"swap", [&] { return probe.library.swap(0, 4); }},
        {"swap empty", [&] { return probe.library.swap(2, 15); }},
        {"delete", [&] { return probe.library.remove(3); }},
        {"load", [&] { return probe.library.load(other); }},
    };
    QVERIFY(operations.at(operation)());
    QCOMPARE(probe.stack().count(), stepsBefore + 1);
    QCOMPARE(probe.stack().text(stepsBefore), stepText);
    const PatchLibrary::Rows rowsAfter = probe.rows().rows();
    const QByteArray patchAfter = probe.patch.patch();

    // What each did, byte for byte.
    const PatchLibrary &rows = probe.rows();
    if (operation.startsWith(QLatin1String("store"))) {
        const int row = operation == QLatin1String("store") ? 7 : 1;
        QCOMPARE(rows.message(row), PatchLibrary::messageForRow(patchBefore, row));
        QCOMPARE(rows.name(row), QStringLiteral("edited"));
        QCOMPARE(rows.origin(row), PatchLibrary::Origin::Changed);
    } else if (operation == QLatin1String("open")) {
        QCOMPARE(patchAfter, rowsBefore[2].message);
        QCOMPARE(probe.patch.controller()->getPresetNo(), 2);
        QVERIFY(rowsAfter == rowsBefore);
    } else if (operation == QLatin1String("rename")) {
        QCOMPARE(rows.name(1), QStringLiteral("Renamed"));
    } else if (operation == QLatin1String("paste")) {
        QCOMPARE(rows.message(9), PatchLibrary::messageForRow(rowsBefore[3].message, 9));
    } else if (operation == QLatin1String("swap")) {
        QCOMPARE(rows.message(0), PatchLibrary::messageForRow(rowsBefore[4].message, 0));
        QCOMPARE(rows.message(4), PatchLibrary::messageForRow(rowsBefore[0].message, 4));
    } else if (operation == QLatin1String("swap empty")) {
        QVERIFY(rows.isEmpty(2));
        QCOMPARE(rows.message(15), PatchLibrary::messageForRow(rowsBefore[2].message, 15));
    } else if (operation == QLatin1String("delete")) {
        QVERIFY(rows.isEmpty(3));
        QCOMPARE(rows.count(), 4);
    } else if (operation == QLatin1String("load")) {
        QCOMPARE(rows.messages(),
                 (QList<QByteArray>{patchFor(12, QStringLiteral("file 12")),
                                    patchFor(19, QStringLiteral("file 19"))}));
    }
    if (operation != QLatin1String("open")) {
        QCOMPARE(patchAfter, patchBefore);
        QVERIFY(!changed.isEmpty());
    }

    probe.stack().undo();
    QVERIFY(probe.rows().rows() == rowsBefore);
    QCOMPARE(probe.patch.patch(), patchBefore);
    QCOMPARE(type1(*probe.patch.controller()), patchBefore);
    probe.stack().redo();
    QVERIFY(probe.rows().rows() == rowsAfter);
    QCOMPARE(probe.patch.patch(), patchAfter);
    QCOMPARE(type1(*probe.patch.controller()), patchAfter);
    // Back past the library's step, the patch's own edit is undone as before.
    probe.stack().undo();
    probe.stack().undo();
    QVERIFY(probe.patch.controller()->getPresetName() != QStringLiteral("edited"));
}

void TestLibraryDocument::whatCannotBeDoneIsNoStep_data()
{
    QTest::addColumn<QString>("operation");
    QTest::newRow("open an empty row") << "open empty";
    QTest::newRow("store into row 20") << "store 20";
    QTest::newRow("rename an empty row") << "rename empty";
    QTest::newRow("rename to the same name") << "rename same";
    QTest::newRow("paste what is no patch") << "paste junk";
    QTest::newRow("swap a row with itself") << "swap self";
    QTest::newRow("swap two empty rows") << "swap empties";
    QTest::newRow("delete an empty row") << "delete empty";
    QTest::newRow("save an empty library") << "save empty";
}

void TestLibraryDocument::whatCannotBeDoneIsNoStep()
{
    QFETCH(QString, operation);
    Probe probe(noDevice());
    const bool withRows = operation != QLatin1String("save empty");
    if (withRows)
        QVERIFY(probe.library.load(writeLibrary(QStringLiteral("some.syx"), setOf({1, 2}))));
    const int steps = probe.stack().count();
    const PatchLibrary::Rows rows = probe.rows().rows();
    const QByteArray patch = probe.patch.patch();
    const std::map<QString, std::function<bool()>> operations = {
        {"open empty", [&] { return probe.library.open(5); }},
        {"store 20", [&] { return probe.library.store(20); }},
        {"rename empty", [&] { return probe.library.rename(5, QStringLiteral("x")); }},
        {"rename same", [&] { return probe.library.rename(1, QStringLiteral("file 1")); }},
        {"paste junk", [&] { return probe.library.paste(5, QByteArray(length, 'x')); }},
        {"swap self", [&] { return probe.library.swap(1, 1); }},
        {"swap empties", [&] { return probe.library.swap(5, 6); }},
        {"delete empty", [&] { return probe.library.remove(5); }},
        {"save empty",
         [&] { return probe.library.save(workDir.filePath(QStringLiteral("empty.syx"))); }},
    };
    operations.at(operation)();
    QCOMPARE(probe.stack().count(), steps);
    QVERIFY(probe.rows().rows() == rows);
    QCOMPARE(probe.patch.patch(), patch);
    QCOMPARE(probe.library.hasUnsavedChanges(), false);
    QVERIFY(!QFile::exists(workDir.filePath(QStringLiteral("empty.syx"))));
}

void TestLibraryDocument::damagedLibraryFileChangesNothing_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("reason");
    QTest::newRow("trailing byte") << setOf({0, 1}) + '\0' << "message 3 (byte 696)";
    QTest::newRow("two for one preset") << setOf({0, 4, 4}) << "message 3 (byte 696)";
    QByteArray outOfRange = setOf({0, 1});
    outOfRange[length + PatchLayout::presetNoOffset] = char(25);
    QTest::newRow("preset 25") << outOfRange << "message 2 (byte 348)";
    QByteArray damaged = setOf({0, 1, 2});
    damaged[length - 1] = '\0';
    QTest::newRow("unterminated first") << damaged << "message 1 (byte 0)";
    QTest::newRow("empty") << QByteArray() << "empty";
    QTest::newRow("twenty-one") << QByteArray(21 * length, '\0') << "larger than twenty";
}

void TestLibraryDocument::damagedLibraryFileChangesNothing()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, reason);
    Probe probe(noDevice());
    QVERIFY(probe.library.load(writeLibrary(QStringLiteral("good.syx"), setOf({3, 5}))));
    const PatchLibrary::Rows rows = probe.rows().rows();
    const int steps = probe.stack().count();
    const QString path = writeLibrary(QStringLiteral("damaged.syx"), data);
    QVERIFY(!probe.library.load(path));
    QVERIFY(probe.rows().rows() == rows);
    QCOMPARE(probe.stack().count(), steps);
    QVERIFY2(
        probe.status().startsWith(QStringLiteral("Could not open library file: %1: ").arg(path)),
        qPrintable(probe.status()));
    QVERIFY2(probe.status().contains(reason), qPrintable(probe.status()));
}

void TestLibraryDocument::savedLibraryOpensAgainByteForByte()
{
    Probe probe(noDevice());
    QVERIFY(probe.library.load(writeLibrary(QStringLiteral("mixed.syx"), setOf({0, 6, 19}))));
    QVERIFY(probe.library.store(11));
    QVERIFY(probe.library.hasUnsavedChanges());
    const QString path = workDir.filePath(QStringLiteral("saved.syx"));
    QVERIFY(probe.library.save(path));
    QVERIFY(!probe.library.hasUnsavedChanges());
    QCOMPARE(probe.status(), QStringLiteral("Library saved: %1").arg(path));
    QByteArray expected;
    for (const int presetNo : {0, 6, 11, 19})
        expected += probe.rows().message(presetNo);
    QCOMPARE(readFile(path), expected);

    Probe other(noDevice());
    QVERIFY(other.library.load(path));
    QCOMPARE(other.rows().messages(), probe.rows().messages());
    QCOMPARE(other.status(), QStringLiteral("Library opened: %1 (4 presets)").arg(path));
}

void TestLibraryDocument::receiveFillsTheRowOfTheAnswersPreset_data()
{
    QTest::addColumn<int>("presetNo");
    QTest::newRow("first") << 0;
    QTest::newRow("not the editor's") << 12;
    QTest::newRow("last") << 19;
}

void TestLibraryDocument::receiveFillsTheRowOfTheAnswersPreset()
{
    QFETCH(int, presetNo);
    SimulatedDevice *device = nullptr;
    Probe probe(plug(device));
    QVERIFY(started(probe));
    // The device holds a patch of its own in the memory stepped to.
    QByteArray memory = patchFor(presetNo, QStringLiteral("on device %1").arg(presetNo));
    device->receive(memory);
    QVERIFY(device->selectPreset(presetNo));
    // The start's own patch filled no row.
    QCOMPARE(probe.rows().count(), 0);

    QSignalSpy receiving(&probe.library, &LibraryDocument::receivingChanged);
    QVERIFY(probe.library.receive());
    QVERIFY(probe.library.receiving());
    QTRY_COMPARE(probe.status(),
                 QStringLiteral("Preset %1 received into the library.").arg(presetNo));
    QVERIFY(!probe.library.receiving());
    QCOMPARE(receiving.count(), 2);
    QCOMPARE(probe.rows().count(), 1);
    QCOMPARE(probe.rows().message(presetNo), memory);
    QCOMPARE(probe.rows().origin(presetNo), PatchLibrary::Origin::Device);
    QVERIFY(!probe.rows().differsFromDevice(presetNo));
    // As Upload, the editor's patch is the device's too.
    QCOMPARE(probe.patch.patch(), memory);
    QCOMPARE(probe.stack().text(probe.stack().count() - 1),
             QStringLiteral("Receive preset %1 into the library").arg(presetNo));
    probe.stack().undo();
    QCOMPARE(probe.rows().count(), 0);
}

void TestLibraryDocument::devicePatchesMarkRowsWithoutFillingThem()
{
    SimulatedDevice *device = nullptr;
    Probe probe(plug(device));
    QVERIFY(probe.library.load(writeLibrary(QStringLiteral("marks.syx"), setOf({4, 5}))));
    QVERIFY(probe.rows().differsFromDevice(SimulatedDevice::presetNo));
    // The device's own patch for preset 5, as the start fetches it, is not the library's.
    QVERIFY(started(probe));
    QCOMPARE(probe.rows().count(), 2);
    QCOMPARE(probe.rows().deviceMessage(SimulatedDevice::presetNo), probe.patch.devicePatch());
    QVERIFY(probe.rows().differsFromDevice(SimulatedDevice::presetNo));

    // Opened into the editor and downloaded, the row is what the device holds.
    QVERIFY(probe.library.open(4));
    QVERIFY(probe.patch.download());
    QVERIFY(!probe.rows().differsFromDevice(4));
    QVERIFY(probe.rows().differsFromDevice(5));
    QCOMPARE(probe.rows().origin(4), PatchLibrary::Origin::File);
}

void TestLibraryDocument::sendMarksOnlyPresetsTheDeviceStored_data()
{
    QTest::addColumn<int>("ignorePatchEvery");
    QTest::addColumn<QList<int>>("stored");
    QTest::addColumn<QList<int>>("notStored");
    QTest::newRow("all stored") << 0 << QList<int>{0, 3, 4, 19} << QList<int>{};
    QTest::newRow("every 2nd ignored") << 2 << QList<int>{0, 4} << QList<int>{3, 19};
}

void TestLibraryDocument::sendMarksOnlyPresetsTheDeviceStored()
{
    QFETCH(int, ignorePatchEvery);
    QFETCH(QList<int>, stored);
    QFETCH(QList<int>, notStored);
    SimulatedDevice *device = nullptr;
    Probe probe(plug(device));
    QVERIFY(started(probe));
    QVERIFY(probe.library.load(writeLibrary(QStringLiteral("send.syx"), setOf({0, 3, 4, 19}))));
    device->ignorePatchEvery = ignorePatchEvery;
    const QByteArray editorPatch = probe.patch.patch();
    const int steps = probe.stack().count();

    QSignalSpy finished(&probe.library, &LibraryDocument::sendFinished);
    QSignalSpy progress(&probe.library, &LibraryDocument::sendProgress);
    // Empty rows among those chosen are left out.
    QCOMPARE(probe.library.sendable({0, 1, 3, 4, 19}), (QList<int>{0, 3, 4, 19}));
    QVERIFY(probe.library.send({0, 1, 3, 4, 19}));
    QVERIFY(probe.library.sending());
    QVERIFY(!probe.library.send({0})); // one run at a time
    QVERIFY(finished.wait(10000));
    QVERIFY(!probe.library.sending());
    const auto result = finished.first().at(0).value<LibrarySendResult>();
    QCOMPARE(result.sent, stored);
    QCOMPARE(result.failed, notStored);
    QCOMPARE(probe.status(), result.summary());
    QCOMPARE(progress.constLast().at(0).toInt(), 4);
    QCOMPARE(progress.constLast().at(1).toInt(), 4);

    for (const int presetNo : stored) {
        QCOMPARE(probe.rows().origin(presetNo), PatchLibrary::Origin::Sent);
        QVERIFY(!probe.rows().differsFromDevice(presetNo));
        QCOMPARE(device->presetMessages().at(presetNo), probe.rows().message(presetNo));
    }
    for (const int presetNo : notStored) {
        QCOMPARE(probe.rows().origin(presetNo), PatchLibrary::Origin::File);
        QVERIFY(probe.rows().differsFromDevice(presetNo));
    }
    // Sending is no step, and the editor's patch stays as it was.
    QCOMPARE(probe.stack().count(), steps);
    QCOMPARE(probe.patch.patch(), editorPatch);
}

void TestLibraryDocument::rowChangedWhileSendingIsNotMarkedSent()
{
    SimulatedDevice *device = nullptr;
    Probe probe(plug(device));
    QVERIFY(started(probe));
    QVERIFY(probe.library.load(writeLibrary(QStringLiteral("moving.syx"), setOf({0, 3}))));
    const QByteArray sent = probe.rows().message(3);
    QSignalSpy finished(&probe.library, &LibraryDocument::sendFinished);
    QVERIFY(probe.library.send({0, 3}));
    // Renamed before its turn: the device gets the patch as it was when the run started.
    QVERIFY(probe.library.rename(3, QStringLiteral("renamed")));
    QVERIFY(finished.wait(5000));
    QCOMPARE(finished.first().at(0).value<LibrarySendResult>().sent, (QList<int>{0, 3}));
    QCOMPARE(probe.rows().origin(0), PatchLibrary::Origin::Sent);
    QCOMPARE(probe.rows().origin(3), PatchLibrary::Origin::Changed);
    QCOMPARE(probe.rows().deviceMessage(3), sent);
    QVERIFY(probe.rows().differsFromDevice(3));
    // Undone, the row is what the device holds.
    probe.stack().undo();
    QVERIFY(!probe.rows().differsFromDevice(3));
}

QTEST_GUILESS_MAIN(TestLibraryDocument)
#include "tst_librarydocument.moc"
