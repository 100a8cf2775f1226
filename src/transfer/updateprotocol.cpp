#include "updateprotocol.h"
#include "trace.h"

#include "imidi.h"
#include "midicontroller.h"
#include "midimonitor.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDebug>
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

// Waits ms milliseconds in real time. Meanwhile events are handled: windows go on painting,
// timers fire, and a stop request can come in. The user's input is taken in too, so that a
// filter that drops it while a run is busy drops it now: input left queued would be carried
// out once the run is over, a Download then reaching a device that has just reset.
void wait_handling_events(unsigned int ms)
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

} // namespace

// Held while a handshake or a transfer runs; nested runs share the outermost one. All actions
// are off meanwhile, so that nothing starts another run from within a pause. Afterwards they
// get back their states, plus any that the run enabled.
class UpdateProtocol::Busy
{
public:
    explicit Busy(UpdateProtocol &protocol)
        : protocol(protocol)
    {
        if (protocol.busyDepth++ > 0)
            return;
        // A request made while nothing ran is not meant for this run.
        protocol.stopRequested = false;
        emit protocol.busyChanged(true);
        emit protocol.actionsChanged();
    }
    ~Busy()
    {
        if (protocol.busyDepth > 1) {
            --protocol.busyDepth;
            return;
        }
        // Input that came during the run and is still queued is delivered now, while whoever
        // watches busyChanged still drops it; afterwards it would be carried out. A run on a
        // thread of its own leaves the event loop to the thread that owns it.
        if (QThread::currentThread() == protocol.thread()) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        }
        // Released first: a window that sees the run over must not find it still claimed.
        protocol.updateClaim.release();
        --protocol.busyDepth;
        protocol.stopRequested = false;
        emit protocol.busyChanged(false);
        emit protocol.actionsChanged();
    }
    Busy(const Busy &) = delete;
    Busy &operator=(const Busy &) = delete;

private:
    UpdateProtocol &protocol;
};

UpdateProtocol::UpdateProtocol(IMidi &midi, MidiMonitor &monitor, QObject *parent)
    : QObject(parent)
    , midi(midi)
    , monitor(monitor)
    , pauseFunction(&wait_handling_events)
{
    // For queued connections, such as to a window on another thread.
    qRegisterMetaType<UpdateProgress>();
    connect(&updateFile, &UpdateFile::message, this, &UpdateProtocol::message);
    connect(&updateFile, &UpdateFile::opened, this, &UpdateProtocol::fileOpened);
}

void UpdateProtocol::setPause(Pause pause)
{
    pauseFunction = pause ? std::move(pause) : Pause(&wait_handling_events);
}

void UpdateProtocol::pause(unsigned int ms)
{
    pauseFunction(ms);
    pausedMs += ms;
}

QString UpdateProtocol::noResponseText() const
{
    return words == Wording::Window
        ? tr("No response from the Vellichord.  Please connect it and press Connect again.")
        : tr("No response from the Vellichord.  Please connect it and run the update again.");
}

QString UpdateProtocol::reconnectText() const
{
    return words == Wording::Window
        ? tr("Please disconnect and reconnect the Vellichord then press Update.")
        : tr("Please disconnect and reconnect the Vellichord, then run the update again.");
}

QString UpdateProtocol::stoppedAnsweringText() const
{
    return words == Wording::Window
        ? tr("The Vellichord stopped answering.  Please reconnect it and press Update again.")
        : tr("The Vellichord stopped answering.  Please reconnect it and run the update again.");
}

QString UpdateProtocol::connectionLostText() const
{
    return words == Wording::Window
        ? tr("Lost the connection to the Vellichord.  Please connect it and press Update again.")
        : tr("Lost the connection to the Vellichord.  Please connect it and run the update "
             "again.");
}

void UpdateProtocol::requestStop()
{
    stopRequested = true;
}

bool UpdateProtocol::takeStopRequest()
{
    return stopRequested.exchange(false);
}

void UpdateProtocol::setConnectEnabled(bool enabled)
{
    if (connectEnabled == enabled)
        return;
    connectEnabled = enabled;
    if (busyDepth == 0)
        emit actionsChanged();
}

void UpdateProtocol::setUpdateEnabled(bool enabled)
{
    if (updateEnabled == enabled)
        return;
    updateEnabled = enabled;
    if (busyDepth == 0)
        emit actionsChanged();
}

bool UpdateProtocol::load_update_binary(const QString &path)
{
    if (updateFile.load(path)) {
        setConnectEnabled(true);
        emit imageLoaded(path);
        return true;
    }
    // Connect or Update with no image would leave the device waiting in update mode.
    setConnectEnabled(false);
    setUpdateEnabled(false);
    emit imageLoaded(QString());
    return false;
}

QString UpdateProtocol::statusName(int status)
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

bool UpdateProtocol::find_dfu(bool promptForUpdate)
{
    Busy busy(*this);
    if (!claimDevice())
        return false;
    const QString noResponse = noResponseText();

    qCDebug(lcTrace) << "Sending update code...";
    monitor.clearStatus();
    midi.disconnect();
    if (midi.connect(MidiController::portName)) {
        qCDebug(lcTrace) << "Connected to Vellichord";
        emit deviceConnected(QLatin1String(MidiController::portName));
        setUpdateEnabled(true);
    } else {
        qCDebug(lcTrace) << "Couldn't connect to Vellichord, trying Vellichord Updater";
        if (!midi.connect(updaterPortName)) {
            qCDebug(lcTrace) << "Couldn't connect to Vellichord Updater";
            emit message(noResponse);
            return false;
        }
        emit deviceConnected(QLatin1String(updaterPortName));
        setUpdateEnabled(true);
        qCDebug(lcTrace) << "Connected to Vellichord Updater";
    }

    unsigned char code[sizeof updateCode];
    std::copy(std::begin(updateCode), std::end(updateCode), code);
    for (int attempt = 0; attempt < handshakeAttempts; ++attempt) {
        // Until the device answers ready it is not in update mode: stopping now leaves it as
        // it was.
        if (takeStopRequest()) {
            emit message(tr("Update stopped before any of the update was sent."));
            qCDebug(lcTrace) << "Handshake stopped on request; codes sent:" << attempt;
            return false;
        }
        // A port that cannot send has lost the device; asking again cannot help.
        if (const int error = midi.sendSysex(code, sizeof code)) {
            emit message(noResponse);
            qCDebug(lcTrace) << "Sending the update code failed with error" << error;
            return false;
        }
        monitor.recordSent(code, sizeof code);
        pause(10);
        const int status = monitor.status();
        if (status == statusReady) {
            monitor.clearStatus();
            // Within Update the transfer follows at once: the prompt would be shown twice.
            if (promptForUpdate)
                emit message(tr("Please press Update to continue."));
            qCDebug(lcTrace) << "**************** Ready ****************";
            setUpdateEnabled(true);
            return true;
        }
        if (status == statusReset) {
            monitor.clearStatus();
            emit message(reconnectText());
            qCDebug(lcTrace) << "****** Reset Vellichord and switch mode again ********";
            return false;
        }
    }
    emit message(noResponse);
    qCDebug(lcTrace) << "Vellichord didn't respond.";
    return false;
}

int UpdateProtocol::sendRecord(const unsigned char *record, unsigned int size)
{
    static constexpr char hexDigits[] = "0123456789ABCDEF";
    constexpr unsigned int frameBytes = UpdateFile::frameBytes;
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
            monitor.clearStatus();
        if (const int error = midi.sendSysex(frame, 2 * count + 2))
            return error;
        monitor.recordSent(frame, 2 * count + 2);
        pause(10);
        pause(1);
    }
    return 0;
}

void UpdateProtocol::answerHeard()
{
    silentSincePaused = pausedMs;
    silentSinceReal.start();
}

bool UpdateProtocol::silentTooLong() const
{
    return pausedMs - silentSincePaused >= silenceLimitMs
        || silentSinceReal.hasExpired(qint64(silenceLimitMs));
}

int UpdateProtocol::awaitAnswer(bool stoppable)
{
    for (int poll = 0; poll < answerPolls && !silentTooLong(); ++poll) {
        const int status = monitor.status();
        pause(1);
        if (status != 0) {
            monitor.clearStatus();
            return status;
        }
        // The record is whole: a stop need not wait for a silent device.
        if (stoppable && stopRequested)
            return 0;
    }
    return 0;
}

bool UpdateProtocol::transmitUpdate(const unsigned char *image, unsigned int length)
{
    Busy busy(*this);
    if (!claimDevice())
        return false;
    monitor.clearStatus();
    UpdateProgress progress;
    progress.recordsTotal = UpdateFile::recordCount(image, length);
    progress.bytesTotal = length;
    emit progressChanged(progress);
    emit message(tr("Updating Vellichord, please don't unplug the device during the transfer."));

    unsigned int offset = 0;
    unsigned char retries = 0;
    // An answer of any kind shows that the device is still there; the transfer's start counts
    // as one.
    answerHeard();
    while (offset < length) {
        // A loaded image has passed the check; any other is sent only as far as it is whole.
        const unsigned int size = UpdateFile::recordSize(image, length, offset);
        if (size == 0) {
            emit message(UpdateFile::recordFault(image, length, offset, progress.records + 1));
            qCDebug(lcTrace) << "Error: The record at" << offset
                             << "does not fit in the update file.";
            return false;
        }
        // Only between records: a record cut short would be answered as damaged.
        if (takeStopRequest()) {
            emit message(tr("Update stopped. The Vellichord needs a complete update: run the "
                            "update again."));
            qCDebug(lcTrace) << "Transfer stopped on request; records accepted:"
                             << progress.records;
            return false;
        }

        progress.percent = int(quint64(progress.bytes) * 100 / length);
        emit progressChanged(progress);
        qCDebug(lcTrace) << "Transferring..." << progress.percent;

        // The device has gone: waiting for its answer and resending would only end, much
        // later, in a message that blames the file.
        if (const int error = sendRecord(image + offset, size)) {
            emit message(connectionLostText());
            qCDebug(lcTrace) << "Sending a data frame failed with error" << error;
            return false;
        }
        const int status = awaitAnswer(true);
        qCDebug(lcTrace).noquote() << statusName(status);
        if (status != 0)
            answerHeard();
        else if (stopRequested)
            continue; // taken before the record would be sent again

        switch (status) {
        case 0:
        case statusCrc:
            // Resending to a device that has said nothing for so long would only hold the
            // user up: it has gone, or hangs.
            if (status == 0 && silentTooLong()) {
                emit message(stoppedAnsweringText());
                qCDebug(lcTrace) << "No answer for" << silenceLimitMs
                                 << "ms; tries of this record:" << retries + 1;
                return false;
            }
            if (retries > maxRetries) {
                // The last try got no answer at all: a device gone silent is no fault of
                // the file.
                if (status == 0)
                    emit message(stoppedAnsweringText());
                else
                    emit message(tr("CRC Error in update file.  Please download the latest "
                                    "update and try again."));
                return false;
            }
            ++retries;
            break;
        case statusOk:
            qCDebug(lcTrace) << "Frame sent";
            ++progress.records;
            progress.bytes += size;
            offset += size;
            emit progressChanged(progress);
            break;
        case statusCode:
        case statusLen:
            emit message(
                tr("Error in update file.  Please download the latest update and try again."));
            qCDebug(lcTrace) << "Error in update file.  Download probably damaged.";
            return false;
        case statusDone:
            // The device took this record too, and the update with it.
            ++progress.records;
            progress.bytes += size;
            offset += size;
            if (offset == length)
                return confirmed(progress);
            // It has ended the update though records remain: no complete update, whatever it
            // says. The bar keeps its last value.
            emit progressChanged(progress);
            emit message(tr("The Vellichord ended the update after %1 of %2 records.")
                             .arg(progress.records)
                             .arg(progress.recordsTotal));
            qCDebug(lcTrace) << "Update ended by the device with bytes left:" << length - offset;
            return false;
        default:
            qCDebug(lcTrace) << "Unknown error.  Update probably failed.";
            emit message(tr("Unknown error.  Update probably failed."));
            return false;
        }
    }
    // Accepting the last record is not the end: the device may confirm the update right after
    // it. Without that it may still wait in update mode, and the update has not taken.
    if (awaitAnswer(false) == statusDone)
        return confirmed(progress);
    emit message(tr("The Vellichord took every record but did not confirm the update. It may "
                    "still be in update mode: reconnect it and run the update again."));
    qCDebug(lcTrace) << "No confirmation after the last record; records accepted:"
                     << progress.records;
    return false;
}

bool UpdateProtocol::confirmed(UpdateProgress &progress)
{
    qCDebug(lcTrace) << "Reset!  We're done.";
    emit message(tr("Transfer Complete."));
    progress.percent = 100;
    emit progressChanged(progress);
    return true;
}

bool UpdateProtocol::claimDevice()
{
    DeviceClaim::Holder holder;
    if (updateClaim.take(&holder))
        return true;
    emit message(tr("Update refused: %1 is updating the Vellichord's firmware").arg(holder.name()));
    return false;
}

bool UpdateProtocol::switchToUpdateMode()
{
    if (!find_dfu())
        return false;
    qCDebug(lcTrace) << "Please restart the Vellichord by reconnecting the USB cable.";
    return true;
}

bool UpdateProtocol::doUpdate()
{
    // The handshake alone would leave the device waiting in update mode for nothing.
    if (updateFile.getImageSize() == 0) {
        emit message(tr("Please open the update file."));
        qCDebug(lcTrace) << "No update loaded.";
        return false;
    }
    Busy busy(*this);
    const bool done = find_dfu(false)
        && transmitUpdate(updateFile.getImage(), updateFile.getImageSize());
    qCDebug(lcTrace) << "update complete?";
    return done;
}
