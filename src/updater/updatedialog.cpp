#include "updatedialog.h"

#include "midicontroller.h"
#include "ui_updatedialog.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QScrollBar>

namespace {

// Input from the user, as opposed to painting, timers and the like.
bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        return true;
    default:
        return false;
    }
}

bool isKeyboardInput(QEvent::Type type)
{
    return type == QEvent::KeyPress || type == QEvent::KeyRelease || type == QEvent::Shortcut
        || type == QEvent::ShortcutOverride;
}

} // namespace

UpdateDialog::UpdateDialog(QWidget *parent, MidiController *controller)
    : QDialog(parent)
    , ui(new Ui::UpdateDialog)
    , updater(*controller->getMidi(), *controller->getMonitor())
{
    ui->setupUi(this);
    ui->progressBar->setValue(0);
    ui->textEdit->setReadOnly(true);
    setPause({});
    showActions();
    appendMessage(tr("Please open the update file."));

    connect(ui->buttonSwitchMode, &QPushButton::clicked, this, &UpdateDialog::switchToUpdateMode);
    connect(ui->buttonOpenFile, &QPushButton::clicked, this, &UpdateDialog::openFileDialog);
    connect(ui->pushButton_2, &QPushButton::clicked, this, &UpdateDialog::doUpdate);
    connect(ui->buttonStop, &QPushButton::clicked, this, &UpdateDialog::stop);
    connect(ui->buttonClose, &QPushButton::clicked, this, &UpdateDialog::closeWhenIdle);

    // The protocol signals from the updater's thread during a run: these are queued.
    connect(&updater, &UpdateProtocol::message, this, &UpdateDialog::appendMessage);
    // Names the file whose image is loaded, and no file once one was refused.
    connect(&updater, &UpdateProtocol::imageLoaded, this, [this](const QString &path) {
        ui->label_filename->setText(path.isEmpty() ? QString() : QFileInfo(path).fileName());
    });
    connect(&updater, &UpdateProtocol::deviceConnected, this, [this](const QString &port) {
        ui->label_device_name->setText(port == QLatin1String(updaterPortName)
                                           ? tr("Tarvel Vellichord Updater")
                                           : tr("Vellichord"));
    });
    connect(
        &updater, &UpdateProtocol::progressChanged, this,
        [this](const UpdateProgress &progress) { ui->progressBar->setValue(progress.percent); });
    connect(&updater, &UpdateProtocol::actionsChanged, this, &UpdateDialog::showActions);
}

UpdateDialog::~UpdateDialog()
{
    if (worker) {
        updater.requestStop();
        worker->wait();
    }
    delete ui;
}

void UpdateDialog::setPause(Pause pause)
{
    // On the updater's thread there is no event loop to keep running: a pause just sleeps.
    updater.setPause(pause ? std::move(pause)
                           : Pause([](unsigned int ms) { QThread::usleep(1000ul * ms); }));
}

bool UpdateDialog::start(Run run)
{
    if (running)
        return false;
    // The thread of the run before has reported its end and is at most returning.
    if (worker)
        worker->wait();
    setRunning(true);
    worker.reset(QThread::create([this, run = std::move(run)] {
        const bool done = run(updater);
        // Posted after the run's own signals, so it comes after them.
        QMetaObject::invokeMethod(
            this,
            [this, done] {
                setRunning(false);
                emit runFinished(done);
            },
            Qt::QueuedConnection);
    }));
    worker->setObjectName(QStringLiteral("updater"));
    worker->start();
    return true;
}

void UpdateDialog::appendMessage(const QString &text)
{
    messageText += text + QLatin1Char('\n');
    ui->textEdit->setPlainText(messageText);
    // The newest line is the one that matters: "Transfer Complete." or what went wrong.
    QScrollBar *bar = ui->textEdit->verticalScrollBar();
    bar->setValue(bar->maximum());
}

void UpdateDialog::showActions()
{
    ui->buttonOpenFile->setEnabled(!running && updater.canOpenFile());
    ui->buttonSwitchMode->setEnabled(!running && updater.canConnect());
    ui->pushButton_2->setEnabled(!running && updater.canUpdate());
    // From when the protocol is busy: a request made before it began would be dropped then.
    ui->buttonStop->setEnabled(running && updater.isBusy());
}

// While a run is busy no window can be closed, which would stop the input monitor and cut a
// flash short, and the other windows take no input.
void UpdateDialog::setRunning(bool busy)
{
    running = busy;
    if (busy)
        QCoreApplication::instance()->installEventFilter(this);
    else
        QCoreApplication::instance()->removeEventFilter(this);
    showActions();
    emit busyChanged(busy);
}

void UpdateDialog::closeWhenIdle()
{
    if (running)
        appendMessage(tr("Please wait for the update to end, or press Stop, before closing "
                         "the updater."));
    else
        close();
}

bool UpdateDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (!running || !watched->isWidgetType())
        return QDialog::eventFilter(watched, event);
    const auto *widget = static_cast<QWidget *>(watched);
    // Closing the main window stops the input monitor and would cut a flash short. The
    // request is refused, not kept for later.
    if (event->type() == QEvent::Close && widget->isWindow()) {
        event->ignore();
        if (widget == this)
            closeWhenIdle();
        return true;
    }
    // The other windows paint but take no input: a Download or an Upload pressed in the main
    // window would send to the device, or open its port again, in the middle of the run. In
    // the dialog the mouse may scroll the messages and press Stop, but Escape would hide the
    // progress.
    const QEvent::Type type = event->type();
    if (isUserInput(type) && (widget->window() != this || isKeyboardInput(type)))
        return true;
    return QDialog::eventFilter(watched, event);
}

void UpdateDialog::openFileDialog()
{
    if (running)
        return;
    const QString path = QFileDialog::getOpenFileName(this, tr("Open File"), lastFolder, QString());
    // A cancelled choice keeps whatever was loaded before.
    if (path.isEmpty())
        return;
    lastFolder = QFileInfo(path).absolutePath();
    emit lastFolderChanged(lastFolder);
    load_update_binary(path);
}

void UpdateDialog::switchToUpdateMode()
{
    start([](UpdateProtocol &protocol) { return protocol.switchToUpdateMode(); });
}

void UpdateDialog::doUpdate()
{
    start([](UpdateProtocol &protocol) { return protocol.doUpdate(); });
}

void UpdateDialog::stop()
{
    if (running)
        updater.requestStop();
}
