#include "connectionfield.h"

#include "devicewatcher.h"
#include "imidi.h"
#include "midicontroller.h"

ConnectionField::ConnectionField(IMidi &midi, std::function<bool()> portInUse, QWidget *parent)
    : QLabel(parent)
    , midi(midi)
    , portInUse(std::move(portInUse))
{
    setObjectName(QStringLiteral("labelConnection"));
    // The device may come later, go, or come back after a firmware update. The port is left
    // to the updater while it runs a handshake or a transfer.
    deviceWatcher = new DeviceWatcher(midi, MidiController::portName, this->portInUse, this);
    deviceWatcher->setObjectName(QStringLiteral("deviceWatcher"));
    connect(deviceWatcher, &DeviceWatcher::deviceConnected, this,
            &ConnectionField::deviceConnected);
    connect(deviceWatcher, &DeviceWatcher::deviceDisconnected, this,
            [this] { emit statusMessage(tr("Vellichord disconnected")); });
    connect(deviceWatcher, &DeviceWatcher::midiSystemStopped, this,
            [this] { emit statusMessage(tr("MIDI system stopped")); });
    connect(deviceWatcher, &DeviceWatcher::looked, this, &ConnectionField::refresh);
}

void ConnectionField::refresh()
{
    // The updater's thread has the port; the state is shown again when it is done.
    if (portInUse())
        return;
    const std::string name = midi.connectedName();
    // A connection the MIDI system dropped under the updater is not one.
    setText(name.empty() || midi.midiSystemStopped()
                ? tr("Not connected")
                : tr("Connected: %1").arg(QString::fromLocal8Bit(name.c_str())));
}
