#include "../common/fifo.h"
#include "../common/filedialog.h"
#include "../common/files.h"
#include "../common/simulateddevice.h"
#include "mainwindow.h"
#include "midicontroller.h"

#include <QtTest>
#include <QtWidgets>

#include <functional>

namespace {

QByteArray type1(const MainWindow &window)
{
    return QByteArray(reinterpret_cast<const char *>(window.getMidiController()->getType1Sysex()),
                      348);
}

QString statusText(const MainWindow &window)
{
    return window.findChild<QStatusBar *>(QStringLiteral("statusBar"))->currentMessage();
}

QPushButton *button(const MainWindow &window, const char *name)
{
    auto *found = window.findChild<QPushButton *>(QLatin1String(name));
    if (!found)
        qFatal("button %s missing", name);
    return found;
}

// Runs look on the next modal file dialog, then cancels it.
void inspectFileDialog(std::function<void(QFileDialog *)> look)
{
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, look] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        timer->stop();
        timer->deleteLater();
        look(dialog);
        dialog->reject();
    });
    timer->start(10);
}

// Answers the next question box with Yes and sets asked.
void confirmQuestion(bool *asked)
{
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, asked] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        timer->stop();
        timer->deleteLater();
        *asked = true;
        box->button(QMessageBox::Yes)->click();
    });
    timer->start(10);
}

} // namespace

// Load Settings and Save Settings as the user meets them: the dialogs, the names they give,
// and what the status bar says afterwards.
class TestPatchFileDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void dialogsOfferPatchFilesAndAllFiles_data();
    void dialogsOfferPatchFilesAndAllFiles();
    void saveAddsTheSuffixToANameWithout_data();
    void saveAddsTheSuffixToANameWithout();
    void loadOfWhatIsNoRegularPatchFile_data();
    void loadOfWhatIsNoRegularPatchFile();
    void loadSaysWhatWasBroughtIntoRange_data();
    void loadSaysWhatWasBroughtIntoRange();

private:
    QTemporaryDir workDir;
    QString previousDir;
};

void TestPatchFileDialogs::initTestCase()
{
    QVERIFY(workDir.isValid());
    previousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(workDir.path())); // log.txt goes here
}

void TestPatchFileDialogs::cleanupTestCase()
{
    QDir::setCurrent(previousDir);
}

void TestPatchFileDialogs::dialogsOfferPatchFilesAndAllFiles_data()
{
    QTest::addColumn<QString>("buttonName");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("acceptMode");

    QTest::newRow("Load Settings") << "buttonLoadSysex"
                                   << "Open File" << int(QFileDialog::AcceptOpen);
    QTest::newRow("Save Settings") << "buttonSaveSysex"
                                   << "Save File" << int(QFileDialog::AcceptSave);
}

void TestPatchFileDialogs::dialogsOfferPatchFilesAndAllFiles()
{
    QFETCH(QString, buttonName);
    QFETCH(QString, caption);
    QFETCH(int, acceptMode);

    MainWindow window(noDevice());
    QTRY_VERIFY(window.midiStarted()); // the port opens from the event loop
    window.showStatusMessage(QStringLiteral("before"));
    QStringList filters;
    QString selected;
    QString title;
    int mode = -1;
    inspectFileDialog([&](QFileDialog *dialog) {
        filters = dialog->nameFilters();
        selected = dialog->selectedNameFilter();
        title = dialog->windowTitle();
        mode = dialog->acceptMode();
    });
    QTest::mouseClick(button(window, qPrintable(buttonName)), Qt::LeftButton);

    QCOMPARE(filters, QStringList({"Patch files (*.syx)", "All files (*)"}));
    QCOMPARE(selected, QStringLiteral("Patch files (*.syx)"));
    QCOMPARE(title, caption);
    QCOMPARE(mode, acceptMode);
    // Cancelled: nothing is said.
    QCOMPARE(statusText(window), QStringLiteral("before"));
}

void TestPatchFileDialogs::saveAddsTheSuffixToANameWithout_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("saved");
    QTest::addColumn<bool>("exists"); // the saved name is there already

    QTest::newRow("no suffix") << "plain"
                               << "plain.syx" << false;
    QTest::newRow("its suffix") << "given.syx"
                                << "given.syx" << false;
    QTest::newRow("another suffix") << "other.bin"
                                    << "other.bin" << false;
    QTest::newRow("two suffixes") << "set.v2.syx"
                                  << "set.v2.syx" << false;
    QTest::newRow("folder with a dot") << "folder.d/plain"
                                       << "folder.d/plain.syx" << false;
    QTest::newRow("no suffix, replacing a patch") << "older"
                                                  << "older.syx" << true;
}

void TestPatchFileDialogs::saveAddsTheSuffixToANameWithout()
{
    QFETCH(QString, typed);
    QFETCH(QString, saved);
    QFETCH(bool, exists);

    QTemporaryDir folder;
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("folder.d")));
    const QString savedPath = folder.filePath(saved);
    if (exists)
        QVERIFY(writeFile(savedPath, "an older patch"));

    MainWindow window(noDevice());
    window.findChild<QLineEdit *>(QStringLiteral("lineEditPresetName"))
        ->setText(QStringLiteral("Suffixed"));
    bool asked = false;
    answerFileDialog(folder.filePath(typed), [&] {
        if (exists)
            confirmQuestion(&asked);
    });
    QTest::mouseClick(button(window, "buttonSaveSysex"), Qt::LeftButton);

    QCOMPARE(statusText(window), QStringLiteral("Settings file saved: ") + savedPath);
    QCOMPARE(readFile(savedPath), type1(window));
    // An existing file is replaced only when the user agreed.
    QCOMPARE(asked, exists);
    if (typed != saved)
        QVERIFY(!QFileInfo::exists(folder.filePath(typed)));
}

void TestPatchFileDialogs::loadOfWhatIsNoRegularPatchFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason"); // empty when it loads

    QTest::newRow("FIFO") << "fifo"
                          << "not a regular file";
    QTest::newRow("patch followed by 3 GiB") << "oversized"
                                             << "";
}

void TestPatchFileDialogs::loadOfWhatIsNoRegularPatchFile()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("patch.syx"));
    QByteArray patch = SimulatedDevice().patchMessage();
    patch[6] = 0x61; // as saved
    patch[9] = 0;    // the editor's own preset number
    std::unique_ptr<GuardedFifo> fifo;
    if (kind == QLatin1String("fifo")) {
        fifo = std::make_unique<GuardedFifo>(path);
        QVERIFY(fifo->isCreated());
    } else {
        QVERIFY(writeFile(path, patch));
        QFile file(path);
        QVERIFY(file.resize(qint64(3) << 30)); // sparse
    }

    MainWindow window(noDevice());
    const QByteArray before = type1(window);
    answerFileDialog(path);
    QTest::mouseClick(button(window, "buttonLoadSysex"), Qt::LeftButton);

    if (reason.isEmpty()) {
        QCOMPARE(statusText(window), QStringLiteral("Settings File Loaded"));
        QCOMPARE(type1(window), patch);
    } else {
        QCOMPARE(statusText(window),
                 QStringLiteral("Could not load settings file: %1: %2").arg(path, reason));
        QCOMPARE(type1(window), before);
    }
}

void TestPatchFileDialogs::loadSaysWhatWasBroughtIntoRange_data()
{
    QTest::addColumn<QByteArray>("pokes"); // PAD1's channel and colour bytes
    QTest::addColumn<QString>("status");

    QTest::newRow("in range") << QByteArray("\x10\x02") << "Settings File Loaded";
    QTest::newRow("both out of range")
        << QByteArray("\x32\x09")
        << "Settings File Loaded; 2 values were out of range and were brought into range "
           "(PAD1 Channel 50 \u2192 16)";
}

void TestPatchFileDialogs::loadSaysWhatWasBroughtIntoRange()
{
    QFETCH(QByteArray, pokes);
    QFETCH(QString, status);
    MainWindow window(noDevice());
    const MidiControlModel &pad1 = *window.getMidiController()->getModels()->at(39);
    QByteArray patch = type1(window);
    patch[int(pad1.getParameter(Channel)->address())] = pokes[0];
    patch[int(pad1.getParameter(Colour)->address())] = pokes[1];
    const QString path = workDir.filePath(QStringLiteral("ranges.syx"));
    QVERIFY(writeFile(path, patch));

    answerFileDialog(path);
    QTest::mouseClick(button(window, "buttonLoadSysex"), Qt::LeftButton);
    QCOMPARE(statusText(window), status);
    QCOMPARE(int(pad1.getParameter(Channel)->value()), 16);
    QCOMPARE(int(pad1.getParameter(Colour)->value()), 2);
}

QTEST_MAIN(TestPatchFileDialogs)
#include "tst_patchfiledialogs.moc"
