#pragma once

#include <QObject>
#include <QTimer>

#include <functional>
#include <string>

class IMidi;

// Follows the device while the editor runs. At every look it drops a connection whose device
// has gone, and connects when the device appears while nothing is connected. It only opens
// and closes the port, never sends: the user may have edits that are not sent yet.
// Connections under any other name (the updater's) are left alone, and so is the port while
// its borrower says it is in use. When the MIDI system itself stops, any connection is dead:
// it is dropped whatever its name, and the device is found again once the system is back.
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

    // Looks once every intervalMs from now on, until stop.
    void start();
    void stop();

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
    IMidi &midi;
    std::string portName;
    std::function<bool()> portInUse;
    QTimer timer;
    // Looks between the last failed connect and the next try, and how many of them are left.
    int spacing = 1;
    int looksToWait = 0;
    // Whether the stop the port reports was told already.
    bool stopTold = false;
};
