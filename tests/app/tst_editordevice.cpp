#include "../common/controllerprobe.h"
#include "../common/files.h"
#include "../common/simulateddevice.h"
#include "../common/tracecapture.h"
#include "frontpanel.h"
#include "mainwindow.h"
#include "midicontroller.h"
#include "midimonitor.h"
#include "paneldisplay.h"
#include "patchdocument.h"

#include <QtTest>
#include <QtWidgets>

Q_DECLARE_METATYPE(SimulatedDevice::Reply)

// The editor's window talking to a device through its controller: status texts, buttons and
// the patch shown.
namespace {

// A device that writes down, in one list with the window's first expose and paint, when its
// port is opened and what is sent to it.
class OrderedDevice : public SimulatedDevice
{
public:
    using SimulatedDevice::SimulatedDevice;
    bool connect(const char *portName) override
    {
        events << QStringLiteral("connect");
        return SimulatedDevice::connect(portName);
    }
    int sendSysex(unsigned char *message, unsigned int count) override
    {
        const int result = SimulatedDevice::sendSysex(message, count);
        if (result == 0)
            events << QStringLiteral("send ")
                    + QString::fromLatin1(
                          QByteArray(reinterpret_cast<const char *>(message), 7).toHex());
        return result;
    }
    QStringList events;
};

// Writes the first expose of a window and the first paint of a widget into events.
class FirstShown : public QObject
{
public:
    explicit FirstShown(QStringList &events)
        : events(events)
    {
    }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && !events.contains(QStringLiteral("exposed")))
            events << QStringLiteral("exposed");
        if (event->type() == QEvent::Paint && !events.contains(QStringLiteral("painted")))
            events << QStringLiteral("painted");
        Q_UNUSED(watched)
        return false;
    }
    QStringList &events;
};

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
    void windowIsPaintedBeforeThePortOpens_data();
    void windowIsPaintedBeforeThePortOpens();
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

    // Nothing is opened or sent during construction; the request goes out from the event loop
    // and the answer is handled there.
    QCOMPARE(device->connects, 0);
    QVERIFY(device->received.isEmpty());
    QTRY_COMPARE(statusText(window), QStringLiteral("Patch uploaded."));
    QCOMPARE(device->received, QList<QByteArray>{QByteArray::fromHex("f0000000007f620000f7")});

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

void TestEditorDevice::windowIsPaintedBeforeThePortOpens_data()
{
    QTest::addColumn<bool>("shown");
    QTest::addColumn<bool>("attached");
    QTest::addColumn<QStringList>("order");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("connection");
    const QString request = QStringLiteral("send f0000000007f62");
    QTest::newRow("shown, device")
        << true << true
        << QStringList{QStringLiteral("exposed"), QStringLiteral("painted"),
                       QStringLiteral("connect"), request}
        << QStringLiteral("Patch uploaded.") << QStringLiteral("Connected: Vellichord");
    // Without a device the request cannot go out (sending tries the port once more); the
    // display says so once the port was tried.
    QTest::newRow("shown, no device")
        << true << false
        << QStringList{QStringLiteral("exposed"), QStringLiteral("painted"),
                       QStringLiteral("connect"), QStringLiteral("connect")}
        << QStringLiteral("No Vellichord found") << QStringLiteral("Not connected");
    // A window nobody shows (a test's, a script's) starts all the same.
    QTest::newRow("never shown, device")
        << false << true << QStringList{QStringLiteral("connect"), request}
        << QStringLiteral("Patch uploaded.") << QStringLiteral("Connected: Vellichord");
    QTest::newRow("never shown, no device")
        << false << false << QStringList{QStringLiteral("connect"), QStringLiteral("connect")}
        << QStringLiteral("No Vellichord found") << QStringLiteral("Not connected");
}

void TestEditorDevice::windowIsPaintedBeforeThePortOpens()
{
    QFETCH(bool, shown);
    QFETCH(bool, attached);
    QFETCH(QStringList, order);
    QFETCH(QString, status);
    QFETCH(QString, connection);
    auto owned = std::make_unique<OrderedDevice>(attached);
    OrderedDevice *device = owned.get();
    MainWindow window(std::move(owned));
    FirstShown firstShown(device->events);
    auto *statusBar = window.findChild<QStatusBar *>(QStringLiteral("statusBar"));
    statusBar->installEventFilter(&firstShown);
    if (shown) {
        window.winId();
        window.windowHandle()->installEventFilter(&firstShown);
        window.show();
    }
    // Before the start the status says nothing, and the port is not connected yet.
    QCOMPARE(statusText(window), QString());
    QCOMPARE(window.findChild<QLabel *>(QStringLiteral("labelConnection"))->text(),
             QStringLiteral("Not connected"));
    QTRY_VERIFY(window.midiStarted());
    QTRY_COMPARE(statusText(window), status);
    QCOMPARE(device->events, order);
    QCOMPARE(window.findChild<QLabel *>(QStringLiteral("labelConnection"))->text(), connection);
    QCOMPARE(window.document()->noDeviceFound(), !attached);
    QCOMPARE(window.findChild<QLineEdit *>(QStringLiteral("lineEditPresetName"))->text(),
             attached ? QStringLiteral("Simulated Device") : QStringLiteral("tarvelvellichord"));
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
