#include "updatedialog.h"
#include "trace.h"

#include "imidi.h"
#include "midicontroller.h"
#include "midimonitor.h"
#include "ui_updatedialog.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDebug>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QScrollBar>
#include <QSettings>
#include <QThread>

#include <algorithm>

namespace {

// Asks the device to get ready for an update: F0, "Qk8vR2x", F7.
constexpr unsigned char updateCode[] = {0xF0, 'Q', 'k', '8', 'v', 'R', '2', 'x', 0xF7};

constexpr int handshakeAttempts = 500;
constexpr int answerPolls = 5000;
// Failed records a transfer tolerates in all; the next failure ends it.
constexpr unsigned char maxRetries = 20;

// Device status answers.
enum Status : int {
    statusReset = 0x15, // to the update code: unplug and plug in the device first
    statusOk = 0x1A,    // record accepted
    statusCrc = 0x20,   // record damaged in transit
    statusCode = 0x21,  // error in the update file
    statusLen = 0x22,   // error in the update file
    statusEof = 0x23,
    statusVerify = 0x24,
    statusErase = 0x25,
    statusReady = 0x3D, // to the update code: ready for the transfer
    statusDone = 0x77,  // the device has taken the update and resets
};

bool is_space(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

int hex_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Size of the record at offset (its length field, body and checksum), or 0 when it does not
// fit: a length field cut off, a length below 2 (no room for the checksum), or a record that
// runs past the end of the image.
unsigned int record_size(const unsigned char *image, unsigned int length, unsigned int offset)
{
    if (length - offset < 2)
        return 0;
    const unsigned int declared = (unsigned(image[offset]) << 8) | image[offset + 1];
    if (declared < 2 || declared + 2 > length - offset)
        return 0;
    return declared + 2;
}

// The body bytes plus the little-endian checksum add up to 0 modulo 65536.
bool checksum_holds(const unsigned char *record, unsigned int size)
{
    quint16 sum = 0;
    for (unsigned int i = 2; i < size - 2; ++i)
        sum = quint16(sum + record[i]);
    sum = quint16(sum + (record[size - 2] | (record[size - 1] << 8)));
    return sum == 0;
}

// Waits ms milliseconds in real time. Meanwhile the windows go on painting and timers fire.
// The user's input is taken in too, so that the busy filter drops it now: input left queued
// would be carried out once the run is over, a Download then reaching a device that has just
// reset.
void wait_keeping_windows_painted(unsigned int ms)
{
    const QDeadlineTimer deadline(qint64(ms), Qt::PreciseTimer);
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        const qint64 left = deadline.remainingTimeNSecs();
        if (left <= 0)
            return;
        QThread::usleep(static_cast<unsigned long>((left + 999) / 1000));
    }
}

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

// Where a fault starts, counted in lines from 1.
int line_at(const QByteArray &text, int position)
{
    return 1 + int(std::count(text.constBegin(), text.constBegin() + position, '\n'));
}

} // namespace

// Held while a handshake or a transfer runs; nested runs share the outermost one. The dialog's
// buttons are disabled, so that nothing starts another run from within a pause, the other
// windows take no input, and no window can be closed, which would stop the input monitor and
// cut a flash short. Afterwards the buttons get back their states, plus any that the run
// enabled.
class UpdateDialog::Busy
{
public:
    explicit Busy(UpdateDialog &dialog)
        : dialog(dialog)
    {
        if (dialog.busyDepth++ > 0)
            return;
        const auto buttons = dialog.buttons();
        for (std::size_t i = 0; i < buttons.size(); ++i) {
            dialog.savedEnabled[i] = buttons[i]->isEnabled();
            buttons[i]->setEnabled(false);
        }
        QCoreApplication::instance()->installEventFilter(&dialog);
    }
    ~Busy()
    {
        if (dialog.busyDepth > 1) {
            --dialog.busyDepth;
            return;
        }
        // Input that came during the run and is still queued is delivered now, while the
        // filter still drops it; afterwards it would be carried out.
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        --dialog.busyDepth;
        QCoreApplication::instance()->removeEventFilter(&dialog);
        const auto buttons = dialog.buttons();
        for (std::size_t i = 0; i < buttons.size(); ++i)
            buttons[i]->setEnabled(dialog.savedEnabled[i]);
    }
    Busy(const Busy &) = delete;
    Busy &operator=(const Busy &) = delete;

private:
    UpdateDialog &dialog;
};

UpdateDialog::UpdateDialog(QWidget *parent, MidiController *controller)
    : QDialog(parent)
    , ui(new Ui::UpdateDialog)
    , controller(controller)
    , pauseFunction(&wait_keeping_windows_painted)
{
    ui->setupUi(this);
    ui->progressBar->setValue(0);
    ui->textEdit->setReadOnly(true);
    ui->buttonSwitchMode->setEnabled(false);
    ui->pushButton_2->setEnabled(false);
    appendMessage(tr("Please open the update file."));

    connect(ui->buttonSwitchMode, &QPushButton::clicked, this, &UpdateDialog::switchToUpdateMode);
    connect(ui->buttonOpenFile, &QPushButton::clicked, this, &UpdateDialog::openFileDialog);
    connect(ui->pushButton_2, &QPushButton::clicked, this, &UpdateDialog::doUpdate);
}

UpdateDialog::~UpdateDialog()
{
    delete ui;
}

void UpdateDialog::appendMessage(const QString &text)
{
    messageText += text + QLatin1Char('\n');
    ui->textEdit->setPlainText(messageText);
    // The newest line is the one that matters: "Transfer Complete." or what went wrong.
    QScrollBar *bar = ui->textEdit->verticalScrollBar();
    bar->setValue(bar->maximum());
}

void UpdateDialog::setPause(Pause pause)
{
    pauseFunction = pause ? std::move(pause) : Pause(&wait_keeping_windows_painted);
}

void UpdateDialog::pause(unsigned int ms)
{
    pauseFunction(ms);
}

std::array<QPushButton *, 3> UpdateDialog::buttons() const
{
    return {ui->buttonOpenFile, ui->buttonSwitchMode, ui->pushButton_2};
}

void UpdateDialog::setButtonEnabled(std::size_t button, bool enabled)
{
    if (busyDepth > 0)
        savedEnabled[button] = enabled;
    else
        buttons()[button]->setEnabled(enabled);
}

bool UpdateDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (busyDepth == 0 || !watched->isWidgetType())
        return QDialog::eventFilter(watched, event);
    const auto *widget = static_cast<QWidget *>(watched);
    // Closing the main window stops the input monitor and would cut a flash short. The
    // request is refused, not kept for later.
    if (event->type() == QEvent::Close && widget->isWindow()) {
        event->ignore();
        return true;
    }
    // The other windows paint but take no input: a Download or an Upload pressed in the main
    // window would send to the device, or open its port again, in the middle of the run. In
    // the dialog, whose buttons are off, the mouse may scroll the messages, but Escape would
    // hide the progress.
    const QEvent::Type type = event->type();
    if (isUserInput(type) && (widget->window() != this || isKeyboardInput(type)))
        return true;
    return QDialog::eventFilter(watched, event);
}

bool UpdateDialog::load_update_binary(const QString &path)
{
    imageSize = 0;
    if (load_file_into_buffer(path, updateImage.data(), imageCapacity, &imageSize)
        && crc_check(updateImage.data(), imageSize)) {
        qCDebug(lcTrace) << "Ready to send file.";
        setButtonEnabled(connectButton, true);
        return true;
    }
    qCDebug(lcTrace) << "Error reading file.";
    imageSize = 0;
    // Connect or Update with no image would leave the device waiting in update mode.
    setButtonEnabled(connectButton, false);
    setButtonEnabled(updateButton, false);
    return false;
}

bool UpdateDialog::load_file_into_buffer(const QString &path, unsigned char *destination,
                                         unsigned int capacity, unsigned int *size)
{
    const auto cannotLoad = [&](const QString &reason) {
        appendMessage(tr("Error, could not load the update file: %1 (%2)").arg(path, reason));
        qCDebug(lcTrace).noquote() << "Error: Could not load" << path << reason;
        return false;
    };
    const QFileInfo info(path);
    // Opening a FIFO would wait for a writer, and reading a device would not end.
    if (info.exists() && !info.isFile())
        return cannotLoad(tr("not a regular file"));
    if (info.size() > maxFileBytes)
        return cannotLoad(tr("larger than 1 MiB"));

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        appendMessage(tr("Error file not found: ") + path);
        qCDebug(lcTrace).noquote() << "Error: File '%s' is not found.\n\n" << path;
        return false;
    }
    // Replaced by something else between the look and the opening.
    if (file.isSequential())
        return cannotLoad(tr("not a regular file"));
    appendMessage(tr("Opened file: ") + path);
    ui->label_filename->setText(info.fileName());
    qCDebug(lcTrace).noquote() << "OK: File open: " << path;

    // One byte more than allowed tells a file that grew since the look.
    const QByteArray text = file.read(maxFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return cannotLoad(tr("cannot be read"));
    if (text.size() > maxFileBytes)
        return cannotLoad(tr("larger than 1 MiB"));

    unsigned int decoded = 0;
    int line = 0;
    switch (decode_update_text(text, destination, capacity, &decoded, &line)) {
    case TextFault::none:
        break;
    case TextFault::overCapacity:
        appendMessage(tr("Error, the update file is too large."));
        qCDebug(lcTrace) << "Error: The update file holds more than" << capacity << "bytes.";
        return false;
    case TextFault::notHexPairs:
        appendMessage(
            tr("Error, the update file is damaged: line %1 is not pairs of hexadecimal digits.")
                .arg(line));
        qCDebug(lcTrace) << "Error: The update file is not hex pairs from line" << line;
        return false;
    }
    if (decoded == 0) {
        appendMessage(tr("Error, the update file is damaged: it holds no data."));
        qCDebug(lcTrace) << "Error: The update file holds no bytes.";
        return false;
    }
    *size = decoded;
    qCDebug(lcTrace) << "File read into buffer.";
    return true;
}

UpdateDialog::TextFault UpdateDialog::decode_update_text(const QByteArray &text,
                                                         unsigned char *destination,
                                                         unsigned int capacity, unsigned int *size,
                                                         int *line)
{
    static const QByteArray byteOrderMark("\xEF\xBB\xBF");
    const auto fault = [&](TextFault kind, int position) {
        if (line)
            *line = line_at(text, position);
        return kind;
    };
    unsigned int count = 0;
    int i = text.startsWith(byteOrderMark) ? byteOrderMark.size() : 0;
    while (i < text.size()) {
        if (is_space(text[i])) {
            ++i;
            continue;
        }
        // Text cut off, or a digit too many or too few, would shift every byte after it.
        const int high = hex_value(text[i]);
        const int low = i + 1 < text.size() ? hex_value(text[i + 1]) : -1;
        if (high < 0 || low < 0)
            return fault(TextFault::notHexPairs, i);
        if (count == capacity)
            return fault(TextFault::overCapacity, i);
        destination[count++] = static_cast<unsigned char>(high * 16 + low);
        i += 2;
    }
    *size = count;
    return TextFault::none;
}

bool UpdateDialog::crc_check(const unsigned char *image, unsigned int length)
{
    unsigned int offset = 0;
    while (offset < length) {
        const unsigned int size = record_size(image, length, offset);
        if (size == 0)
            qCDebug(lcTrace) << "Error: The record at" << offset
                             << "does not fit in the update file.";
        if (size == 0 || !checksum_holds(image + offset, size)) {
            appendMessage(tr("CRC Error, the update file is damaged."));
            qCDebug(lcTrace) << "Error: The upgrade file is error!\n\n";
            return false;
        }
        offset += size;
    }
    return true;
}

QString UpdateDialog::statusName(int status)
{
    switch (status) {
    case statusOk:
        return QStringLiteral("Err OK");
    case statusCrc:
        return QStringLiteral("Err CRC");
    case statusCode:
        return QStringLiteral("Err Code");
    case statusLen:
        return QStringLiteral("Err Len");
    case statusEof:
        return QStringLiteral("Err EOF");
    case statusVerify:
        return QStringLiteral("Err Verify");
    case statusErase:
        return QStringLiteral("Err Erase");
    case statusDone:
        return QStringLiteral("Err Reset");
    default:
        return QStringLiteral("No Error");
    }
}

bool UpdateDialog::find_dfu()
{
    Busy busy(*this);
    MidiMonitor *monitor = controller->getMonitor();
    IMidi *midi = controller->getMidi();

    qCDebug(lcTrace) << "Sending update code...";
    monitor->clearStatus();
    midi->disconnect();
    if (midi->connect(MidiController::portName)) {
        qCDebug(lcTrace) << "Connected to Vellichord";
        ui->label_device_name->setText(tr("Vellichord"));
        setButtonEnabled(updateButton, true);
    } else {
        qCDebug(lcTrace) << "Couldn't connect to Vellichord, trying Vellichord Updater";
        if (!midi->connect(updaterPortName)) {
            qCDebug(lcTrace) << "Couldn't connect to Vellichord Updater";
            appendMessage(
                tr("No response from the Vellichord.  Please connect it and press Connect again."));
            return false;
        }
        ui->label_device_name->setText(tr("Tarvel Vellichord Updater"));
        setButtonEnabled(updateButton, true);
        qCDebug(lcTrace) << "Connected to Vellichord Updater";
    }

    unsigned char code[sizeof updateCode];
    std::copy(std::begin(updateCode), std::end(updateCode), code);
    for (int attempt = 0; attempt < handshakeAttempts; ++attempt) {
        // A port that cannot send has lost the device; asking again cannot help.
        if (const int error = midi->sendSysex(code, sizeof code)) {
            appendMessage(
                tr("No response from the Vellichord.  Please connect it and press Connect again."));
            qCDebug(lcTrace) << "Sending the update code failed with error" << error;
            return false;
        }
        pause(10);
        const int status = monitor->status();
        if (status == statusReady) {
            monitor->clearStatus();
            appendMessage(tr("Please press Update to continue."));
            qCDebug(lcTrace) << "**************** Ready ****************";
            setButtonEnabled(updateButton, true);
            return true;
        }
        if (status == statusReset) {
            monitor->clearStatus();
            appendMessage(tr("Please disconnect and reconnect the Vellichord then press Update."));
            qCDebug(lcTrace) << "****** Reset Vellichord and switch mode again ********";
            return false;
        }
    }
    appendMessage(
        tr("No response from the Vellichord.  Please connect it and press Connect again."));
    qCDebug(lcTrace) << "Vellichord didn't respond.";
    return false;
}

int UpdateDialog::sendRecord(const unsigned char *record, unsigned int size)
{
    static constexpr char hexDigits[] = "0123456789ABCDEF";
    IMidi *midi = controller->getMidi();
    unsigned char frame[2 * frameBytes + 2];
    for (unsigned int start = 0; start < size; start += frameBytes) {
        const unsigned int count = std::min(frameBytes, size - start);
        frame[0] = 0xF0;
        for (unsigned int i = 0; i < count; ++i) {
            frame[1 + 2 * i] = hexDigits[record[start + i] >> 4];
            frame[2 + 2 * i] = hexDigits[record[start + i] & 0x0F];
        }
        frame[2 * count + 1] = 0xF7;
        // Only what comes after the last frame can answer the record. A status that came
        // before is a late answer to something earlier, such as a second update code sent
        // before the first was answered, and would be taken for this record's answer.
        if (start + count == size)
            controller->getMonitor()->clearStatus();
        if (const int error = midi->sendSysex(frame, 2 * count + 2))
            return error;
        pause(10);
        pause(1);
    }
    return 0;
}

int UpdateDialog::awaitAnswer()
{
    MidiMonitor *monitor = controller->getMonitor();
    for (int poll = 0; poll < answerPolls; ++poll) {
        const int status = monitor->status();
        pause(1);
        if (status != 0) {
            monitor->clearStatus();
            return status;
        }
    }
    return 0;
}

bool UpdateDialog::transmitUpdate(const unsigned char *image, unsigned int length)
{
    Busy busy(*this);
    controller->getMonitor()->clearStatus();
    ui->progressBar->setValue(0);
    appendMessage(tr("Updating Vellichord, please don't unplug the device during the transfer."));

    unsigned int offset = 0;
    unsigned int acknowledged = 0;
    unsigned char retries = 0;
    while (offset < length) {
        // A loaded image has passed the check; any other is sent only as far as it is whole.
        const unsigned int size = record_size(image, length, offset);
        if (size == 0) {
            appendMessage(tr("CRC Error, the update file is damaged."));
            qCDebug(lcTrace) << "Error: The record at" << offset
                             << "does not fit in the update file.";
            return false;
        }

        const int percent = int(quint64(acknowledged) * 100 / length);
        ui->progressBar->setValue(percent);
        qCDebug(lcTrace) << "Transferring..." << percent;

        // The device has gone: waiting for its answer and resending would only end, much
        // later, in a message that blames the file.
        if (const int error = sendRecord(image + offset, size)) {
            appendMessage(tr("Lost the connection to the Vellichord.  Please connect it and "
                             "press Update again."));
            qCDebug(lcTrace) << "Sending a data frame failed with error" << error;
            return false;
        }
        const int status = awaitAnswer();
        qCDebug(lcTrace).noquote() << statusName(status);

        switch (status) {
        case 0:
        case statusCrc:
            if (retries > maxRetries) {
                // The last try got no answer at all: a device gone silent is no fault of
                // the file.
                if (status == 0)
                    appendMessage(tr("The Vellichord stopped answering.  Please reconnect it and "
                                     "press Update again."));
                else
                    appendMessage(tr("CRC Error in update file.  Please download the latest "
                                     "update and try again."));
                return false;
            }
            ++retries;
            break;
        case statusOk:
            qCDebug(lcTrace) << "Frame sent";
            acknowledged += size;
            offset += size;
            break;
        case statusCode:
        case statusLen:
            appendMessage(
                tr("Error in update file.  Please download the latest update and try again."));
            qCDebug(lcTrace) << "Error in update file.  Download probably damaged.";
            return false;
        case statusDone:
            qCDebug(lcTrace) << "Reset!  We're done.";
            appendMessage(tr("Transfer Complete."));
            ui->progressBar->setValue(100);
            return true;
        default:
            qCDebug(lcTrace) << "Unknown error.  Update probably failed.";
            appendMessage(tr("Unknown error.  Update probably failed."));
            return false;
        }
    }
    return true;
}

void UpdateDialog::switchToUpdateMode()
{
    if (find_dfu())
        qCDebug(lcTrace) << "Please restart the Vellichord by reconnecting the USB cable.";
}

void UpdateDialog::openFileDialog()
{
    const QString lastFolderKey = QStringLiteral("updater/lastFolder");
    const QString folder = settings ? settings->value(lastFolderKey).toString() : QString();
    const QString path = QFileDialog::getOpenFileName(this, tr("Open File"), folder, QString());
    // A cancelled choice keeps whatever was loaded before.
    if (path.isEmpty())
        return;
    if (settings)
        settings->setValue(lastFolderKey, QFileInfo(path).absolutePath());
    load_update_binary(path);
}

void UpdateDialog::doUpdate()
{
    // The handshake alone would leave the device waiting in update mode for nothing.
    if (imageSize == 0) {
        appendMessage(tr("Please open the update file."));
        qCDebug(lcTrace) << "No update loaded.";
        return;
    }
    Busy busy(*this);
    if (find_dfu())
        transmitUpdate(updateImage.data(), imageSize);
    qCDebug(lcTrace) << "update complete?";
}
