#pragma once

#include <QObject>
#include <QTimer>

#include <atomic>
#include <functional>
#include <string>

class IMidi;

// Follows the device while the editor runs. At every look it drops a connection whose device
// has gone, and connects when the device appears while nothing is connected. It only opens
// and closes the port, never sends: the user may have edits that are not sent yet.
// Connections under any other name (the updater's) are left alone, and so is the port while
// its borrower says it is in use. When the MIDI system itself stops, any connection is dead:
// it is dropped whatever its name, and the device is found again once the system is back.
// It looks whenever the backend tells that ports changed; only while the backend cannot tell
// (no MIDI system runs yet, or it has no such notice) does it look every intervalMs.
class DeviceWatcher : public QObject
{
    Q_OBJECT

public:
    static constexpr int intervalMs = 1000;
    // A device that is offered but fails to connect is tried again 2, 4, ... and at most
    // maxWaitLooks looks later, so that the trace is not flooded.
    static constexpr int maxWaitLooks = 32;

    // Watches for portName on midi, which must outlive the watcher. portInUse, when given, is
    // asked before every look.
    DeviceWatcher(IMidi &midi, const char *portName, std::function<bool()> portInUse,
                  QObject *parent = nullptr);
    ~DeviceWatcher() override;

    // Looks now and then on every change the backend tells of, or every intervalMs while it
    // tells of none, until stop.
    void start();
    void stop();
    // Whether it looks every intervalMs now, rather than on the backend's notice.
    bool polling() const { return timer.isActive(); }
    // Whether a look is due later on its own: a device offered but not openable is tried
    // again, and a port in use is looked at once it is free.
    bool retrying() const { return retry.isActive(); }

public slots:
    // One look at the port.
    void look();

signals:
    void deviceConnected();
    void deviceDisconnected();
    // The MIDI system stopped (the JACK server went away); once for each stop.
    void midiSystemStopped();
    // After every look, whatever it found.
    void looked();

private:
    // After a look: follows the backend's notice when it gives one, else polls.
    void follow();
    // Called by the backend, on any thread.
    void notice();

    IMidi &midi;
    std::string portName;
    std::function<bool()> portInUse;
    QTimer timer;
    QTimer retry;
    bool running = false;
    // Whether the backend was given notice() since the last stop.
    bool asked = false;
    // Set while a notice's look is queued, so that a burst of notices queues one look.
    std::atomic<bool> noticePosted{false};
    bool waitedForPort = false;
    // Looks between the last failed connect and the next try, and how many of them are left.
    int spacing = 1;
    int looksToWait = 0;
    // Whether the stop the port reports was told already.
    bool stopTold = false;
};
