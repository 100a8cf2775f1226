#include "../common/files.h"
#include "../common/simulateddevice.h"
#include "../updater/updaterrig.h"
#include "devicewatcher.h"
#include "frontpanel.h"
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

// The transfer of image alone, on the updater's thread, waited for.
bool transmit(UpdaterRig &rig, const QByteArray &image)
{
    return finishRun(rig.dialog, [&] {
        rig.dialog->start([&](UpdateProtocol &protocol) {
            return protocol.transmitUpdate(
                reinterpret_cast<const unsigned char *>(image.constData()), unsigned(image.size()));
        });
    });
}

// Rejects every modal dialog that opens while it is alive, and names each.
class ModalWatch
{
public:
    ModalWatch()
    {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
                opened << QString::fromLatin1(dialog->metaObject()->className());
                dialog->reject();
            }
        });
        timer.start(10);
    }
    QStringList opened;

private:
    QTimer timer;
};

// Makes an edit the device has not got: control 39's channel.
void editChannel(MainWindow &window, int index)
{
    window.frontPanel()->item(39)->setSelected(true);
    window.findChild<QComboBox *>(QStringLiteral("comboBoxChannel"))->setCurrentIndex(index);
}

} // namespace

// The editor's connection follows the device: found when it comes, dropped when it goes,
// opened again by Upload and Download, and shown in the status bar's own field.
class TestDeviceConnection : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void deviceAttachedAfterStartIsFound();
    void uploadAndDownloadConnectFirst();
    void withoutDeviceUploadAndDownloadStillFail();
    void unplugAndPlugInWhileIdle();
    void fieldIsSeparateFromTheStatusTexts();
    void updaterConnectionIsLeftAlone();
    void portIsLeftAloneDuringATransfer();
    void mainWindowTakesNoInputDuringATransfer();
    void deviceAndDialogActionsAreOffDuringATransfer_data();
    void deviceAndDialogActionsAreOffDuringATransfer();
    void closedWindowStopsWatching();

private:
    QTemporaryDir workDir;
};

void TestDeviceConnection::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(workDir.isValid());
    QVERIFY(QDir::setCurrent(workDir.path()));
}

void TestDeviceConnection::deviceAttachedAfterStartIsFound()
{
    SimulatedDevice *device = nullptr;
    MainWindow window(plug(device, false));
    QTRY_VERIFY(window.midiStarted()); // the port opens from the event loop
    QCOMPARE(statusText(window), QStringLiteral("No Vellichord found"));
    QCOMPARE(connectionField(window), QStringLiteral("Not connected"));
    QCOMPARE(window.frontPanel()->display()->nameLine(), QStringLiteral("No Vellichord found"));
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
    QCOMPARE(window.frontPanel()->display()->nameLine(),
             QString::fromLatin1(SimulatedDevice::name));
}

void TestDeviceConnection::uploadAndDownloadConnectFirst()
{
    SimulatedDevice *device = nullptr;
    MainWindow window(plug(device, false));
    QTRY_VERIFY(window.midiStarted()); // the port opens from the event loop
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
    QTRY_VERIFY(window.midiStarted()); // the port opens from the event loop
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
    QVERIFY(finishRun(rig.dialog, [&] { rig.dialog->switchToUpdateMode(); }));
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
    rig.answerRecords(0x77); // the one record completes the update
    auto *watcher = rig.window.findChild<DeviceWatcher *>(QStringLiteral("deviceWatcher"));
    QVERIFY(watcher);
    int looksDuring = -1;
    bool connectedDuring = false;
    // Midway, the device's name is gone from the system's list; a watcher that looked would
    // close the port under the transfer.
    rig.beforePause = [&](int pause) {
        if (pause != 3)
            return;
        onTestThread([&] {
            rig.device->portNames.clear();
            const int looks = rig.device->portLooks;
            watcher->look();
            looksDuring = rig.device->portLooks - looks;
            connectedDuring = rig.device->connected;
            rig.device->portNames = QStringList{QStringLiteral("Vellichord")};
        });
    };
    const QByteArray image = updateRecordOfSize(40);
    QVERIFY(transmit(rig, image));
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
    rig.answerRecords(0x77); // the one record completes the update
    rig.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&rig.window));
    const int connects = rig.device->connects;
    // Midway, the user presses Download and Upload in the main window, the device's name
    // having gone from the list: neither may send, nor open the port again.
    rig.beforePause = [&](int pause) {
        if (pause != 3)
            return;
        onTestThread([&] {
            rig.device->portNames.clear();
            press(rig.window, "buttonDownload");
            press(rig.window, "buttonUpload");
            rig.device->portNames = QStringList{QStringLiteral("Vellichord")};
        });
    };
    const QByteArray image = updateRecordOfSize(40);
    const int sentBefore = rig.device->received.size();
    QVERIFY(transmit(rig, image));
    for (const QByteArray &message : rig.device->received.mid(sentBefore))
        QVERIFY(SimulatedDevice::isDataFrame(message));
    QCOMPARE(rig.device->connects, connects);

    // Afterwards the buttons work again.
    press(rig.window, "buttonDownload");
    QCOMPARE(statusText(rig.window), QStringLiteral("Patch downloaded"));
    QCOMPARE(rig.device->received.last(), type1(rig.window));
}

void TestDeviceConnection::deviceAndDialogActionsAreOffDuringATransfer_data()
{
    QTest::addColumn<QString>("actionName"); // "recent": the first recent file
    QTest::addColumn<bool>("byKey");         // its shortcut pressed; otherwise triggered

    for (const char *name : {"actionLoad", "actionSave", "actionUpload", "actionDownload"})
        QTest::addRow("%s, shortcut", name) << QString::fromLatin1(name) << true;
    for (const char *name : {"actionLoad", "actionSave", "actionUpload", "actionDownload",
                             "actionUpdate", "actionNumberSelected", "actionAbout", "recent"})
        QTest::addRow("%s, trigger", name) << QString::fromLatin1(name) << false;
}

// Midway through an update, a device action or one that opens a dialog is pressed or
// triggered in the main window: it is off, nothing but the update reaches the device, no
// dialog opens, and the update completes.
void TestDeviceConnection::deviceAndDialogActionsAreOffDuringATransfer()
{
    QFETCH(QString, actionName);
    QFETCH(bool, byKey);

    QByteArray patchFile = SimulatedDevice::ownPatch();
    patchFile[6] = 0x61;
    const QString patchPath = workDir.filePath(QStringLiteral("recent.syx"));
    QVERIFY(writeFile(patchPath, patchFile));
    const QString updatePath = workDir.filePath(QStringLiteral("update.hex"));
    const QList<QByteArray> records = {updateRecordOfSize(64), updateRecordOfSize(30),
                                       updateRecordOfSize(12)};
    QVERIFY(writeFile(updatePath, (records[0] + records[1] + records[2]).toHex(' ')));
    QSettings(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)
                  + QStringLiteral("/vellichord-editor.ini"),
              QSettings::IniFormat)
        .setValue(QStringLiteral("files/recent"), QStringList{patchPath});

    UpdaterRig rig;
    rig.device->statusAnswer = 0x3D;
    rig.answerRecords(0x1A);
    QVERIFY(rig.dialog->load_update_binary(updatePath));
    rig.window.show();
    QVERIFY(QTest::qWaitForWindowActive(&rig.window));
    rig.window.findChild<QGraphicsView *>(QStringLiteral("graphicsView"))->setFocus();
    editChannel(rig.window, 3); // selects a control too, for the numbering dialog
    const QByteArray edited = type1(rig.window);
    const QString status = statusText(rig.window);
    auto *recentMenu = rig.window.findChild<QMenu *>(QStringLiteral("menuRecentFiles"));
    QAction *action = actionName == QLatin1String("recent")
        ? recentMenu->actions().value(0)
        : rig.window.findChild<QAction *>(actionName);
    QVERIFY(action && action->isEnabled());
    QVERIFY(!byKey || !action->shortcut().isEmpty());

    ModalWatch modals;
    bool reachableDuring = true;
    const int sentBefore = rig.device->received.size();
    rig.device->recordAnswer = [&](const QByteArray &) {
        if (rig.device->records.size() == 1) {
            onTestThread([&] {
                reachableDuring = action == recentMenu->actions().value(0) ? recentMenu->isEnabled()
                                                                           : action->isEnabled();
                if (byKey)
                    QTest::keySequence(&rig.window, action->shortcut());
                else
                    action->trigger();
            });
        }
        return quint8(rig.device->records.size() == records.size() ? 0x77 : 0x1A);
    };
    QVERIFY(finishRun(rig.dialog, [&] { rig.dialog->doUpdate(); }));
    QCoreApplication::processEvents();

    QVERIFY(!reachableDuring);
    QCOMPARE(modals.opened, QStringList());
    QCOMPARE(rig.device->records, records);
    for (const QByteArray &message : rig.device->received.mid(sentBefore))
        QVERIFY2(SimulatedDevice::isDataFrame(message) || message == SimulatedDevice::updateCode(),
                 qPrintable(SimulatedDevice::describe(message)));
    QCOMPARE(type1(rig.window), edited);
    QCOMPARE(statusText(rig.window), status);
    // Afterwards it is back.
    QVERIFY(actionName == QLatin1String("recent") ? recentMenu->isEnabled() : action->isEnabled());
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
