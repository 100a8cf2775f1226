#include "devicewatcher.h"
#include "miditrace.h"

#include "imidi.h"

#include <QDebug>

#include <algorithm>

DeviceWatcher::DeviceWatcher(IMidi &midi, const char *portName, std::function<bool()> portInUse,
                             QObject *parent)
    : QObject(parent)
    , midi(midi)
    , portName(portName)
    , portInUse(std::move(portInUse))
{
    timer.setInterval(intervalMs);
    connect(&timer, &QTimer::timeout, this, &DeviceWatcher::look);
}

void DeviceWatcher::start()
{
    timer.start();
}

void DeviceWatcher::stop()
{
    timer.stop();
}

void DeviceWatcher::look()
{
    if (!portInUse || !portInUse()) {
        const std::string connected = midi.connectedName();
        const bool stopped = midi.midiSystemStopped();
        if (!stopped) {
            stopTold = false;
        } else if (!stopTold) {
            stopTold = true;
            qCDebug(lcMidiTrace) << "MIDI system stopped";
            if (!connected.empty())
                midi.disconnect();
            spacing = 1;
            looksToWait = 0;
            emit midiSystemStopped();
            emit looked();
            return;
        }
        if (!connected.empty()) {
            if (connected == portName && !midi.connectionAlive()) {
                qCDebug(lcMidiTrace).noquote() << "Device gone:" << connected.c_str();
                midi.disconnect();
                emit deviceDisconnected();
            }
        } else if (!midi.portPresent(portName.c_str())) {
            spacing = 1;
            looksToWait = 0;
        } else if (looksToWait > 0) {
            --looksToWait;
        } else if (midi.connect(portName.c_str())) {
            spacing = 1;
            stopTold = false;
            emit deviceConnected();
        } else {
            // Offered but not openable: perhaps half there yet, perhaps held by another program.
            spacing = std::min(2 * spacing, maxWaitLooks);
            looksToWait = spacing - 1;
        }
    }
    emit looked();
}
