#include "../common/filedialog.h"
#include "../common/files.h"
#include "../common/simulateddevice.h"
#include "editprobe.h"
#include "patch.h"

#include <QUndoStack>

using namespace editprobe;

namespace {

QString unsentField(const MainWindow &window)
{
    return child<QLabel>(window, QStringLiteral("labelUnsent"))->text();
}

// What a screen reader reads for the field, empty or not.
QString unsentFieldSpoken(const MainWindow &window)
{
    return QAccessible::queryAccessibleInterface(
               child<QLabel>(window, QStringLiteral("labelUnsent")))
        ->text(QAccessible::Name);
}

// A window whose device has answered at start-up.
std::unique_ptr<MainWindow> connectedWindow(SimulatedDevice *&device)
{
    auto window = std::make_unique<MainWindow>(plug(device));
    window->show();
    const bool answered = QTest::qWaitForWindowExposed(window.get()) && QTest::qWaitFor([&] {
                              return statusText(*window) == QStringLiteral("Patch uploaded.");
                          });
    return answered ? std::move(window) : nullptr;
}

} // namespace

// The editor knows the last patch the device holds and shows, control by control, what it does
// not have yet; no change goes without the user's say.
class TestUnsent : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void marksFollowTheBytes_data();
    void marksFollowTheBytes();
    void referenceBeforeAnyDeviceIsTheStart();
    void closeAsksWithUnsentChanges_data();
    void closeAsksWithUnsentChanges();
    void closeWithoutChangesAsksNothing();
    void patchFromTheDevice_data();
    void patchFromTheDevice();

private:
    QTemporaryDir workDir;
};

void TestUnsent::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(workDir.isValid());
    QVERIFY(QDir::setCurrent(workDir.path()));
    // The device's claims are this test's alone.
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(workDir.path()));
}

void TestUnsent::marksFollowTheBytes_data()
{
    QTest::addColumn<QList<int>>("controls");
    QTest::addColumn<QString>("editor");
    QTest::addColumn<QList<int>>("marks");

    QTest::newRow("two knobs' channel")
        << QList<int>{16, 17} << "comboBoxChannel" << QList<int>{16, 17};
    // One channel parameter, written to both axes' bytes.
    QTest::newRow("X-Y pad's channel") << QList<int>{37} << "comboBoxChannel" << QList<int>{37};
    QTest::newRow("pads' colour, with a slider that has none")
        << QList<int>{0, 39, 40, 41} << "comboBoxColour" << QList<int>{39, 40, 41};
    QTest::newRow("slider's maximum") << QList<int>{5} << "spinMax" << QList<int>{5};
}

void TestUnsent::marksFollowTheBytes()
{
    QFETCH(QList<int>, controls);
    QFETCH(QString, editor);
    QFETCH(QList<int>, marks);

    SimulatedDevice *device = nullptr;
    auto window = connectedWindow(device);
    QVERIFY(window);
    QCOMPARE(marked(*window), QList<int>());
    QCOMPARE(unsentField(*window), QString());
    QCOMPARE(unsentFieldSpoken(*window), QStringLiteral("No unsent changes"));
    QVERIFY(!window->isWindowModified());

    select(*window, controls);
    QWidget *box = child<QWidget>(*window, editor);
    auto edit = [box](int step) {
        if (auto *combo = qobject_cast<QComboBox *>(box))
            combo->setCurrentIndex((combo->currentIndex() + step) % 2);
        else
            static_cast<QSpinBox *>(box)->setValue(static_cast<QSpinBox *>(box)->value() - step);
    };
    edit(1);
    QCOMPARE(marked(*window), marks);
    QCOMPARE(unsentField(*window), QStringLiteral("Unsent changes"));
    QCOMPARE(unsentFieldSpoken(*window), QStringLiteral("Unsent changes"));
    QVERIFY(window->isWindowModified());

    // The name has no mark of its own, but is unsent all the same.
    child<QLineEdit>(*window, QStringLiteral("lineEditPresetName"))->setText(QStringLiteral("n"));
    QCOMPARE(marked(*window), marks);

    press(*window, "buttonDownload");
    QCOMPARE(device->received.last(), type1(*window));
    QCOMPARE(marked(*window), QList<int>());
    QCOMPARE(unsentField(*window), QString());
    QCOMPARE(unsentFieldSpoken(*window), QStringLiteral("No unsent changes"));
    QVERIFY(!window->isWindowModified());

    // Undone to before the Download: the device's patch differs again. Redone: it is the same.
    window->document()->undoStack()->undo();
    QCOMPARE(marked(*window), QList<int>());
    QVERIFY(window->isWindowModified());
    window->document()->undoStack()->undo();
    QCOMPARE(marked(*window), marks);
    window->document()->undoStack()->redo();
    window->document()->undoStack()->redo();
    QCOMPARE(marked(*window), QList<int>());
    QVERIFY(!window->isWindowModified());

    // Edited and set back by hand: not a flag but the bytes decide.
    select(*window, controls);
    edit(1);
    QVERIFY(window->isWindowModified());
    edit(-1);
    QCOMPARE(marked(*window), QList<int>());
    QCOMPARE(unsentField(*window), QString());
    QVERIFY(!window->isWindowModified());
}

void TestUnsent::referenceBeforeAnyDeviceIsTheStart()
{
    MainWindow window(noDevice());
    QVERIFY(!window.document()->hasUnsentChanges());
    select(window, {45});
    child<QComboBox>(window, QStringLiteral("comboBoxColour"))->setCurrentIndex(2);
    QCOMPARE(marked(window), QList<int>{45});
    window.document()->undoStack()->undo();
    QCOMPARE(marked(window), QList<int>());
    QVERIFY(!window.document()->hasUnsentChanges());
}

void TestUnsent::closeAsksWithUnsentChanges_data()
{
    QTest::addColumn<QString>("choice");
    QTest::addColumn<bool>("unplugged");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<bool>("sent");
    QTest::addColumn<bool>("saved");
    QTest::addColumn<QString>("status");

    QTest::newRow("Download and close")
        << "Download and close" << false << true << true << false << "Patch downloaded";
    QTest::newRow("Download and close, device unplugged")
        << "Download and close" << true << false << false << false
        << "Download failed: Vellichord not connected";
    QTest::newRow("Save to file") << QString::fromUtf8("Save to file\u2026") << false << true
                                  << false << true << "Settings file saved: %1";
    QTest::newRow("Discard") << "Discard" << false << true << false << false << "";
    QTest::newRow("Cancel") << "Cancel" << false << false << false << false << "";
}

void TestUnsent::closeAsksWithUnsentChanges()
{
    QFETCH(QString, choice);
    QFETCH(bool, unplugged);
    QFETCH(bool, closed);
    QFETCH(bool, sent);
    QFETCH(bool, saved);
    QFETCH(QString, status);

    SimulatedDevice *device = nullptr;
    auto window = connectedWindow(device);
    QVERIFY(window);
    select(*window, {20});
    child<QComboBox>(*window, QStringLiteral("comboBoxChannel"))->setCurrentIndex(15);
    const QByteArray edited = type1(*window);
    const int sentBefore = device->received.size();
    device->attached = !unplugged;
    const QString path = workDir.filePath(
        QStringLiteral("closing-%1.syx").arg(QTest::currentDataTag()).replace(' ', '-'));
    window->showStatusMessage(QString());

    bool asked = false;
    answerNextQuestion(choice, &asked);
    if (saved)
        answerFileDialog(path);
    QCOMPARE(window->close(), closed);
    QVERIFY(asked);
    QCOMPARE(window->isVisible(), !closed);
    QCOMPARE(device->received.size(), sentBefore + (sent ? 1 : 0));
    if (sent)
        QCOMPARE(device->received.last(), edited);
    QCOMPARE(QFileInfo::exists(path), saved);
    if (saved)
        QCOMPARE(readFile(path), edited);
    QCOMPARE(statusText(*window), status.contains("%1") ? status.arg(path) : status);
    // Whatever the choice, the edit is still the editor's.
    QCOMPARE(type1(*window), edited);
}

void TestUnsent::closeWithoutChangesAsksNothing()
{
    SimulatedDevice *device = nullptr;
    auto window = connectedWindow(device);
    QVERIFY(window);
    bool asked = false;
    const QPointer<QTimer> answer = answerNextQuestion(QStringLiteral("Cancel"), &asked);
    QVERIFY(window->close());
    QVERIFY(!asked);
    QVERIFY(!window->isVisible());
    delete answer.data();
}

void TestUnsent::patchFromTheDevice_data()
{
    QTest::addColumn<bool>("edited");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("kept");
    QTest::addColumn<QString>("status");

    const QString changed = QStringLiteral(
        "The Vellichord's patch changed; your unsent changes are "
        "kept. Upload takes the device's patch.");
    QTest::newRow("unasked, over unsent edits") << true << false << true << changed;
    QTest::newRow("unasked, nothing unsent") << false << false << false << "Patch uploaded.";
    QTest::newRow("asked by Upload, over unsent edits")
        << true << true << false << "Patch uploaded.";
}

// A patch the editor did not ask for never replaces unsent edits: it becomes the patch the
// device is known to hold, and Revert to Device Patch takes it as one step.
void TestUnsent::patchFromTheDevice()
{
    QFETCH(bool, edited);
    QFETCH(bool, asked);
    QFETCH(bool, kept);
    QFETCH(QString, status);

    SimulatedDevice *device = nullptr;
    auto window = connectedWindow(device);
    QVERIFY(window);
    if (edited) {
        select(*window, {30, 31});
        child<QComboBox>(*window, QStringLiteral("comboBoxChannel"))->setCurrentIndex(16);
        QCOMPARE(marked(*window), (QList<int>{30, 31}));
    }
    const QByteArray before = type1(*window);
    QUndoStack *stack = window->document()->undoStack();
    const int steps = stack->count();
    if (asked) {
        device->reply = SimulatedDevice::Reply::Nothing;
        press(*window, "buttonUpload");
        QCOMPARE(statusText(*window), QStringLiteral("Waiting for upload..."));
    }

    // Another name, and S6's maximum changed on the device.
    QByteArray own = SimulatedDevice::ownPatch();
    own.replace(11, 16, QByteArray("on its own\0\0\0\0\0\0", 16));
    const int max = int(
        window->getMidiController()->getModels()->at(5)->getParameter(Max)->address());
    own[max] = char(3);
    Patch onDevice;
    QVERIFY(onDevice.apply(own));
    window->showStatusMessage(QString());
    device->send(own);
    QTRY_COMPARE(statusText(*window), status);

    QCOMPARE(type1(*window), kept ? before : onDevice.toType1());
    QCOMPARE(stack->count(), kept ? steps : steps + 1);
    if (!kept)
        QCOMPARE(stack->undoText(), QStringLiteral("Patch from Vellichord"));
    QCOMPARE(marked(*window), kept ? (QList<int>{5, 30, 31}) : QList<int>());
    QCOMPARE(window->document()->hasUnsentChanges(), kept);

    auto *revert = window->findChild<QAction *>(QStringLiteral("actionRevert"));
    QVERIFY(revert);
    QCOMPARE(revert->isEnabled(), kept);
    if (!kept)
        return;
    revert->trigger();
    QCOMPARE(type1(*window), onDevice.toType1());
    QCOMPARE(child<QLineEdit>(*window, QStringLiteral("lineEditPresetName"))->text(),
             QStringLiteral("on its own"));
    QCOMPARE(marked(*window), QList<int>());
    QVERIFY(!revert->isEnabled());
    QCOMPARE(stack->count(), steps + 1);
    QCOMPARE(stack->undoText(), QStringLiteral("Revert to Device Patch"));
    stack->undo();
    QCOMPARE(type1(*window), before);
    QCOMPARE(marked(*window), (QList<int>{5, 30, 31}));
}

QTEST_MAIN(TestUnsent)
#include "tst_unsent.moc"
