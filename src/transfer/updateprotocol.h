#pragma once

#include "deviceclaim.h"
#include "updatefile.h"

#include <QElapsedTimer>
#include <QMetaType>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>

class IMidi;
class MidiMonitor;

// How far a transfer has come: the records and bytes the device has accepted, out of those of
// the image, and the updater's progress bar. The bar moves as each record goes out, to the share
// of bytes accepted before it, so it stays short of 100 until the device reports that it has
// taken the update. Reported as the transfer starts, before each record goes out, after each
// record accepted and on completion.
struct UpdateProgress
{
    unsigned int records = 0;
    unsigned int recordsTotal = 0;
    unsigned int bytes = 0;
    unsigned int bytesTotal = 0;
    int percent = 0;
};
Q_DECLARE_METATYPE(UpdateProgress)

// The firmware update: loads and checks an update file, brings the device to readiness under
// its normal or its updater port name, and sends it the image record by record. It has no MIDI
// objects of its own: it borrows a port and the input monitor that reads it, which must outlive
// it. Every step is reported as a line through message(); a window or a terminal shows them.
//
// Handshakes and transfers block their caller; they wait only through the pause function,
// which by default keeps the event loop running. A window runs them on a thread of its own
// (see UpdateDialog): the busy state and the actions' states may be read from any thread.
class UpdateProtocol : public QObject
{
    Q_OBJECT

public:
    // The device's port name in update mode; in normal mode it is MidiController::portName.
    static constexpr const char *updaterPortName = "Vellichord Updater";

    // How long a transfer waits for an answer to one record, its resends included, before it
    // gives up on the device: silence since the device last answered, on the pause clock or
    // in real time, whichever reaches it first (real pauses run a little long).
    static constexpr unsigned int silenceLimitMs = 15000;

    // Waits the given number of milliseconds. The handshake and the transfer wait only through
    // this, so a test can run them on a clock of its own.
    using Pause = std::function<void(unsigned int ms)>;

    // Whose words the lines use where they say what to do next: the updater's buttons
    // ("press Connect again") or the command line's ("run the update again").
    enum class Wording { Window, CommandLine };

    UpdateProtocol(IMidi &midi, MidiMonitor &monitor, QObject *parent = nullptr);

    // The update file and its image; loading it through load_update_binary keeps the actions'
    // states right.
    UpdateFile &file() { return updateFile; }
    const unsigned char *getImage() const { return updateFile.getImage(); }
    unsigned int getImageSize() const { return updateFile.getImageSize(); }

    // Loads and checks an update file. On failure the image is left empty (size 0), and
    // Connect and Update are off until a file loads and passes the check.
    bool load_update_binary(const QString &path);

    // The handshake: connects to the device and sends the update code until it answers. True
    // when the device is ready for the transfer; then the user is asked to press Update, unless
    // promptForUpdate is false.
    bool find_dfu(bool promptForUpdate = true);
    // Sends the image record by record. True only when the device confirmed the update (0x77),
    // in answer to the last record or right after accepting it; a 0x77 to an earlier record
    // ends the transfer too, as a failure that says how far it came.
    bool transmitUpdate(const unsigned char *image, unsigned int length);
    // The name under which a device status is traced.
    static QString statusName(int status);

    // Asks a running transfer to stop before its next record; it then fails with a line saying
    // that the device needs a complete update. Ignored when nothing runs. Any thread.
    void requestStop();

    // True while a handshake or a transfer runs; the port is the protocol's then.
    bool isBusy() const { return busyDepth > 0; }

    // Whether Open File, Connect and Update can be used now: all are off while busy.
    bool canOpenFile() const { return busyDepth == 0; }
    bool canConnect() const { return busyDepth == 0 && connectEnabled; }
    bool canUpdate() const { return busyDepth == 0 && updateEnabled; }

    // Replaces the clock of the handshake and the transfer; an empty one restores the default,
    // which waits in real time and keeps the event loop running meanwhile. Not while busy.
    void setPause(Pause pause);
    // Window by default. Not while busy.
    void setWording(Wording wording) { words = wording; }

public slots:
    // Connect: the handshake alone. True when the device is ready.
    bool switchToUpdateMode();
    // Update: the handshake, then the transfer of the loaded image. True when the transfer
    // succeeded.
    bool doUpdate();

signals:
    // A line for the user.
    void message(const QString &text);
    // An update file was opened for reading.
    void fileOpened(const QString &path);
    // A load ended: the image of the file at path is loaded and checked, or, with an empty
    // path, the file was refused and no image is loaded.
    void imageLoaded(const QString &path);
    // The handshake opened the port of this name.
    void deviceConnected(const QString &portName);
    // See UpdateProgress for when.
    void progressChanged(const UpdateProgress &progress);
    // A handshake or a transfer began (true) or the last one ended (false).
    void busyChanged(bool busy);
    // canOpenFile, canConnect or canUpdate may have changed.
    void actionsChanged();

private:
    class Busy;

    void pause(unsigned int ms);
    // Sends one record as data frames, pausing after each. Stops at the first frame the port
    // fails to send and returns its error code; 0 when every frame went out.
    int sendRecord(const unsigned char *record, unsigned int size);
    // Polls the monitor for the device's answer to a record; 0 when none came, within
    // answerPolls polls or before the silence limit is reached, or, when stoppable, before a
    // stop was requested.
    int awaitAnswer(bool stoppable);
    // The device answered: its silence starts anew.
    void answerHeard();
    // Whether the device has been silent for the silence limit.
    bool silentTooLong() const;
    // The lines that say what to do next, in the words of the front end.
    QString noResponseText() const;
    QString reconnectText() const;
    QString stoppedAnsweringText() const;
    QString connectionLostText() const;
    // The device confirmed the update: says so and completes the progress. Returns true.
    bool confirmed(UpdateProgress &progress);
    void setConnectEnabled(bool enabled);
    void setUpdateEnabled(bool enabled);
    // Takes a pending stop request; true when there was one.
    bool takeStopRequest();
    // Takes the update claim for the run, so that no other program sends to the device
    // meanwhile. False, after saying so, when another program is updating the device.
    bool claimDevice();

    IMidi &midi;
    MidiMonitor &monitor;
    UpdateFile updateFile;
    Pause pauseFunction;
    Wording words = Wording::Window;
    // Milliseconds paused since the protocol was made, and their count and the real time
    // when the device last answered: the clocks of the silence limit.
    quint64 pausedMs = 0;
    quint64 silentSincePaused = 0;
    QElapsedTimer silentSinceReal;
    // Nesting depth of running handshakes and transfers.
    std::atomic<int> busyDepth{0};
    std::atomic<bool> connectEnabled{false};
    std::atomic<bool> updateEnabled{false};
    std::atomic<bool> stopRequested{false};
    DeviceClaim updateClaim{DeviceClaim::Kind::Update}; // held while busy
};
