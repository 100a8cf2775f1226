#include "../common/files.h"
#include "../common/simulateddevice.h"
#include "../updater/updaterrig.h"
#include "closeonsignal.h"
#include "editprobe.h"
#include "recoveryfile.h"

#include <QDeadlineTimer>
#include <QStatusBar>
#include <QThread>
#include <QUndoStack>

#include <atomic>
#include <csignal>

using namespace editprobe;

namespace {

// Waits for the next message box and clicks its button with this text, or, given a signal,
// raises that instead, as a session logging out meanwhile would. name and text tell which box.
class QuestionWatch : public QObject
{
public:
    explicit QuestionWatch(const QString &button, int signal = 0)
        : button(button)
        , signal(signal)
    {
        connect(&timer, &QTimer::timeout, this, &QuestionWatch::look);
        timer.start(10);
    }
    QString name;
    QString text;

private:
    void look()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        timer.stop();
        name = box->objectName();
        text = box->text();
        if (signal != 0) {
            std::raise(signal);
            return;
        }
        for (QAbstractButton *b : box->buttons()) {
            if (b->text() == button) {
                b->click();
                return;
            }
        }
        box->reject();
    }

    QString button;
    int signal;
    QTimer timer;
};

// A window wired to the signals as main() wires the editor's; unless the device stays silent,
// it has answered.
std::unique_ptr<MainWindow>
startEditor(SimulatedDevice *&device, SimulatedDevice::Reply reply = SimulatedDevice::Reply::Patch)
{
    auto window = std::make_unique<MainWindow>(plug(device, true, reply));
    MainWindow *w = window.get();
    closeOnSignal(w, [w] { w->closeUnasked(); });
    w->show();
    const bool up = QTest::qWaitForWindowExposed(w)
        && QTest::qWaitFor([w] { return w->midiStarted(); })
        && (reply != SimulatedDevice::Reply::Patch || QTest::qWaitFor([w] {
                        return statusText(*w) == QStringLiteral("Patch uploaded.");
                    }));
    return up ? std::move(window) : nullptr;
}

const QList<int> editedControls = {20, 21};

void edit(MainWindow &window)
{
    select(window, editedControls);
    child<QComboBox>(window, QStringLiteral("comboBoxChannel"))->setCurrentIndex(15);
}

} // namespace

// Unsent changes survive an end nobody was asked about, and the next start offers them back.
class TestRecovery : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void signalKeepsUnsentChanges_data();
    void signalKeepsUnsentChanges();
    void nextStartOffersThem_data();
    void nextStartOffersThem();
    void damagedFileIsReportedAndKept();
    void transferHoldsTheCloseUntilItEnds();

private:
    QTemporaryDir home;
    QString path;
};

void TestRecovery::initTestCase()
{
    QVERIFY(home.isValid());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
    path = RecoveryFile::defaultPath();
    QVERIFY(path.startsWith(home.path()));
}

void TestRecovery::init()
{
    QDir data(home.filePath(QStringLiteral("data")));
    QVERIFY(data.removeRecursively() && data.mkpath(QStringLiteral(".")));
}

void TestRecovery::signalKeepsUnsentChanges_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("unsent");
    QTest::addColumn<bool>("questionOpen");
    QTest::addColumn<bool>("writable");

    QTest::newRow("SIGTERM") << SIGTERM << true << false << true;
    QTest::newRow("SIGHUP") << SIGHUP << true << false << true;
    QTest::newRow("SIGINT") << SIGINT << true << false << true;
    QTest::newRow("nothing unsent") << SIGTERM << false << false << true;
    QTest::newRow("close question open") << SIGTERM << true << true << true;
    QTest::newRow("data folder unwritable") << SIGTERM << true << false << false;
}

void TestRecovery::signalKeepsUnsentChanges()
{
    QFETCH(int, signal);
    QFETCH(bool, unsent);
    QFETCH(bool, questionOpen);
    QFETCH(bool, writable);

    SimulatedDevice *device = nullptr;
    auto window = startEditor(device);
    QVERIFY(window);
    if (unsent)
        edit(*window);
    const QByteArray patch = type1(*window);
    if (!writable) {
        QVERIFY(writeFile(QFileInfo(path).path(), "in the way"));
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("^Could not write the recovery")));
    }

    // No question holds the close; one the close button opened ends unanswered.
    QuestionWatch watch(QStringLiteral("Cancel"), questionOpen ? signal : 0);
    if (questionOpen)
        QTimer::singleShot(0, window.get(), [w = window.get()] { w->close(); });
    else
        QCOMPARE(std::raise(signal), 0);
    QTRY_VERIFY(!window->isVisible());
    QCOMPARE(watch.name, questionOpen ? QStringLiteral("closeQuestion") : QString());
    QCOMPARE(QFileInfo::exists(path), unsent && writable);
    if (unsent && writable)
        QCOMPARE(readFile(path), patch);
}

void TestRecovery::nextStartOffersThem_data()
{
    QTest::addColumn<QString>("answer"); // empty: a signal ends the question
    QTest::addColumn<bool>("lateDevice");

    QTest::newRow("Restore") << "Restore" << false;
    QTest::newRow("Restore, device answers after the start") << "Restore" << true;
    QTest::newRow("Discard") << "Discard" << false;
    QTest::newRow("ended unanswered") << QString() << false;
}

void TestRecovery::nextStartOffersThem()
{
    QFETCH(QString, answer);
    QFETCH(bool, lateDevice);

    SimulatedDevice *device = nullptr;
    auto first = startEditor(device);
    QVERIFY(first);
    edit(*first);
    const QByteArray patch = type1(*first);
    QCOMPARE(std::raise(SIGTERM), 0);
    QTRY_VERIFY(!first->isVisible());
    first.reset();
    const QDateTime time(QDate(2026, 11, 30), QTime(18, 45));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite)
            && file.setFileTime(time, QFileDevice::FileModificationTime));
    file.close();

    auto next = startEditor(
        device, lateDevice ? SimulatedDevice::Reply::Nothing : SimulatedDevice::Reply::Patch);
    QVERIFY(next);
    QuestionWatch watch(answer, answer.isEmpty() ? SIGTERM : 0);
    next->offerRecovery();
    if (lateDevice) {
        // Asked before the device's answer, a restored patch would give way to it.
        QCOMPARE(watch.name, QString());
        device->send(SimulatedDevice::ownPatch());
    }
    QTRY_COMPARE(watch.name, QStringLiteral("recoveryQuestion"));
    QCOMPARE(watch.text,
             QStringLiteral("Restore the unsent changes from %1?")
                 .arg(QLocale().toString(time, QLocale::ShortFormat)));
    if (answer.isEmpty()) {
        QTRY_VERIFY(!next->isVisible());
        QCOMPARE(readFile(path), patch); // for the start after
        return;
    }
    QVERIFY(!QFileInfo::exists(path));
    QByteArray own = SimulatedDevice::ownPatch();
    own[PatchLayout::kindOffset] = char(PatchLayout::kindType1);
    if (answer == QStringLiteral("Restore")) {
        QCOMPARE(type1(*next), patch);
        QCOMPARE(marked(*next), editedControls);
        QCOMPARE(next->document()->undoStack()->undoText(),
                 QStringLiteral("Restore unsent changes"));
        next->document()->undoStack()->undo();
    }
    QCOMPARE(type1(*next), own);
    QCOMPARE(marked(*next), QList<int>());
}

void TestRecovery::damagedFileIsReportedAndKept()
{
    const QByteArray damaged(100, '\xF0');
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QVERIFY(writeFile(path, damaged));
    MainWindow window(noDevice());
    QTRY_VERIFY(window.midiStarted()); // the port opens from the event loop
    QuestionWatch watch(QStringLiteral("Discard"));
    window.offerRecovery();
    QCOMPARE(watch.name, QString());

    const QDir folder = QFileInfo(path).dir();
    const QStringList files = folder.entryList(QDir::Files);
    QCOMPARE(files.size(), 1);
    QVERIFY(files.first() != QFileInfo(path).fileName());
    QCOMPARE(readFile(folder.filePath(files.first())), damaged);
    QCOMPARE(statusText(window),
             QStringLiteral("Could not restore the unsent changes: %1: shorter than 348 bytes; "
                            "kept as %2")
                 .arg(path, folder.filePath(files.first())));
}

void TestRecovery::transferHoldsTheCloseUntilItEnds()
{
    UpdaterRig rig;
    closeOnSignal(&rig.window, [&rig] { rig.window.closeUnasked(); });
    const QString file = home.filePath(QStringLiteral("update.hex"));
    QVERIFY(writeFile(file, (updateRecordOfSize(30) + updateRecordOfSize(12)).toHex(' ')));
    QVERIFY(rig.dialog->load_update_binary(file));
    rig.device->statusAnswer = 0x3D;
    rig.window.show();
    rig.dialog->show();
    edit(rig.window);
    const QByteArray patch = type1(rig.window);

    // Cut short, the transfer could leave the device without firmware.
    // The signal arrives during the first record; the transfer goes on once the window has
    // taken it.
    const QString held = QStringLiteral("The editor closes once the firmware update has ended");
    std::atomic<bool> heldShown{false};
    QObject::connect(rig.window.statusBar(), &QStatusBar::messageChanged,
                     [&](const QString &text) { heldShown = heldShown || text == held; });
    rig.device->recordAnswer = [&](const QByteArray &) {
        if (rig.device->records.size() == 1) {
            std::raise(SIGTERM);
            QDeadlineTimer deadline(10000);
            while (!heldShown && !deadline.hasExpired())
                QThread::msleep(5);
        }
        return quint8(rig.device->records.size() == 2 ? 0x77 : 0x1A);
    };
    bool visibleAtTheEnd = false;
    QObject::connect(rig.dialog, &UpdateDialog::runFinished,
                     [&] { visibleAtTheEnd = rig.window.isVisible(); });
    QVERIFY(finishRun(rig.dialog, [&] { rig.dialog->doUpdate(); }));
    QVERIFY(heldShown);
    QVERIFY(visibleAtTheEnd);
    QTRY_VERIFY(!rig.window.isVisible());
    QCOMPARE(readFile(path), patch);
}

QTEST_MAIN(TestRecovery)
#include "tst_recovery.moc"
