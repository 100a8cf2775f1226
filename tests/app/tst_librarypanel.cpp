#include "../common/filedialog.h"
#include "../common/files.h"
#include "../common/librarysets.h"
#include "../common/simulateddevice.h"
#include "editprobe.h"
#include "librarydocument.h"
#include "librarymodel.h"
#include "librarypanel.h"
#include "librarysender.h"
#include "patch.h"
#include "recoveryfile.h"
#include "updatedialog.h"

#include <QUndoStack>

using namespace editprobe;

// The library's rows as the panel shows them, the commands of the panel and the window, and
// what the window remembers of the panel.
namespace {

constexpr int length = int(PatchLayout::length);

QString settingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)
        + QStringLiteral("/vellichord-editor.ini");
}

// A window started on a simulated device whose first patch has arrived.
bool startedWindow(MainWindow &window)
{
    window.show();
    return QTest::qWaitForWindowExposed(&window)
        && QTest::qWaitFor([&] { return statusText(window) == QStringLiteral("Patch uploaded."); });
}

} // namespace

class TestLibraryPanel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void rowsShowNumberNameStateAndMark_data();
    void rowsShowNumberNameStateAndMark();
    void dropOntoAnotherRowSwaps_data();
    void dropOntoAnotherRowSwaps();
    void editingARowRenamesIt();
    void keysStoreAndOpenRows();
    void copyAndPasteARow();
    void questionBeforeTheFirstSendOnly();
    void stopEndsTheRunAfterThePresetUnderWay();
    void openLibraryThroughTheFileMenu();
    void panelAndItsPlaceAreRemembered();
    void closedUnaskedTheLibraryIsKept();

private:
    QString writeLibrary(const QString &name, const QByteArray &data);

    QTemporaryDir workDir;
};

void TestLibraryPanel::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(workDir.isValid());
    QVERIFY(QDir::setCurrent(workDir.path()));
}

void TestLibraryPanel::init()
{
    QFile::remove(settingsPath());
}

QString TestLibraryPanel::writeLibrary(const QString &name, const QByteArray &data)
{
    const QString path = workDir.filePath(name);
    if (!writeFile(path, data))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void TestLibraryPanel::rowsShowNumberNameStateAndMark_data()
{
    QTest::addColumn<int>("presetNo");
    QTest::addColumn<QString>("display");
    QTest::addColumn<int>("origin");
    QTest::addColumn<QString>("state");
    QTest::addColumn<bool>("marked");
    // Rows 3 and 7 from a file, 7 then sent; 5 received from the device; 9 stored.
    QTest::newRow("empty") << 0 << "00" << int(PatchLibrary::Origin::Empty) << "" << false;
    QTest::newRow("from a file") << 3 << "03  file 3" << int(PatchLibrary::Origin::File)
                                 << "from a file" << true;
    QTest::newRow("from the device")
        << 5 << "05  Simulated Device" << int(PatchLibrary::Origin::Device) << "from the device"
        << false;
    QTest::newRow("sent") << 7 << "07  file 7" << int(PatchLibrary::Origin::Sent) << "sent"
                          << false;
    QTest::newRow("stored") << 9 << "09  Simulated Device" << int(PatchLibrary::Origin::Changed)
                            << "changed" << true;
    QTest::newRow("last, empty") << 19 << "19" << int(PatchLibrary::Origin::Empty) << "" << false;
}

void TestLibraryPanel::rowsShowNumberNameStateAndMark()
{
    QFETCH(int, presetNo);
    QFETCH(QString, display);
    QFETCH(int, origin);
    QFETCH(QString, state);
    QFETCH(bool, marked);

    SimulatedDevice *device = nullptr;
    PatchDocument patch(plug(device));
    LibraryDocument library(&patch);
    LibraryModel model(&library);
    patch.start();
    QTRY_VERIFY(!patch.answerAwaited());
    QVERIFY(library.load(writeLibrary(QStringLiteral("rows.syx"), setOf({3, 7}))));
    QVERIFY(library.receive());
    QTRY_VERIFY(!library.library().isEmpty(SimulatedDevice::presetNo));
    QVERIFY(library.store(9));
    QSignalSpy sent(&library, &LibraryDocument::sendFinished);
    QVERIFY(library.send({7}));
    QVERIFY(sent.wait(5000));

    QCOMPARE(model.rowCount(), 20);
    const QModelIndex row = model.index(presetNo);
    QCOMPARE(row.data().toString(), display);
    QCOMPARE(row.data(LibraryModel::OriginRole).toInt(), origin);
    QCOMPARE(row.data(LibraryModel::StateTextRole).toString(), state);
    QCOMPARE(row.data(LibraryModel::UnsentRole).toBool(), marked);
    // Read out whole, with the mark in words.
    const QString spoken = row.data(Qt::AccessibleTextRole).toString();
    QVERIFY2(spoken.startsWith(QStringLiteral("Preset %1").arg(presetNo)), qPrintable(spoken));
    QCOMPARE(spoken.contains(QStringLiteral("not what the Vellichord holds")), marked);
    // Only rows with a patch can be renamed or dragged.
    QCOMPARE(bool(model.flags(row) & Qt::ItemIsEditable), !state.isEmpty());
    QCOMPARE(bool(model.flags(row) & Qt::ItemIsDragEnabled), !state.isEmpty());
}

void TestLibraryPanel::dropOntoAnotherRowSwaps_data()
{
    QTest::addColumn<QList<int>>("dragged");
    QTest::addColumn<int>("ontoRow");    // -1: between rows
    QTest::addColumn<int>("betweenRow"); // the row below the gap, -1: onto a row
    QTest::addColumn<bool>("swapped");
    QTest::newRow("onto a row with a patch") << QList<int>{2} << 6 << -1 << true;
    QTest::newRow("onto an empty row") << QList<int>{2} << 11 << -1 << true;
    QTest::newRow("into the gap above a row") << QList<int>{6} << -1 << 2 << true;
    QTest::newRow("onto itself") << QList<int>{2} << 2 << -1 << false;
    QTest::newRow("two rows at once") << QList<int>{2, 6} << 11 << -1 << false;
    QTest::newRow("below the last row") << QList<int>{2} << -1 << 20 << false;
}

void TestLibraryPanel::dropOntoAnotherRowSwaps()
{
    QFETCH(QList<int>, dragged);
    QFETCH(int, ontoRow);
    QFETCH(int, betweenRow);
    QFETCH(bool, swapped);

    PatchDocument patch(noDevice());
    LibraryDocument library(&patch);
    LibraryModel model(&library);
    QVERIFY(library.load(writeLibrary(QStringLiteral("drag.syx"), setOf({2, 6}))));
    const PatchLibrary::Rows before = library.library().rows();
    const int steps = patch.undoStack()->count();

    QModelIndexList indexes;
    for (const int presetNo : dragged)
        indexes << model.index(presetNo);
    std::unique_ptr<QMimeData> data(model.mimeData(indexes));
    const QModelIndex parent = ontoRow >= 0 ? model.index(ontoRow) : QModelIndex();
    QCOMPARE(model.canDropMimeData(data.get(), Qt::MoveAction, betweenRow, 0, parent), swapped);
    QCOMPARE(model.dropMimeData(data.get(), Qt::MoveAction, betweenRow, 0, parent), swapped);
    QCOMPARE(patch.undoStack()->count(), steps + (swapped ? 1 : 0));
    if (!swapped) {
        QVERIFY(library.library().rows() == before);
        return;
    }
    const int from = dragged.first();
    const int to = ontoRow >= 0 ? ontoRow : betweenRow;
    // The preset number follows the row.
    QCOMPARE(library.library().message(to), PatchLibrary::messageForRow(before[from].message, to));
    QCOMPARE(library.library().message(from),
             PatchLibrary::messageForRow(before[to].message, from));
    patch.undoStack()->undo();
    QVERIFY(library.library().rows() == before);
    // A copy is no move: only the panel's own rows are swapped.
    QVERIFY(!model.canDropMimeData(data.get(), Qt::CopyAction, betweenRow, 0, parent));
}

void TestLibraryPanel::editingARowRenamesIt()
{
    PatchDocument patch(noDevice());
    LibraryDocument library(&patch);
    LibraryPanel panel(&library);
    QVERIFY(library.load(writeLibrary(QStringLiteral("names.syx"), setOf({4}))));
    LibraryModel *model = panel.model();
    QCOMPARE(model->index(4).data(Qt::EditRole).toString(), QStringLiteral("file 4"));
    QVERIFY(model->setData(model->index(4), QStringLiteral("A name longer than sixteen")));
    // Fitted as the device stores it.
    QCOMPARE(model->index(4).data().toString(), QStringLiteral("04  A name longer th"));
    QCOMPARE(patch.undoStack()->text(patch.undoStack()->count() - 1),
             QStringLiteral("Rename preset 4"));
    QVERIFY(!model->setData(model->index(8), QStringLiteral("empty row")));
    QVERIFY(library.library().isEmpty(8));
}

void TestLibraryPanel::keysStoreAndOpenRows()
{
    SimulatedDevice *device = nullptr;
    MainWindow window(plug(device));
    QVERIFY(startedWindow(window));
    window.libraryDock()->show();
    QListView *view = window.libraryPanel()->view();
    QVERIFY(!view->accessibleName().isEmpty());
    QVERIFY(window.library()->load(writeLibrary(QStringLiteral("keys.syx"), setOf({3}))));
    const QByteArray editorPatch = window.document()->patch();

    // Ctrl+Shift+S stores the editor's patch into the selected row, wherever the focus is.
    view->setCurrentIndex(view->model()->index(6, 0));
    window.frontPanel()->setFocus();
    QTest::keyClick(&window, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(window.library()->library().message(6), PatchLibrary::messageForRow(editorPatch, 6));
    QCOMPARE(statusText(window),
             QStringLiteral("The editor's patch is stored as preset 6 in the library."));

    // Enter on a row opens it: the editor's patch and preset number become the row's.
    view->setCurrentIndex(view->model()->index(3, 0));
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Return);
    QCOMPARE(window.document()->patch(), window.library()->library().message(3));
    QCOMPARE(window.getMidiController()->getPresetNo(), 3);
    QCOMPARE(window.getMidiController()->getPresetName(), QStringLiteral("file 3"));
    // One Undo takes the editor back.
    child<QAction>(window, QStringLiteral("actionUndo"))->trigger();
    QCOMPARE(window.document()->patch(), editorPatch);

    // The device's current preset into its row, as Upload fetches it.
    child<QAction>(window, QStringLiteral("actionReceiveLibrary"))->trigger();
    QTRY_COMPARE(
        statusText(window),
        QStringLiteral("Preset %1 received into the library.").arg(SimulatedDevice::presetNo));
}

void TestLibraryPanel::copyAndPasteARow()
{
    PatchDocument patch(noDevice());
    LibraryDocument library(&patch);
    LibraryPanel panel(&library);
    QVERIFY(library.load(writeLibrary(QStringLiteral("copy.syx"), setOf({1}))));
    QListView *view = panel.view();
    auto *copy = panel.findChild<QAction *>(QStringLiteral("actionLibraryCopy"));
    auto *paste = panel.findChild<QAction *>(QStringLiteral("actionLibraryPaste"));
    QVERIFY(copy && paste);
    view->setCurrentIndex(panel.model()->index(1));
    copy->trigger();
    view->setCurrentIndex(panel.model()->index(14));
    QVERIFY(paste->isEnabled());
    paste->trigger();
    QCOMPARE(library.library().message(14),
             PatchLibrary::messageForRow(library.library().message(1), 14));
    // What is not a patch of this device pastes nothing.
    QApplication::clipboard()->setText(QStringLiteral("not a patch"));
    QVERIFY(!paste->isEnabled());
    const PatchLibrary::Rows before = library.library().rows();
    auto *data = new QMimeData;
    data->setData(QLatin1String(LibraryPanel::patchMimeType), QByteArray(length, 'x'));
    QApplication::clipboard()->setMimeData(data);
    view->setCurrentIndex(panel.model()->index(15));
    paste->trigger();
    QVERIFY(library.library().rows() == before);
}

void TestLibraryPanel::questionBeforeTheFirstSendOnly()
{
    SimulatedDevice *device = nullptr;
    MainWindow window(plug(device));
    QVERIFY(startedWindow(window));
    QVERIFY(window.library()->load(writeLibrary(QStringLiteral("send.syx"), setOf({3, 4, 7}))));
    LibraryPanel *panel = window.libraryPanel();
    const int sentBefore = device->received.size();

    // Cancelled, nothing goes, and the next send asks again.
    QString asked;
    answerNextQuestion(QStringLiteral("Cancel"), nullptr, &asked);
    QVERIFY(!panel->sendPresets({3, 4, 5, 7}));
    QCOMPARE(asked, QStringLiteral("This replaces presets 3, 4 and 7 on the Vellichord."));
    QCOMPARE(device->received.size(), sentBefore);
    QVERIFY(!panel->replaceConfirmed());

    asked.clear();
    answerNextQuestion(QStringLiteral("Send"), nullptr, &asked);
    QSignalSpy finished(window.library(), &LibraryDocument::sendFinished);
    QVERIFY(panel->sendPresets({4}));
    QCOMPARE(asked, QStringLiteral("This replaces preset 4 on the Vellichord."));
    // The panel shows how far it got, with Stop.
    auto *progress = panel->findChild<QProgressBar *>(QStringLiteral("librarySendProgress"));
    QVERIFY(progress->isVisible());
    QVERIFY(panel->findChild<QPushButton *>(QStringLiteral("librarySendStop"))->isVisible());
    // Nothing else reaches the device meanwhile.
    QVERIFY(!child<QAction>(window, QStringLiteral("actionUpload"))->isEnabled());
    auto *updater = window.findChild<UpdateDialog *>();
    QVERIFY(updater && !updater->isEnabled());
    QVERIFY(finished.wait(5000));
    QVERIFY(!progress->isVisible());
    QVERIFY(child<QAction>(window, QStringLiteral("actionUpload"))->isEnabled());
    QVERIFY(updater->isEnabled());
    QCOMPARE(statusText(window), QStringLiteral("Sent preset 4 (1)"));
    QCOMPARE(window.library()->library().origin(4), PatchLibrary::Origin::Sent);

    // Asked once a session: Send All goes without a question.
    bool questioned = false;
    QTimer *watch = answerNextQuestion(QStringLiteral("Cancel"), &questioned);
    panel->sendAllAction()->trigger();
    QVERIFY(finished.wait(5000));
    QVERIFY(!questioned);
    delete watch;
    QCOMPARE(statusText(window), QStringLiteral("Sent presets 3\u20134, 7 (3)"));
    QCOMPARE(device->presetMessages().at(7), window.library()->library().message(7));
}

void TestLibraryPanel::stopEndsTheRunAfterThePresetUnderWay()
{
    SimulatedDevice *device = nullptr;
    MainWindow window(plug(device));
    QVERIFY(startedWindow(window));
    QList<int> all;
    for (int presetNo = 0; presetNo < PatchLibrary::presetCount; ++presetNo)
        all << presetNo;
    QVERIFY(window.library()->load(writeLibrary(QStringLiteral("twenty.syx"), setOf(all))));
    LibraryPanel *panel = window.libraryPanel();
    answerNextQuestion(QStringLiteral("Send"));
    QSignalSpy finished(window.library(), &LibraryDocument::sendFinished);
    QSignalSpy progress(window.library(), &LibraryDocument::sendProgress);
    QVERIFY(panel->sendPresets(all));
    // Stop once the first preset has gone.
    QTRY_VERIFY(!progress.isEmpty() && progress.constLast().at(0).toInt() >= 1);
    QTest::mouseClick(panel->findChild<QPushButton *>(QStringLiteral("librarySendStop")),
                      Qt::LeftButton);
    QVERIFY(finished.wait(5000));
    const auto result = finished.first().at(0).value<LibrarySendResult>();
    QVERIFY(result.stopped);
    QVERIFY(!result.notTried.isEmpty());
    QCOMPARE(result.sent.size() + result.notTried.size(), 20);
    QVERIFY2(statusText(window).startsWith(QStringLiteral("Stopped. Sent ")),
             qPrintable(statusText(window)));
    // Only what went is marked sent.
    for (const int presetNo : result.notTried)
        QCOMPARE(window.library()->library().origin(presetNo), PatchLibrary::Origin::File);
    for (const int presetNo : result.sent)
        QCOMPARE(window.library()->library().origin(presetNo), PatchLibrary::Origin::Sent);
}

void TestLibraryPanel::openLibraryThroughTheFileMenu()
{
    const QString damaged = writeLibrary(QStringLiteral("damaged.syx"), setOf({1}) + '\0');
    const QString good = writeLibrary(QStringLiteral("good.syx"), setOf({1, 2}));
    {
        MainWindow window(noDevice());
        answerFileDialog(damaged);
        child<QAction>(window, QStringLiteral("actionOpenLibrary"))->trigger();
        QCOMPARE(statusText(window),
                 QStringLiteral("Could not open library file: %1: message 2 (byte 348): shorter "
                                "than 348 bytes")
                     .arg(damaged));
        QCOMPARE(window.library()->library().count(), 0);

        answerFileDialog(good);
        child<QAction>(window, QStringLiteral("actionOpenLibrary"))->trigger();
        QCOMPARE(window.library()->library().count(), 2);
        QVERIFY(!window.libraryDock()->isHidden());
        auto *recent = child<QMenu>(window, QStringLiteral("menuRecentLibraries"));
        QCOMPARE(recent->actions().size(), 1);
        // A library file is no patch file: the patch files' list stays as it was.
        QVERIFY(window.recentFiles().isEmpty());

        // Changed and not saved, the library is not dropped without asking.
        QVERIFY(window.library()->remove(1));
        QString asked;
        answerNextQuestion(QStringLiteral("Cancel"), nullptr, &asked);
        recent->actions().first()->trigger();
        QCOMPARE(asked, QStringLiteral("The library has changes that are in no file yet."));
        QCOMPARE(window.library()->library().count(), 1);
        answerNextQuestion(QStringLiteral("Discard"), nullptr, &asked);
        recent->actions().first()->trigger();
        QCOMPARE(window.library()->library().count(), 2);
    }
}

void TestLibraryPanel::panelAndItsPlaceAreRemembered()
{
    int widthWithout = 0;
    {
        MainWindow window(noDevice());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(window.libraryDock()->isHidden());
        widthWithout = window.width();
        child<QAction>(window, QStringLiteral("actionShowLibrary"))->trigger();
        QVERIFY(!window.libraryDock()->isHidden());
        // The picture keeps its size; the window widens by the panel.
        QTRY_VERIFY(window.width() > widthWithout + window.libraryDock()->width() / 2);
        window.addDockWidget(Qt::LeftDockWidgetArea, window.libraryDock());
        QVERIFY(window.close());
    }
    {
        MainWindow window(noDevice());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(!window.libraryDock()->isHidden());
        QCOMPARE(window.dockWidgetArea(window.libraryDock()), Qt::LeftDockWidgetArea);
        QVERIFY(window.width() > widthWithout);
        child<QAction>(window, QStringLiteral("actionShowLibrary"))->trigger();
        QTRY_COMPARE(window.width(), widthWithout);
        QVERIFY(window.close());
    }
    MainWindow window(noDevice());
    QVERIFY(window.libraryDock()->isHidden());
}

void TestLibraryPanel::closedUnaskedTheLibraryIsKept()
{
    QDir folder = QFileInfo(RecoveryFile::defaultPath()).absoluteDir();
    const QStringList pattern{QStringLiteral("library-*.syx")};
    for (const QString &name : folder.entryList(pattern))
        QVERIFY(folder.remove(name));
    QByteArray kept;
    {
        MainWindow window(noDevice());
        QVERIFY(window.library()->load(writeLibrary(QStringLiteral("kept.syx"), setOf({2, 8}))));
        // Saved as it is, there is nothing to keep.
        window.closeUnasked();
        QVERIFY(folder.entryList(pattern).isEmpty());
    }
    {
        MainWindow window(noDevice());
        QVERIFY(window.library()->load(writeLibrary(QStringLiteral("kept.syx"), setOf({2, 8}))));
        QVERIFY(window.library()->remove(8));
        kept = window.library()->library().message(2);
        window.closeUnasked();
    }
    const QStringList files = folder.entryList(pattern);
    QCOMPARE(files.size(), 1);
    QCOMPARE(readFile(folder.filePath(files.first())), kept);
}

QTEST_MAIN(TestLibraryPanel)
#include "tst_librarypanel.moc"
