#include "mainwindow.h"
#include "trace.h"

#include "connectionfield.h"
#include "contextmenu.h"
#include "controlclipboard.h"
#include "controllernamefile.h"
#include "controlsummary.h"
#include "controltable.h"
#include "devicewatcher.h"
#include "editormenus.h"
#include "editorpane.h"
#include "frontpanel.h"
#include "imidi.h"
#include "librarydocument.h"
#include "libraryfiles.h"
#include "librarypanel.h"
#include "librarysender.h"
#include "livesend.h"
#include "midicontroller.h"
#include "midimonitorwindow.h"
#include "numberingdialog.h"
#include "patchcheck.h"
#include "patchdocument.h"
#include "patchfiledialog.h"
#include "platformmidi.h"
#include "presetnamefield.h"
#include "recentfiles.h"
#include "selection.h"
#include "touchselector.h"
#include "ui_mainwindow.h"
#include "unsentrecovery.h"
#include "updatedialog.h"
#include "windowsizing.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDebug>
#include <QDockWidget>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTimer>
#include <QUndoStack>
#include <QWindow>

#include <optional>
#include <utility>

MainWindow::MainWindow(QWidget *parent)
    : MainWindow(make_platform_midi(), parent)
{
}

MainWindow::MainWindow(std::unique_ptr<IMidi> midi, QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , settings(std::make_unique<EditorSettings>())
{
    ui->setupUi(this);
    // The icons the desktop's theme is given, for the title bar and the task switcher; each
    // size finds its @2x beside it for screens with two device pixels per point.
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/images/icon-%1.png").arg(size), QSize(size, size));
    setWindowIcon(icon);

    patchDocument = new PatchDocument(std::move(midi), this);
    midiController = patchDocument->controller();
    connect(patchDocument, &PatchDocument::statusMessage, this, &MainWindow::showStatusMessage);
    connect(patchDocument, &PatchDocument::statusFollowUp, this,
            [this](const QString &text, const QString &shown) {
                if (ui->statusBar->currentMessage() == shown)
                    showStatusMessage(text);
            });

    // Without a name file the lists stay empty, the note list too.
    const std::optional<QStringList> nameFile = readControllerNames();
    const QStringList ccNames = nameFile.value_or(QStringList());
    const QStringList noteNames = nameFile ? ControlSummary::noteEntries() : QStringList();
    controlSelection = new Selection(this);
    ui->graphicsView->setSelection(controlSelection);
    ui->graphicsView->setControllerNames(ccNames);
    connect(ui->graphicsView, &FrontPanel::contextMenuRequested, this,
            &MainWindow::showContextMenu);
    contextMenu = std::make_unique<ContextMenu>(ccNames, noteNames);

    pane = new EditorPane(ccNames, noteNames, ui->widgetRightPane);
    ui->layoutRightPane->addWidget(pane);
    connect(pane, &EditorPane::edited, this, [this](ParameterId id, int value) {
        patchDocument->applyEdit(controlSelection->indices(), id, value);
    });
    connect(pane, &EditorPane::statusMessage, this, &MainWindow::showStatusMessage);
    recovery = new UnsentRecovery(patchDocument, this);
    connect(recovery, &UnsentRecovery::statusMessage, this, &MainWindow::showStatusMessage);
    connect(ui->graphicsView, &FrontPanel::enterPressed, pane, &EditorPane::focusFirstEditor);
    connect(controlSelection, &Selection::changed, this,
            [this] { pane->show(controlSelection->indices(), patchDocument->controls()); });

    // Typing is one undo step per burst: leaving the field ends the burst.
    connect(ui->presetNameField, &PresetNameField::statusMessage, this,
            &MainWindow::showStatusMessage);
    connect(ui->presetNameField, &PresetNameField::renamed, patchDocument,
            &PatchDocument::setPresetName);
    connect(ui->presetNameField, &PresetNameField::editingFinished, patchDocument,
            &PatchDocument::endNameBurst);
    ui->graphicsView->setModeButtons(ui->pushButtonSelectSingle, ui->pushButtonSelectMulti);
    recentFileList = new RecentFiles(*settings, this);
    recentLibraryList = new RecentFiles(*settings, this, RecentFiles::Kind::Libraries);
    createActions();
    arrangeTabOrder();

    updateDialog = new UpdateDialog(this, midiController); // hidden until Update is pressed
    updateDialog->setLastFolder(settings->updaterLastFolder());
    connect(updateDialog, &UpdateDialog::lastFolderChanged, this,
            [this](const QString &folder) { settings->setUpdaterLastFolder(folder); });
    // A run of presets going to the device has the port's answers to itself.
    patchDocument->setBusyCheck(
        [this] { return updateDialog->isBusy() || libraryDocument->sending(); });
    libraryDocument->setBusyCheck([this] { return updateDialog->isBusy(); });
    // While the updater runs on its thread, the port is its own: nothing else reaches the
    // device, and no other dialog opens. The slots refuse too, for a trigger queued before.
    connect(updateDialog, &UpdateDialog::busyChanged, this, [this](bool busy) {
        for (const char *name :
             {"actionLoad", "actionSave", "actionUpload", "actionDownload", "actionUpdate",
              "actionNumberSelected", "actionAbout", "actionOpenLibrary", "actionReceiveLibrary"})
            findChild<QAction *>(QLatin1String(name))->setEnabled(!busy);
        recentFileList->setBusy(busy);
        recentLibraryList->setBusy(busy);
        panelOfLibrary->setDeviceBusy(busy);
        if (!busy)
            showConnectionState();
        if (!busy && std::exchange(startWhenIdle, false))
            startMidi();
    });

    unsentLabel = new QLabel(this);
    unsentLabel->setObjectName(QStringLiteral("labelUnsent"));
    ui->statusBar->addPermanentWidget(unsentLabel);
    connection = new ConnectionField(
        *midiController->getMidi(), [this] { return updateDialog->isBusy(); }, this);
    ui->statusBar->addPermanentWidget(connection);
    connect(connection, &ConnectionField::statusMessage, this, &MainWindow::showStatusMessage);
    connect(connection, &ConnectionField::deviceConnected, patchDocument,
            &PatchDocument::deviceAppeared);

    connect(patchDocument, &PatchDocument::unsentChanged, this, &MainWindow::refreshUnsent);
    connect(patchDocument, &PatchDocument::patchChanged, this,
            [this](PatchDocument::Replacement how) {
                // A new patch: what was selected means nothing in it.
                if (how == PatchDocument::Replacement::Arrived)
                    controlSelection->clear();
                showPatch();
            });
    // The display says "No Vellichord found" until a device connects or a patch arrives.
    connect(patchDocument, &PatchDocument::deviceFoundChanged, this,
            [this] { ui->graphicsView->setNoDeviceFound(patchDocument->noDeviceFound()); });
    // The device's patch is on the panel.
    connect(midiController, &MidiController::patchReceived, this,
            [] { qCDebug(lcTrace) << "Patch from Vellichord shown"; });
    showPatch();
    refreshUnsent();
    showConnectionState(); // "Not connected" until the start has opened the port

    // The window paints itself before any MIDI port opens: a JACK client, the connection and
    // its settling take long enough to be seen. The first expose starts the port (see
    // eventFilter); a window that is not shown starts from the event loop.
    QTimer::singleShot(0, this, [this] {
        if (!isVisible()) {
            startMidi();
            return;
        }
        // A window shown minimized, or on a platform that never exposes it, starts all the same.
        QTimer::singleShot(startWithoutExposeMs, this, &MainWindow::startMidi);
    });

    restoreSettings();
}

MainWindow::~MainWindow()
{
    // Its sender uses the document's controller, which goes with the document.
    delete libraryDocument;
    libraryDocument = nullptr;
    // The name field and the pane lose their focus as the widgets go, after this window's own
    // part is gone; a spin box hidden with a number typed but not entered takes it then.
    disconnect(ui->presetNameField, nullptr, this, nullptr);
    disconnect(pane, nullptr, this, nullptr);
    disconnect(controlSelection, nullptr, this, nullptr);
    // The dock hides as the window's widget part goes, and says so.
    disconnect(dockOfLibrary, nullptr, this, nullptr);
    delete sizing;
    sizing = nullptr;
    disconnect(panelOfLibrary, nullptr, this, nullptr);
    // A run of the updater still going uses the document's port. The widgets go next, in the
    // order they were made, and the document, made after them, last.
    delete updateDialog;
    delete ui;
    qCDebug(lcTrace) << "deleted ui";
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // The native window exists now and has not been exposed yet.
    if (!started && !exposeWatched && windowHandle()) {
        exposeWatched = true;
        windowHandle()->installEventFilter(this);
    }
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Expose && watched == windowHandle()
        && windowHandle()->isExposed()) {
        windowHandle()->removeEventFilter(this);
        // Queued, so that the expose paints the window first.
        QMetaObject::invokeMethod(
            this,
            [this] {
                qCDebug(lcTrace) << "Window shown";
                startMidi();
            },
            Qt::QueuedConnection);
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::startMidi()
{
    if (closed || started)
        return;
    // A firmware update started before has the port; the start follows once it is done.
    if (updateDialog->isBusy()) {
        startWhenIdle = true;
        return;
    }
    started = true;
    patchDocument->start();
    showConnectionState();
    connection->watcher()->start();
    if (std::exchange(recoveryOfferWaiting, false))
        recovery->offer();
}

void MainWindow::createActions()
{
    const EditorCommands commands = buildEditorMenus(
        this, patchDocument->undoStack(), recentFileList->menu(), recentLibraryList->menu());
    connect(commands.load, &QAction::triggered, this, &MainWindow::loadSysex);
    connect(commands.save, &QAction::triggered, this, &MainWindow::saveSysex);
    connect(recentFileList, &RecentFiles::fileChosen, this, &MainWindow::openRecentFile);
    connect(commands.quit, &QAction::triggered, this, &QWidget::close);
    connect(commands.selectAll, &QAction::triggered, this, &MainWindow::selectAll);
    connect(commands.selectNone, &QAction::triggered, this, [this] {
        // The pane's editors go with the selection. The keyboard goes back to the picture,
        // not on to the next button, where a Space would reach the device.
        if (pane->isAncestorOf(focusWidget()))
            ui->graphicsView->setFocus(Qt::ShortcutFocusReason);
        controlSelection->clear();
    });
    connect(commands.number, &QAction::triggered, this, &MainWindow::numberSelectedControls);
    connect(commands.upload, &QAction::triggered, this, &MainWindow::uploadPatch);
    connect(commands.download, &QAction::triggered, this, &MainWindow::downloadPatch);
    connect(commands.revert, &QAction::triggered, patchDocument, &PatchDocument::revertToDevice);
    connect(commands.update, &QAction::triggered, this, &MainWindow::performUpdate);
    connect(commands.about, &QAction::triggered, this, &MainWindow::showAbout);
    revertAction = commands.revert;
    createLibrary(commands);
    createHandsOnModes(commands);
    createClipboardCommands(commands);
    createMonitor(commands);

    bindButton(ui->buttonUpload, commands.upload);
    bindButton(ui->buttonDownload, commands.download);
    bindButton(ui->buttonLoadSysex, commands.load);
    bindButton(ui->buttonSaveSysex, commands.save);
    bindButton(ui->buttonUpdate, commands.update);
    ui->pushButtonSelectSingle->setToolTip(
        tr("Select Single: a click selects one control, Ctrl-click adds or removes one"));
    ui->pushButtonSelectMulti->setToolTip(
        tr("Select Multi: a click adds or removes one control; a band selects the controls it "
           "touches, with Ctrl or Shift added to the selection"));
}

void MainWindow::createMonitor(const EditorCommands &commands)
{
    monitorWindow = new MidiMonitorWindow(this);
    auto *show = new QAction(tr("MIDI &Monitor"), this);
    show->setObjectName(QStringLiteral("actionMidiMonitor"));
    show->setCheckable(true);
    show->setToolTip(tr("Show or hide the window that lists every MIDI message in and out"));
    commands.view->addAction(show);
    connect(show, &QAction::toggled, monitorWindow, [this](bool on) {
        monitorWindow->setVisible(on);
        if (on) {
            monitorWindow->raise();
            monitorWindow->activateWindow();
        }
    });
    connect(monitorWindow, &MidiMonitorWindow::visibilityChanged, show, &QAction::setChecked);
    connect(midiController, &MidiController::traffic, monitorWindow,
            [this](const MidiTraffic &batch) {
                monitorWindow->showTraffic(
                    batch, QString::fromStdString(midiController->getMidi()->connectedName()));
            });
}

void MainWindow::createLibrary(const EditorCommands &commands)
{
    libraryDocument = new LibraryDocument(patchDocument, this);
    connect(libraryDocument, &LibraryDocument::statusMessage, this, &MainWindow::showStatusMessage);
    panelOfLibrary = new LibraryPanel(libraryDocument);
    dockOfLibrary = new QDockWidget(tr("Library"), this);
    dockOfLibrary->setObjectName(QStringLiteral("libraryDock"));
    dockOfLibrary->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    dockOfLibrary->setWidget(panelOfLibrary);
    addDockWidget(Qt::RightDockWidgetArea, dockOfLibrary);
    dockOfLibrary->hide();
    QAction *toggle = dockOfLibrary->toggleViewAction();
    toggle->setObjectName(QStringLiteral("actionShowLibrary"));
    toggle->setText(tr("&Library"));
    toggle->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    toggle->setToolTip(tr("Show or hide the library of twenty presets"));
    commands.view->addAction(toggle);
    addAction(toggle);
    // Docked, the panel widens the window; floating, it leaves it as it was.
    sizing = new WindowSizing(this, dockOfLibrary);
    connect(dockOfLibrary, &QDockWidget::visibilityChanged, sizing, &WindowSizing::fitToDock);
    connect(dockOfLibrary, &QDockWidget::topLevelChanged, sizing, &WindowSizing::fitToDock);

    // Store goes to the Edit menu, Send All to the Device menu.
    for (QMenu *m : menusHolding(commands.number)) {
        m->addSeparator();
        m->addAction(panelOfLibrary->storeAction());
    }
    for (QMenu *m : menusHolding(commands.receiveLibrary))
        m->insertAction(commands.update, panelOfLibrary->sendAllAction());
    addActions({panelOfLibrary->storeAction(), panelOfLibrary->sendAllAction()});

    libraryFiles = new LibraryFiles(
        libraryDocument, recentLibraryList, settings.get(), dockOfLibrary,
        [this] { return updateDialog->isBusy(); }, this);
    connect(libraryFiles, &LibraryFiles::statusMessage, this, &MainWindow::showStatusMessage);
    connect(commands.openLibrary, &QAction::triggered, libraryFiles, &LibraryFiles::open);
    connect(commands.saveLibrary, &QAction::triggered, libraryFiles, &LibraryFiles::saveAs);
    connect(recentLibraryList, &RecentFiles::fileChosen, libraryFiles, &LibraryFiles::openRecent);
    connect(commands.receiveLibrary, &QAction::triggered, this, [this] {
        libraryDocument->receive();
        showConnectionState();
    });
    // While presets go to the device, nothing else may ask it for its patch or send one.
    connect(libraryDocument, &LibraryDocument::sendProgress, this, [this](int done) {
        if (done > 0)
            return;
        // Its progress bar and Stop are in the panel.
        dockOfLibrary->show();
        for (const char *name :
             {"actionUpload", "actionDownload", "actionUpdate", "actionReceiveLibrary"})
            findChild<QAction *>(QLatin1String(name))->setEnabled(false);
        // An updater window already open would start its run on the port meanwhile.
        updateDialog->setEnabled(false);
    });
    connect(libraryDocument, &LibraryDocument::sendFinished, this, [this] {
        for (const char *name :
             {"actionUpload", "actionDownload", "actionUpdate", "actionReceiveLibrary"})
            findChild<QAction *>(QLatin1String(name))->setEnabled(true);
        updateDialog->setEnabled(true);
        showConnectionState();
    });
}

void MainWindow::createHandsOnModes(const EditorCommands &commands)
{
    auto *touch = new TouchSelector(patchDocument, controlSelection, ui->graphicsView, this);
    connect(touch, &TouchSelector::statusMessage, this, &MainWindow::showStatusMessage);
    connect(midiController, &MidiController::traffic, touch, &TouchSelector::take);
    connect(commands.selectByTouch, &QAction::toggled, this, [this, touch](bool on) {
        touch->setOn(on);
        settings->setSelectByTouch(on);
    });
    commands.selectByTouch->setChecked(settings->selectByTouch());
    touch->setOn(commands.selectByTouch->isChecked());

    auto *live = new LiveSend(patchDocument, this);
    connect(live, &LiveSend::statusMessage, this, &MainWindow::showStatusMessage);
    // A send that fails turns the mode off, and the menu with it.
    connect(live, &LiveSend::switched, commands.sendAsYouEdit, &QAction::setChecked);
    connect(commands.sendAsYouEdit, &QAction::toggled, this, [this, live](bool on) {
        live->setOn(on);
        settings->setSendAsYouEdit(on);
    });
    commands.sendAsYouEdit->setChecked(settings->sendAsYouEdit());
}

void MainWindow::createClipboardCommands(const EditorCommands &commands)
{
    const ClipboardCommands c = addClipboardCommands(this, commands);
    controlClipboard = new ControlClipboard(patchDocument, controlSelection, this);
    connect(controlClipboard, &ControlClipboard::statusMessage, this,
            &MainWindow::showStatusMessage);
    connect(c.copy, &QAction::triggered, controlClipboard, [this] { controlClipboard->copy(); });
    for (const auto &[action, keepNumbers] :
         {std::pair{c.paste, false}, std::pair{c.pasteKeepingNumbers, true}}) {
        connect(action, &QAction::triggered, this, [this, keepNumbers = keepNumbers] {
            // The pane shows what the paste has set.
            if (controlClipboard->paste(keepNumbers))
                pane->show(controlSelection->indices(), patchDocument->controls());
        });
    }
    const auto enable = [this, c] {
        c.copy->setEnabled(controlSelection->size() == 1);
        c.paste->setEnabled(!controlSelection->isEmpty());
        c.pasteKeepingNumbers->setEnabled(!controlSelection->isEmpty());
    };
    connect(controlSelection, &Selection::changed, this, enable);
    enable();

    connect(c.check, &QAction::triggered, this, [this] {
        checkShown = true;
        checkPatch(true);
    });
    connect(patchDocument, &PatchDocument::unsentChanged, this, [this] {
        if (checkShown)
            checkPatch(false);
    });
}

void MainWindow::checkPatch(bool say)
{
    const QList<PatchCheck::Finding> findings = PatchCheck::run(patchDocument->controls());
    ui->graphicsView->setCheckFindings(findings);
    if (!say)
        return;
    if (findings.isEmpty())
        showStatusMessage(tr("Check: no two controls send the same note or CC on one channel, "
                             "and none sends a reserved CC"));
    else
        showStatusMessage((findings.size() == 1 ? tr("Check: 1 finding")
                                                : tr("Check: %1 findings").arg(findings.size()))
                          + tr(", marked on the controls; their tooltips say why"));
}

void MainWindow::restoreSettings()
{
    // The picture at 1:1 beside the pane at its natural width, until the user sizes the window.
    sizing->restoreSize(settings->windowSize());
    restoreState(settings->windowState());
    monitorWindow->restoreGeometry(settings->monitorGeometry());
    if (settings->monitorOpen())
        monitorWindow->show();
    sizing->fitToDock();
    settings->placeWindow(this);
    sizing->maximiseWhenShown(settings->windowMaximized());
    if (settings->multiSelect())
        controlSelection->setMode(Selection::Mode::Multi);
}

QStringList MainWindow::recentFiles() const
{
    return recentFileList->files();
}

void MainWindow::openRecentFile(const QString &fileName)
{
    if (updateDialog->isBusy())
        return;
    if (recentFileList->forgetIfMissing(fileName)) {
        showStatusMessage(tr("Recent file not found, removed from the list: %1").arg(fileName));
        return;
    }
    loadFile(fileName);
}

void MainWindow::selectAll()
{
    // One at a time, so that the controls already selected keep their places.
    for (int i = 0; i < ControlTable::count; ++i)
        controlSelection->select(i);
}

FrontPanel *MainWindow::frontPanel() const
{
    return ui->graphicsView;
}

void MainWindow::numberSelectedControls()
{
    if (updateDialog->isBusy())
        return;
    const QList<int> selected = controlSelection->indices();
    if (selected.isEmpty()) {
        showStatusMessage(tr("Select the controls to number first"));
        return;
    }
    NumberingDialog dialog(patchDocument->controls(), selected, this);
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
    pane->show(selected, patchDocument->controls());
}

void MainWindow::arrangeTabOrder()
{
    // The picture first, with the buttons that choose how it selects; then the name and the
    // pane that edit the selection, top to bottom; then the device and file commands.
    QList<QWidget *> chain = {ui->graphicsView, ui->pushButtonSelectSingle,
                              ui->pushButtonSelectMulti, ui->presetNameField->lineEdit()};
    chain << pane->editors();
    chain << ui->buttonUpload << ui->buttonDownload << ui->buttonLoadSysex << ui->buttonSaveSysex
          << ui->buttonUpdate;
    for (int i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain.at(i - 1), chain.at(i));
}

void MainWindow::showAbout()
{
    if (updateDialog->isBusy())
        return;
    QMessageBox::about(this, tr("About"),
                       tr("<b>Tarvel Vellichord Editor</b> %1<br>Qt %2<br>MIDI: %3")
                           .arg(QCoreApplication::applicationVersion(),
                                QString::fromLatin1(qVersion()),
                                QString::fromStdString(midiController->getMidi()->systemName())));
}

void MainWindow::refreshUnsent()
{
    // Called after every change of the editor's or the device's patch.
    ui->graphicsView->showPatch(patchDocument->controls(), midiController->getPresetNo(),
                                midiController->getPresetName());
    ui->graphicsView->setUnsent(patchDocument->unsentControls());
    const bool unsent = patchDocument->hasUnsentChanges();
    unsentLabel->setText(unsent ? tr("Unsent changes") : QString());
    // A screen reader finds the field empty too: it says that nothing waits.
    unsentLabel->setAccessibleName(unsent ? tr("Unsent changes") : tr("No unsent changes"));
    setWindowModified(unsent);
    revertAction->setEnabled(unsent);
}

void MainWindow::showPatch()
{
    ui->presetNameField->showName(midiController->getPresetName());
    pane->show(controlSelection->indices(), patchDocument->controls());
    ui->graphicsView->showPatch(patchDocument->controls(), midiController->getPresetNo(),
                                midiController->getPresetName());
}

void MainWindow::showStatusMessage(const QString &text)
{
    ui->statusBar->showMessage(text);
}

void MainWindow::showContextMenu(int control, const QPoint &position)
{
    QList<MidiControlModel *> selected;
    for (int index : controlSelection->indices())
        selected << patchDocument->controller()->getModels()->at(index);
    const std::optional<ParameterChoice> choice = contextMenu->exec(
        *patchDocument->controls().at(control), selected, position);
    if (!choice)
        return;
    patchDocument->edit(
        QString(), [&](ControlTable &) { ContextMenu::apply(*choice, selected); },
        controlSelection->indices());
    // The pane shows what the choice has set.
    pane->show(controlSelection->indices(), patchDocument->controls());
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
    connection->refresh();
}

void MainWindow::loadSysex()
{
    if (updateDialog->isBusy())
        return;
    const QString fileName = PatchFileDialog::askToOpen(this, settings->lastFolder());
    if (fileName.isEmpty())
        return;
    loadFile(fileName);
}

bool MainWindow::loadFile(const QString &fileName)
{
    if (!patchDocument->load(fileName))
        return false;
    recentFileList->remember(fileName);
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
    const QString fileName = PatchFileDialog::askToSave(this, settings->lastFolder());
    if (fileName.isEmpty())
        return false;
    if (!patchDocument->save(fileName))
        return false;
    recentFileList->remember(fileName);
    return true;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // Stopping the input monitor now would cut a firmware transfer short.
    bool refused = updateDialog->isBusy();
    // A signal that comes while the question is open ends it unanswered; the window closes
    // all the same (a close() meanwhile does nothing while this one runs).
    if (!refused && patchDocument->hasUnsentChanges() && !closingUnasked)
        refused = !askBeforeClosing() && !closingUnasked;
    if (!refused && !closingUnasked)
        refused = !libraryFiles->askBeforeLosing() && !closingUnasked;
    if (refused) {
        event->ignore();
        return;
    }
    if (!sizing->fillsTheScreen())
        settings->setWindowPosition(pos());
    settings->setWindowSize(sizing->sizeWithoutDock());
    settings->setWindowMaximized(isMaximized());
    settings->setWindowState(saveState());
    settings->setMonitorGeometry(monitorWindow->saveGeometry());
    settings->setMonitorOpen(monitorWindow->isVisible());
    settings->setMultiSelect(controlSelection->isMulti());
    settings->sync();
    qCDebug(lcTrace) << "Closing Main window";
    closed = true;
    connection->watcher()->stop();
    midiController->stopMonitor();
    QMainWindow::closeEvent(event);
}

bool MainWindow::askBeforeClosing()
{
    switch (recovery->askBeforeClosing()) {
    case UnsentRecovery::CloseChoice::Download:
        // Says why when it fails; the window then stays.
        downloadPatch();
        return !patchDocument->hasUnsentChanges();
    case UnsentRecovery::CloseChoice::Save:
        return saveToFile();
    case UnsentRecovery::CloseChoice::Discard:
        return true;
    case UnsentRecovery::CloseChoice::Cancel:
        break;
    }
    return false;
}

void MainWindow::closeUnasked()
{
    recovery->keep();
    libraryFiles->keepUnsaved();
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
    // Before the start's patch request the offer would come ahead of the device's patch.
    if (!started) {
        recoveryOfferWaiting = true;
        return;
    }
    recovery->offer();
}
