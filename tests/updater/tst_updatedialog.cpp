#include "../common/filedialog.h"
#include "../common/files.h"
#include "../common/tracecapture.h"
#include "updaterrig.h"

#include <QtTest>
#include <QtWidgets>

namespace {

const QString updating = QStringLiteral(
    "Updating Vellichord, please don't unplug the device during the transfer.");
const QString ready = QStringLiteral("Please press Update to continue.");
const QString notConfirmed = QStringLiteral(
    "The Vellichord took every record but did not confirm the update. It may still be in update "
    "mode: reconnect it and run the update again.");

template<typename T = QWidget>
T *widget(const QWidget *parent, const char *name)
{
    T *w = parent->findChild<T *>(QLatin1String(name));
    if (!w)
        qFatal("widget %s missing", name);
    return w;
}

// Whether Open File, Connect and Update are enabled, in this order.
QList<bool> buttonStates(const UpdateDialog *dialog)
{
    return {widget(dialog, "buttonOpenFile")->isEnabled(),
            widget(dialog, "buttonSwitchMode")->isEnabled(),
            widget(dialog, "pushButton_2")->isEnabled()};
}

// Clicks a button of the dialog; when that starts a run, waits for its end.
void click(UpdateDialog *dialog, const char *button)
{
    finishRun(dialog, [&] { widget<QPushButton>(dialog, button)->click(); });
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget *target) { target->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

} // namespace

class TestUpdateDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void newDialogIsHiddenInItsInitialState();
    void updateButtonShowsTheSameDialogModeless();
    void buttonsFollowTheUsualCourse();
    void refusedLoadDisablesConnectAndUpdate_data();
    void refusedLoadDisablesConnectAndUpdate();
    void messageBoxShowsTheNewestLine_data();
    void messageBoxShowsTheNewestLine();
    void updateAction_data();
    void updateAction();
    void updateAgainAfterTheDeviceWasLost();
    void deviceLabelNamesThePortFound_data();
    void deviceLabelNamesThePortFound();

    // While the handshake or the transfer runs
    void windowsKeepPaintingDuringTheTransfer();
    void windowsCannotBeClosedDuringTheTransfer();
    void queuedInputIsDiscarded_data();
    void queuedInputIsDiscarded();
    void transferGoesOnUnderAModalDialog();
    void stopEndsTheRunBetweenSteps_data();
    void stopEndsTheRunBetweenSteps();

private:
    QString goodFile;
    QString damagedFile;
    QTemporaryDir dir;
};

void TestUpdateDialog::initTestCase()
{
    QVERIFY(dir.isValid());
    goodFile = dir.filePath(QStringLiteral("good.hex"));
    damagedFile = dir.filePath(QStringLiteral("damaged.hex"));
    QVERIFY(writeFile(goodFile, (updateRecordOfSize(30) + updateRecordOfSize(12)).toHex(' ')));
    QVERIFY(writeFile(damagedFile, "00 05 01 02 03 FA FE"));
}

void TestUpdateDialog::newDialogIsHiddenInItsInitialState()
{
    UpdaterRig rig;
    const UpdateDialog *dialog = rig.dialog;
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->parentWidget(), &rig.window);
    QCOMPARE(dialog->objectName(), QStringLiteral("UpdateDialog"));
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Tarvel Vellichord Updater"));
    QCOMPARE(dialog->size(), QSize(400, 300)); // grows on showing where the font needs more

    struct Expected
    {
        const char *name;
        const char *className;
        const char *text;
    };
    const Expected widgets[] = {
        {"progressBar", "QProgressBar", nullptr},
        {"buttonOpenFile", "QPushButton", "Open File"},
        {"pushButton_2", "QPushButton", "Update"},
        {"label", "QLabel", "Device Found:"},
        {"label_3", "QLabel", "File Loaded:"},
        {"textEdit", "QTextEdit", nullptr},
        {"buttonSwitchMode", "QPushButton", "Connect"},
        {"label_device_name", "QLabel", ""},
        {"label_filename", "QLabel", ""},
        {"buttonStop", "QPushButton", "Stop"},
        {"buttonClose", "QPushButton", "Close"},
    };
    for (const Expected &expected : widgets) {
        const QWidget *w = widget(dialog, expected.name);
        QCOMPARE(w->parentWidget(), dialog);
        QCOMPARE(w->metaObject()->className(), expected.className);
        if (expected.text)
            QCOMPARE(w->property("text").toString(), QString::fromUtf8(expected.text));
    }

    QCOMPARE(rig.messages(), QStringList{QStringLiteral("Please open the update file.")});
    QVERIFY(widget<QTextEdit>(dialog, "textEdit")->isReadOnly());
    QCOMPARE(widget<QProgressBar>(dialog, "progressBar")->value(), 0);
    QCOMPARE(buttonStates(dialog), (QList<bool>{true, false, false}));
    QVERIFY(!widget(dialog, "buttonStop")->isEnabled());
    QCOMPARE(dialog->getImageSize(), 0u);
}

void TestUpdateDialog::updateButtonShowsTheSameDialogModeless()
{
    UpdaterRig rig;
    rig.window.show();
    TraceCapture traces;

    widget<QPushButton>(&rig.window, "buttonUpdate")->click();
    QVERIFY(traces.contains(QStringLiteral("Perform Update")));
    QVERIFY(rig.dialog->isVisible());
    QVERIFY(!rig.dialog->isModal());
    QVERIFY(!QApplication::activeModalWidget());

    QVERIFY(rig.dialog->load_update_binary(goodFile));
    const QStringList shown = rig.messages();
    rig.dialog->close();
    QVERIFY(!rig.dialog->isVisible());

    widget<QPushButton>(&rig.window, "buttonUpdate")->click();
    QVERIFY(rig.dialog->isVisible());
    QCOMPARE(rig.window.findChildren<UpdateDialog *>().size(), 1);
    QCOMPARE(rig.messages(), shown);
    QCOMPARE(rig.dialog->getImageSize(), 42u);
}

void TestUpdateDialog::buttonsFollowTheUsualCourse()
{
    UpdaterRig rig;
    rig.device->statusAnswer = 0x3D;
    rig.dialog->show();

    // A damaged file before any good one leaves Connect disabled.
    answerFileDialog(damagedFile);
    click(rig.dialog, "buttonOpenFile");
    QCOMPARE(rig.messages().mid(1),
             QStringList({QStringLiteral("Opened file: ") + damagedFile,
                          QStringLiteral("CRC Error, the update file is damaged: record 1 fails "
                                         "its checksum.")}));
    // A refused file is not the loaded one.
    QCOMPARE(widget<QLabel>(rig.dialog, "label_filename")->text(), QString());
    QCOMPARE(buttonStates(rig.dialog), (QList<bool>{true, false, false}));

    answerFileDialog(goodFile);
    click(rig.dialog, "buttonOpenFile");
    QCOMPARE(widget<QLabel>(rig.dialog, "label_filename")->text(), QStringLiteral("good.hex"));
    QCOMPARE(buttonStates(rig.dialog), (QList<bool>{true, true, false}));

    // A cancelled choice changes nothing: the loaded image stays.
    const QStringList shown = rig.messages();
    answerFileDialog(QString());
    click(rig.dialog, "buttonOpenFile");
    QCOMPARE(rig.messages(), shown);
    QCOMPARE(rig.dialog->getImageSize(), 42u);

    TraceCapture traces;
    click(rig.dialog, "buttonSwitchMode");
    QCOMPARE(rig.messages().last(), ready);
    QVERIFY(traces.contains(
        QStringLiteral("Please restart the Vellichord by reconnecting the USB cable.")));
    QCOMPARE(buttonStates(rig.dialog), (QList<bool>{true, true, true}));

    // The buttons are disabled while the transfer runs, and the bar follows it.
    QList<QList<bool>> statesDuring;
    rig.device->recordAnswer = [&](const QByteArray &) {
        onTestThread([&] {
            statesDuring << buttonStates(rig.dialog)
                    + QList<bool>{widget(rig.dialog, "buttonStop")->isEnabled()};
        });
        return quint8(rig.device->records.size() == 2 ? 0x77 : 0x1A);
    };
    click(rig.dialog, "pushButton_2");
    QCOMPARE(statesDuring,
             (QList<QList<bool>>{{false, false, false, true}, {false, false, false, true}}));
    QCOMPARE(buttonStates(rig.dialog), (QList<bool>{true, true, true}));
    QCOMPARE(rig.messages().mid(rig.messages().size() - 3),
             QStringList({ready, updating, QStringLiteral("Transfer Complete.")}));
    // Connect asked for Update; Update itself does not ask again.
    QCOMPARE(rig.messages().count(ready), 1);
    QCOMPARE(widget<QProgressBar>(rig.dialog, "progressBar")->value(), 100);

    // A later failed load leaves no image, and nothing to connect or update with.
    answerFileDialog(damagedFile);
    click(rig.dialog, "buttonOpenFile");
    QCOMPARE(widget<QLabel>(rig.dialog, "label_filename")->text(), QString());
    QCOMPARE(rig.dialog->getImageSize(), 0u);
    QCOMPARE(buttonStates(rig.dialog), (QList<bool>{true, false, false}));
}

void TestUpdateDialog::refusedLoadDisablesConnectAndUpdate_data()
{
    QTest::addColumn<QByteArray>("text"); // of the second file; null: no such file
    QTest::addColumn<QString>("message");

    QTest::newRow("checksum fails")
        << QByteArray("00 05 01 02 03 FA FE")
        << QStringLiteral("CRC Error, the update file is damaged: record 1 fails its checksum.");
    QTest::newRow("cut short")
        << (updateRecordOfSize(30) + updateRecordOfSize(12)).left(40).toHex(' ')
        << QStringLiteral("Error, the update file is damaged: it ends inside record 2.");
    QTest::newRow("no hex at all")
        << QByteArray("Vellichord firmware 2.1\n")
        << QStringLiteral(
               "Error, the update file is damaged: line 1 is not pairs of hexadecimal digits.");
    QTest::newRow("text in the middle")
        << updateRecordOfSize(30).toHex(' ') + "\n\n#\n" + updateRecordOfSize(12).toHex(' ')
        << QStringLiteral(
               "Error, the update file is damaged: line 3 is not pairs of hexadecimal digits.");
    QTest::newRow("0 bytes") << QByteArray(
        "") << QStringLiteral("Error, the update file is damaged: it holds no data.");
    QTest::newRow("missing") << QByteArray() << QStringLiteral("Error file not found: ");
}

void TestUpdateDialog::refusedLoadDisablesConnectAndUpdate()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, message);

    UpdaterRig rig;
    rig.device->statusAnswer = 0x3D;
    rig.answerRecords(0x1A);
    answerFileDialog(goodFile);
    click(rig.dialog, "buttonOpenFile");
    click(rig.dialog, "buttonSwitchMode");
    QCOMPARE(buttonStates(rig.dialog), (QList<bool>{true, true, true}));

    const QString second = dir.filePath(QStringLiteral("second.hex"));
    QFile::remove(second);
    if (!text.isNull())
        QVERIFY(writeFile(second, text));
    QVERIFY(!rig.dialog->load_update_binary(second));
    QVERIFY(rig.messages().last().startsWith(message));
    QCOMPARE(widget<QLabel>(rig.dialog, "label_filename")->text(), QString());
    QCOMPARE(rig.dialog->getImageSize(), 0u);
    QCOMPARE(buttonStates(rig.dialog), (QList<bool>{true, false, false}));

    // Update run anyway leaves the device alone.
    const int codes = rig.codesSent();
    finishRun(rig.dialog, [&] { rig.dialog->doUpdate(); });
    QCOMPARE(rig.codesSent(), codes);
    QVERIFY(rig.device->records.isEmpty());
    QCOMPARE(rig.messages().last(), QStringLiteral("Please open the update file."));

    // A good file brings Connect back; Update follows the next handshake.
    answerFileDialog(goodFile);
    click(rig.dialog, "buttonOpenFile");
    QCOMPARE(buttonStates(rig.dialog), (QList<bool>{true, true, false}));
    click(rig.dialog, "buttonSwitchMode");
    click(rig.dialog, "pushButton_2");
    QCOMPARE(rig.device->records.size(), 2);
}

void TestUpdateDialog::messageBoxShowsTheNewestLine_data()
{
    QTest::addColumn<bool>("visible"); // while the lines are added

    QTest::newRow("shown") << true;
    QTest::newRow("hidden, shown later") << false;
}

void TestUpdateDialog::messageBoxShowsTheNewestLine()
{
    QFETCH(bool, visible);

    UpdaterRig rig;
    rig.dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(rig.dialog));
    if (!visible)
        rig.dialog->hide();
    auto *box = widget<QTextEdit>(rig.dialog, "textEdit");
    for (int i = 1; i <= 30; ++i)
        rig.dialog->appendMessage(QStringLiteral("line %1").arg(i));
    rig.dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(rig.dialog));

    const QScrollBar *bar = box->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());
    // The last line lies inside the visible part of the box.
    QTextCursor last(box->document());
    last.movePosition(QTextCursor::End);
    last.movePosition(QTextCursor::PreviousBlock);
    QCOMPARE(last.block().text(), QStringLiteral("line 30"));
    QVERIFY(box->viewport()->rect().contains(box->cursorRect(last)));
}

void TestUpdateDialog::updateAction_data()
{
    QTest::addColumn<int>("answer");       // to the update code
    QTest::addColumn<int>("recordAnswer"); // to every record
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<int>("codes");
    QTest::addColumn<int>("records");
    QTest::addColumn<QStringList>("messages"); // after the opening ones

    QTest::newRow("ready, never confirmed")
        << 0x3D << 0x1A << true << 1 << 2 << QStringList({updating, notConfirmed});
    // Ended by the device with a record left: said so, not taken for a complete update.
    QTest::newRow("ended at the first record")
        << 0x3D << 0x77 << true << 1 << 1
        << QStringList(
               {updating, QStringLiteral("The Vellichord ended the update after 1 of 2 records.")});
    QTest::newRow("must be reset")
        << 0x15 << 0x1A << true << 1 << 0
        << QStringList(
               QStringLiteral("Please disconnect and reconnect the Vellichord then press Update."));
    // Without an image the device is not even asked to get ready.
    QTest::newRow("no image") << 0x3D << 0x1A << false << 0 << 0
                              << QStringList(QStringLiteral("Please open the update file."));
}

void TestUpdateDialog::updateAction()
{
    QFETCH(int, answer);
    QFETCH(int, recordAnswer);
    QFETCH(bool, loaded);
    QFETCH(int, codes);
    QFETCH(int, records);
    QFETCH(QStringList, messages);

    UpdaterRig rig;
    rig.device->statusAnswer = quint8(answer);
    rig.answerRecords(quint8(recordAnswer));
    if (loaded)
        QVERIFY(rig.dialog->load_update_binary(goodFile));
    const int before = rig.messages().size();
    TraceCapture traces;

    finishRun(rig.dialog, [&] { rig.dialog->doUpdate(); });
    QCOMPARE(rig.codesSent(), codes);
    QCOMPARE(rig.device->records.size(), records);
    QCOMPARE(rig.messages().mid(before), messages);
    QCOMPARE(traces.contains(QStringLiteral("update complete?")), loaded);
    // None of these completes the update.
    QVERIFY(rig.dialog->findChild<QProgressBar *>()->value() < 100);
}

void TestUpdateDialog::updateAgainAfterTheDeviceWasLost()
{
    UpdaterRig rig;
    rig.device->statusAnswer = 0x3D;
    answerFileDialog(goodFile);
    click(rig.dialog, "buttonOpenFile");
    click(rig.dialog, "buttonSwitchMode");
    QCOMPARE(buttonStates(rig.dialog), (QList<bool>{true, true, true}));

    // Unplugged once the first of the two records was accepted.
    rig.device->recordAnswer = [&](const QByteArray &) {
        if (rig.device->records.size() == 1) {
            rig.device->attached = false;
            rig.device->connected = false;
        }
        return quint8(0x1A);
    };
    const QString lost = QStringLiteral(
        "Lost the connection to the Vellichord.  Please connect it and press Update again.");
    click(rig.dialog, "pushButton_2");
    QCOMPARE(rig.messages().mid(rig.messages().size() - 3), QStringList({ready, updating, lost}));
    QCOMPARE(buttonStates(rig.dialog), (QList<bool>{true, true, true}));
    QCOMPARE(widget<QProgressBar>(rig.dialog, "progressBar")->value(), 71); // 30 of 42 bytes

    // Plugged in again, Update starts over from the first record.
    rig.device->attached = true;
    click(rig.dialog, "pushButton_2");
    QCOMPARE(rig.device->records.size(), 3);
    QCOMPARE(rig.device->records.mid(1),
             QList<QByteArray>({updateRecordOfSize(30), updateRecordOfSize(12)}));
    QCOMPARE(rig.messages().mid(rig.messages().size() - 2), QStringList({updating, notConfirmed}));
    QCOMPARE(buttonStates(rig.dialog), (QList<bool>{true, true, true}));
}

void TestUpdateDialog::deviceLabelNamesThePortFound_data()
{
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<bool>("attached");
    QTest::addColumn<QString>("label");

    QTest::newRow("normal port") << QStringList{QStringLiteral("Vellichord")} << true
                                 << QStringLiteral("Vellichord");
    QTest::newRow("updater port") << QStringList{QStringLiteral("Vellichord Updater")} << true
                                  << QStringLiteral("Tarvel Vellichord Updater");
    QTest::newRow("no device") << QStringList{QStringLiteral("Vellichord")} << false << QString();
}

void TestUpdateDialog::deviceLabelNamesThePortFound()
{
    QFETCH(QStringList, ports);
    QFETCH(bool, attached);
    QFETCH(QString, label);

    UpdaterRig rig(ports, attached);
    rig.device->statusAnswer = 0x3D;
    click(rig.dialog, "buttonSwitchMode"); // off: nothing happens
    QCOMPARE(rig.codesSent(), 0);
    finishRun(rig.dialog, [&] { rig.dialog->switchToUpdateMode(); });
    QCOMPARE(widget<QLabel>(rig.dialog, "label_device_name")->text(), label);
    QCOMPARE(buttonStates(rig.dialog), (QList<bool>{true, false, attached}));
}

void TestUpdateDialog::windowsKeepPaintingDuringTheTransfer()
{
    UpdaterRig rig;
    rig.dialog->setPause({}); // the real clock
    rig.device->statusAnswer = 0x3D;
    QVERIFY(rig.dialog->load_update_binary(goodFile));
    rig.window.show();
    rig.dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(&rig.window));
    QVERIFY(QTest::qWaitForWindowExposed(rig.dialog));
    PaintCounter windowPaints(&rig.window);

    // Asked for at the first record; done before the second record arrives.
    bool timerFired = false;
    int paintsAtFirst = -1;
    int paintsAtSecond = -1;
    bool timerFiredBySecond = false;
    rig.device->recordAnswer = [&](const QByteArray &) {
        onTestThread([&] {
            if (rig.device->records.size() == 1) {
                QTimer::singleShot(0, [&] { timerFired = true; });
                rig.window.update();
                paintsAtFirst = windowPaints.paints;
            } else {
                paintsAtSecond = windowPaints.paints;
                timerFiredBySecond = timerFired;
            }
        });
        return quint8(rig.device->records.size() == 2 ? 0x77 : 0x1A);
    };

    finishRun(rig.dialog, [&] { rig.dialog->doUpdate(); });
    QCOMPARE(rig.device->records.size(), 2);
    QVERIFY(timerFiredBySecond);
    QVERIFY2(paintsAtSecond > paintsAtFirst,
             qPrintable(QStringLiteral("%1 %2").arg(paintsAtFirst).arg(paintsAtSecond)));
}

void TestUpdateDialog::windowsCannotBeClosedDuringTheTransfer()
{
    UpdaterRig rig;
    rig.device->statusAnswer = 0x3D;
    QVERIFY(rig.dialog->load_update_binary(goodFile));
    rig.window.show();
    rig.dialog->show();

    bool windowClosed = true;
    bool dialogClosed = true;
    rig.device->recordAnswer = [&](const QByteArray &) {
        if (rig.device->records.size() == 1) {
            onTestThread([&] {
                windowClosed = rig.window.close();
                dialogClosed = rig.dialog->close();
                widget<QPushButton>(rig.dialog, "buttonClose")->click();
            });
        }
        return quint8(0x1A);
    };

    finishRun(rig.dialog, [&] { rig.dialog->doUpdate(); });
    QVERIFY(!windowClosed);
    QVERIFY(!dialogClosed);
    // The input monitor went on, so the second record's answer was seen.
    QCOMPARE(rig.device->records.size(), 2);
    QCOMPARE(rig.missedAnswers, 0);
    QVERIFY(rig.window.isVisible() && rig.dialog->isVisible());
    // The dialog says why, to its close button and to Close alike.
    QCOMPARE(rig.messages().count(QStringLiteral("Please wait for the update to end, or press "
                                                 "Stop, before closing the updater.")),
             2);

    click(rig.dialog, "buttonClose");
    QVERIFY(!rig.dialog->isVisible());
    QVERIFY(rig.window.close());
}

void TestUpdateDialog::queuedInputIsDiscarded_data()
{
    QTest::addColumn<bool>("realClock");
    QTest::addColumn<QString>("input");

    for (const bool realClock : {false, true}) {
        const char *clock = realClock ? "real clock" : "virtual clock";
        for (const char *input : {"click on Download", "Space on Download",
                                  "close request to the window", "close event"})
            QTest::addRow("%s, %s", clock, input) << realClock << QString::fromLatin1(input);
    }
}

// Input queued during the transfer, as the window system queues the user's clicks and keys,
// is dropped, not carried out afterwards.
void TestUpdateDialog::queuedInputIsDiscarded()
{
    QFETCH(bool, realClock);
    QFETCH(QString, input);

    UpdaterRig rig;
    if (realClock)
        rig.dialog->setPause({});
    rig.device->statusAnswer = 0x3D;
    QVERIFY(rig.dialog->load_update_binary(goodFile));
    rig.window.show();
    rig.dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(&rig.window));
    auto *download = widget<QPushButton>(&rig.window, "buttonDownload");

    const auto post = [&] {
        const QPoint at = download->rect().center();
        const QPoint global = download->mapToGlobal(at);
        if (input == QLatin1String("click on Download")) {
            QCoreApplication::postEvent(download,
                                        new QMouseEvent(QEvent::MouseButtonPress, at, global,
                                                        Qt::LeftButton, Qt::LeftButton, {}));
            QCoreApplication::postEvent(download,
                                        new QMouseEvent(QEvent::MouseButtonRelease, at, global,
                                                        Qt::LeftButton, Qt::NoButton, {}));
        } else if (input == QLatin1String("Space on Download")) {
            QCoreApplication::postEvent(download,
                                        new QKeyEvent(QEvent::KeyPress, Qt::Key_Space, {}, " "));
            QCoreApplication::postEvent(download,
                                        new QKeyEvent(QEvent::KeyRelease, Qt::Key_Space, {}, " "));
        } else if (input == QLatin1String("close request to the window")) {
            // What the window manager's close button sends.
            QCoreApplication::postEvent(rig.window.windowHandle(), new QCloseEvent);
        } else {
            QCoreApplication::postEvent(&rig.window, new QCloseEvent);
        }
    };
    const auto patchesSent = [&] {
        int count = 0;
        for (const QByteArray &message : rig.device->received)
            count += message.size() == 348 ? 1 : 0;
        return count;
    };
    TraceCapture traces;
    const QString closing = QStringLiteral("Closing Main window");

    rig.device->recordAnswer = [&](const QByteArray &) {
        if (rig.device->records.size() == 1)
            onTestThread(post);
        return quint8(rig.device->records.size() == 2 ? 0x77 : 0x1A);
    };
    finishRun(rig.dialog, [&] { rig.dialog->doUpdate(); });
    QCOMPARE(rig.device->records.size(), 2);
    // Whatever is still queued comes now.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QCOMPARE(patchesSent(), 0);
    QVERIFY(rig.window.isVisible());
    QVERIFY(!traces.contains(closing));
    QCOMPARE(rig.missedAnswers, 0);

    // The same input once the transfer is over is carried out, so it was not harmless.
    post();
    if (input.endsWith(QLatin1String("Download")))
        QTRY_COMPARE(patchesSent(), 1);
    else
        QTRY_VERIFY(traces.contains(closing));
    if (input == QLatin1String("close request to the window"))
        QVERIFY(!rig.window.isVisible());
}

// A modal dialog opened during the transfer runs an event loop of its own; the transfer goes
// on meanwhile and completes while the dialog is still open.
void TestUpdateDialog::transferGoesOnUnderAModalDialog()
{
    UpdaterRig rig;
    rig.dialog->setPause({}); // the real clock
    rig.device->statusAnswer = 0x3D;
    QVERIFY(rig.dialog->load_update_binary(goodFile));
    rig.window.show();
    rig.dialog->show();

    bool doneUnderTheDialog = false;
    rig.device->recordAnswer = [&](const QByteArray &) {
        if (rig.device->records.size() == 1) {
            onTestThread([&] {
                answerFileDialog(goodFile, [&] {
                    doneUnderTheDialog = QTest::qWaitFor([&] { return !rig.dialog->isBusy(); },
                                                         5000);
                });
                QTimer::singleShot(0, &rig.window, [&] {
                    QFileDialog::getOpenFileName(&rig.window, QStringLiteral("Open File"));
                });
            });
        }
        return quint8(rig.device->records.size() == 2 ? 0x77 : 0x1A);
    };
    QVERIFY(finishRun(rig.dialog, [&] { rig.dialog->doUpdate(); }));
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QVERIFY(doneUnderTheDialog);
    QCOMPARE(rig.device->records,
             QList<QByteArray>({updateRecordOfSize(30), updateRecordOfSize(12)}));
    QCOMPARE(rig.messages().last(), QStringLiteral("Transfer Complete."));
}

void TestUpdateDialog::stopEndsTheRunBetweenSteps_data()
{
    QTest::addColumn<int>("answer");  // to the update code
    QTest::addColumn<int>("records"); // accepted when Stop is pressed; -1: in the handshake
    QTest::addColumn<QString>("message");

    // The command line's words when Ctrl-C stops it.
    QTest::newRow("handshake") << 0 << -1
                               << QStringLiteral(
                                      "Update stopped before any of the update was sent.");
    QTest::newRow("after the first record")
        << 0x3D << 1
        << QStringLiteral(
               "Update stopped. The Vellichord needs a complete update: run the update again.");
}

void TestUpdateDialog::stopEndsTheRunBetweenSteps()
{
    QFETCH(int, answer);
    QFETCH(int, records);
    QFETCH(QString, message);

    UpdaterRig rig;
    rig.device->statusAnswer = quint8(answer);
    rig.answerRecords(0x1A);
    QVERIFY(rig.dialog->load_update_binary(goodFile));
    rig.dialog->show();
    auto *stop = widget<QPushButton>(rig.dialog, "buttonStop");
    QVERIFY(!stop->isEnabled());

    bool enabledDuring = false;
    const auto press = [&] {
        onTestThread([&] {
            enabledDuring = stop->isEnabled();
            stop->click();
        });
    };
    if (records < 0) {
        rig.beforePause = [&](int pause) {
            if (pause == 3)
                press();
        };
    } else {
        rig.device->recordAnswer = [&](const QByteArray &) {
            if (rig.device->records.size() == records)
                press();
            return quint8(0x1A);
        };
    }
    QVERIFY(!finishRun(rig.dialog, [&] { rig.dialog->doUpdate(); }));

    QVERIFY(enabledDuring);
    QVERIFY(!stop->isEnabled());
    QCOMPARE(rig.messages().last(), message);
    // Only whole records went out: those accepted before Stop.
    QCOMPARE(rig.device->records.size(), std::max(records, 0));
    QCOMPARE(rig.frames().size(),
             records <= 0
                 ? 0
                 : (30 + int(UpdateDialog::frameBytes) - 1) / int(UpdateDialog::frameBytes));
    QCOMPARE(rig.codesSent(), records < 0 ? 3 : 1);
    QVERIFY(widget(rig.dialog, "pushButton_2")->isEnabled());
}

QTEST_MAIN(TestUpdateDialog)
#include "tst_updatedialog.moc"
