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
    retry.setInterval(intervalMs);
    retry.setSingleShot(true);
    connect(&retry, &QTimer::timeout, this, &DeviceWatcher::look);
}

DeviceWatcher::~DeviceWatcher()
{
    // Once this returns the backend calls notice no more.
    if (asked)
        midi.watchPorts({});
}

void DeviceWatcher::start()
{
    running = true;
    follow();
    // What changed before the backend was asked to tell is looked at once, from the event
    // loop; polling looks first once its interval is over, as ever.
    if (!timer.isActive())
        notice();
}

void DeviceWatcher::stop()
{
    running = false;
    timer.stop();
    retry.stop();
    if (asked)
        midi.watchPorts({});
    asked = false;
}

void DeviceWatcher::notice()
{
    if (noticePosted.exchange(true))
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            noticePosted.store(false);
            if (running)
                look();
        },
        Qt::QueuedConnection);
}

void DeviceWatcher::follow()
{
    if (!running)
        return;
    // A lent port is used on its borrower's thread: it is not touched until it is back.
    if (portInUse && portInUse()) {
        waitedForPort = true;
        timer.stop();
        retry.start();
        return;
    }
    asked = true;
    if (midi.watchPorts([this] { notice(); })) {
        timer.stop();
        // Nothing tells when a failed connect may succeed or the borrower is done.
        if (spacing > 1 || waitedForPort)
            retry.start();
        else
            retry.stop();
    } else {
        retry.stop();
        if (!timer.isActive())
            timer.start();
    }
}

void DeviceWatcher::look()
{
    waitedForPort = portInUse && portInUse();
    if (!waitedForPort) {
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
            follow();
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
    follow();
}
