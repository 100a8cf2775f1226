#include "devicewatcher.h"

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
        if (!connected.empty()) {
            if (connected == portName && !midi.connectionAlive()) {
                qDebug().noquote() << "Device gone:" << connected.c_str();
                midi.disconnect();
                emit deviceDisconnected();
            }
        } else if (!midi.portPresent(portName.c_str())) {
            failedConnects = 0;
            looksToWait = 0;
        } else if (looksToWait > 0) {
            --looksToWait;
        } else if (midi.connect(portName.c_str())) {
            failedConnects = 0;
            emit deviceConnected();
        } else {
            // Offered but not openable: perhaps half there yet, perhaps held by another program.
            ++failedConnects;
            looksToWait = std::min(1 << std::min(failedConnects, 5), maxWaitLooks) - 1;
        }
    }
    emit looked();
}
