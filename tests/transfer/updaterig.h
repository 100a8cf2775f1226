#pragma once

#include "../common/simulateddevice.h"
#include "midicontroller.h"
#include "midimonitor.h"
#include "updateprotocol.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QThread>

#include <functional>
#include <memory>

// Runs an update protocol on a virtual clock: a pause returns at once, once the monitor has
// taken in the device's latest status answer, and is recorded. Counts the answers that the
// monitor did not take in within two seconds.
class VirtualClock
{
public:
    VirtualClock(SimulatedDevice *&device, std::function<MidiMonitor *()> monitor)
        : device(device)
        , monitor(std::move(monitor))
    {
    }

    UpdateProtocol::Pause pause()
    {
        return [this](unsigned int ms) {
            if (beforePause)
                beforePause(pauses.size() + 1);
            pauses << ms;
            elapsedMs += ms;
            if (device->answersSent != answersSeen) {
                answersSeen = device->answersSent;
                waitForStatus(device->lastAnswer);
            }
        };
    }

    // Waits until the monitor holds status, as it does once a device's answer has come in.
    void waitForStatus(int status)
    {
        const QDeadlineTimer limit(2000);
        while (monitor()->status() != status && !limit.hasExpired())
            QThread::usleep(50);
        if (monitor()->status() != status)
            ++missedAnswers;
    }

    SimulatedDevice *&device;
    std::function<MidiMonitor *()> monitor;
    QList<unsigned int> pauses;
    qint64 elapsedMs = 0;
    // Answers the monitor did not take in within two seconds.
    int missedAnswers = 0;
    // Runs at the start of each pause, with its number counted from 1.
    std::function<void(int)> beforePause;

private:
    int answersSeen = 0;
};

// The device's side of an update, seen through what a simulated device received.
struct DeviceLog
{
    static QList<QByteArray> frames(const SimulatedDevice *device)
    {
        QList<QByteArray> result;
        for (const QByteArray &message : device->received) {
            if (SimulatedDevice::isDataFrame(message))
                result << message;
        }
        return result;
    }
    static int codesSent(const SimulatedDevice *device)
    {
        return device->received.count(SimulatedDevice::updateCode());
    }
};

// An update protocol over a simulated device, with no window: the port is opened to the
// device's normal name, as the patch controller opens it, and an input monitor reads it. The
// protocol runs on a virtual clock.
class UpdateRig
{
public:
    explicit UpdateRig(const QStringList &portNames = {QStringLiteral("Vellichord")},
                       bool attached = true)
        : owned(std::make_unique<SimulatedDevice>(attached, SimulatedDevice::Reply::Nothing))
        , device(owned.get())
        , clock(device, [this] { return monitor.get(); })
    {
        device->portNames = portNames;
        device->connect(MidiController::portName);
        monitor = std::make_unique<MidiMonitor>(&owner, device);
        monitor->start();
        protocol = std::make_unique<UpdateProtocol>(*device, *monitor);
        protocol->setPause(clock.pause());
        QObject::connect(protocol.get(), &UpdateProtocol::message,
                         [this](const QString &text) { shown << text; });
        QObject::connect(protocol.get(), &UpdateProtocol::progressChanged,
                         [this](const UpdateProgress &step) { progress << step; });
    }
    ~UpdateRig()
    {
        protocol.reset();
        monitor.reset(); // stops the thread and waits for it
    }
    UpdateRig(const UpdateRig &) = delete;
    UpdateRig &operator=(const UpdateRig &) = delete;

    // Answers every record with status.
    void answerRecords(unsigned char status)
    {
        device->recordAnswer = [status](const QByteArray &) { return status; };
    }

    QList<QByteArray> frames() const { return DeviceLog::frames(device); }
    int codesSent() const { return DeviceLog::codesSent(device); }

    // Has the device send status on its own and waits until the monitor holds it.
    void sendStatusNow(unsigned char status)
    {
        device->sendStatus(status);
        clock.waitForStatus(status);
    }

    bool transmit(const QByteArray &image)
    {
        return protocol->transmitUpdate(reinterpret_cast<const unsigned char *>(image.constData()),
                                        unsigned(image.size()));
    }

private:
    QObject owner;
    std::unique_ptr<SimulatedDevice> owned;

public:
    SimulatedDevice *device;
    VirtualClock clock;
    std::unique_ptr<MidiMonitor> monitor;
    std::unique_ptr<UpdateProtocol> protocol;
    // The protocol's lines, in order.
    QStringList shown;
    // Its progress reports, in order.
    QList<UpdateProgress> progress;

    // What a progress bar fed by the reports shows: 0 before the first.
    int percent() const { return progress.isEmpty() ? 0 : progress.last().percent; }
};

// Has the device accept every record, and confirm the update (0x77) in answer to the count-th
// record it receives.
inline void confirmAtRecord(SimulatedDevice *device, int count)
{
    device->recordAnswer = [device, count](const QByteArray &) {
        return quint8(device->records.size() == count ? 0x77 : 0x1A);
    };
}

// One record holding body: the big-endian length, the body and the little-endian checksum.
inline QByteArray updateRecord(const QByteArray &body)
{
    const int length = body.size() + 2;
    quint16 sum = 0;
    for (const char byte : body)
        sum = quint16(sum + quint8(byte));
    const quint16 checksum = quint16(-sum);
    return QByteArray(1, char(length >> 8)) + char(length & 0xFF) + body + char(checksum & 0xFF)
        + char(checksum >> 8);
}

// A record of size bytes in all, with a body that differs from byte to byte.
inline QByteArray updateRecordOfSize(int size)
{
    QByteArray body(size - 4, '\0');
    for (int i = 0; i < body.size(); ++i)
        body[i] = char(i * 37 + 11);
    return updateRecord(body);
}
