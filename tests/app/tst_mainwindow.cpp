#include "../common/fifo.h"
#include "../common/filedialog.h"
#include "../common/files.h"
#include "../common/simulateddevice.h"
#include "../common/tracecapture.h"
#include "diagnosticlog.h"
#include "frontpanel.h"
#include "mainwindow.h"
#include "midicontrolitem.h"
#include "midicontroller.h"
#include "midimonitor.h"
#include "paneldisplay.h"
#include "patchdocument.h"
#include "selection.h"

#include <QtTest>
#include <QtWidgets>

#include <functional>
#include <optional>

namespace {

// Types text as key presses carrying the characters; QTest's key clicks cover ASCII only.
void typeText(QWidget *target, const QString &text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(target, &press);
    }
}

QByteArray type1(const MainWindow &window)
{
    return QByteArray(reinterpret_cast<const char *>(window.getMidiController()->getType1Sysex()),
                      348);
}

// Answers the question whether to replace an existing file, which a save dialog asks.
void confirmNextQuestion()
{
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        timer->stop();
        timer->deleteLater();
        box->button(QMessageBox::Yes)->click();
    });
    timer->start(10);
}

// Runs change once the file dialog that is open now has accepted its choice.
void whenChosen(std::function<void()> change)
{
    auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
    if (!dialog)
        qFatal("no file dialog open");
    QObject::connect(dialog, &QDialog::accepted, change);
}

QString statusText(const MainWindow &window)
{
    return window.findChild<QStatusBar *>(QStringLiteral("statusBar"))->currentMessage();
}

template<typename T>
T *widget(const MainWindow &window, const char *name)
{
    T *w = window.findChild<T *>(QLatin1String(name));
    if (!w)
        qFatal("widget %s missing", name);
    return w;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    // The fixed form
    void windowHasFixedSize();
    void editorsStartInTheirInitialState();
    void editorColumnIsSizedAndOrdered();

    // Start-up and status texts
    void startupSaysWhetherTheDeviceIsThere_data();
    void startupSaysWhetherTheDeviceIsThere();
    void withoutDeviceSendsReportFailure();

    // Preset name
    void presetNameReachesControllerOnEveryKeystroke();
    void presetNameAcceptsOnlyPrintableAsciiUpTo16();
    void presetNameSaysWhatItDropped_data();
    void presetNameSaysWhatItDropped();
    void appliedPatchRefreshesNameField();

    // Selection modes
    void selectButtonsSwitchModes();

    // Patch files through the dialogs
    void loadCancelledChangesNothing();
    void loadAppliesFileAndSaysSo();
    void loadOfNonPatchSaysSo_data();
    void loadOfNonPatchSaysSo();
    void saveWritesPatchAndSaysSo();
    void saveFailureSaysSo();

    // Faults the user meets
    void unwritableLogStillAppliesPatches_data();
    void unwritableLogStillAppliesPatches();
    void unpluggedDeviceIsReportedAndThePatchKept();
    void uploadAnswerThatNeverComesIsReported();
    void uploadWaitLeavesOtherTextsAlone();
    void patchFileChangedOnDiskBeforeLoad_data();
    void patchFileChangedOnDiskBeforeLoad();
    void saveThatCannotBeWrittenKeepsTheOldFile_data();
    void saveThatCannotBeWrittenKeepsTheOldFile();

    // Connects the application's quit to the last window's closing: stays last.
    void closingEndsEventLoopWithZero();

private:
    QTemporaryDir workDir;
    QString previousDir;
};

void TestMainWindow::initTestCase()
{
    QVERIFY(workDir.isValid());
    previousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(workDir.path())); // log.txt goes here
}

void TestMainWindow::cleanupTestCase()
{
    QDir::setCurrent(previousDir);
}

void TestMainWindow::windowHasFixedSize()
{
    MainWindow window(noDevice());
    window.show();
    // 911 x 570 below the menu bar, or larger where the font needs more room; never resizable.
    const QSize size = QSize(911, 570 + window.menuBar()->sizeHint().height())
                           .expandedTo(window.minimumSizeHint());
    QCOMPARE(window.size(), size);
    QCOMPARE(window.minimumSize(), size);
    QCOMPARE(window.maximumSize(), size);
    window.resize(size + QSize(300, 200));
    QCOMPARE(window.size(), size);
    // The placeholder shows the marker of unsent changes.
    QCOMPARE(window.windowTitle(), QStringLiteral("Tarvel Vellichord Editor[*]"));

    // The window's own buttons; the hidden updater dialog has its own.
    QStringList captions;
    for (const QPushButton *button : window.centralWidget()->findChildren<QPushButton *>()) {
        QVERIFY(button->isVisible() && button->isEnabled());
        captions << button->text();
    }
    captions.sort();
    QCOMPARE(captions,
             QStringList({"Download", "Load Settings", "Save Settings", "Select Multi",
                          "Select Single", "Update", "Upload"}));
}

void TestMainWindow::editorsStartInTheirInitialState()
{
    MainWindow window(noDevice());
    for (const char *name :
         {"spinMin", "spinMinX", "spinMinY", "spinMax", "spinMaxX", "spinMaxY"}) {
        auto *box = widget<QSpinBox>(window, name);
        QVERIFY2(!box->isEnabled(), name);
        QCOMPARE(box->minimum(), 0);
        QCOMPARE(box->maximum(), 127);
        QCOMPARE(box->value(), QByteArray(name).startsWith("spinMax") ? 127 : 0);
        QVERIFY2(!box->keyboardTracking(), name);
    }

    auto *name = widget<QLineEdit>(window, "lineEditPresetName");
    // The name field's validator, not its maximum length, keeps it to 16 characters.
    QCOMPARE(widget<QLabel>(window, "labelPresetNameCount")->text(), QStringLiteral("16/16"));
    QCOMPARE(name->placeholderText(), QStringLiteral("tarvelvellichord"));
    QCOMPARE(name->text(), QStringLiteral("tarvelvellichord"));

    auto *single = widget<QPushButton>(window, "pushButtonSelectSingle");
    auto *multi = widget<QPushButton>(window, "pushButtonSelectMulti");
    QVERIFY(single->isCheckable() && single->isChecked());
    QVERIFY(multi->isCheckable() && !multi->isChecked());
    QVERIFY(!window.selection()->isMulti());
    QCOMPARE(widget<QGraphicsView>(window, "graphicsView")->dragMode(), QGraphicsView::NoDrag);
}

void TestMainWindow::editorColumnIsSizedAndOrdered()
{
    MainWindow window(noDevice());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    // (label, editor) rows, top to bottom.
    const QList<QPair<const char *, const char *>> rows = {
        {"labelType", "comboBoxType"},
        {"labelNoteCC", "comboBoxNoteOrCC"},
        {"labelMode", "comboBoxToggle"},
        {"labelChannel", "comboBoxChannel"},
        {"labelColour", "comboBoxColour"},
        {"labelColour_2", "comboBoxColourF"},
        {"labelAftertouch", "comboBoxAftertouch"},
        {"labelCC", "comboBoxCC"},
        {"labelCCX", "comboBoxCCX"},
        {"labelCCY", "comboBoxCCY"},
        {"labelMin", "spinMin"},
        {"labelMinX", "spinMinX"},
        {"labelMinY", "spinMinY"},
        {"labelMax", "spinMax"},
        {"labelMaxX", "spinMaxX"},
        {"labelMaxY", "spinMaxY"},
    };

    auto *pane = widget<QWidget>(window, "widgetRightPane");
    int previousTop = -1;
    // One column of captions and one of editors, each as wide as its widest member needs.
    const int labelWidth = widget<QLabel>(window, "labelType")->minimumWidth();
    const int editorWidth = widget<QWidget>(window, "comboBoxType")->minimumWidth();
    QVERIFY(labelWidth > 0 && editorWidth > 0);
    for (const auto &[labelName, editorName] : rows) {
        auto *label = widget<QLabel>(window, labelName);
        auto *editor = widget<QWidget>(window, editorName);
        QCOMPARE(label->minimumWidth(), labelWidth);
        QCOMPARE(editor->minimumWidth(), editorWidth);
        QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= labelWidth, labelName);
        // Label and editor share a row; rows run downwards in order.
        QCOMPARE(label->parentWidget(), editor->parentWidget());
        const int top = label->parentWidget()->mapTo(pane, QPoint(0, 0)).y();
        QVERIFY2(top > previousTop, labelName);
        previousTop = top;
    }
}

void TestMainWindow::startupSaysWhetherTheDeviceIsThere_data()
{
    QTest::addColumn<bool>("attached");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("connection");
    QTest::addColumn<QString>("displayed");
    QTest::newRow("device") << true << "Ready"
                            << "Connected: Vellichord"
                            << "";
    QTest::newRow("no device") << false << "No Vellichord found"
                               << "Not connected"
                               << "No Vellichord found";
}

void TestMainWindow::startupSaysWhetherTheDeviceIsThere()
{
    QFETCH(bool, attached);
    QFETCH(QString, status);
    QFETCH(QString, connection);
    QFETCH(QString, displayed);
    TraceCapture traces;
    SimulatedDevice *device = nullptr;
    MainWindow window(plug(device, attached, SimulatedDevice::Reply::Nothing));
    QTRY_VERIFY(window.midiStarted()); // the port opens from the event loop
    QCOMPARE(statusText(window), status);
    QCOMPARE(widget<QLabel>(window, "labelConnection")->text(), connection);
    // The display's name line; with a device it shows the preset's name.
    QCOMPARE(window.frontPanel()->display()->nameLine(),
             displayed.isEmpty() ? window.getMidiController()->getPresetName() : displayed);
    QVERIFY(traces.contains(QStringLiteral("Upload patch")));
}

void TestMainWindow::withoutDeviceSendsReportFailure()
{
    SimulatedDevice *device = nullptr;
    MainWindow window(plug(device, false));
    QTRY_VERIFY(window.midiStarted()); // the port opens from the event loop
    QCOMPARE(statusText(window), QStringLiteral("No Vellichord found"));
    QTest::mouseClick(widget<QPushButton>(window, "buttonDownload"), Qt::LeftButton);
    QCOMPARE(statusText(window), QStringLiteral("Download failed: Vellichord not connected"));
    QTest::mouseClick(widget<QPushButton>(window, "buttonUpload"), Qt::LeftButton);
    QCOMPARE(statusText(window), QStringLiteral("Upload failed: Vellichord not connected"));
    QVERIFY(device->received.isEmpty());
}

void TestMainWindow::presetNameReachesControllerOnEveryKeystroke()
{
    MainWindow window(noDevice());
    auto *field = widget<QLineEdit>(window, "lineEditPresetName");
    field->clear();
    QCOMPARE(window.getMidiController()->getPresetName(), QString());
    QTest::keyClicks(field, QStringLiteral("Ab"));
    QCOMPARE(window.getMidiController()->getPresetName(), QStringLiteral("Ab"));
    QTest::keyClick(field, 'c');
    QCOMPARE(window.getMidiController()->getPresetName(), QStringLiteral("Abc"));
}

void TestMainWindow::presetNameAcceptsOnlyPrintableAsciiUpTo16()
{
    MainWindow window(noDevice());
    auto *field = widget<QLineEdit>(window, "lineEditPresetName");
    field->clear();
    typeText(field, QStringLiteral("Caf\u00e9 \u65e5~\t"));
    QCOMPARE(field->text(), QStringLiteral("Caf ~"));
    typeText(field, QStringLiteral("0123456789abcdefgh"));
    QCOMPARE(field->text(), QStringLiteral("Caf ~0123456789a"));
    QCOMPARE(window.getMidiController()->getPresetName(), field->text());
}

void TestMainWindow::presetNameSaysWhatItDropped_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("how"); // type, paste, or apply as a patch's name
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("status");

    const QString ascii = QStringLiteral(
        "The Vellichord stores only printable ASCII characters in a preset name");
    QTest::newRow("typed") << ""
                           << "type"
                           << "Lead"
                           << "Lead"
                           << "before";
    QTest::newRow("typed accent") << "Caf"
                                  << "type"
                                  << "\u00e9"
                                  << "Caf" << ascii;
    QTest::newRow("typed 17th") << "abcdefghijklmnop"
                                << "type"
                                << "q"
                                << "abcdefghijklmnop"
                                << "A preset name holds at most 16 characters";
    QTest::newRow("pasted Latin and Cyrillic")
        << ""
        << "paste"
        << "Caf\u00e9 \u041f\u044d\u0434"
        << "Caf "
        << "Dropped from the preset name: \u00e9, \u041f, \u044d, \u0434";
    QTest::newRow("pasted past 16, with a tab")
        << "abcdefghijkl"
        << "paste"
        << "mn\topqrs"
        << "abcdefghijklmnop"
        << "Dropped from the preset name: U+0009, \"qrs\" past 16 characters";
    QTest::newRow("a patch's name is shown as it is") << ""
                                                      << "apply"
                                                      << "Caf\u00e9"
                                                      << "Caf\u00e9"
                                                      << "before";
}

void TestMainWindow::presetNameSaysWhatItDropped()
{
    QFETCH(QString, before);
    QFETCH(QString, how);
    QFETCH(QString, input);
    QFETCH(QString, after);
    QFETCH(QString, status);
    MainWindow window(noDevice());
    auto *field = widget<QLineEdit>(window, "lineEditPresetName");
    field->setText(before);
    field->end(false);
    window.showStatusMessage(QStringLiteral("before"));
    if (how == QLatin1String("type")) {
        typeText(field, input);
    } else if (how == QLatin1String("paste")) {
        QApplication::clipboard()->setText(input);
        field->paste();
    } else {
        QByteArray message = type1(window);
        message.replace(11, 16, input.toLatin1().leftJustified(16, '\0'));
        QVERIFY(window.getMidiController()->parseType2Message(message));
    }
    QCOMPARE(field->text(), after);
    QCOMPARE(window.getMidiController()->getPresetName(), after);
    QCOMPARE(widget<QLabel>(window, "labelPresetNameCount")->text(),
             QStringLiteral("%1/16").arg(after.size()));
    QCOMPARE(statusText(window), status);
}

void TestMainWindow::appliedPatchRefreshesNameField()
{
    MainWindow window(noDevice());
    MidiController *controller = window.getMidiController();
    QByteArray message(reinterpret_cast<const char *>(controller->getType1Sysex()), 348);
    message[6] = 0x63;
    message.replace(11, 16, QByteArray("Stage Set").leftJustified(16, '\0'));

    TraceCapture traces;
    QVERIFY(controller->parseType2Message(message));
    QCOMPARE(widget<QLineEdit>(window, "lineEditPresetName")->text(), QStringLiteral("Stage Set"));
    QVERIFY(traces.contains(QStringLiteral("RefreshView")));
}

void TestMainWindow::selectButtonsSwitchModes()
{
    MainWindow window(noDevice());
    auto *single = widget<QPushButton>(window, "pushButtonSelectSingle");
    auto *multi = widget<QPushButton>(window, "pushButtonSelectMulti");
    auto *view = widget<QGraphicsView>(window, "graphicsView");

    // Clicking the mode already in force keeps its button checked.
    for (int i = 0; i < 2; ++i) {
        QTest::mouseClick(multi, Qt::LeftButton);
        QVERIFY(window.selection()->isMulti());
        QCOMPARE(view->dragMode(), QGraphicsView::RubberBandDrag);
        QVERIFY(multi->isChecked());
        QVERIFY(!single->isChecked());
    }
    for (int i = 0; i < 2; ++i) {
        QTest::mouseClick(single, Qt::LeftButton);
        QVERIFY(!window.selection()->isMulti());
        QCOMPARE(view->dragMode(), QGraphicsView::NoDrag);
        QVERIFY(single->isChecked());
        QVERIFY(!multi->isChecked());
    }
}

void TestMainWindow::loadCancelledChangesNothing()
{
    MainWindow window(noDevice());
    QTRY_VERIFY(window.midiStarted()); // the port opens from the event loop
    window.showStatusMessage(QStringLiteral("before"));
    const QByteArray before(
        reinterpret_cast<const char *>(window.getMidiController()->getType1Sysex()), 348);

    answerFileDialog(QString());
    QTest::mouseClick(widget<QPushButton>(window, "buttonLoadSysex"), Qt::LeftButton);
    QCOMPARE(statusText(window), QStringLiteral("before"));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(window.getMidiController()->getType1Sysex()),
                        348),
             before);
}

void TestMainWindow::loadAppliesFileAndSaysSo()
{
    QByteArray patch = SimulatedDevice().patchMessage();
    patch[6] = 0x61; // as saved
    const QString path = workDir.filePath(QStringLiteral("load.syx"));
    QVERIFY(writeFile(path, patch));

    MainWindow window(noDevice());
    answerFileDialog(path);
    QTest::mouseClick(widget<QPushButton>(window, "buttonLoadSysex"), Qt::LeftButton);
    QCOMPARE(statusText(window), QStringLiteral("Settings File Loaded"));
    QCOMPARE(widget<QLineEdit>(window, "lineEditPresetName")->text(),
             QStringLiteral("Simulated Device"));
    patch[9] = 0; // the editor keeps its preset number
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(window.getMidiController()->getType1Sysex()),
                        348),
             patch);
}

void TestMainWindow::loadOfNonPatchSaysSo_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("reason");
    QByteArray patch = SimulatedDevice().patchMessage();
    patch[6] = 0x61;
    QTest::newRow("347 bytes of a patch") << patch.left(347) << "shorter than 348 bytes";
    QTest::newRow("348 zero bytes") << QByteArray(348, '\0') << "not a patch file";
}

void TestMainWindow::loadOfNonPatchSaysSo()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, reason);
    const QString path = workDir.filePath(QStringLiteral("bad.syx"));
    QVERIFY(writeFile(path, contents));

    MainWindow window(noDevice());
    const QByteArray before(
        reinterpret_cast<const char *>(window.getMidiController()->getType1Sysex()), 348);
    answerFileDialog(path);
    QTest::mouseClick(widget<QPushButton>(window, "buttonLoadSysex"), Qt::LeftButton);
    QCOMPARE(statusText(window),
             QStringLiteral("Could not load settings file: ") + path + QStringLiteral(": ")
                 + reason);
    QCOMPARE(widget<QLineEdit>(window, "lineEditPresetName")->text(),
             QStringLiteral("tarvelvellichord"));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(window.getMidiController()->getType1Sysex()),
                        348),
             before);
}

void TestMainWindow::saveWritesPatchAndSaysSo()
{
    MainWindow window(noDevice());
    window.showStatusMessage(QStringLiteral("before"));
    const QString path = workDir.filePath(QStringLiteral("saved.syx"));

    answerFileDialog(path);
    QTest::mouseClick(widget<QPushButton>(window, "buttonSaveSysex"), Qt::LeftButton);
    QCOMPARE(statusText(window), QStringLiteral("Settings file saved: ") + path);
    QCOMPARE(readFile(path),
             QByteArray(reinterpret_cast<const char *>(window.getMidiController()->getType1Sysex()),
                        348));
}

void TestMainWindow::saveFailureSaysSo()
{
    MainWindow window(noDevice());
    // Save into a folder that vanishes while the dialog is open.
    const QString folder = workDir.filePath(QStringLiteral("vanishing"));
    QVERIFY(QDir().mkdir(folder));
    const QString path = folder + QStringLiteral("/patch.syx");
    answerFileDialog(path, [folder] { QDir(folder).removeRecursively(); });

    QTest::mouseClick(widget<QPushButton>(window, "buttonSaveSysex"), Qt::LeftButton);
    QCOMPARE(statusText(window), QStringLiteral("Could not save settings file: ") + path);
}

void TestMainWindow::closingEndsEventLoopWithZero()
{
    MainWindow window(noDevice());
    QObject::connect(qApp, &QApplication::lastWindowClosed, qApp, &QApplication::quit);
    window.show();
    TraceCapture traces;
    QTimer::singleShot(0, &window, &QWidget::close);
    QCOMPARE(qApp->exec(), 0);
    QVERIFY(!window.isVisible());
    QVERIFY(traces.contains(QStringLiteral("Closing Main window")));
    // The input monitor is told to stop as the window closes.
    QVERIFY(window.getMidiController()->getMonitor()->wait(5000));
}

void TestMainWindow::unwritableLogStillAppliesPatches_data()
{
    QTest::addColumn<bool>("fifo");
    // Not even root can append to a folder.
    QTest::newRow("folder") << false;
    // Opened for writing, a FIFO would wait for a reader: the guard lets such an opening
    // through within two seconds, so that the test fails rather than hangs.
    QTest::newRow("FIFO") << true;
}

void TestMainWindow::unwritableLogStillAppliesPatches()
{
    QFETCH(bool, fifo);
    QTemporaryDir here;
    QVERIFY(here.isValid());
    QVERIFY(QDir::setCurrent(here.path()));
    const auto back = qScopeGuard([this] { QDir::setCurrent(workDir.path()); });
    std::optional<GuardedFifo> guarded;
    if (fifo) {
        guarded.emplace(QStringLiteral("log.txt"));
        QVERIFY(guarded->isCreated());
    } else {
        QVERIFY(QDir().mkdir(QStringLiteral("log.txt")));
    }
    const QString trace = QStringLiteral("Couldn't write log file ")
        + QDir(here.path()).absoluteFilePath(QStringLiteral("log.txt"));

    TraceCapture traces;
    SimulatedDevice *device = nullptr;
    MainWindow window(plug(device));
    QTRY_COMPARE(statusText(window), QStringLiteral("Patch uploaded."));
    QCOMPARE(widget<QLineEdit>(window, "lineEditPresetName")->text(),
             QStringLiteral("Simulated Device"));
    QByteArray expected = SimulatedDevice::ownPatch();
    expected[6] = 0x61;
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(window.getMidiController()->getType1Sysex()),
                        348),
             expected);
    QTRY_COMPARE(traces.count(trace), 1);

    // A patch file is applied too, and the device still takes the patch.
    QByteArray patch = expected;
    patch.replace(11, 16, QByteArray("From a file").leftJustified(16, '\0'));
    const QString path = here.filePath(QStringLiteral("patch.syx"));
    QVERIFY(writeFile(path, patch));
    answerFileDialog(path);
    QTest::mouseClick(widget<QPushButton>(window, "buttonLoadSysex"), Qt::LeftButton);
    QCOMPARE(statusText(window), QStringLiteral("Settings File Loaded"));
    QCOMPARE(widget<QLineEdit>(window, "lineEditPresetName")->text(),
             QStringLiteral("From a file"));
    // Said once while the log stays unwritable.
    DiagnosticLog::instance().flush();
    QCOMPARE(traces.count(trace), 1);
    QTest::mouseClick(widget<QPushButton>(window, "buttonDownload"), Qt::LeftButton);
    QCOMPARE(statusText(window), QStringLiteral("Patch downloaded"));
    QCOMPARE(device->received.last(),
             patch.replace(9, 1, QByteArray(1, SimulatedDevice::presetNo)));
    QVERIFY(!QFileInfo(QStringLiteral("log.txt")).isFile());
}

void TestMainWindow::unpluggedDeviceIsReportedAndThePatchKept()
{
    SimulatedDevice *device = nullptr;
    MainWindow window(plug(device));
    QTRY_COMPARE(statusText(window), QStringLiteral("Patch uploaded."));
    // An edit that has not reached the device yet.
    auto *channel = widget<QComboBox>(window, "comboBoxChannel");
    window.frontPanel()->item(39)->setSelected(true);
    channel->setCurrentIndex(6);
    const QByteArray edited = type1(window);
    QCOMPARE(int(edited[65]), 6);
    const int sent = device->received.size();

    // The cable is pulled.
    device->attached = false;
    device->connected = false;
    QTest::mouseClick(widget<QPushButton>(window, "buttonDownload"), Qt::LeftButton);
    QCOMPARE(statusText(window), QStringLiteral("Download failed: Vellichord not connected"));
    QTest::mouseClick(widget<QPushButton>(window, "buttonUpload"), Qt::LeftButton);
    QCOMPARE(statusText(window), QStringLiteral("Upload failed: Vellichord not connected"));
    QCOMPARE(type1(window), edited);
    QCOMPARE(device->received.size(), sent);

    // Editing goes on, and the patch can be kept in a file.
    channel->setCurrentIndex(7);
    QCOMPARE(int(type1(window)[65]), 7);
    const QString path = workDir.filePath(QStringLiteral("unplugged.syx"));
    answerFileDialog(path);
    QTest::mouseClick(widget<QPushButton>(window, "buttonSaveSysex"), Qt::LeftButton);
    QCOMPARE(readFile(path), type1(window));
    QCOMPARE(statusText(window), QStringLiteral("Settings file saved: ") + path);
}

void TestMainWindow::uploadAnswerThatNeverComesIsReported()
{
    SimulatedDevice *device = nullptr;
    MainWindow window(plug(device));
    QTRY_COMPARE(statusText(window), QStringLiteral("Patch uploaded."));
    const QByteArray before = type1(window);

    // The request goes out, and the device is pulled out before it answers.
    device->reply = SimulatedDevice::Reply::Nothing;
    QTest::mouseClick(widget<QPushButton>(window, "buttonUpload"), Qt::LeftButton);
    QCOMPARE(statusText(window), QStringLiteral("Waiting for upload..."));
    device->attached = false;
    device->connected = false;
    QTRY_COMPARE_WITH_TIMEOUT(statusText(window),
                              QStringLiteral("Upload failed: no answer from Vellichord"),
                              PatchDocument::uploadAnswerWaitMs + 10000);
    QCOMPARE(type1(window), before);

    // An answer that comes after all is applied as any patch message is.
    QByteArray late = SimulatedDevice::ownPatch();
    late.replace(11, 16, QByteArray("Late Answer").leftJustified(16, '\0'));
    late[30] = 3; // S1 Max
    device->send(late);
    QTRY_COMPARE(statusText(window), QStringLiteral("Patch uploaded."));
    QCOMPARE(widget<QLineEdit>(window, "lineEditPresetName")->text(),
             QStringLiteral("Late Answer"));
    late[6] = 0x61;
    QCOMPARE(type1(window), late);
}

void TestMainWindow::uploadWaitLeavesOtherTextsAlone()
{
    SimulatedDevice *device = nullptr;
    MainWindow window(plug(device));
    auto *wait = window.findChild<QTimer *>(QStringLiteral("uploadAnswerTimer"));
    QVERIFY(wait);

    // Answered in time: the wait runs out and the answer's text stays.
    QTest::mouseClick(widget<QPushButton>(window, "buttonUpload"), Qt::LeftButton);
    QTRY_COMPARE(statusText(window), QStringLiteral("Patch uploaded."));
    QTRY_VERIFY_WITH_TIMEOUT(!wait->isActive(), PatchDocument::uploadAnswerWaitMs + 10000);
    QCOMPARE(statusText(window), QStringLiteral("Patch uploaded."));

    // Unanswered, but something else was said meanwhile.
    device->reply = SimulatedDevice::Reply::Nothing;
    QTest::mouseClick(widget<QPushButton>(window, "buttonUpload"), Qt::LeftButton);
    QCOMPARE(statusText(window), QStringLiteral("Waiting for upload..."));
    QTest::mouseClick(widget<QPushButton>(window, "buttonDownload"), Qt::LeftButton);
    QCOMPARE(statusText(window), QStringLiteral("Patch downloaded"));
    QTRY_VERIFY_WITH_TIMEOUT(!wait->isActive(), PatchDocument::uploadAnswerWaitMs + 10000);
    QCOMPARE(statusText(window), QStringLiteral("Patch downloaded"));
}

void TestMainWindow::patchFileChangedOnDiskBeforeLoad_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("reason"); // empty when it loads

    QTest::newRow("truncated") << "truncated"
                               << "shorter than 348 bytes";
    QTest::newRow("emptied") << "emptied"
                             << "shorter than 348 bytes";
    QTest::newRow("replaced by other bytes") << "garbage"
                                             << "not a patch file";
    QTest::newRow("replaced by text") << "text"
                                      << "not a patch file";
    QTest::newRow("deleted") << "deleted"
                             << "cannot be read";
    QTest::newRow("replaced by a folder") << "folder"
                                          << "not a regular file";
    QTest::newRow("grown longer") << "longer"
                                  << "";
}

void TestMainWindow::patchFileChangedOnDiskBeforeLoad()
{
    QFETCH(QString, change);
    QFETCH(QString, reason);

    MainWindow window(noDevice());
    auto *name = widget<QLineEdit>(window, "lineEditPresetName");
    auto *max = widget<QSpinBox>(window, "spinMax");
    window.frontPanel()->item(3)->setSelected(true);
    name->setText(QStringLiteral("Saved Set"));
    max->setValue(100);
    const QString path = workDir.filePath(QStringLiteral("changing-%1.syx").arg(change));
    QFile::remove(path);
    answerFileDialog(path);
    QTest::mouseClick(widget<QPushButton>(window, "buttonSaveSysex"), Qt::LeftButton);
    const QByteArray saved = readFile(path);
    QCOMPARE(saved, type1(window));

    window.frontPanel()->item(3)->setSelected(true);
    name->setText(QStringLiteral("Edited"));
    max->setValue(50);
    const QByteArray edited = type1(window);

    // The file changes after the user chose it in the dialog, before the editor reads it.
    QByteArray onDisk;
    answerFileDialog(path, [&] {
        whenChosen([&] {
            if (change == QLatin1String("truncated"))
                onDisk = saved.left(200);
            else if (change == QLatin1String("garbage"))
                for (int i = 0; i < 348; ++i)
                    onDisk += char(i * 37 + 11);
            else if (change == QLatin1String("text"))
                onDisk = QByteArray("just some words\n").repeated(30);
            else if (change == QLatin1String("longer"))
                onDisk = saved + QByteArray(1000, '\x55');
            QVERIFY(QFile::remove(path));
            if (change == QLatin1String("folder"))
                QVERIFY(QDir().mkdir(path));
            else if (change != QLatin1String("deleted"))
                QVERIFY(writeFile(path, onDisk));
        });
    });
    QTest::mouseClick(widget<QPushButton>(window, "buttonLoadSysex"), Qt::LeftButton);

    if (reason.isEmpty()) {
        QCOMPARE(statusText(window), QStringLiteral("Settings File Loaded"));
        QCOMPARE(name->text(), QStringLiteral("Saved Set"));
        QCOMPARE(type1(window), saved);
    } else {
        QCOMPARE(statusText(window),
                 QStringLiteral("Could not load settings file: ") + path + QStringLiteral(": ")
                     + reason);
        QCOMPARE(name->text(), QStringLiteral("Edited"));
        QCOMPARE(type1(window), edited);
    }
    // Reading leaves the file as it is.
    QCOMPARE(QFileInfo(path).isDir(), change == QLatin1String("folder"));
    QCOMPARE(QFileInfo::exists(path), change != QLatin1String("deleted"));
    if (QFileInfo(path).isFile())
        QCOMPARE(readFile(path), onDisk);
}

void TestMainWindow::saveThatCannotBeWrittenKeepsTheOldFile_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("file replaced by a folder") << "folder";
    QTest::newRow("its folder removed") << "no folder";
#ifdef Q_OS_UNIX
    QTest::newRow("disk full part-way") << "disk full";
#endif
}

void TestMainWindow::saveThatCannotBeWrittenKeepsTheOldFile()
{
    QFETCH(QString, fault);

    const QString folder = workDir.filePath(QStringLiteral("save-") + fault);
    QVERIFY(QDir(folder).removeRecursively() && QDir().mkdir(folder));
    const QString path = folder + QStringLiteral("/patch.syx");
    MainWindow window(noDevice());
    auto *name = widget<QLineEdit>(window, "lineEditPresetName");
    name->setText(QStringLiteral("Older"));
    answerFileDialog(path);
    QTest::mouseClick(widget<QPushButton>(window, "buttonSaveSysex"), Qt::LeftButton);
    const QByteArray older = readFile(path);
    QCOMPARE(older, type1(window));

    name->setText(QStringLiteral("Newer"));
    window.getMidiController()->getModels()->at(3)->updateParameter(Max, 42);
    const QByteArray newer = type1(window);
    window.showStatusMessage(QStringLiteral("before"));

#ifdef Q_OS_UNIX
    std::optional<FileSizeLimit> full;
#endif
    // Replacing the file is confirmed; then the fault strikes, before the editor writes.
    answerFileDialog(path, [&] {
        confirmNextQuestion();
        whenChosen([&] {
            if (fault == QLatin1String("folder")) {
                QVERIFY(QFile::remove(path));
                QVERIFY(QDir().mkdir(path));
                QVERIFY(writeFile(path + QStringLiteral("/inside.txt"), "kept"));
            } else if (fault == QLatin1String("no folder")) {
                QVERIFY(QDir(folder).removeRecursively());
            } else {
#ifdef Q_OS_UNIX
                full.emplace(100);
                QVERIFY(full->isActive());
#endif
            }
        });
    });
    QTest::mouseClick(widget<QPushButton>(window, "buttonSaveSysex"), Qt::LeftButton);
#ifdef Q_OS_UNIX
    full.reset();
#endif

    QCOMPARE(statusText(window), QStringLiteral("Could not save settings file: ") + path);
    QCOMPARE(name->text(), QStringLiteral("Newer"));
    QCOMPARE(type1(window), newer);
    if (fault == QLatin1String("folder")) {
        QVERIFY(QFileInfo(path).isDir());
        QCOMPARE(readFile(path + QStringLiteral("/inside.txt")), QByteArray("kept"));
    } else if (fault == QLatin1String("no folder")) {
        QVERIFY(!QFileInfo::exists(folder));
    } else {
        // The old patch is whole, and nothing half-written is left beside it.
        QCOMPARE(readFile(path), older);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System),
                 QStringList{"patch.syx"});
    }
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
