#include "mainwindow.h"

#include "midicontroller.h"
#include "ui_mainwindow.h"

#include <QCloseEvent>
#include <QDebug>
#include <QFileDialog>
#include <QRegularExpressionValidator>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    ui->setupUi(this);

    midiController = new MidiController;

    // The name travels as SysEx data bytes, so only printable ASCII can be typed.
    ui->lineEditPresetName->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[\\x20-\\x7E]*")), ui->lineEditPresetName));
    ui->lineEditPresetName->setText(midiController->getPresetName());

    // Typed digits reach the model only when the edit is finished; steps reach it at once.
    for (QSpinBox *box :
         {ui->spinMin, ui->spinMax, ui->spinMinX, ui->spinMaxX, ui->spinMinY, ui->spinMaxY})
        box->setKeyboardTracking(false);

    buildLabelMap();
    buildEditorList();
    for (QWidget *label : qAsConst(labelMap))
        label->setFixedSize(55, 25);
    for (QWidget *editor : qAsConst(editorWidgets))
        editor->setFixedSize(165, 25);

    connectSignals();

    ui->layoutEditorPane->setAlignment(Qt::AlignTop);
    ui->layoutRightPane->setAlignment(Qt::AlignTop);

    qDebug() << "Upload patch";
    uploadPatch();
    showStatusMessage(tr("Ready"));
}

MainWindow::~MainWindow()
{
    delete ui;
    delete midiController;
    qDebug() << "deleted ui";
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

void MainWindow::connectSignals()
{
    connect(ui->buttonDownload, &QPushButton::clicked, this, &MainWindow::downloadPatch);
    connect(ui->buttonUpload, &QPushButton::clicked, this, &MainWindow::uploadPatch);
    connect(ui->buttonSaveSysex, &QPushButton::clicked, this, &MainWindow::saveSysex);
    connect(ui->buttonLoadSysex, &QPushButton::clicked, this, &MainWindow::loadSysex);
    connect(ui->lineEditPresetName, &QLineEdit::textChanged, midiController,
            &MidiController::setPresetName);
    connect(midiController, &MidiController::modelUpdated, this, &MainWindow::refreshView);
    connect(ui->pushButtonSelectMulti, &QPushButton::clicked, this, &MainWindow::SelectMulti);
    connect(ui->pushButtonSelectSingle, &QPushButton::clicked, this, &MainWindow::SelectSingle);
    connect(ui->buttonUpdate, &QPushButton::clicked, this, &MainWindow::performUpdate);
}

void MainWindow::showStatusMessage(const QString &text)
{
    ui->statusBar->showMessage(text);
}

void MainWindow::refreshView()
{
    qDebug() << "RefreshView";
    // Hands the controller's own name back to it through textChanged; harmless.
    ui->lineEditPresetName->setText(midiController->getPresetName());
}

void MainWindow::performUpdate()
{
    qDebug() << "Perform Update";
    showStatusMessage(tr("Firmware update is not available in this version"));
}

// The editor has no MIDI transport yet, so nothing can reach the device: say so rather than
// report a send that never happened.
void MainWindow::downloadPatch()
{
    showStatusMessage(tr("Download failed: Vellichord not connected"));
}

void MainWindow::uploadPatch()
{
    showStatusMessage(tr("Upload failed: Vellichord not connected"));
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
    qDebug() << "Closing Main window";
    QMainWindow::closeEvent(event);
}
