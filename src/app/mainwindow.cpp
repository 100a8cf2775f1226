#include "mainwindow.h"
#include "trace.h"

#include "contextmenu.h"
#include "controllernamefile.h"
#include "controlnames.h"
#include "controlsummary.h"
#include "deviceclaim.h"
#include "devicewatcher.h"
#include "editortexts.h"
#include "frontpanel.h"
#include "imidi.h"
#include "midicontroller.h"
#include "numberingdialog.h"
#include "parametertext.h"
#include "patchcommands.h"
#include "platformmidi.h"
#include "rangespinbox.h"
#include "selection.h"
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
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTextCodec>
#include <QTimer>
#include <QUndoStack>
#include <QValidator>

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

// Passes wheel turns over editors without focus to the scroll area around them, so that
// scrolling the pane never changes the value of every selected control on the way.
class WheelToPane : public QObject
{
public:
    WheelToPane(QAbstractScrollArea *area, QObject *parent)
        : QObject(parent)
        , area(area)
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Wheel || static_cast<QWidget *>(watched)->hasFocus())
            return false;
        QCoreApplication::sendEvent(area->verticalScrollBar(), event);
        return true;
    }

private:
    QAbstractScrollArea *area;
};

// Keeps of what is typed or pasted into the preset name what the device can store, and tells
// report what it dropped.
class PresetNameValidator : public QValidator
{
public:
    PresetNameValidator(std::function<void(const Patch::NameFit &)> report, QObject *parent)
        : QValidator(parent)
        , report(std::move(report))
    {
    }

    State validate(QString &input, int &pos) const override
    {
        const Patch::NameFit fit = Patch::fitName(input, pos);
        if (!fit.refused.isEmpty() || !fit.cut.isEmpty()) {
            input = fit.text;
            pos = fit.cursor;
            report(fit);
        }
        return Acceptable;
    }

private:
    std::function<void(const Patch::NameFit &)> report;
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
    undoStack = new QUndoStack(this);
    // A flood of patches from the device would otherwise grow the history without end. The
    // limit can only be set while the stack is empty.
    undoStack->setUndoLimit(undoLimit);
    clock.start();

    midiController = new MidiController(std::move(midi));
    connect(midiController, &MidiController::statusMessage, this, &MainWindow::showStatusMessage);
    controlModels = midiController->getModels();

    controlSelection = new Selection(this);
    connect(controlSelection, &Selection::changed, this, &MainWindow::refreshEditorPane);

    // The name travels as SysEx data bytes, so only printable ASCII can be typed. The
    // validator, not the field's maximum length, keeps it to 16 characters, so that it sees
    // all of a paste and keeps what fits.
    ui->lineEditPresetName->setValidator(new PresetNameValidator(
        [this](const Patch::NameFit &fit) { presetNameDropped(fit); }, ui->lineEditPresetName));
    ui->labelPresetNameCount->setMinimumWidth(
        ui->labelPresetNameCount->fontMetrics().horizontalAdvance(
            QStringLiteral("%1/%1").arg(PatchLayout::nameLength)));
    showPresetName();

    ui->graphicsView->setSelection(controlSelection);
    connect(ui->graphicsView, &FrontPanel::contextMenuRequested, this,
            &MainWindow::showContextMenu);
    connect(ui->graphicsView, &FrontPanel::enterPressed, this, &MainWindow::focusFirstEditor);

    // Typed digits reach the model only when the edit is finished; steps reach it at once.
    const std::pair<RangeSpinBox *, ParameterId> rangeBoxes[] = {
        {ui->spinMin, Min},   {ui->spinMax, Max},   {ui->spinMinX, MinX},
        {ui->spinMaxX, MaxX}, {ui->spinMinY, MinY}, {ui->spinMaxY, MaxY}};
    for (const auto &[box, id] : rangeBoxes) {
        box->setKeyboardTracking(false);
        connect(box, &RangeSpinBox::tookMaximumFor, this, [this, box = box, id = id](int typed) {
            showStatusMessage(tr("%1: %2 is out of range (allowed: %3..%4); %4 is set")
                                  .arg(ParameterText::caption(id))
                                  .arg(typed)
                                  .arg(std::max(box->minimum(), 0))
                                  .arg(box->maximum()));
        });
    }

    buildLabelMap();
    buildEditorList();
    generateCCandNoteLists();
    fitEditorPaneToFont();
    // A wheel turned over the pane scrolls it; it changes an editor only after a click into it.
    auto *wheelToPane = new WheelToPane(ui->scrollAreaEditorPane, this);
    for (QWidget *editor : qAsConst(editorWidgets)) {
        editor->setFocusPolicy(Qt::StrongFocus);
        editor->installEventFilter(wheelToPane);
    }

    fillComboBoxes();
    connectSignals();
    createActions();
    arrangeTabOrder();
    refreshEditorPane();

    ui->graphicsView->setControllerNames(ccNames);
    contextMenu = std::make_unique<ContextMenu>(ccNames, noteNames);
    updateDialog = new UpdateDialog(this, midiController); // hidden until Update is pressed
    updateDialog->setLastFolder(settings->updaterLastFolder());
    connect(updateDialog, &UpdateDialog::lastFolderChanged, this,
            [this](const QString &folder) { settings->setUpdaterLastFolder(folder); });
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

    // A device pulled out between request and answer never answers. Once the wait is over,
    // "Waiting for upload..." gives way, unless another text already has.
    uploadAnswerTimer = new QTimer(this);
    uploadAnswerTimer->setObjectName(QStringLiteral("uploadAnswerTimer"));
    uploadAnswerTimer->setSingleShot(true);
    uploadAnswerTimer->setInterval(uploadAnswerWaitMs);
    connect(uploadAnswerTimer, &QTimer::timeout, this, [this] {
        answerAwaited = false;
        if (ui->statusBar->currentMessage() == tr("Waiting for upload..."))
            showStatusMessage(tr("Upload failed: no answer from Vellichord"));
    });

    unsentLabel = new QLabel(this);
    unsentLabel->setObjectName(QStringLiteral("labelUnsent"));
    ui->statusBar->addPermanentWidget(unsentLabel);
    connectionLabel = new QLabel(this);
    connectionLabel->setObjectName(QStringLiteral("labelConnection"));
    ui->statusBar->addPermanentWidget(connectionLabel);

    // Until the device says otherwise, it is taken to hold the patch the editor starts with.
    editorPatch = devicePatch = currentPatch();
    connect(midiController, &MidiController::patchReceived, this, &MainWindow::patchFromDevice);
    // A patch the editor did not ask for never replaces unsent changes.
    midiController->setPatchHold([this] { return hasUnsentChanges() && !answerAwaited; });
    connect(midiController, &MidiController::patchHeld, this, &MainWindow::devicePatchChanged);
    refreshUnsent();

    qCDebug(lcTrace) << "Upload patch";
    if (!deviceRefused(tr("Patch request"))) {
        uploadPatch();
        // Without a device the editor starts from the factory patch; the status and the
        // panel's display say why, the display until a device connects or a patch arrives.
        ui->graphicsView->setNoDeviceFound(!answerAwaited);
        showStatusMessage(answerAwaited ? tr("Ready") : tr("No Vellichord found"));
    }
    const auto deviceFound = [this] { ui->graphicsView->setNoDeviceFound(false); };
    connect(midiController, &MidiController::patchReceived, this, deviceFound);

    // The device may come later, go, or come back after a firmware update. The port is left
    // to the updater while it runs a handshake or a transfer.
    deviceWatcher = new DeviceWatcher(
        *midiController->getMidi(), MidiController::portName,
        [this] { return updateDialog->isBusy(); }, this);
    deviceWatcher->setObjectName(QStringLiteral("deviceWatcher"));
    connect(deviceWatcher, &DeviceWatcher::deviceConnected, this, &MainWindow::deviceAppeared);
    connect(deviceWatcher, &DeviceWatcher::deviceConnected, this, deviceFound);
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
    disconnect(ui->lineEditPresetName, nullptr, this, nullptr);
    for (QWidget *editor : qAsConst(editorWidgets))
        disconnect(editor, nullptr, this, nullptr);
    delete deviceWatcher; // it uses the controller's port and the update dialog
    delete updateDialog;  // a run still going uses the controller's port
    delete ui;
    delete midiController;
    qCDebug(lcTrace) << "deleted ui";
}

void MainWindow::buildLabelMap()
{
    labelMap = {
        {ui->comboBoxChannel, ui->labelChannel},
        {ui->comboBoxCC, ui->labelCC},
        {ui->comboBoxCCX, ui->labelCCX},
        {ui->comboBoxCCY, ui->labelCCY},
        {ui->spinMin, ui->labelMin},
        {ui->spinMinX, ui->labelMinX},
        {ui->spinMinY, ui->labelMinY},
        {ui->spinMax, ui->labelMax},
        {ui->spinMaxX, ui->labelMaxX},
        {ui->spinMaxY, ui->labelMaxY},
        {ui->comboBoxType, ui->labelType},
        {ui->comboBoxToggle, ui->labelMode},
        {ui->comboBoxNoteOrCC, ui->labelNoteCC},
        {ui->comboBoxAftertouch, ui->labelAftertouch},
        {ui->comboBoxColour, ui->labelColour},
        {ui->comboBoxColourF, ui->labelColour_2},
    };
}

void MainWindow::buildEditorList()
{
    editorWidgets = {
        ui->comboBoxChannel,  ui->comboBoxCC,         ui->comboBoxCCX,    ui->comboBoxCCY,
        ui->spinMin,          ui->spinMinX,           ui->spinMinY,       ui->spinMax,
        ui->spinMaxX,         ui->spinMaxY,           ui->comboBoxType,   ui->comboBoxToggle,
        ui->comboBoxNoteOrCC, ui->comboBoxAftertouch, ui->comboBoxColour, ui->comboBoxColourF};
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

int widestText(const QFontMetrics &metrics, const QStringList &texts)
{
    int widest = 0;
    for (const QString &text : texts)
        widest = std::max(widest, metrics.horizontalAdvance(text));
    return widest;
}

// The width a combo box needs to show a text of textWidth in its edit field. The style draws
// the text one pixel in from each side of the field.
int comboWidthFor(QComboBox *box, int textWidth)
{
    QStyleOptionComboBox option;
    option.initFrom(box);
    option.rect = QRect(0, 0, 200, box->sizeHint().height());
    const QRect field = box->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                     QStyle::SC_ComboBoxEditField, box);
    return textWidth + 2 + (option.rect.width() - field.width());
}

} // namespace

// Sizes come from the font rather than from fixed numbers, so that no caption, item or value
// is cut off with a larger font. The longest controller name sets the width of the editors.
void MainWindow::fitEditorPaneToFont()
{
    // One column of captions, wide enough for the Note/CC row's other captions as well.
    QStringList captions = {tr("Note"), tr("CC"), tr("Note/CC")};
    for (QWidget *label : qAsConst(labelMap))
        captions << static_cast<QLabel *>(label)->text();
    const int labelWidth = widestText(ui->labelType->fontMetrics(), captions);
    for (QWidget *label : qAsConst(labelMap))
        label->setMinimumWidth(labelWidth);

    QStringList items = ccNames + noteNames;
    items << multiValueText;
    for (const QStringList &list :
         {MidiControlModel::channelNames(), MidiControlModel::typeNames(),
          MidiControlModel::modeNames(), MidiControlModel::aftertouchNames(),
          MidiControlModel::colourNames(), MidiControlModel::colourFnNames()})
        items += list;
    // Overlong names in a name file must not push the window off the screen; the list that
    // drops down still shows them whole.
    const QFontMetrics metrics = ui->comboBoxCC->fontMetrics();
    const int textWidth = std::min(widestText(metrics, items), 50 * metrics.averageCharWidth());
    int editorWidth = comboWidthFor(ui->comboBoxCC, textWidth);
    for (QSpinBox *box :
         {ui->spinMin, ui->spinMax, ui->spinMinX, ui->spinMaxX, ui->spinMinY, ui->spinMaxY}) {
        // A spin box sizes itself for its range and its special-value text.
        const QSignalBlocker blocker(box);
        const QString special = box->specialValueText();
        const int minimum = box->minimum();
        box->setSpecialValueText(multiValueText);
        box->setMinimum(-1);
        editorWidth = std::max(editorWidth, box->sizeHint().width());
        box->setMinimum(minimum);
        box->setSpecialValueText(special);
    }
    for (QWidget *editor : qAsConst(editorWidgets))
        editor->setMinimumWidth(editorWidth);

    // The pane scrolls up and down only: it is as wide as its widest row and a scroll bar.
    int rowWidth = 0;
    for (QWidget *editor : qAsConst(editorWidgets))
        rowWidth = std::max(rowWidth, editor->parentWidget()->minimumSizeHint().width());
    QScrollArea *scroll = ui->scrollAreaEditorPane;
    scroll->setMinimumWidth(rowWidth + scroll->verticalScrollBar()->sizeHint().width()
                            + 2 * scroll->frameWidth());

    // The heading names up to three controls; it must never widen the window while it runs.
    QStringList names;
    QList<int> all;
    for (int i = 0; i < ControlTable::count; ++i) {
        names << ControlNames::name(i);
        all << i;
    }
    const QFontMetrics headingMetrics = ui->labelSelection->fontMetrics();
    std::sort(names.begin(), names.end(), [&](const QString &a, const QString &b) {
        return headingMetrics.horizontalAdvance(a) > headingMetrics.horizontalAdvance(b);
    });
    const QString widestHeading = names.mid(0, 3).join(QStringLiteral(", "));
    ui->labelSelection->setMinimumWidth(
        widestText(headingMetrics, {widestHeading, ControlNames::describe(all)}));
}

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

void MainWindow::fillComboBoxes()
{
    comboItemLists = {
        {ui->comboBoxChannel, MidiControlModel::channelNames()},
        {ui->comboBoxCC, ccNames},
        {ui->comboBoxCCX, ccNames},
        {ui->comboBoxCCY, ccNames},
        {ui->comboBoxType, MidiControlModel::typeNames()},
        {ui->comboBoxToggle, MidiControlModel::modeNames()},
        {ui->comboBoxNoteOrCC, ccNames},
        {ui->comboBoxAftertouch, MidiControlModel::aftertouchNames()},
        {ui->comboBoxColour, MidiControlModel::colourNames()},
        {ui->comboBoxColourF, MidiControlModel::colourFnNames()},
    };
    for (QComboBox *box : {ui->comboBoxChannel, ui->comboBoxAftertouch, ui->comboBoxColour,
                           ui->comboBoxColourF, ui->comboBoxToggle, ui->comboBoxType}) {
        const QSignalBlocker blocker(box);
        box->addItems(comboItemLists.value(box));
        box->setEnabled(false);
    }
}

void MainWindow::connectSignals()
{
    connect(ui->spinMin, QOverload<int>::of(&QSpinBox::valueChanged), this, &MainWindow::updateMin);
    connect(ui->spinMax, QOverload<int>::of(&QSpinBox::valueChanged), this, &MainWindow::updateMax);
    connect(ui->spinMinX, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &MainWindow::updateMinX);
    connect(ui->spinMinY, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &MainWindow::updateMinY);
    connect(ui->spinMaxX, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &MainWindow::updateMaxX);
    connect(ui->spinMaxY, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &MainWindow::updateMaxY);

    const auto indexChanged = QOverload<int>::of(&QComboBox::currentIndexChanged);
    connect(ui->comboBoxCC, indexChanged, this, &MainWindow::updateCC);
    connect(ui->comboBoxCCX, indexChanged, this, &MainWindow::updateCCX);
    connect(ui->comboBoxCCY, indexChanged, this, &MainWindow::updateCCY);
    connect(ui->comboBoxChannel, indexChanged, this, &MainWindow::updateCh);
    connect(ui->comboBoxType, indexChanged, this, &MainWindow::updateType);
    connect(ui->comboBoxToggle, indexChanged, this, &MainWindow::updateToggle);
    connect(ui->comboBoxNoteOrCC, indexChanged, this, &MainWindow::updateNoteOrCC);
    connect(ui->comboBoxAftertouch, indexChanged, this, &MainWindow::updateAftertouch);
    connect(ui->comboBoxColour, indexChanged, this, &MainWindow::updateColour);
    connect(ui->comboBoxColourF, indexChanged, this, &MainWindow::updateColourF);

    // Typing is one undo step per burst: leaving the field ends the burst.
    connect(ui->lineEditPresetName, &QLineEdit::textChanged, this, [this](const QString &name) {
        showPresetNameCount();
        midiController->setPresetName(name);
        recordChange(tr("Rename preset"), renameBurst);
    });
    connect(ui->lineEditPresetName, &QLineEdit::editingFinished, this, [this] { ++renameBurst; });
    connect(midiController, &MidiController::modelUpdated, this, &MainWindow::refreshView);
    // The buttons show the mode in force; a click on the one of that mode, which unchecks
    // it, checks it again.
    const auto showMode = [this] {
        ui->pushButtonSelectSingle->setChecked(!controlSelection->isMulti());
        ui->pushButtonSelectMulti->setChecked(controlSelection->isMulti());
    };
    connect(controlSelection, &Selection::modeChanged, this, showMode);
    for (const auto &[button, mode] :
         {std::pair{ui->pushButtonSelectSingle, Selection::Mode::Single},
          std::pair{ui->pushButtonSelectMulti, Selection::Mode::Multi}}) {
        connect(button, &QPushButton::clicked, this, [this, mode = mode, showMode] {
            controlSelection->setMode(mode);
            showMode();
        });
    }
    // After updateType: the names follow the type the models already hold.
    connect(ui->comboBoxType, indexChanged, this, &MainWindow::switchNoteCCLabels);
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
    QAction *undo = undoStack->createUndoAction(this, tr("&Undo"));
    undo->setObjectName(QStringLiteral("actionUndo"));
    undo->setShortcut(QKeySequence::Undo);
    QAction *redo = undoStack->createRedoAction(this, tr("&Redo"));
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
        if (ui->scrollAreaEditorPane->isAncestorOf(focusWidget()))
            ui->graphicsView->setFocus(Qt::ShortcutFocusReason);
        controlSelection->clear();
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
    connect(revertAction, &QAction::triggered, this, &MainWindow::revertToDevicePatch);
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
        controlSelection->setMode(Selection::Mode::Multi);
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
    // One at a time, so that the controls already selected keep their places.
    for (int i = 0; i < ControlTable::count; ++i)
        controlSelection->select(i);
}

QList<MidiControlModel *> MainWindow::selectedModels() const
{
    QList<MidiControlModel *> models;
    for (int control : controlSelection->indices())
        models << controlModels->at(control);
    return models;
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
    NumberingDialog dialog(*controlModels, selected, this);
    dialog.setObjectName(QStringLiteral("numberingDialog"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    const Numbering::Plan &plan = dialog.plan();
    for (const Numbering::Assignment &step : plan.assignments)
        controlModels->at(step.control)
            ->updateParameter(step.id, static_cast<unsigned char>(step.value));
    recordChange(tr("Number %n controls", nullptr, int(plan.assignments.size())));
    refreshEditorPane();
}

void MainWindow::arrangeTabOrder()
{
    // The picture first, with the buttons that choose how it selects; then the name and the
    // pane that edit the selection, top to bottom; then the device and file commands.
    QList<QWidget *> chain = {ui->graphicsView, ui->pushButtonSelectSingle,
                              ui->pushButtonSelectMulti, ui->lineEditPresetName};
    for (QWidget *editor : ui->widgetEditorPane->findChildren<QWidget *>()) {
        if (editorWidgets.contains(editor))
            chain << editor;
    }
    chain << ui->buttonUpload << ui->buttonDownload << ui->buttonLoadSysex << ui->buttonSaveSysex
          << ui->buttonUpdate;
    for (int i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain.at(i - 1), chain.at(i));
}

void MainWindow::focusFirstEditor()
{
    for (QWidget *editor : ui->widgetEditorPane->findChildren<QWidget *>()) {
        if (editorWidgets.contains(editor) && editor->isVisibleTo(ui->widgetEditorPane)
            && editor->isEnabled()) {
            editor->setFocus(Qt::TabFocusReason);
            return;
        }
    }
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

QByteArray MainWindow::currentPatch()
{
    return midiController->currentPatch();
}

void MainWindow::recordChange(const QString &text, int burst, bool unrequested)
{
    const QByteArray after = currentPatch();
    if (after == editorPatch)
        return;
    QList<int> selected = controlSelection->indices();
    std::sort(selected.begin(), selected.end());
    const QString name = text.isEmpty()
        ? describePatchChange(*controlModels, editorPatch, after, selected)
        : text;
    const QByteArray before = editorPatch;
    editorPatch = after;
    auto *step = new PatchCommand([this](const QByteArray &patch) { restorePatch(patch); }, before,
                                  after, name, burst);
    if (unrequested)
        step->setUnrequestedArrival(clock.elapsed());
    undoStack->push(step);
    refreshUnsent();
}

void MainWindow::restorePatch(const QByteArray &patch)
{
    midiController->restorePatch(patch);
    editorPatch = patch;
    showPresetName();
    // A burst of typing that follows starts a step of its own.
    ++renameBurst;
    refreshEditorPane();
    refreshUnsent();
}

void MainWindow::refreshUnsent()
{
    // Called after every change of the editor's or the device's patch.
    refreshPanel();
    ui->graphicsView->setUnsent(changedControls(*controlModels, editorPatch, devicePatch));
    const bool unsent = hasUnsentChanges();
    unsentLabel->setText(unsent ? tr("Unsent changes") : QString());
    setWindowModified(unsent);
    revertAction->setEnabled(unsent);
}

void MainWindow::revertToDevicePatch()
{
    if (!hasUnsentChanges())
        return;
    const QByteArray before = editorPatch;
    const QByteArray after = devicePatch;
    restorePatch(after);
    undoStack->push(new PatchCommand([this](const QByteArray &patch) { restorePatch(patch); },
                                     before, after, tr("Revert to Device Patch")));
}

bool MainWindow::deviceRefused(const QString &action)
{
    // The editor's own updater keeps the window off the device by itself.
    DeviceClaim::Holder holder;
    if (updateDialog->isBusy() || !DeviceClaim::isHeld(DeviceClaim::Kind::Update, &holder))
        return false;
    showStatusMessage(
        tr("%1 refused: %2 is updating the Vellichord's firmware").arg(action, holder.name()));
    return true;
}

void MainWindow::deviceAppeared()
{
    if (hasUnsentChanges()) {
        // Either direction may be what the user wants; neither overwrites without being asked.
        showStatusMessage(tr("Vellichord connected: Upload gets its patch, Download sends yours"));
        return;
    }
    showStatusMessage(tr("Vellichord connected"));
    if (deviceRefused(tr("Patch request")))
        return;
    if (midiController->uploadPatch()) {
        answerAwaited = true;
        uploadAnswerTimer->start();
    }
}

void MainWindow::patchFromDevice()
{
    answerAwaited = false;
    devicePatch = editorPatch;
    refreshUnsent();
}

void MainWindow::devicePatchChanged(const QByteArray &patch)
{
    devicePatch = patch;
    refreshUnsent();
    showStatusMessage(hasUnsentChanges()
                          ? tr("The Vellichord's patch changed; your unsent changes are kept. "
                               "Upload takes the device's patch.")
                          : tr("Patch uploaded."));
}

void MainWindow::showPresetName()
{
    // The validator would drop characters of a loaded name that typing could not give.
    QLineEdit *field = ui->lineEditPresetName;
    const QSignalBlocker blocker(field);
    const QValidator *validator = field->validator();
    field->setValidator(nullptr);
    field->setText(midiController->getPresetName());
    field->setValidator(validator);
    showPresetNameCount();
}

void MainWindow::showPresetNameCount()
{
    ui->labelPresetNameCount->setText(QStringLiteral("%1/%2")
                                          .arg(ui->lineEditPresetName->text().size())
                                          .arg(PatchLayout::nameLength));
}

void MainWindow::presetNameDropped(const Patch::NameFit &fit)
{
    if (fit.cut.isEmpty() && fit.refused.toUcs4().size() == 1) {
        showStatusMessage(
            tr("The Vellichord stores only printable ASCII characters in a preset name"));
        return;
    }
    if (fit.refused.isEmpty() && fit.cut.size() == 1) {
        showStatusMessage(
            tr("A preset name holds at most %1 characters").arg(PatchLayout::nameLength));
        return;
    }
    QStringList dropped;
    for (const uint codePoint : fit.refused.toUcs4()) {
        const QString character = QString::fromUcs4(&codePoint, 1);
        // A control character would act on the status bar; it is named by its number.
        dropped << (codePoint < 0x20 || codePoint == 0x7F
                        ? QStringLiteral("U+%1").arg(codePoint, 4, 16, QLatin1Char('0'))
                        : character);
    }
    if (!fit.cut.isEmpty())
        dropped << tr("\"%1\" past %2 characters").arg(fit.cut).arg(PatchLayout::nameLength);
    showStatusMessage(
        tr("Dropped from the preset name: %1").arg(dropped.join(QStringLiteral(", "))));
}

void MainWindow::showStatusMessage(const QString &text)
{
    ui->statusBar->showMessage(text);
}

void MainWindow::showContextMenu(int control, const QPoint &position)
{
    const QList<MidiControlModel *> selected = selectedModels();
    const std::optional<ParameterChoice> choice = contextMenu->exec(*controlModels->at(control),
                                                                    selected, position);
    if (!choice)
        return;
    ContextMenu::apply(*choice, selected);
    recordChange();
    // The pane shows what the choice has set.
    refreshEditorPane();
}

// The editor pane shows what the selected controls have; every change the program makes to
// an editor is made with its signals blocked, so only the user's edits reach the models.
void MainWindow::refreshEditorPane()
{
    const QList<unsigned int> present = selectionParameters.collect(selectedModels());

    refreshSpinBox(present, ui->spinMin, Min);
    refreshSpinBox(present, ui->spinMinX, MinX);
    refreshSpinBox(present, ui->spinMinY, MinY);
    refreshSpinBox(present, ui->spinMax, Max);
    refreshSpinBox(present, ui->spinMaxX, MaxX);
    refreshSpinBox(present, ui->spinMaxY, MaxY);

    refreshComboBox(present, ui->comboBoxChannel, Channel);
    refreshComboBox(present, ui->comboBoxCC, CC);
    refreshComboBox(present, ui->comboBoxCCX, CCX);
    refreshComboBox(present, ui->comboBoxCCY, CCY);
    refreshComboBox(present, ui->comboBoxType, Type);
    refreshComboBox(present, ui->comboBoxToggle, Toggle);
    refreshComboBox(present, ui->comboBoxNoteOrCC, NoteOrCC);
    refreshComboBox(present, ui->comboBoxAftertouch, Aftertouch);
    refreshComboBox(present, ui->comboBoxColour, Colour);
    refreshComboBox(present, ui->comboBoxColourF, ColourF);

    switchNoteCCLabels(ui->comboBoxType->currentIndex());
    showNoteOrCCValue();

    // A row without its editor takes no room, so the shown rows stay evenly spaced.
    for (QWidget *editor : qAsConst(editorWidgets))
        editor->parentWidget()->setVisible(!editor->isHidden());

    QList<int> indices = controlSelection->indices();
    std::sort(indices.begin(), indices.end());
    ui->labelSelection->setText(ControlNames::describe(indices));
}

void MainWindow::refreshPanel()
{
    ui->graphicsView->showPatch(*controlModels, midiController->getPresetNo(),
                                midiController->getPresetName());
}

namespace {

// The value that the selected controls having the parameter agree on, -1 when none has it or
// two differ.
int sharedValue(const QList<MidiControlModel *> &models, unsigned int id)
{
    const std::optional<unsigned char> value = SelectionParameters::commonValue(models, {id});
    return value ? int(*value) : -1;
}

} // namespace

void MainWindow::refreshSpinBox(const QList<unsigned int> &present, QSpinBox *box, unsigned int id)
{
    // Only the controls that have the parameter count, wherever they stand in the selection.
    int minimum = 0;
    for (const MidiControlModel *model : selectedModels()) {
        if (const ControlParameter *p = model->getParameter(static_cast<ParameterId>(id))) {
            minimum = p->min();
            break;
        }
    }
    if (!present.contains(id)) {
        resetSpinBox(box, minimum, false);
        return;
    }

    const QSignalBlocker blocker(box);
    const int value = sharedValue(selectedModels(), id);
    if (value >= 0) {
        box->setSpecialValueText(QString());
        box->setMinimum(minimum);
        box->setValue(value);
    } else {
        // A spin box shows its special-value text while its value equals its minimum.
        box->setSpecialValueText(multiValueText);
        box->setMinimum(minimum - 1);
        box->setValue(minimum - 1);
    }
    box->setEnabled(true);
    box->setVisible(true);
    labelMap.value(box)->setVisible(true);
}

void MainWindow::refreshComboBox(const QList<unsigned int> &present, QComboBox *box,
                                 unsigned int id)
{
    if (!present.contains(id)) {
        resetComboBox(box, false);
        return;
    }

    const QSignalBlocker blocker(box);
    box->clear();
    box->addItems(comboItemLists.value(box));
    const int value = sharedValue(selectedModels(), id);
    if (value >= 0) {
        box->setCurrentIndex(value);
    } else {
        box->addItem(multiValueText);
        box->setCurrentIndex(box->count() - 1);
    }
    box->setEnabled(true);
    box->setVisible(true);
    labelMap.value(box)->setVisible(true);
}

void MainWindow::resetSpinBox(QSpinBox *box, int minimum, bool shown)
{
    const bool wasBlocked = box->blockSignals(true);
    box->setSpecialValueText(QString());
    box->setMinimum(minimum);
    box->setVisible(shown);
    labelMap.value(box)->setVisible(shown);
    box->setEnabled(shown);
    box->blockSignals(wasBlocked);
}

void MainWindow::resetComboBox(QComboBox *box, bool shown)
{
    // Drops the "<multi>" item and keeps the index the user picked.
    const bool wasBlocked = box->blockSignals(true);
    const int index = box->currentIndex();
    box->clear();
    box->addItems(comboItemLists.value(box));
    box->setCurrentIndex(index);
    box->setVisible(shown);
    box->setEnabled(shown);
    labelMap.value(box)->setVisible(shown);
    box->blockSignals(wasBlocked);
}

void MainWindow::updateItems(const QList<MidiControlModel *> &models, unsigned int id, int value)
{
    qCDebug(lcTrace) << "prop" << id << "value" << value << "len" << models.size();
    // Out-of-byte values are pinned rather than cut to their low 8 bits, so that 300 ends up
    // as the parameter's maximum instead of 44.
    const auto byte = static_cast<unsigned char>(std::clamp(value, 0, 255));
    for (MidiControlModel *model : qAsConst(models))
        model->updateParameter(id, byte);
    recordChange();
}

void MainWindow::updateRange(QSpinBox *box, unsigned int id, int value)
{
    if (!box->specialValueText().isEmpty())
        resetSpinBox(box, 0, box->isEnabled());
    updateItems(selectedModels(), id, value);
}

void MainWindow::updateFromList(QComboBox *box, unsigned int id, int index)
{
    resetComboBox(box, box->isEnabled());
    updateItems(selectedModels(), id, index);
}

void MainWindow::updateCh(int index)
{
    updateFromList(ui->comboBoxChannel, Channel, index);
}

void MainWindow::updateCC(int index)
{
    updateFromList(ui->comboBoxCC, CC, index);
}

void MainWindow::updateCCX(int index)
{
    updateFromList(ui->comboBoxCCX, CCX, index);
}

void MainWindow::updateCCY(int index)
{
    updateFromList(ui->comboBoxCCY, CCY, index);
}

void MainWindow::updateMin(int value)
{
    updateRange(ui->spinMin, Min, value);
}

void MainWindow::updateMinX(int value)
{
    updateRange(ui->spinMinX, MinX, value);
}

void MainWindow::updateMinY(int value)
{
    updateRange(ui->spinMinY, MinY, value);
}

void MainWindow::updateMax(int value)
{
    updateRange(ui->spinMax, Max, value);
}

void MainWindow::updateMaxX(int value)
{
    updateRange(ui->spinMaxX, MaxX, value);
}

void MainWindow::updateMaxY(int value)
{
    updateRange(ui->spinMaxY, MaxY, value);
}

void MainWindow::updateType(int index)
{
    updateFromList(ui->comboBoxType, Type, index);
}

void MainWindow::updateToggle(int index)
{
    updateFromList(ui->comboBoxToggle, Toggle, index);
}

void MainWindow::updateNoteOrCC(int index)
{
    resetComboBox(ui->comboBoxNoteOrCC, ui->comboBoxNoteOrCC->isEnabled());
    switchNoteCCLabels(ui->comboBoxType->currentIndex());
    updateItems(selectedModels(), NoteOrCC, index);
    showNoteOrCCValue();
}

// The number box is filled with the controller names first and with the names of the type
// after; a number past the end of a short controller-name file is lost on the way. Once the
// list fits the type, the number is shown again (a mixed selection keeps showing none).
void MainWindow::showNoteOrCCValue()
{
    // The box is enabled exactly while a selected control has the parameter.
    const int value = sharedValue(selectedModels(), NoteOrCC);
    if (ui->comboBoxNoteOrCC->isEnabled() && value >= 0) {
        const QSignalBlocker blocker(ui->comboBoxNoteOrCC);
        ui->comboBoxNoteOrCC->setCurrentIndex(value);
    }
}

void MainWindow::updateAftertouch(int index)
{
    updateFromList(ui->comboBoxAftertouch, Aftertouch, index);
}

void MainWindow::updateColour(int index)
{
    updateFromList(ui->comboBoxColour, Colour, index);
}

void MainWindow::updateColourF(int index)
{
    updateFromList(ui->comboBoxColourF, ColourF, index);
}

void MainWindow::switchNoteCCLabels(int index)
{
    // Only the names change; the number stays.
    QComboBox *box = ui->comboBoxNoteOrCC;
    const bool wasBlocked = box->blockSignals(true);
    const int current = box->currentIndex();
    // Numbers that differ keep their marker through the change of names.
    const bool mixed = box->currentText() == multiValueText;
    const bool note = index == 0;
    // Beside the controllers' own CC row, or for pads of both types, the row keeps its full
    // name, so that no two rows read "CC".
    const bool bothTypes = index != 0 && index != 1;
    if (bothTypes || !ui->comboBoxCC->isHidden())
        ui->labelNoteCC->setText(tr("Note/CC"));
    else
        ui->labelNoteCC->setText(note ? tr("Note") : tr("CC"));
    box->clear();
    box->addItems(note ? noteNames : ccNames);
    if (mixed) {
        box->addItem(multiValueText);
        box->setCurrentIndex(box->count() - 1);
    } else {
        box->setCurrentIndex(current);
    }
    box->blockSignals(wasBlocked);
}

void MainWindow::refreshView()
{
    qCDebug(lcTrace) << "RefreshView";
    controlSelection->clear();
    showPresetName();
    // A new patch replaces the editor's at once, but as one step that Undo takes back.
    ++renameBurst;
    // Patches the device sends unasked in quick succession are one step; an answer to a
    // request is one of its own. patchFromDevice has not yet marked this one answered.
    if (loadingFile)
        recordChange(tr("Load patch file"));
    else
        recordChange(tr("Patch from Vellichord"), -1, !answerAwaited);
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
    if (updateDialog->isBusy() || deviceRefused(tr("Download")))
        return;
    if (const QString refusal = midiController->downloadRefusal(); !refusal.isEmpty()) {
        showStatusMessage(refusal);
        return;
    }
    if (midiController->downloadPatch()) {
        devicePatch = currentPatch();
        refreshUnsent();
        showStatusMessage(tr("Patch downloaded"));
    } else
        showStatusMessage(tr("Download failed: Vellichord not connected"));
    showConnectionState();
}

void MainWindow::uploadPatch()
{
    if (updateDialog->isBusy() || deviceRefused(tr("Upload")))
        return;
    if (midiController->uploadPatch()) {
        showStatusMessage(tr("Waiting for upload..."));
        answerAwaited = true;
        uploadAnswerTimer->start();
    } else {
        showStatusMessage(tr("Upload failed: Vellichord not connected"));
    }
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
    PatchFileFault fault = PatchFileFault::None;
    loadingFile = true;
    const bool loaded = midiController->loadSysex(fileName, &fault);
    loadingFile = false;
    if (loaded) {
        const QString outOfRange = out_of_range_text(midiController->getPatch().broughtIntoRange());
        showStatusMessage(outOfRange.isEmpty() ? tr("Settings File Loaded")
                                               : tr("Settings File Loaded; %1").arg(outOfRange));
        rememberFile(fileName);
    } else {
        showStatusMessage(
            tr("Could not load settings file: %1: %2").arg(fileName, patch_file_fault_text(fault)));
    }
    return loaded;
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
    if (!midiController->saveSysex(fileName)) {
        showStatusMessage(tr("Could not save settings file: ") + fileName);
        return false;
    }
    showStatusMessage(tr("Settings file saved: %1").arg(fileName));
    rememberFile(fileName);
    return true;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // Stopping the input monitor now would cut a firmware transfer short.
    bool refused = updateDialog->isBusy();
    // A signal that comes while the question is open ends it unanswered; the window closes
    // all the same (a close() meanwhile does nothing while this one runs).
    if (!refused && hasUnsentChanges() && !closingUnasked)
        refused = !askBeforeClosing() && !closingUnasked;
    if (refused) {
        event->ignore();
        return;
    }
    settings->setWindowPosition(pos());
    settings->setMultiSelect(controlSelection->isMulti());
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
        return !hasUnsentChanges();
    }
    if (box.clickedButton() == save)
        return saveToFile();
    return box.clickedButton() == discard;
}

void MainWindow::closeUnasked()
{
    if (hasUnsentChanges()) {
        // A recovery file not offered yet holds the changes of an earlier run; it stays beside.
        if (recoveryAwaitsAnswer && recovery.exists())
            qWarning().noquote() << "Kept the earlier recovery file as" << recovery.setAside();
        if (recovery.write(editorPatch))
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
    if (answerAwaited) {
        if (!recoveryAwaitsAnswer) {
            // Queued behind patchFromDevice and the wait's end, which clear answerAwaited.
            auto askAfterAnswer = [this] {
                if (std::exchange(recoveryAwaitsAnswer, false))
                    QTimer::singleShot(0, this, &MainWindow::offerRecovery);
            };
            connect(midiController, &MidiController::patchReceived, this, askAfterAnswer);
            connect(uploadAnswerTimer, &QTimer::timeout, this, askAfterAnswer);
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
        restoreUnsent(patch);
    else if (box.clickedButton() != discard)
        return;
    if (!recovery.remove())
        qWarning().noquote() << "Could not remove the recovery file" << recovery.path();
}

void MainWindow::restoreUnsent(const QByteArray &patch)
{
    // Byte for byte, preset number included, as one step that Undo takes back.
    midiController->restorePatch(patch);
    {
        const QSignalBlocker blocker(ui->lineEditPresetName);
        ui->lineEditPresetName->setText(midiController->getPresetName());
    }
    ++renameBurst;
    recordChange(tr("Restore unsent changes"));
    refreshEditorPane();
}
