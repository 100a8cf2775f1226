#include "mainwindow.h"
#include "trace.h"

#include "contextmenu.h"
#include "controlplacement.h"
#include "customscene.h"
#include "debugpixmapitem.h"
#include "devicewatcher.h"
#include "editortexts.h"
#include "imidi.h"
#include "midicontrolitem.h"
#include "midicontroller.h"
#include "platformmidi.h"
#include "ui_mainwindow.h"
#include "updatedialog.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QTextCodec>
#include <QTextStream>
#include <QTimer>

#include <algorithm>

// The pictures are compiled into the core library; a static library's resources must be
// registered by hand, here before main() runs.
static int registerImages()
{
    Q_INIT_RESOURCE(images);
    return 0;
}
static const int imagesRegistered = registerImages();

MainWindow::MainWindow(QWidget *parent)
    : MainWindow(make_platform_midi(), parent)
{
}

MainWindow::MainWindow(std::unique_ptr<IMidi> midi, QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    ui->setupUi(this);

    midiController = new MidiController(*this, std::move(midi));
    controlModels = midiController->getModels();
    multiSelect = false;

    scene = new CustomScene(ui->graphicsView);
    scene->installEventFilter(&eventFilter);

    // The name travels as SysEx data bytes, so only printable ASCII can be typed.
    ui->lineEditPresetName->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[\\x20-\\x7E]*")), ui->lineEditPresetName));
    ui->lineEditPresetName->setText(midiController->getPresetName());

    const QImage picture(QStringLiteral(":/images/vellichord-scaled.png"));
    qCDebug(lcTrace) << (picture.isNull() ? "Image not loaded." : "Image loaded.");
    pixmapItem = new DebugPixmapItem(QPixmap::fromImage(picture));
    scene->addItem(pixmapItem);
    placeItems();
    ui->graphicsView->setScene(scene);

    // Typed digits reach the model only when the edit is finished; steps reach it at once.
    for (QSpinBox *box :
         {ui->spinMin, ui->spinMax, ui->spinMinX, ui->spinMaxX, ui->spinMinY, ui->spinMaxY})
        box->setKeyboardTracking(false);

    buildLabelMap();
    buildEditorList();
    generateCCandNoteLists();
    for (QWidget *label : qAsConst(labelMap))
        label->setFixedSize(55, 25);
    for (QWidget *editor : qAsConst(editorWidgets))
        editor->setFixedSize(165, 25);

    fillComboBoxes();
    connectSignals();
    refreshEditorPane();

    ui->layoutEditorPane->setAlignment(Qt::AlignTop);
    ui->layoutRightPane->setAlignment(Qt::AlignTop);

    contextMenu = new ContextMenu(ccNames, noteNames, this);
    updateDialog = new UpdateDialog(this, midiController); // hidden until Update is pressed

    // A device pulled out between request and answer never answers. Once the wait is over,
    // "Waiting for upload..." gives way, unless another text already has.
    uploadAnswerTimer = new QTimer(this);
    uploadAnswerTimer->setObjectName(QStringLiteral("uploadAnswerTimer"));
    uploadAnswerTimer->setSingleShot(true);
    uploadAnswerTimer->setInterval(uploadAnswerWaitMs);
    connect(uploadAnswerTimer, &QTimer::timeout, this, [this] {
        if (ui->statusBar->currentMessage() == tr("Waiting for upload..."))
            showStatusMessage(tr("Upload failed: no answer from Vellichord"));
    });

    connectionLabel = new QLabel(this);
    connectionLabel->setObjectName(QStringLiteral("labelConnection"));
    ui->statusBar->addPermanentWidget(connectionLabel);

    qCDebug(lcTrace) << "Upload patch";
    uploadPatch();
    showStatusMessage(tr("Ready"));

    // The device may come later, go, or come back after a firmware update. The port is left
    // to the updater while it runs a handshake or a transfer.
    deviceWatcher = new DeviceWatcher(
        *midiController->getMidi(), MidiController::portName,
        [this] { return updateDialog->isBusy(); }, this);
    deviceWatcher->setObjectName(QStringLiteral("deviceWatcher"));
    connect(deviceWatcher, &DeviceWatcher::deviceConnected, this,
            [this] { showStatusMessage(tr("Vellichord connected")); });
    connect(deviceWatcher, &DeviceWatcher::deviceDisconnected, this,
            [this] { showStatusMessage(tr("Vellichord disconnected")); });
    connect(deviceWatcher, &DeviceWatcher::midiSystemStopped, this,
            [this] { showStatusMessage(tr("MIDI system stopped")); });
    connect(deviceWatcher, &DeviceWatcher::looked, this, &MainWindow::showConnectionState);
    deviceWatcher->start();
}

MainWindow::~MainWindow()
{
    delete deviceWatcher; // it uses the controller's port and the update dialog
    for (MidiControlItem *item : items)
        delete item;
    delete scene;
    delete ui;
    delete midiController;
    delete contextMenu;
    delete updateDialog;
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

void MainWindow::generateCCandNoteLists()
{
    const QString path = QCoreApplication::applicationDirPath()
        + QStringLiteral("/Midi-CC-list.txt");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qWarning().noquote() << "Couldn't find file" << path;
        return;
    }
    // Names are read as UTF-8 whatever the locale; a file that is not valid UTF-8 was written
    // in the system's own 8-bit encoding. Text mode turns "\r\n" into "\n".
    const QByteArray bytes = file.readAll();
    QTextCodec::ConverterState state;
    QString text = QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(),
                                                                &state);
    if (state.invalidChars > 0)
        text = QString::fromLocal8Bit(bytes);
    QTextStream in(&text, QIODevice::ReadOnly);
    while (!in.atEnd())
        ccNames.append(in.readLine());

    static const char *const pitches[] = {"C",  "C#", "D",  "D#", "E",  "F",
                                          "F#", "G",  "G#", "A",  "A#", "B"};
    for (int note = 0; note < 128; ++note)
        noteNames.append(QLatin1String(pitches[note % 12]) + QString::number(note / 12 - 2));
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

    connect(ui->buttonDownload, &QPushButton::clicked, this, &MainWindow::downloadPatch);
    connect(ui->buttonUpload, &QPushButton::clicked, this, &MainWindow::uploadPatch);
    connect(ui->buttonSaveSysex, &QPushButton::clicked, this, &MainWindow::saveSysex);
    connect(ui->buttonLoadSysex, &QPushButton::clicked, this, &MainWindow::loadSysex);
    connect(ui->lineEditPresetName, &QLineEdit::textChanged, midiController,
            &MidiController::setPresetName);
    connect(midiController, &MidiController::modelUpdated, this, &MainWindow::refreshView);
    connect(ui->pushButtonSelectMulti, &QPushButton::clicked, this, &MainWindow::SelectMulti);
    connect(ui->pushButtonSelectSingle, &QPushButton::clicked, this, &MainWindow::SelectSingle);
    // After updateType: the names follow the type the models already hold.
    connect(ui->comboBoxType, indexChanged, this, &MainWindow::switchNoteCCLabels);
    connect(ui->buttonUpdate, &QPushButton::clicked, this, &MainWindow::performUpdate);
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

void MainWindow::reselectItems()
{
    for (MidiControlItem *item : items) {
        if (selectedModels.contains(item->getModel()))
            item->setSelected(true);
    }
}

void MainWindow::deselectAllItems()
{
    // Each deselected item takes its model out of the selection and refreshes the pane.
    for (MidiControlItem *item : items)
        item->setSelected(false);
    // A control right-clicked while unselected is listed without its item being selected;
    // it goes too, so that the pane never shows values from before a new patch.
    if (!selectedModels.isEmpty()) {
        selectedModels.clear();
        refreshEditorPane();
    }
}

void MainWindow::showContextMenu(MidiControlItem *, MidiControlModel *model, const QPoint &position)
{
    contextMenu->showMenu(*model, position);
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

// The editor pane shows what the selected controls have; every change the program makes to
// an editor is made with its signals blocked, so only the user's edits reach the models.
void MainWindow::refreshEditorPane()
{
    const QList<unsigned int> present = selectionParameters.collect(selectedModels);

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
}

namespace {

// The first selected model's value, 0 when it lacks the parameter.
int firstValue(const QList<MidiControlModel *> &models, unsigned int id)
{
    unsigned char value = 0;
    if (!models.isEmpty())
        models.first()->getValue(static_cast<ParameterId>(id), &value);
    return value;
}

} // namespace

void MainWindow::refreshSpinBox(const QList<unsigned int> &present, QSpinBox *box, unsigned int id)
{
    int minimum = 0;
    if (!selectedModels.isEmpty()) {
        if (const ControlParameter *p = selectedModels.first()->getParameter(
                static_cast<ParameterId>(id)))
            minimum = p->min();
    }
    if (!present.contains(id)) {
        resetSpinBox(box, minimum, false);
        return;
    }

    const QSignalBlocker blocker(box);
    if (selectionParameters.valuesEqual(selectedModels, id)) {
        box->setSpecialValueText(QString());
        box->setMinimum(minimum);
        box->setValue(firstValue(selectedModels, id));
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
    if (selectionParameters.valuesEqual(selectedModels, id)) {
        box->setCurrentIndex(firstValue(selectedModels, id));
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

void MainWindow::updateItems(QList<MidiControlModel *> &models, unsigned int id, int value)
{
    qCDebug(lcTrace) << "prop" << id << "value" << value << "len" << models.size();
    // Out-of-byte values are pinned rather than cut to their low 8 bits, so that 300 ends up
    // as the parameter's maximum instead of 44.
    const auto byte = static_cast<unsigned char>(std::clamp(value, 0, 255));
    for (MidiControlModel *model : qAsConst(models))
        model->updateParameter(id, byte);
}

void MainWindow::updateRange(QSpinBox *box, unsigned int id, int value)
{
    if (!box->specialValueText().isEmpty())
        resetSpinBox(box, 0, box->isEnabled());
    updateItems(selectedModels, id, value);
}

void MainWindow::updateFromList(QComboBox *box, unsigned int id, int index)
{
    resetComboBox(box, box->isEnabled());
    updateItems(selectedModels, id, index);
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
    updateItems(selectedModels, NoteOrCC, index);
    showNoteOrCCValue();
}

// The number box is filled with the controller names first and with the names of the type
// after; a number past the end of a short controller-name file is lost on the way. Once the
// list fits the type, the number is shown again (a mixed selection keeps showing none).
void MainWindow::showNoteOrCCValue()
{
    // The box is enabled exactly while a selected control has the parameter.
    if (ui->comboBoxNoteOrCC->isEnabled()
        && selectionParameters.valuesEqual(selectedModels, NoteOrCC)) {
        const QSignalBlocker blocker(ui->comboBoxNoteOrCC);
        ui->comboBoxNoteOrCC->setCurrentIndex(firstValue(selectedModels, NoteOrCC));
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
    const bool note = index == 0;
    ui->labelNoteCC->setText(note ? tr("Note") : tr("CC"));
    box->clear();
    box->addItems(note ? noteNames : ccNames);
    box->setCurrentIndex(current);
    box->blockSignals(wasBlocked);
}

void MainWindow::refreshView()
{
    qCDebug(lcTrace) << "RefreshView";
    deselectAllItems();
    // Hands the controller's own name back to it through textChanged; harmless.
    ui->lineEditPresetName->setText(midiController->getPresetName());
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
    if (midiController->downloadPatch())
        showStatusMessage(tr("Patch downloaded"));
    else
        showStatusMessage(tr("Download failed: Vellichord not connected"));
    showConnectionState();
}

void MainWindow::uploadPatch()
{
    if (midiController->uploadPatch()) {
        showStatusMessage(tr("Waiting for upload..."));
        uploadAnswerTimer->start();
    } else {
        showStatusMessage(tr("Upload failed: Vellichord not connected"));
    }
    showConnectionState();
}

void MainWindow::showConnectionState()
{
    IMidi *midi = midiController->getMidi();
    const std::string name = midi->connectedName();
    // A connection the MIDI system dropped under the updater is not one.
    connectionLabel->setText(name.empty() || midi->midiSystemStopped()
                                 ? tr("Not connected")
                                 : tr("Connected: %1").arg(QString::fromLocal8Bit(name.c_str())));
}

void MainWindow::loadSysex()
{
    const QString fileName = QFileDialog::getOpenFileName(this, tr("Open File"), QString(),
                                                          QString());
    if (fileName.isEmpty())
        return;
    if (midiController->loadSysex(fileName))
        showStatusMessage(tr("Settings File Loaded"));
    else
        showStatusMessage(tr("Could not load settings file: ") + fileName);
}

void MainWindow::saveSysex()
{
    const QString fileName = QFileDialog::getSaveFileName(this, tr("Save File"), QString(),
                                                          QString());
    if (fileName.isEmpty())
        return;
    if (!midiController->saveSysex(fileName))
        showStatusMessage(tr("Could not save settings file: ") + fileName);
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
    qCDebug(lcTrace) << "Closing Main window";
    deviceWatcher->stop();
    midiController->stopMonitor();
    QMainWindow::closeEvent(event);
}
