#include "../common/simulateddevice.h"
#include "../updater/updaterrig.h"
#include "devicewatcher.h"
#include "mainwindow.h"
#include "midicontrolitem.h"
#include "midicontroller.h"
#include "paneldisplay.h"

#include <QtTest>
#include <QtWidgets>

namespace {

// The watcher looks once a second; a device that comes or goes is seen within two.
constexpr int noticeMs = 2 * DeviceWatcher::intervalMs;

QString statusText(const MainWindow &window)
{
    return window.findChild<QStatusBar *>(QStringLiteral("statusBar"))->currentMessage();
}

QString connectionField(const MainWindow &window)
{
    return window.findChild<QLabel *>(QStringLiteral("labelConnection"))->text();
}

QByteArray type1(const MainWindow &window)
{
    return QByteArray(reinterpret_cast<const char *>(window.getMidiController()->getType1Sysex()),
                      348);
}

void press(const MainWindow &window, const char *button)
{
    QTest::mouseClick(window.findChild<QPushButton *>(QLatin1String(button)), Qt::LeftButton);
}

// Makes an edit the device has not got: control 39's channel.
void editChannel(MainWindow &window, int index)
{
    window.getItem(39)->setSelected(true);
    window.findChild<QComboBox *>(QStringLiteral("comboBoxChannel"))->setCurrentIndex(index);
}

} // namespace

// The editor's connection follows the device: found when it comes, dropped when it goes,
// opened again by Upload and Download, and shown in the status bar's own field.
class TestDeviceConnection : public QObject
{
    Q_OBJECT

private slots:
    void deviceAttachedAfterStartIsFound();
    void uploadAndDownloadConnectFirst();
    void withoutDeviceUploadAndDownloadStillFail();
    void unplugAndPlugInWhileIdle();
    void fieldIsSeparateFromTheStatusTexts();
    void updaterConnectionIsLeftAlone();
    void portIsLeftAloneDuringATransfer();
    void mainWindowTakesNoInputDuringATransfer();
    void closedWindowStopsWatching();
};

void TestDeviceConnection::deviceAttachedAfterStartIsFound()
{
    SimulatedDevice *device = nullptr;
    MainWindow window(plug(device, false));
    QCOMPARE(statusText(window), QStringLiteral("No Vellichord found"));
    QCOMPARE(connectionField(window), QStringLiteral("Not connected"));
    QCOMPARE(window.getDisplay()->nameLine(), QStringLiteral("No Vellichord found"));
    const QByteArray defaults = type1(window);

    // Without unsent changes the editor asks the device for its patch, as at start-up; the
    // request is all it sends.
    device->attached = true;
    QTRY_COMPARE_WITH_TIMEOUT(statusText(window), QStringLiteral("Patch uploaded."), noticeMs);
    QCOMPARE(connectionField(window), QStringLiteral("Connected: Vellichord"));
    QCOMPARE(device->received, QList<QByteArray>{SimulatedDevice::patchRequest()});
    QVERIFY(type1(window) != defaults);
    QCOMPARE(window.findChild<QLineEdit *>(QStringLiteral("lineEditPresetName"))->text(),
             QString::fromLatin1(SimulatedDevice::name));
    QCOMPARE(window.getDisplay()->nameLine(), QString::fromLatin1(SimulatedDevice::name));
}

void TestDeviceConnection::uploadAndDownloadConnectFirst()
{
    SimulatedDevice *device = nullptr;
    MainWindow window(plug(device, false));
    editChannel(window, 6);
    const int triesAtStart = device->connects;

    // Plugged in, and Download pressed before the watcher has looked.
    device->attached = true;
    press(window, "buttonDownload");
    QCOMPARE(statusText(window), QStringLiteral("Patch downloaded"));
    QCOMPARE(connectionField(window), QStringLiteral("Connected: Vellichord"));
    QCOMPARE(device->received, QList<QByteArray>{type1(window)});

    // Pulled out: Upload drops the dead connection, and fails.
    device->attached = false;
    press(window, "buttonUpload");
    QCOMPARE(statusText(window), QStringLiteral("Upload failed: Vellichord not connected"));
    QCOMPARE(connectionField(window), QStringLiteral("Not connected"));

    // Plugged in again: the next Upload opens the port afresh.
    device->attached = true;
    press(window, "buttonUpload");
    QCOMPARE(statusText(window), QStringLiteral("Waiting for upload..."));
    QTRY_COMPARE(statusText(window), QStringLiteral("Patch uploaded."));
    QCOMPARE(device->connects, triesAtStart + 3);
    QCOMPARE(device->received.size(), 2);
}

void TestDeviceConnection::withoutDeviceUploadAndDownloadStillFail()
{
    SimulatedDevice *device = nullptr;
    MainWindow window(plug(device, false));
    editChannel(window, 6);
    const QByteArray edited = type1(window);
    const int triesAtStart = device->connects;

    press(window, "buttonUpload");
    QCOMPARE(statusText(window), QStringLiteral("Upload failed: Vellichord not connected"));
    press(window, "buttonDownload");
    QCOMPARE(statusText(window), QStringLiteral("Download failed: Vellichord not connected"));
    QCOMPARE(device->connects, triesAtStart + 2);
    QCOMPARE(connectionField(window), QStringLiteral("Not connected"));
    QCOMPARE(type1(window), edited);
}

void TestDeviceConnection::unplugAndPlugInWhileIdle()
{
    SimulatedDevice *device = nullptr;
    MainWindow window(plug(device));
    QTRY_COMPARE(statusText(window), QStringLiteral("Patch uploaded."));
    editChannel(window, 7);
    const QByteArray edited = type1(window);
    const int sent = device->received.size();

    device->attached = false;
    QTRY_COMPARE_WITH_TIMEOUT(statusText(window), QStringLiteral("Vellichord disconnected"),
                              noticeMs);
    QCOMPARE(connectionField(window), QStringLiteral("Not connected"));
    QVERIFY(!device->connected);

    device->attached = true;
    QTRY_COMPARE_WITH_TIMEOUT(
        statusText(window),
        QStringLiteral("Vellichord connected: Upload gets its patch, Download sends yours"),
        noticeMs);
    QCOMPARE(connectionField(window), QStringLiteral("Connected: Vellichord"));
    // The edit is still the editor's, and the device got nothing meanwhile.
    QCOMPARE(type1(window), edited);
    QCOMPARE(device->received.size(), sent);

    press(window, "buttonDownload");
    QCOMPARE(device->received.last(), edited);
}

void TestDeviceConnection::fieldIsSeparateFromTheStatusTexts()
{
    SimulatedDevice *device = nullptr;
    MainWindow window(plug(device));
    QTRY_COMPARE(statusText(window), QStringLiteral("Patch uploaded."));
    auto *field = window.findChild<QLabel *>(QStringLiteral("labelConnection"));
    QCOMPARE(field->text(), QStringLiteral("Connected: Vellichord"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(field->isVisible());

    // A status text takes the status bar's message area, not the field.
    window.showStatusMessage(QStringLiteral("Something else"));
    QCOMPARE(field->text(), QStringLiteral("Connected: Vellichord"));
    QVERIFY(field->isVisible());
    // The field sits at the right-hand end of the status bar.
    auto *bar = window.findChild<QStatusBar *>(QStringLiteral("statusBar"));
    QVERIFY(field->geometry().right() > bar->width() / 2);
}

void TestDeviceConnection::updaterConnectionIsLeftAlone()
{
    UpdaterRig rig({QStringLiteral("Vellichord Updater")});
    rig.device->statusAnswer = 0x3D;
    QVERIFY(rig.dialog->find_dfu());
    QCOMPARE(rig.device->connectedName(), std::string("Vellichord Updater"));
    QTRY_COMPARE_WITH_TIMEOUT(connectionField(rig.window),
                              QStringLiteral("Connected: Vellichord Updater"), noticeMs);
    const int connects = rig.device->connects;

    // The device restarts under its normal name; the updater's connection stays as it is.
    rig.device->portNames = QStringList{QStringLiteral("Vellichord")};
    QTest::qWait(noticeMs + 500);
    QCOMPARE(rig.device->connects, connects);
    QCOMPARE(rig.device->connectedName(), std::string("Vellichord Updater"));
    QVERIFY(statusText(rig.window) != QStringLiteral("Vellichord connected"));
    QVERIFY(statusText(rig.window) != QStringLiteral("Vellichord disconnected"));

    // Upload finds the port gone and opens the device's normal one.
    press(rig.window, "buttonUpload");
    QCOMPARE(statusText(rig.window), QStringLiteral("Waiting for upload..."));
    QCOMPARE(connectionField(rig.window), QStringLiteral("Connected: Vellichord"));
    QCOMPARE(rig.device->received.last(), SimulatedDevice::patchRequest());
}

void TestDeviceConnection::portIsLeftAloneDuringATransfer()
{
    UpdaterRig rig;
    rig.answerRecords(0x1A);
    auto *watcher = rig.window.findChild<DeviceWatcher *>(QStringLiteral("deviceWatcher"));
    QVERIFY(watcher);
    int looksDuring = -1;
    bool connectedDuring = false;
    // Midway, the device's name is gone from the system's list; a watcher that looked would
    // close the port under the transfer.
    rig.beforePause = [&](int pause) {
        if (pause != 3)
            return;
        rig.device->portNames.clear();
        const int looks = rig.device->portLooks;
        watcher->look();
        looksDuring = rig.device->portLooks - looks;
        connectedDuring = rig.device->connected;
        rig.device->portNames = QStringList{QStringLiteral("Vellichord")};
    };
    const QByteArray image = updateRecordOfSize(40);
    QVERIFY(rig.dialog->transmitUpdate(reinterpret_cast<const unsigned char *>(image.constData()),
                                       unsigned(image.size())));
    QCOMPARE(looksDuring, 0);
    QVERIFY(connectedDuring);
    QCOMPARE(rig.device->records, QList<QByteArray>{image});

    // Once the transfer is over, the watcher looks again.
    rig.device->portNames.clear();
    watcher->look();
    QVERIFY(!rig.device->connected);
    QCOMPARE(statusText(rig.window), QStringLiteral("Vellichord disconnected"));
}

void TestDeviceConnection::mainWindowTakesNoInputDuringATransfer()
{
    UpdaterRig rig;
    rig.answerRecords(0x1A);
    rig.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&rig.window));
    const int connects = rig.device->connects;
    // Midway, the user presses Download and Upload in the main window, the device's name
    // having gone from the list: neither may send, nor open the port again.
    rig.beforePause = [&](int pause) {
        if (pause != 3)
            return;
        rig.device->portNames.clear();
        press(rig.window, "buttonDownload");
        press(rig.window, "buttonUpload");
        rig.device->portNames = QStringList{QStringLiteral("Vellichord")};
    };
    const QByteArray image = updateRecordOfSize(40);
    const int sentBefore = rig.device->received.size();
    QVERIFY(rig.dialog->transmitUpdate(reinterpret_cast<const unsigned char *>(image.constData()),
                                       unsigned(image.size())));
    for (const QByteArray &message : rig.device->received.mid(sentBefore))
        QVERIFY(SimulatedDevice::isDataFrame(message));
    QCOMPARE(rig.device->connects, connects);

    // Afterwards the buttons work again.
    press(rig.window, "buttonDownload");
    QCOMPARE(statusText(rig.window), QStringLiteral("Patch downloaded"));
    QCOMPARE(rig.device->received.last(), type1(rig.window));
}

void TestDeviceConnection::closedWindowStopsWatching()
{
    SimulatedDevice *device = nullptr;
    MainWindow window(plug(device, false));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.close();
    const int looks = device->portLooks;
    const int connects = device->connects;

    device->attached = true;
    QTest::qWait(noticeMs + 500);
    QCOMPARE(device->portLooks, looks);
    QCOMPARE(device->connects, connects);
}

QTEST_MAIN(TestDeviceConnection)
#include "tst_deviceconnection.moc"
