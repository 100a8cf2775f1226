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
    void presetOutsideRangeIsShownAndNotDownloaded_data();
    void presetOutsideRangeIsShownAndNotDownloaded();
    void windowCanGoWhileAnswersArePending();

private:
    QTemporaryDir workDir;
    QString previousDir;
};

void TestEditorDevice::initTestCase()
{
    QVERIFY(workDir.isValid());
    previousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(workDir.path())); // log.txt goes here
}

void TestEditorDevice::cleanupTestCase()
{
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
