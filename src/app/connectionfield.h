#pragma once

#include <QLabel>

#include <functional>

class DeviceWatcher;
class IMidi;

// The status bar's field that says whether the port is connected, and under which name. It
// owns the watcher that follows the device as it comes and goes, and says so in status texts.
class ConnectionField : public QLabel
{
    Q_OBJECT

public:
    // portInUse answers true while the updater's thread has the port: then the field keeps
    // what it shows and the watcher leaves the port alone.
    ConnectionField(IMidi &midi, std::function<bool()> portInUse, QWidget *parent = nullptr);

    DeviceWatcher *watcher() const { return deviceWatcher; }

public slots:
    void refresh();

signals:
    // The device has been plugged in, or has come back.
    void deviceConnected();
    void statusMessage(const QString &text);

private:
    IMidi &midi;
    std::function<bool()> portInUse;
    DeviceWatcher *deviceWatcher = nullptr;
};
