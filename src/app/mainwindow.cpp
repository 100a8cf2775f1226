#include "mainwindow.h"
#include "trace.h"

#include "contextmenu.h"
#include "controllernamefile.h"
#include "controlnames.h"
#include "controlplacement.h"
#include "controlsummary.h"
#include "customscene.h"
#include "debugpixmapitem.h"
#include "devicewatcher.h"
#include "editorpane.h"
#include "editortexts.h"
#include "imidi.h"
#include "midicontrolitem.h"
#include "midicontroller.h"
#include "multiselection.h"
#include "numberingdialog.h"
#include "paneldisplay.h"
#include "panelnavigation.h"
#include "parametertext.h"
#include "patchdocument.h"
#include "platformmidi.h"
#include "presetnamefield.h"
#ifndef Q_OS_WIN
#include "rtmidiapi.h"
#endif
#include "ui_mainwindow.h"
#include "updatedialog.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QSignalBlocker>
#include <QTextCodec>
#include <QTimer>
#include <QUndoStack>

#include <algorithm>
#include <functional>
#include <optional>
#include <utility>

// The pictures are compiled into the core library; a static library's resources must be
// registered by hand, here before main() runs.
static int registerImages()
{
    Q_INIT_RESOURCE(images);
    return 0;
}
static const int imagesRegistered = registerImages();

namespace {

// Hands the events of the object it watches to a function, which tells whether it took them.
class EventHook : public QObject
{
public:
    EventHook(std::function<bool(QEvent *)> handle, QObject *parent)
        : QObject(parent)
        , handle(std::move(handle))
    {
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override { return handle(event); }

private:
    std::function<bool(QEvent *)> handle;
};

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : MainWindow(make_platform_midi(), parent)
{
}

MainWindow::MainWindow(std::unique_ptr<IMidi> midi, QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    ui->setupUi(this);

    settings = std::make_unique<EditorSettings>();
    patchDocument = new PatchDocument(std::move(midi), this);
    midiController = patchDocument->controller();
    connect(patchDocument, &PatchDocument::statusMessage, this, &MainWindow::showStatusMessage);
    connect(patchDocument, &PatchDocument::statusFollowUp, this,
            [this](const QString &text, const QString &shown) {
                if (ui->statusBar->currentMessage() == shown)
                    showStatusMessage(text);
            });
    controlModels = midiController->getModels();
    multiSelect = false;

    scene = new CustomScene(ui->graphicsView);
    scene->installEventFilter(&eventFilter);

    connect(ui->presetNameField, &PresetNameField::statusMessage, this,
            &MainWindow::showStatusMessage);
    showPresetName();

    const QImage picture(QStringLiteral(":/images/vellichord-scaled.png"));
    qCDebug(lcTrace) << (picture.isNull() ? "Image not loaded." : "Image loaded.");
    pixmapItem = new DebugPixmapItem(QPixmap::fromImage(picture));
    scene->addItem(pixmapItem);
    placeItems();
    display = new PanelDisplay;
    scene->addItem(display);
    ui->graphicsView->setScene(scene);
    ui->graphicsView->setFocusPolicy(Qt::StrongFocus);
    panelHooks << new EventHook([this](QEvent *event) { return panelEvent(event); }, this);
    ui->graphicsView->installEventFilter(panelHooks.last());
    // The keyboard goes on from the control last clicked.
    panelHooks << new EventHook(
        [this](QEvent *event) {
            if (event->type() != QEvent::MouseButtonPress)
                return false;
            const QPointF at = ui->graphicsView->mapToScene(
                static_cast<QMouseEvent *>(event)->pos());
            for (int i = 0; i < ControlTable::count; ++i) {
                if (QRectF(controlRects.at(i)).contains(at)) {
                    moveKeyCursor(i);
                    break;
                }
            }
            return false;
        },
        this);
    ui->graphicsView->viewport()->installEventFilter(panelHooks.last());
    panelHooks << new MultiSelection(ui->graphicsView, this,
                                     QList<MidiControlItem *>(items.begin(), items.end()));

    generateCCandNoteLists();
    editorPane = new EditorPane(ccNames, noteNames, ui->widgetRightPane);
    ui->layoutRightPane->addWidget(editorPane);
    connect(editorPane, &EditorPane::edited, this, &MainWindow::applyEdit);
    connect(editorPane, &EditorPane::statusMessage, this, &MainWindow::showStatusMessage);

    connectSignals();
    createActions();
    arrangeTabOrder();
    refreshEditorPane();

    contextMenu = new ContextMenu(ccNames, noteNames, this);
    updateDialog = new UpdateDialog(this, midiController); // hidden until Update is pressed
    updateDialog->setSettings(settings.get());
    patchDocument->setBusyCheck([this] { return updateDialog->isBusy(); });
    // While the updater runs on its thread, the port is its own: nothing else reaches the
    // device, and no other dialog opens. The slots refuse too, for a trigger queued before.
    connect(updateDialog, &UpdateDialog::busyChanged, this, [this](bool busy) {
        for (const char *name : {"actionLoad", "actionSave", "actionUpload", "actionDownload",
                                 "actionUpdate", "actionNumberSelected", "actionAbout"})
            findChild<QAction *>(QLatin1String(name))->setEnabled(!busy);
        recentMenu->setEnabled(!busy && !recentFiles().isEmpty());
        if (!busy)
            showConnectionState();
    });

    unsentLabel = new QLabel(this);
    unsentLabel->setObjectName(QStringLiteral("labelUnsent"));
    ui->statusBar->addPermanentWidget(unsentLabel);
    connectionLabel = new QLabel(this);
    connectionLabel->setObjectName(QStringLiteral("labelConnection"));
    ui->statusBar->addPermanentWidget(connectionLabel);

    connect(patchDocument, &PatchDocument::unsentChanged, this, &MainWindow::refreshUnsent);
    connect(patchDocument, &PatchDocument::patchChanged, this,
            [this](PatchDocument::Replacement how) {
                if (how == PatchDocument::Replacement::Arrived) {
                    refreshView();
                } else {
                    showPresetName();
                    refreshEditorPane();
                }
            });
    // The display says "No Vellichord found" until a device connects or a patch arrives.
    connect(patchDocument, &PatchDocument::deviceFoundChanged, this, &MainWindow::refreshDisplay);
    refreshUnsent();
    patchDocument->start();
    showConnectionState();

    // The device may come later, go, or come back after a firmware update. The port is left
    // to the updater while it runs a handshake or a transfer.
    deviceWatcher = new DeviceWatcher(
        *midiController->getMidi(), MidiController::portName,
        [this] { return updateDialog->isBusy(); }, this);
    deviceWatcher->setObjectName(QStringLiteral("deviceWatcher"));
    connect(deviceWatcher, &DeviceWatcher::deviceConnected, patchDocument,
            &PatchDocument::deviceAppeared);
    connect(deviceWatcher, &DeviceWatcher::deviceDisconnected, this,
            [this] { showStatusMessage(tr("Vellichord disconnected")); });
    connect(deviceWatcher, &DeviceWatcher::midiSystemStopped, this,
            [this] { showStatusMessage(tr("MIDI system stopped")); });
    connect(deviceWatcher, &DeviceWatcher::looked, this, &MainWindow::showConnectionState);
    deviceWatcher->start();

    // The picture keeps its size; a larger font widens the right column and the window with it.
    // The menu bar sits above the content and adds its height.
    setFixedSize(QSize(911, 570 + menuBar()->sizeHint().height()).expandedTo(minimumSizeHint()));
    restoreSettings();
}

MainWindow::~MainWindow()
{
    // The name field loses its focus as the widgets go, after this window's own part is gone;
    // a spin box hidden with a number typed but not entered takes it then.
    disconnect(ui->presetNameField, nullptr, this, nullptr);
    disconnect(editorPane, nullptr, this, nullptr);
    delete deviceWatcher;   // it uses the controller's port and the update dialog
    delete updateDialog;    // a run still going uses the controller's port
    qDeleteAll(panelHooks); // the view loses its focus after the items have gone
    for (MidiControlItem *item : items)
        delete item;
    delete scene;
    delete ui;
    delete patchDocument; // and with it the controller
    delete contextMenu;
    qCDebug(lcTrace) << "deleted ui";
}

namespace {

// A controller number is 0..127, so later lines name nothing.
constexpr int controllerNameLines = 128;
// Characters kept of a line; a longer line's name is cut there and marked with an ellipsis.
constexpr int controllerNameLength = 64;
// UTF-8 needs at most four bytes a character; a line's bytes past these are skipped unread.
constexpr qint64 controllerNameBytes = 4 * controllerNameLength;
// Skipping stops here too, so that no file, however long its lines, holds up the start.
constexpr qint64 controllerFileBytes = qint64(64) << 20;

// Reads the first controllerNameBytes bytes of a line, without its line end, and skips the rest
// of a longer line; cut tells whether bytes were skipped.
QByteArray readLineHead(QFile &file, bool &cut)
{
    QByteArray head = file.readLine(controllerNameBytes + 1); // gives at most n - 1 bytes
    cut = false;
    if (!head.endsWith('\n')) {
        QByteArray rest;
        do {
            rest = file.readLine(64 * 1024);
            cut = cut || (!rest.isEmpty() && rest != "\n" && rest != "\r\n");
        } while (!rest.isEmpty() && !rest.endsWith('\n') && file.pos() < controllerFileBytes);
    }
    if (head.endsWith('\n'))
        head.chop(1);
    if (head.endsWith('\r'))
        head.chop(1);
    return head;
}

} // namespace

void MainWindow::generateCCandNoteLists()
{
    const QString path = findControllerNameFile();
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        // Named by its first place, the one a build folder or a Windows install uses.
        const QString shown = path.isEmpty()
            ? QCoreApplication::applicationDirPath() + QLatin1Char('/') + controllerNameFileName
            : path;
        qWarning().noquote() << "Couldn't find file" << shown;
        qWarning().noquote() << "Looked for" << controllerNameFileName << "in"
                             << controllerNameFolders().join(QStringLiteral(", "));
        return;
    }
    qCDebug(lcTrace).noquote() << "Reading controller names from" << path;
    // Only the head of each of the first lines is read, so a huge file or a huge line costs no
    // more than a proper one. Lines may end in "\r\n" as well as in "\n".
    QList<QByteArray> heads;
    QList<bool> cutLines;
    while (heads.size() < controllerNameLines && !file.atEnd()
           && file.pos() < controllerFileBytes) {
        bool cut = false;
        heads.append(readLineHead(file, cut));
        cutLines.append(cut);
    }
    const qint64 bytesLeftOut = file.atEnd() ? 0 : std::max<qint64>(0, file.size() - file.pos());
    if (!heads.isEmpty() && heads.first().startsWith("\xEF\xBB\xBF"))
        heads.first().remove(0, 3);

    // Names are read as UTF-8 whatever the locale; a file that is not valid UTF-8 was written
    // in the system's own 8-bit encoding. A character split where a long line was cut is no
    // fault of the file.
    QTextCodec *utf8 = QTextCodec::codecForName("UTF-8");
    bool isUtf8 = true;
    QStringList names;
    for (const QByteArray &head : qAsConst(heads)) {
        QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
        names.append(utf8->toUnicode(head.constData(), head.size(), &state));
        isUtf8 = isUtf8 && state.invalidChars == 0;
    }
    int namesCut = 0;
    for (int line = 0; line < names.size(); ++line) {
        QString name = isUtf8 ? names.at(line) : QString::fromLocal8Bit(heads.at(line));
        if (cutLines.at(line) || name.size() > controllerNameLength) {
            // Never between the two halves of a character outside the basic plane.
            int length = std::min<int>(name.size(), controllerNameLength);
            if (length < name.size() && name.at(length).isLowSurrogate())
                --length;
            name = name.left(length) + QChar(0x2026);
            ++namesCut;
        }
        ccNames.append(name);
    }
    if (bytesLeftOut > 0 || namesCut > 0)
        qCDebug(lcTrace).noquote()
            << QStringLiteral("Midi-CC-list.txt: read %1 names; left out %2 bytes after line %1 "
                              "and the characters past %3 of %4 longer lines")
                   .arg(ccNames.size())
                   .arg(bytesLeftOut)
                   .arg(controllerNameLength)
                   .arg(namesCut);

    noteNames = ControlSummary::noteEntries();
}

void MainWindow::connectSignals()
{
    // Typing is one undo step per burst: leaving the field ends the burst.
    connect(ui->presetNameField, &PresetNameField::renamed, patchDocument,
            &PatchDocument::setPresetName);
    connect(ui->presetNameField, &PresetNameField::editingFinished, patchDocument,
            &PatchDocument::endNameBurst);
    connect(ui->pushButtonSelectMulti, &QPushButton::clicked, this, &MainWindow::SelectMulti);
    connect(ui->pushButtonSelectSingle, &QPushButton::clicked, this, &MainWindow::SelectSingle);
}

void MainWindow::createActions()
{
    const QString uploadTip = tr("Upload: get the patch from the Vellichord into the editor");
    const QString downloadTip = tr("Download: send the editor's patch to the Vellichord");
    const QString loadTip = tr("Load Settings: read a patch file into the editor");
    const QString saveTip = tr("Save Settings: write the editor's patch to a file");
    const QString updateTip = tr("Update: install new firmware on the Vellichord");

    auto makeAction = [this](const QString &name, const QString &text, const QString &tip,
                             const QKeySequence &keys) {
        auto *action = new QAction(text, this);
        action->setObjectName(name);
        action->setToolTip(tip);
        action->setStatusTip(tip);
        action->setShortcut(keys);
        return action;
    };

    QMenu *file = menuBar()->addMenu(tr("&File"));
    QAction *load = makeAction(QStringLiteral("actionLoad"), tr("&Load Settings\u2026"), loadTip,
                               QKeySequence::Open);
    QAction *save = makeAction(QStringLiteral("actionSave"), tr("&Save Settings\u2026"), saveTip,
                               QKeySequence::Save);
    connect(load, &QAction::triggered, this, &MainWindow::loadSysex);
    connect(save, &QAction::triggered, this, &MainWindow::saveSysex);
    file->addAction(load);
    file->addAction(save);
    recentMenu = file->addMenu(tr("&Recent Files"));
    recentMenu->setObjectName(QStringLiteral("menuRecentFiles"));
    file->addSeparator();
    QAction *quit = makeAction(QStringLiteral("actionQuit"), tr("&Quit"), tr("Close the editor"),
                               QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(quit, &QAction::triggered, this, &QWidget::close);
    file->addAction(quit);

    QMenu *edit = menuBar()->addMenu(tr("&Edit"));
    QAction *undo = patchDocument->undoStack()->createUndoAction(this, tr("&Undo"));
    undo->setObjectName(QStringLiteral("actionUndo"));
    undo->setShortcut(QKeySequence::Undo);
    QAction *redo = patchDocument->undoStack()->createRedoAction(this, tr("&Redo"));
    redo->setObjectName(QStringLiteral("actionRedo"));
    redo->setShortcut(QKeySequence::Redo);
    edit->addAction(undo);
    edit->addAction(redo);
    edit->addSeparator();
    QAction *all = makeAction(QStringLiteral("actionSelectAll"), tr("Select &All"),
                              tr("Select every control"), QKeySequence::SelectAll);
    QAction *none = makeAction(QStringLiteral("actionSelectNone"), tr("Select &None"),
                               tr("Clear the selection"), QKeySequence(Qt::Key_Escape));
    connect(all, &QAction::triggered, this, &MainWindow::selectAll);
    connect(none, &QAction::triggered, this, [this] {
        // The pane's editors go with the selection. The keyboard goes back to the picture,
        // not on to the next button, where a Space would reach the device.
        if (editorPane->isAncestorOf(focusWidget()))
            ui->graphicsView->setFocus(Qt::ShortcutFocusReason);
        deselectAllItems();
    });
    edit->addAction(all);
    edit->addAction(none);
    edit->addSeparator();
    QAction *number = makeAction(
        QStringLiteral("actionNumberSelected"), tr("N&umber Selected Controls\u2026"),
        tr("Give the selected controls consecutive note or CC numbers"), QKeySequence());
    connect(number, &QAction::triggered, this, &MainWindow::numberSelectedControls);
    edit->addAction(number);

    QMenu *device = menuBar()->addMenu(tr("&Device"));
    QAction *upload = makeAction(QStringLiteral("actionUpload"), tr("&Upload from Vellichord"),
                                 uploadTip, QKeySequence(Qt::CTRL | Qt::Key_U));
    QAction *download = makeAction(QStringLiteral("actionDownload"), tr("&Download to Vellichord"),
                                   downloadTip, QKeySequence(Qt::CTRL | Qt::Key_D));
    QAction *update = makeAction(QStringLiteral("actionUpdate"), tr("Update &Firmware\u2026"),
                                 updateTip, QKeySequence());
    connect(upload, &QAction::triggered, this, &MainWindow::uploadPatch);
    connect(download, &QAction::triggered, this, &MainWindow::downloadPatch);
    connect(update, &QAction::triggered, this, &MainWindow::performUpdate);
    revertAction = makeAction(
        QStringLiteral("actionRevert"), tr("&Revert to Device Patch"),
        tr("Revert to Device Patch: drop the unsent changes and take the patch the Vellichord "
           "holds, as one step that Undo takes back"),
        QKeySequence());
    connect(revertAction, &QAction::triggered, patchDocument, &PatchDocument::revertToDevice);
    device->addAction(upload);
    device->addAction(download);
    device->addAction(revertAction);
    device->addAction(update);

    QMenu *help = menuBar()->addMenu(tr("&Help"));
    QAction *about = makeAction(QStringLiteral("actionAbout"), tr("&About"),
                                tr("Program and library versions"), QKeySequence());
    connect(about, &QAction::triggered, this, &MainWindow::showAbout);
    help->addAction(about);

    // The buttons are the same commands.
    const QList<QPair<QPushButton *, QAction *>> buttons = {{ui->buttonUpload, upload},
                                                            {ui->buttonDownload, download},
                                                            {ui->buttonLoadSysex, load},
                                                            {ui->buttonSaveSysex, save},
                                                            {ui->buttonUpdate, update}};
    for (const auto &pair : buttons) {
        pair.first->setToolTip(pair.second->toolTip());
        pair.first->setStatusTip(pair.second->statusTip());
        connect(pair.first, &QPushButton::clicked, pair.second, &QAction::trigger);
        connect(pair.second, &QAction::changed, pair.first,
                [button = pair.first, action = pair.second] {
                    button->setEnabled(action->isEnabled());
                });
    }
    ui->pushButtonSelectSingle->setToolTip(
        tr("Select Single: a click selects one control, Ctrl-click adds or removes one"));
    ui->pushButtonSelectMulti->setToolTip(
        tr("Select Multi: a click adds or removes one control; a band selects the controls it "
           "touches, with Ctrl or Shift added to the selection"));
    addActions({load, save, quit, undo, redo, all, none, upload, download, update, about});
    rebuildRecentMenu();
}

void MainWindow::restoreSettings()
{
    // A screen that has gone or changed since could leave the window out of reach.
    QList<QRect> screens;
    for (const QScreen *screen : QGuiApplication::screens())
        screens << screen->availableGeometry();
    const std::optional<QPoint> position = settings->windowPosition();
    if (position && showsUsablePart(QRect(*position, frameGeometry().size()), screens))
        move(*position);
    if (settings->multiSelect())
        SelectMulti();
}

QStringList MainWindow::recentFiles() const
{
    return settings->recentFiles();
}

QString MainWindow::lastFolder() const
{
    return settings->lastFolder();
}

void MainWindow::rememberFile(const QString &fileName)
{
    const QString path = QFileInfo(fileName).absoluteFilePath();
    QStringList files = recentFiles();
    files.removeAll(path);
    files.prepend(path);
    settings->setRecentFiles(files);
    settings->setLastFolder(QFileInfo(path).absolutePath());
    settings->sync();
    rebuildRecentMenu();
}

void MainWindow::rebuildRecentMenu()
{
    recentMenu->clear();
    const QStringList files = recentFiles();
    for (const QString &file : files) {
        QAction *action = recentMenu->addAction(QDir::toNativeSeparators(file));
        connect(action, &QAction::triggered, this, [this, file] { openRecentFile(file); });
    }
    recentMenu->setEnabled(!files.isEmpty());
}

void MainWindow::openRecentFile(const QString &fileName)
{
    if (updateDialog->isBusy())
        return;
    if (!QFileInfo::exists(fileName)) {
        showStatusMessage(tr("Recent file not found, removed from the list: %1").arg(fileName));
        QStringList files = recentFiles();
        files.removeAll(fileName);
        settings->setRecentFiles(files);
        settings->sync();
        rebuildRecentMenu();
        return;
    }
    loadFile(fileName);
}

void MainWindow::selectAll()
{
    for (MidiControlItem *item : items)
        item->setSelected(true);
}

QList<int> MainWindow::selectedIndices() const
{
    QList<int> indices;
    for (const MidiControlModel *model : selectedModels) {
        for (int i = 0; i < ControlTable::count; ++i) {
            if (controlModels->at(i) == model)
                indices << i;
        }
    }
    return indices;
}

void MainWindow::numberSelectedControls()
{
    if (updateDialog->isBusy())
        return;
    const QList<int> selected = selectedIndices();
    if (selected.isEmpty()) {
        showStatusMessage(tr("Select the controls to number first"));
        return;
    }
    NumberingDialog dialog(*controlModels, selected, this);
    dialog.setObjectName(QStringLiteral("numberingDialog"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    const Numbering::Plan &plan = dialog.plan();
    patchDocument->edit(tr("Number %n controls", nullptr, int(plan.assignments.size())),
                        [&plan](ControlTable &table) {
                            for (const Numbering::Assignment &step : plan.assignments)
                                table.at(step.control)
                                    ->updateParameter(step.id,
                                                      static_cast<unsigned char>(step.value));
                        });
    refreshEditorPane();
}

void MainWindow::arrangeTabOrder()
{
    // The picture first, with the buttons that choose how it selects; then the name and the
    // pane that edit the selection, top to bottom; then the device and file commands.
    QList<QWidget *> chain = {ui->graphicsView, ui->pushButtonSelectSingle,
                              ui->pushButtonSelectMulti, ui->presetNameField->lineEdit()};
    chain << editorPane->editors();
    chain << ui->buttonUpload << ui->buttonDownload << ui->buttonLoadSysex << ui->buttonSaveSysex
          << ui->buttonUpdate;
    for (int i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain.at(i - 1), chain.at(i));
}

bool MainWindow::panelEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::FocusIn:
        if (keyCursor < 0) {
            const QList<int> selected = selectedIndices();
            keyCursor = selected.isEmpty() ? 39 : selected.first(); // PAD1 or the selection
        }
        items[keyCursor]->setKeyboardFocus(true);
        break;
    case QEvent::FocusOut:
        if (keyCursor >= 0)
            items[keyCursor]->setKeyboardFocus(false);
        break;
    case QEvent::KeyPress:
        return handlePanelKey(static_cast<QKeyEvent *>(event));
    default:
        break;
    }
    return false;
}

bool MainWindow::handlePanelKey(const QKeyEvent *event)
{
    using PanelNavigation::Direction;
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const bool shift = modifiers == Qt::ShiftModifier;
    if (modifiers != Qt::NoModifier && !shift)
        return false;
    const QMap<int, Direction> directions = {{Qt::Key_Left, Direction::Left},
                                             {Qt::Key_Right, Direction::Right},
                                             {Qt::Key_Up, Direction::Up},
                                             {Qt::Key_Down, Direction::Down}};
    if (keyCursor < 0)
        keyCursor = 39;
    if (directions.contains(event->key())) {
        const int next = PanelNavigation::nearest(keyCursor, directions.value(event->key()));
        if (next < 0)
            return true; // at the edge: stay
        moveKeyCursor(next);
        if (!shift)
            deselectAllItems();
        items[next]->setSelected(true);
        return true;
    }
    if (shift)
        return false;
    switch (event->key()) {
    case Qt::Key_Space:
        items[keyCursor]->setSelected(!items[keyCursor]->isSelected());
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Into the first editor the selection has, in the pane's order.
        editorPane->focusFirstEditor();
        return true;
    default:
        return false;
    }
}

void MainWindow::moveKeyCursor(int control)
{
    if (keyCursor >= 0)
        items[keyCursor]->setKeyboardFocus(false);
    keyCursor = control;
    items[keyCursor]->setKeyboardFocus(ui->graphicsView->hasFocus());
}

namespace {

QString midiSystemName()
{
#ifdef Q_OS_WIN
    return QStringLiteral("Windows Multimedia");
#else
    const RtMidi::Api api = system_midi_api(false);
    return api == RtMidi::UNSPECIFIED ? QStringLiteral("the system's own")
                                      : QString::fromStdString(RtMidi::getApiDisplayName(api));
#endif
}

} // namespace

void MainWindow::showAbout()
{
    if (updateDialog->isBusy())
        return;
    QMessageBox::about(this, tr("About"),
                       tr("<b>Tarvel Vellichord Editor</b> %1<br>Qt %2<br>MIDI: %3")
                           .arg(QCoreApplication::applicationVersion(),
                                QString::fromLatin1(qVersion()), midiSystemName()));
}

void MainWindow::refreshUnsent()
{
    // Called after every change of the editor's or the device's patch.
    refreshPanel();
    const QList<int> changed = patchDocument->unsentControls();
    for (int i = 0; i < ControlTable::count; ++i)
        items[i]->setUnsent(changed.contains(i));
    const bool unsent = patchDocument->hasUnsentChanges();
    unsentLabel->setText(unsent ? tr("Unsent changes") : QString());
    setWindowModified(unsent);
    revertAction->setEnabled(unsent);
}

void MainWindow::showPresetName()
{
    ui->presetNameField->showName(midiController->getPresetName());
}

void MainWindow::showStatusMessage(const QString &text)
{
    ui->statusBar->showMessage(text);
}

void MainWindow::selectModel(MidiControlModel *model)
{
    if (!selectedModels.contains(model))
        selectedModels.append(model);
    refreshEditorPane();
}

void MainWindow::deselectModel(MidiControlModel *model)
{
    selectedModels.removeAll(model);
    refreshEditorPane();
}

void MainWindow::deselectAllItems()
{
    // Each deselected item takes its model out of the selection and refreshes the pane.
    for (MidiControlItem *item : items)
        item->setSelected(false);
    // Models selected through selectModel alone have no item to deselect; they go too, so that
    // the pane never shows values from before a new patch.
    if (!selectedModels.isEmpty()) {
        selectedModels.clear();
        refreshEditorPane();
    }
}

void MainWindow::showContextMenu(MidiControlItem *, MidiControlModel *model, const QPoint &position)
{
    contextMenu->showMenu(*model, position);
    patchDocument->commitEdit(selectedIndices());
    // The pane shows what the choice has set.
    refreshEditorPane();
}

void MainWindow::placeItems()
{
    for (int i = 0; i < ControlTable::count; ++i) {
        items[i] = new MidiControlItem(this, controlModels->at(i));
        items[i]->setRect(controlRects[i]);
    }
    for (MidiControlItem *item : items)
        scene->addItem(item);
}

void MainWindow::refreshEditorPane()
{
    editorPane->show(selectedIndices(), *controlModels);
    refreshDisplay();
}

void MainWindow::refreshPanel()
{
    QList<const MidiControlModel *> models;
    for (int i = 0; i < ControlTable::count; ++i)
        models << controlModels->at(i);
    // Channels are drawn only where they differ from the one most controls use.
    const int channel = ControlSummary::mostCommonChannel(models);
    for (int i = 0; i < ControlTable::count; ++i) {
        const MidiControlModel &model = *controlModels->at(i);
        items[i]->setLedColour(MidiControlItem::ledColourOf(model));
        items[i]->setAssignment(ControlSummary::assignment(model, channel));
        items[i]->setToolTip(ControlSummary::details(i, model, ccNames));
    }
    refreshDisplay();
}

void MainWindow::refreshDisplay()
{
    if (!display)
        return;
    display->setLines(ControlSummary::displayPreset(midiController->getPresetNo()),
                      patchDocument->noDeviceFound() ? tr("No Vellichord found")
                                                     : midiController->getPresetName(),
                      ControlSummary::displayControl(
                          selectedModels.size() == 1 ? selectedModels.first() : nullptr));
}

void MainWindow::applyEdit(ParameterId id, int value)
{
    patchDocument->applyEdit(selectedIndices(), id, value);
}

void MainWindow::refreshView()
{
    // A new patch: what was selected means nothing in it.
    deselectAllItems();
    showPresetName();
}

void MainWindow::performUpdate()
{
    qCDebug(lcTrace) << "Perform Update";
    // Not modal: the main window stays usable while the dialog is open.
    updateDialog->show();
    updateDialog->raise();
    updateDialog->activateWindow();
}

void MainWindow::downloadPatch()
{
    patchDocument->download();
    showConnectionState();
}

void MainWindow::uploadPatch()
{
    patchDocument->upload();
    showConnectionState();
}

void MainWindow::showConnectionState()
{
    // The updater's thread has the port; the state is shown again when it is done.
    if (updateDialog->isBusy())
        return;
    IMidi *midi = midiController->getMidi();
    const std::string name = midi->connectedName();
    // A connection the MIDI system dropped under the updater is not one.
    connectionLabel->setText(name.empty() || midi->midiSystemStopped()
                                 ? tr("Not connected")
                                 : tr("Connected: %1").arg(QString::fromLocal8Bit(name.c_str())));
}

void MainWindow::loadSysex()
{
    if (updateDialog->isBusy())
        return;
    const QString fileName = QFileDialog::getOpenFileName(this, tr("Open File"), lastFolder(),
                                                          patchFileFilters);
    if (fileName.isEmpty())
        return;
    loadFile(fileName);
}

bool MainWindow::loadFile(const QString &fileName)
{
    if (!patchDocument->load(fileName))
        return false;
    rememberFile(fileName);
    return true;
}

void MainWindow::saveSysex()
{
    if (updateDialog->isBusy())
        return;
    saveToFile();
}

bool MainWindow::saveToFile()
{
    QFileDialog dialog(this, tr("Save File"), lastFolder(), patchFileFilters);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // The dialog adds it before asking whether to replace an existing file.
    dialog.setDefaultSuffix(patchFileSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    QString fileName = dialog.selectedFiles().constFirst();
    // A dialog that left it out (a typed path through a folder with a dot in its name).
    if (!QFileInfo(fileName).fileName().contains(QLatin1Char('.')))
        fileName += QLatin1Char('.') + patchFileSuffix;
    if (!patchDocument->save(fileName))
        return false;
    rememberFile(fileName);
    return true;
}

void MainWindow::SelectSingle()
{
    ui->graphicsView->setDragMode(QGraphicsView::NoDrag);
    multiSelect = false;
    ui->pushButtonSelectMulti->setChecked(false);
    ui->pushButtonSelectSingle->setChecked(true);
}

void MainWindow::SelectMulti()
{
    ui->graphicsView->setDragMode(QGraphicsView::RubberBandDrag);
    multiSelect = true;
    ui->pushButtonSelectSingle->setChecked(false);
    ui->pushButtonSelectMulti->setChecked(true);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // Stopping the input monitor now would cut a firmware transfer short.
    bool refused = updateDialog->isBusy();
    // A signal that comes while the question is open ends it unanswered; the window closes
    // all the same (a close() meanwhile does nothing while this one runs).
    if (!refused && patchDocument->hasUnsentChanges() && !closingUnasked)
        refused = !askBeforeClosing() && !closingUnasked;
    if (refused) {
        event->ignore();
        return;
    }
    settings->setWindowPosition(pos());
    settings->setMultiSelect(multiSelect);
    settings->sync();
    qCDebug(lcTrace) << "Closing Main window";
    deviceWatcher->stop();
    midiController->stopMonitor();
    QMainWindow::closeEvent(event);
}

bool MainWindow::askBeforeClosing()
{
    QMessageBox box(QMessageBox::Warning, tr("Unsent changes"),
                    tr("The Vellichord does not have your changes yet."), QMessageBox::NoButton,
                    this);
    box.setObjectName(QStringLiteral("closeQuestion"));
    QPushButton *download = box.addButton(tr("Download and close"), QMessageBox::AcceptRole);
    QPushButton *save = box.addButton(tr("Save to file\u2026"), QMessageBox::ActionRole);
    QPushButton *discard = box.addButton(tr("Discard"), QMessageBox::DestructiveRole);
    QPushButton *cancel = box.addButton(tr("Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(download);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == download) {
        // Says why when it fails; the window then stays.
        downloadPatch();
        return !patchDocument->hasUnsentChanges();
    }
    if (box.clickedButton() == save)
        return saveToFile();
    return box.clickedButton() == discard;
}

void MainWindow::closeUnasked()
{
    if (patchDocument->hasUnsentChanges()) {
        // A recovery file not offered yet holds the changes of an earlier run; it stays beside.
        if (recoveryAwaitsAnswer && recovery.exists())
            qWarning().noquote() << "Kept the earlier recovery file as" << recovery.setAside();
        if (recovery.write(patchDocument->patch()))
            qCDebug(lcTrace).noquote() << "Unsent changes kept in" << recovery.path();
        else
            qWarning().noquote() << "Could not write the recovery file" << recovery.path()
                                 << "- the unsent changes are lost";
    }
    closingUnasked = true;
    if (close() || closeAfterTransfer)
        return;
    // Only a firmware transfer holds the window open; cutting it short could leave the device
    // without firmware.
    closeAfterTransfer = true;
    showStatusMessage(tr("The editor closes once the firmware update has ended"));
    connect(updateDialog, &UpdateDialog::busyChanged, this, [this](bool busy) {
        if (!busy && closeAfterTransfer)
            QTimer::singleShot(0, this, &MainWindow::closeUnasked);
    });
}

void MainWindow::offerRecovery()
{
    if (!recovery.exists())
        return;
    if (patchDocument->answerAwaited()) {
        if (!recoveryAwaitsAnswer) {
            connect(patchDocument, &PatchDocument::answerWaitEnded, this, [this] {
                if (std::exchange(recoveryAwaitsAnswer, false))
                    QTimer::singleShot(0, this, &MainWindow::offerRecovery);
            });
        }
        recoveryAwaitsAnswer = true;
        return;
    }
    QByteArray patch;
    const PatchFileFault fault = recovery.read(&patch);
    if (fault != PatchFileFault::None) {
        const QString aside = recovery.setAside();
        showStatusMessage(aside.isEmpty()
                              ? tr("Could not restore the unsent changes: %1: %2")
                                    .arg(recovery.path(), patch_file_fault_text(fault))
                              : tr("Could not restore the unsent changes: %1: %2; kept as %3")
                                    .arg(recovery.path(), patch_file_fault_text(fault), aside));
        return;
    }
    const QString time = QLocale().toString(recovery.time(), QLocale::ShortFormat);
    QMessageBox box(QMessageBox::Question, tr("Unsent changes"),
                    tr("Restore the unsent changes from %1?").arg(time), QMessageBox::NoButton,
                    this);
    box.setObjectName(QStringLiteral("recoveryQuestion"));
    QPushButton *restore = box.addButton(tr("Restore"), QMessageBox::AcceptRole);
    QPushButton *discard = box.addButton(tr("Discard"), QMessageBox::DestructiveRole);
    box.setDefaultButton(restore);
    qCDebug(lcTrace).noquote() << "Offering the unsent changes of" << recovery.path();
    box.exec();
    // Unanswered (the editor was ended meanwhile), the file stays for the next start.
    if (box.clickedButton() == restore)
        patchDocument->restoreUnsent(patch);
    else if (box.clickedButton() != discard)
        return;
    if (!recovery.remove())
        qWarning().noquote() << "Could not remove the recovery file" << recovery.path();
}
