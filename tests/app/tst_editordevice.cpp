#include "../common/controllerprobe.h"
#include "../common/files.h"
#include "../common/simulateddevice.h"
#include "../common/tracecapture.h"
#include "frontpanel.h"
#include "mainwindow.h"
#include "midicontroller.h"
#include "midimonitor.h"
#include "paneldisplay.h"

#include <QtTest>
#include <QtWidgets>

Q_DECLARE_METATYPE(SimulatedDevice::Reply)

// The editor's window talking to a device through its controller: status texts, buttons and
// the patch shown.
namespace {

QString statusText(const MainWindow &window)
{
    return window.findChild<QStatusBar *>(QStringLiteral("statusBar"))->currentMessage();
}

QPushButton *button(const MainWindow &window, const char *name)
{
    return window.findChild<QPushButton *>(QLatin1String(name));
}

} // namespace

class TestEditorDevice : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void startupAppliesTheDevicesPatch();
    void eachUploadIsAnsweredAndApplied();
    void downloadSendsExactlyTheCurrentModels();
    void presetOutsideRangeIsShownAndNotDownloaded_data();
    void presetOutsideRangeIsShownAndNotDownloaded();
    void answerThatIsNoPatchChangesNothing_data();
    void answerThatIsNoPatchChangesNothing();
    void statusAnswersAreKeptForTheUpdater();
    void savedDevicePatchLoadsIntoAnotherEditor();
    void windowCanGoWhileAnswersArePending();

private:
    QTemporaryDir workDir;
    QString previousDir;
    std::unique_ptr<MainWindow> window;
};

void TestEditorDevice::initTestCase()
{
    QVERIFY(workDir.isValid());
    previousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(workDir.path())); // log.txt goes here
    window = std::make_unique<MainWindow>(noDevice());
}

void TestEditorDevice::cleanupTestCase()
{
    window.reset();
    QDir::setCurrent(previousDir);
}

void TestEditorDevice::startupAppliesTheDevicesPatch()
{
    SimulatedDevice *device = nullptr;
    TraceCapture traces;
    MainWindow window(plug(device));
    MidiController &controller = *window.getMidiController();

    // The request went out during construction; the answer is handled in the event loop.
    QCOMPARE(statusText(window), QStringLiteral("Ready"));
    QCOMPARE(device->received, QList<QByteArray>{QByteArray::fromHex("f0000000007f620000f7")});
    QTRY_COMPARE(statusText(window), QStringLiteral("Patch uploaded."));

    QCOMPARE(window.findChild<QLineEdit *>(QStringLiteral("lineEditPresetName"))->text(),
             QStringLiteral("Simulated Device"));
    QCOMPARE(int(controller.getPresetNo()), int(SimulatedDevice::presetNo));
    const ControlTable defaults;
    for (int i = 0; i < ControlTable::count; ++i) {
        for (const ControlParameter &p : defaults.at(i)->parameters()) {
            QVERIFY2(valueOf(controller, i, ParameterId(p.id())) == SimulatedDevice::ownValue(i, p),
                     qPrintable(QStringLiteral("control %1, parameter %2").arg(i).arg(p.id())));
        }
    }
    QVERIFY(traces.contains(QStringLiteral("Received: ")));
    QVERIFY(traces.contains(QStringLiteral("Midi monitor thread started.")));
}

void TestEditorDevice::eachUploadIsAnsweredAndApplied()
{
    SimulatedDevice *device = nullptr;
    MainWindow window(plug(device, true, SimulatedDevice::Reply::Nothing));
    MidiController &controller = *window.getMidiController();
    QSignalSpy updated(&controller, &MidiController::modelUpdated);

    device->reply = SimulatedDevice::Reply::Patch;
    QTest::mouseClick(button(window, "buttonUpload"), Qt::LeftButton);
    QCOMPARE(statusText(window), QStringLiteral("Waiting for upload..."));
    QTest::mouseClick(button(window, "buttonUpload"), Qt::LeftButton);
    QCOMPARE(statusText(window), QStringLiteral("Waiting for upload..."));

    QCOMPARE(device->received.size(), 3); // the start-up request and two more
    QCOMPARE(device->received.count(QByteArray::fromHex("f0000000007f620000f7")), 3);
    QTRY_COMPARE(updated.count(), 2);
    QVERIFY(drained(controller, *device));
    QCOMPARE(updated.count(), 2);
    QCOMPARE(statusText(window), QStringLiteral("Patch uploaded."));
    QCOMPARE(controller.getPresetName(), QStringLiteral("Simulated Device"));
}

void TestEditorDevice::downloadSendsExactlyTheCurrentModels()
{
    SimulatedDevice *device = nullptr;
    MainWindow window(plug(device));
    MidiController &controller = *window.getMidiController();
    QTRY_COMPARE(statusText(window), QStringLiteral("Patch uploaded."));

    controller.getModels()->at(45)->updateParameter(NoteOrCC, 61);
    controller.getModels()->at(3)->updateParameter(Max, 100);
    window.findChild<QLineEdit *>(QStringLiteral("lineEditPresetName"))->setText("Encore");
    QTest::mouseClick(button(window, "buttonDownload"), Qt::LeftButton);
    QCOMPARE(statusText(window), QStringLiteral("Patch downloaded"));

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

void TestEditorDevice::presetOutsideRangeIsShownAndNotDownloaded_data()
{
    QTest::addColumn<int>("presetNo");
    QTest::newRow("20") << 20;
    QTest::newRow("50") << 50;
    QTest::newRow("127") << 127;
}

void TestEditorDevice::presetOutsideRangeIsShownAndNotDownloaded()
{
    QFETCH(int, presetNo);
    SimulatedDevice *device = nullptr;
    MainWindow window(plug(device));
    QTRY_COMPARE(statusText(window), QStringLiteral("Patch uploaded."));
    QByteArray patch = SimulatedDevice::ownPatch();
    patch[9] = char(presetNo);
    device->send(patch);
    QTRY_VERIFY(statusText(window).startsWith(
        QStringLiteral("Patch uploaded. Its preset number %1 is outside 0..19").arg(presetNo)));
    QCOMPARE(window.frontPanel()->display()->presetLine(),
             QStringLiteral("PRESET %1").arg(presetNo));

    const int sent = device->received.size();
    QTest::mouseClick(button(window, "buttonDownload"), Qt::LeftButton);
    QCOMPARE(statusText(window),
             QStringLiteral("Download refused: preset number %1 is outside "
                            "0..19; choose a preset 0..19 on the Vellichord "
                            "and upload it")
                 .arg(presetNo));
    QCOMPARE(device->received.size(), sent);
}

void TestEditorDevice::answerThatIsNoPatchChangesNothing_data()
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

void TestEditorDevice::answerThatIsNoPatchChangesNothing()
{
    QFETCH(SimulatedDevice::Reply, reply);
    QFETCH(QString, trace);

    const QByteArray defaults = type1(*window->getMidiController());
    TraceCapture traces;
    SimulatedDevice *device = nullptr;
    MainWindow editor(plug(device, true, reply));
    MidiController &controller = *editor.getMidiController();
    QSignalSpy updated(&controller, &MidiController::modelUpdated);
    QVERIFY(drained(controller, *device));

    QCOMPARE(statusText(editor), QStringLiteral("Ready"));
    QCOMPARE(updated.count(), 0);
    QCOMPARE(type1(controller), defaults);
    if (!trace.isEmpty())
        QVERIFY2(traces.contains(trace), qPrintable(traces.lines().join('\n')));
}

void TestEditorDevice::statusAnswersAreKeptForTheUpdater()
{
    SimulatedDevice *device = nullptr;
    MainWindow window(plug(device, true, SimulatedDevice::Reply::Nothing));
    MidiController &controller = *window.getMidiController();
    QSignalSpy updated(&controller, &MidiController::modelUpdated);
    TraceCapture traces;

    device->statusAnswer = 0x3D;
    QCOMPARE(controller.getMidi()->sendSysex(
                 reinterpret_cast<unsigned char *>(QByteArray("\xF0Qk8vR2x\xF7").data()), 9),
             0);
    QTRY_COMPARE(controller.getMonitor()->status(), 0x3D);
    QCoreApplication::processEvents();
    QCOMPARE(updated.count(), 0);
    QCOMPARE(statusText(window), QStringLiteral("Ready"));
    QVERIFY(!traces.contains(QStringLiteral("Received: ")));
}

void TestEditorDevice::savedDevicePatchLoadsIntoAnotherEditor()
{
    const QString path = workDir.filePath(QStringLiteral("device.syx"));
    QByteArray saved;
    {
        SimulatedDevice *device = nullptr;
        MainWindow window(plug(device));
        QTRY_COMPARE(statusText(window), QStringLiteral("Patch uploaded."));
        QVERIFY(window.getMidiController()->saveSysex(path));
        saved = readFile(path);
        QCOMPARE(saved, type1(*window.getMidiController()));
    }

    MidiController &target = *window->getMidiController();
    target.setPresetNo(2);
    QVERIFY(target.loadSysex(path));
    QCOMPARE(target.getPresetName(), QStringLiteral("Simulated Device"));
    QCOMPARE(int(target.getPresetNo()), 2);
    QByteArray expected = saved;
    expected[9] = 2;
    QCOMPARE(type1(target).toHex(' '), expected.toHex(' '));
}

void TestEditorDevice::windowCanGoWhileAnswersArePending()
{
    // Answers still queued, on the port or as posted calls, when the editor goes away must be
    // dropped with it (the sanitizer build checks that nothing freed is touched).
    for (int round = 0; round < 20; ++round) {
        SimulatedDevice *device = nullptr;
        TraceCapture traces;
        {
            auto window = std::make_unique<MainWindow>(plug(device));
            for (int i = 0; i < round; ++i)
                device->send(device->patchMessage());
            if (round % 2)
                QTest::qWait(1);
        }
        QVERIFY(traces.contains(QStringLiteral("~MidiMonitor()")));
        QVERIFY(traces.contains(QStringLiteral("processMidi Finished")));
    }
}

QTEST_MAIN(TestEditorDevice)
#include "tst_editordevice.moc"
