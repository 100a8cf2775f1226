#include "../common/fifo.h"
#include "../common/filedialog.h"
#include "../common/files.h"
#include "../common/simulateddevice.h"
#include "editprobe.h"

#include <QMessageBox>
#include <QUndoStack>

using namespace editprobe;

namespace {

QString settingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)
        + QStringLiteral("/vellichord-editor.ini");
}

QAction *action(const MainWindow &window, const char *name)
{
    return child<QAction>(window, QLatin1String(name));
}

// Loads a file through File > Load Settings... and its dialog.
void loadThroughMenu(MainWindow &window, const QString &path)
{
    answerFileDialog(path);
    action(window, "actionLoad")->trigger();
}

// The folder that the file dialog opened by open starts in; the dialog is cancelled.
QString folderOfNextDialog(const std::function<void()> &open)
{
    QString shown;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
            timer.stop();
            shown = dialog->directory().absolutePath();
            dialog->reject();
        }
    });
    timer.start(10);
    open();
    return shown;
}

} // namespace

// The menu bar, its shortcuts and the buttons are one set of commands; what the editor remembers
// between runs lives in a settings file that may also be missing or broken.
class TestMenus : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void shortcutsAndButtonsTriggerTheSameAction_data();
    void shortcutsAndButtonsTriggerTheSameAction();
    void undoAndRedoKeys();
    void escapeInThePaneReturnsTheKeysToThePicture_data();
    void escapeInThePaneReturnsTheKeysToThePicture();
    void tipsSayTheDirection_data();
    void tipsSayTheDirection();
    void aboutNamesTheMidiSystemOfThePort();
    void recentFilesKeepTheLatestEight();
    void vanishedRecentFileIsSaidAndRemoved();
    void modeAndFolderAreRemembered();
    void recentFilesBeyondEightInTheFileAreNotShown();
    void unusableSettingsFileDoesNotStopTheEditor_data();
    void unusableSettingsFileDoesNotStopTheEditor();

private:
    QTemporaryDir workDir;
    QByteArray patchFile;
};

void TestMenus::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(workDir.isValid());
    QVERIFY(QDir::setCurrent(workDir.path()));
    patchFile = SimulatedDevice::ownPatch();
    patchFile[6] = 0x61;
}

void TestMenus::init()
{
    QDir(settingsPath()).removeRecursively();
    QFile::remove(settingsPath());
    QVERIFY(!QFileInfo::exists(settingsPath()));
}

void TestMenus::shortcutsAndButtonsTriggerTheSameAction_data()
{
    QTest::addColumn<QString>("actionName");
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<QString>("button");

    QTest::newRow("Load") << "actionLoad" << QKeySequence(QKeySequence::Open) << "buttonLoadSysex";
    QTest::newRow("Save") << "actionSave" << QKeySequence(QKeySequence::Save) << "buttonSaveSysex";
    QTest::newRow("Upload") << "actionUpload" << QKeySequence(QStringLiteral("Ctrl+U"))
                            << "buttonUpload";
    QTest::newRow("Download") << "actionDownload" << QKeySequence(QStringLiteral("Ctrl+D"))
                              << "buttonDownload";
    QTest::newRow("Select All") << "actionSelectAll" << QKeySequence(QKeySequence::SelectAll) << "";
    QTest::newRow("Select None") << "actionSelectNone" << QKeySequence(Qt::Key_Escape) << "";
    QTest::newRow("Quit") << "actionQuit" << QKeySequence(QStringLiteral("Ctrl+Q")) << "";
}

void TestMenus::shortcutsAndButtonsTriggerTheSameAction()
{
    QFETCH(QString, actionName);
    QFETCH(QKeySequence, keys);
    QFETCH(QString, button);

    SimulatedDevice *device = nullptr;
    MainWindow window(plug(device));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTRY_COMPARE(statusText(window), QStringLiteral("Patch uploaded."));
    child<QGraphicsView>(window, QStringLiteral("graphicsView"))->setFocus();
    QAction *command = action(window, qPrintable(actionName));
    QCOMPARE(command->shortcut(), keys);
    QSignalSpy triggered(command, &QAction::triggered);
    const int sent = device->received.size();

    // Load and Save open a file dialog, which is cancelled.
    const bool dialog = !button.isEmpty() && button.contains(QLatin1String("Sysex"));
    if (dialog)
        answerFileDialog(QString());
    QTest::keySequence(&window, keys);
    QCOMPARE(triggered.count(), 1);
    if (actionName == QLatin1String("actionSelectAll"))
        QCOMPARE(window.selection()->size(), 64);
    if (actionName == QLatin1String("actionSelectNone"))
        QCOMPARE(window.selection()->size(), 0);
    if (actionName == QLatin1String("actionQuit"))
        QVERIFY(!window.isVisible());
    if (actionName == QLatin1String("actionUpload"))
        QCOMPARE(device->received.value(sent), SimulatedDevice::patchRequest());
    if (actionName == QLatin1String("actionDownload"))
        QCOMPARE(device->received.value(sent), type1(window));

    if (!button.isEmpty()) {
        if (dialog)
            answerFileDialog(QString());
        press(window, qPrintable(button));
        QCOMPARE(triggered.count(), 2);
    }
}

void TestMenus::undoAndRedoKeys()
{
    MainWindow window(noDevice());
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    const QByteArray start = type1(window);
    select(window, {10});
    child<QComboBox>(window, QStringLiteral("comboBoxChannel"))->setCurrentIndex(9);
    const QByteArray edited = type1(window);
    child<QGraphicsView>(window, QStringLiteral("graphicsView"))->setFocus();

    QCOMPARE(action(window, "actionUndo")->text(), QStringLiteral("&Undo Set Channel of F5"));
    QTest::keySequence(&window, QKeySequence::Undo);
    QCOMPARE(type1(window), start);
    QTest::keySequence(&window, QKeySequence::Redo);
    QCOMPARE(type1(window), edited);
}

void TestMenus::escapeInThePaneReturnsTheKeysToThePicture_data()
{
    QTest::addColumn<int>("control");
    QTest::addColumn<QString>("editor");
    QTest::newRow("combo box of a pad") << 39 << "comboBoxChannel";
    QTest::newRow("spin box of a slider") << 0 << "spinMax";
    QTest::newRow("spin box of the X-Y pad") << 37 << "spinMaxY";
}

void TestMenus::escapeInThePaneReturnsTheKeysToThePicture()
{
    QFETCH(int, control);
    QFETCH(QString, editor);
    SimulatedDevice *device = nullptr;
    MainWindow window(plug(device));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTRY_COMPARE(statusText(window), QStringLiteral("Patch uploaded."));
    select(window, {control});
    auto *field = child<QWidget>(window, editor);
    field->setFocus();
    QVERIFY(field->hasFocus());
    const int sent = device->received.size();

    QTest::keyClick(field, Qt::Key_Escape);
    QVERIFY(window.selection()->isEmpty());
    QCOMPARE(QApplication::focusWidget(), child<QWidget>(window, QStringLiteral("graphicsView")));
    // The Space that follows toggles the picture's control, and nothing reaches the device.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QCOMPARE(window.selection()->size(), 1);
    QCOMPARE(device->received.size(), sent);
}

void TestMenus::tipsSayTheDirection_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("actionName");
    QTest::addColumn<QString>("tip");

    QTest::newRow("Upload") << "buttonUpload"
                            << "actionUpload"
                            << "Upload: get the patch from the Vellichord into the editor";
    QTest::newRow("Download") << "buttonDownload"
                              << "actionDownload"
                              << "Download: send the editor's patch to the Vellichord";
}

void TestMenus::tipsSayTheDirection()
{
    QFETCH(QString, button);
    QFETCH(QString, actionName);
    QFETCH(QString, tip);

    MainWindow window(noDevice());
    QCOMPARE(child<QPushButton>(window, button)->toolTip(), tip);
    QCOMPARE(child<QPushButton>(window, button)->statusTip(), tip);
    QCOMPARE(action(window, qPrintable(actionName))->toolTip(), tip);
    QCOMPARE(action(window, qPrintable(actionName))->statusTip(), tip);
}

void TestMenus::aboutNamesTheMidiSystemOfThePort()
{
    SimulatedDevice *device = nullptr;
    MainWindow window(plug(device));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QString shown;
    QTimer timer;
    connect(&timer, &QTimer::timeout, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            timer.stop();
            shown = box->text();
            box->accept();
        }
    });
    timer.start(10);
    action(window, "actionAbout")->trigger();
    QVERIFY2(shown.endsWith(QStringLiteral("<br>MIDI: Simulated MIDI")), qPrintable(shown));
}

void TestMenus::recentFilesKeepTheLatestEight()
{
    QStringList paths;
    {
        MainWindow window(noDevice());
        for (int i = 0; i < 9; ++i) {
            paths.prepend(workDir.filePath(QStringLiteral("recent%1.syx").arg(i)));
            QVERIFY(writeFile(paths.first(), patchFile));
            loadThroughMenu(window, paths.first());
            QCOMPARE(statusText(window), QStringLiteral("Settings File Loaded"));
        }
        // Loading one again moves it to the top instead of listing it twice.
        loadThroughMenu(window, paths.at(3));
        paths.move(3, 0);
        QCOMPARE(window.recentFiles(), paths.mid(0, 8));
        QStringList shown;
        for (QAction *entry : child<QMenu>(window, QStringLiteral("menuRecentFiles"))->actions())
            shown << QDir::fromNativeSeparators(entry->text());
        QCOMPARE(shown, paths.mid(0, 8));
    }
    // Kept for the next run.
    MainWindow later(noDevice());
    QCOMPARE(later.recentFiles(), paths.mid(0, 8));
}

void TestMenus::vanishedRecentFileIsSaidAndRemoved()
{
    const QString kept = workDir.filePath(QStringLiteral("kept.syx"));
    const QString gone = workDir.filePath(QStringLiteral("gone.syx"));
    QVERIFY(writeFile(kept, patchFile));
    QVERIFY(writeFile(gone, patchFile));
    MainWindow window(noDevice());
    loadThroughMenu(window, kept);
    loadThroughMenu(window, gone);
    window.document()->undoStack()->clear();
    const QByteArray loaded = type1(window);
    QVERIFY(QFile::remove(gone));

    auto *menu = child<QMenu>(window, QStringLiteral("menuRecentFiles"));
    menu->actions().first()->trigger();
    QCOMPARE(statusText(window),
             QStringLiteral("Recent file not found, removed from the list: %1").arg(gone));
    QCOMPARE(window.recentFiles(), QStringList{kept});
    QCOMPARE(menu->actions().size(), 1);
    QCOMPARE(type1(window), loaded);

    menu->actions().first()->trigger();
    QCOMPARE(statusText(window), QStringLiteral("Settings File Loaded"));
}

void TestMenus::modeAndFolderAreRemembered()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("there.syx"));
    QVERIFY(writeFile(path, patchFile));
    {
        MainWindow window(noDevice());
        window.show();
        child<QPushButton>(window, QStringLiteral("pushButtonSelectMulti"))->click();
        loadThroughMenu(window, path);
        window.document()->undoStack()->undo(); // nothing unsent: closes without asking
        window.move(40, 30);
        QVERIFY(window.close());
    }
    MainWindow window(noDevice());
    QVERIFY(window.selection()->isMulti());
    QCOMPARE(window.pos(), QPoint(40, 30));
    QCOMPARE(folderOfNextDialog([&] { action(window, "actionLoad")->trigger(); }),
             QDir(folder.path()).absolutePath());

    // The updater's Open File has a folder of its own.
    QTemporaryDir images;
    const QString image = images.filePath(QStringLiteral("firmware.bin"));
    QVERIFY(writeFile(image, QByteArray(64, '\x01')));
    auto *openFile = window.findChild<QPushButton *>(QStringLiteral("buttonOpenFile"));
    QVERIFY(openFile);
    answerFileDialog(image);
    openFile->click();
    MainWindow later(noDevice());
    QCOMPARE(folderOfNextDialog([&] {
                 later.findChild<QPushButton *>(QStringLiteral("buttonOpenFile"))->click();
             }),
             QDir(images.path()).absolutePath());
    QCOMPARE(folderOfNextDialog([&] { action(later, "actionLoad")->trigger(); }),
             QDir(folder.path()).absolutePath());
}

void TestMenus::recentFilesBeyondEightInTheFileAreNotShown()
{
    QStringList many;
    for (int i = 0; i < 100000; ++i)
        many << QStringLiteral("/r%1").arg(i);
    QSettings(settingsPath(), QSettings::IniFormat).setValue(QStringLiteral("files/recent"), many);
    QVERIFY(QFileInfo(settingsPath()).size() <= EditorSettings::maxFileSize);

    MainWindow window(noDevice());
    QCOMPARE(window.recentFiles(), many.mid(0, 8));
    QCOMPARE(child<QMenu>(window, QStringLiteral("menuRecentFiles"))->actions().size(), 8);
}

void TestMenus::unusableSettingsFileDoesNotStopTheEditor_data()
{
    QTest::addColumn<QString>("kind");

    QTest::newRow("folder") << "folder";
    QTest::newRow("FIFO") << "fifo";
    QTest::newRow("larger than the bound") << "oversize";
}

void TestMenus::unusableSettingsFileDoesNotStopTheEditor()
{
    QFETCH(QString, kind);

    // None of them is read, and none is written over when the editor closes.
    std::unique_ptr<GuardedFifo> fifo;
    const QByteArray oversize = "[selection]\nmulti=true\n"
        + QByteArray(int(EditorSettings::maxFileSize), ';');
    if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(settingsPath()));
    } else if (kind == QLatin1String("fifo")) {
        QVERIFY(QDir().mkpath(QFileInfo(settingsPath()).path()));
        fifo = std::make_unique<GuardedFifo>(settingsPath());
        QVERIFY(fifo->isCreated());
    } else {
        QVERIFY(QDir().mkpath(QFileInfo(settingsPath()).path()));
        QVERIFY(writeFile(settingsPath(), oversize));
    }
    const QString path = workDir.filePath(QStringLiteral("any.syx"));
    QVERIFY(writeFile(path, patchFile));

    MainWindow window(noDevice());
    window.show();
    QVERIFY(!window.selection()->isMulti());
    loadThroughMenu(window, path);
    QCOMPARE(statusText(window), QStringLiteral("Settings File Loaded"));
    QCOMPARE(window.recentFiles(), QStringList{path});
    window.document()->undoStack()->undo();
    QVERIFY(window.close());
    if (kind == QLatin1String("folder"))
        QVERIFY(QFileInfo(settingsPath()).isDir());
    else if (kind == QLatin1String("fifo"))
        QVERIFY(QFileInfo::exists(settingsPath()) && !QFileInfo(settingsPath()).isFile());
    else
        QCOMPARE(readFile(settingsPath()), oversize);
}

QTEST_MAIN(TestMenus)
#include "tst_menus.moc"
