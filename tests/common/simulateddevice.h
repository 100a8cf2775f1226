#pragma once

#include "controltable.h"
#include "emulateddevice.h"
#include "imidi.h"
#include "midibytepipe.h"
#include "mididatawait.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <memory>
#include <string>

// The emulated Vellichord behind the editor's port, in process. Its answers go onto the port's
// input at once, on the sender's thread, and reach the monitor thread as a real device's do.
// It holds a patch of its own (every value distinct from the editor's defaults), and answers
// the update code and the records of an update only when the test says so (statusAnswer,
// recordAnswer). Tests can unplug it or rename its ports.
class SimulatedDevice : public IMidi, public MidiDataWait, public EmulatedDevice
{
public:
    static constexpr unsigned char presetNo = 5;
    static constexpr char name[] = "Simulated Device"; // all 16 bytes of the field

    explicit SimulatedDevice(bool attached = true, Reply reply = Reply::Patch)
        : EmulatedDevice(ownPatch())
        , attached(attached)
    {
        this->reply = reply;
        statusAnswer = 0;
        recordAnswer = [](const QByteArray &) { return 0; };
    }

    // Its patch as a Type 2 message.
    static QByteArray ownPatch()
    {
        QByteArray patch(348, '\0');
        patch.replace(0, 9, QByteArray::fromHex("f0000000007f630251"));
        patch[9] = char(presetNo);
        patch.replace(11, 16, QByteArray(name, 16));
        const ControlTable table;
        for (int i = 0; i < ControlTable::count; ++i) {
            for (const ControlParameter &p : table.at(i)->parameters())
                patch[int(p.address())] = char(ownValue(i, p));
        }
        patch[55] = patch[59]; // the X-Y pad's channel, on both axes
        patch[347] = char(0xF7);
        return patch;
    }

    // The value the device holds for parameter p of control index until a Type 1 message
    // replaces it: in range, and never the editor's default.
    static unsigned char ownValue(int index, const ControlParameter &p)
    {
        const int span = p.max() - p.min() + 1;
        int value = p.min() + (index * 7 + int(p.id()) * 3 + 1) % span;
        if (value == p.value())
            value = p.min() + (value - p.min() + 1) % span;
        return static_cast<unsigned char>(value);
    }

    bool connect(const char *portName) override
    {
        ++connects;
        connected = attached && portNames.contains(QLatin1String(portName));
        connectedPort = connected ? portName : "";
        return connected;
    }
    void disconnect() override { connected = false; }
    std::string connectedName() const override { return connected ? connectedPort : ""; }
    std::string systemName() const override { return "Simulated MIDI"; }
    bool connectionAlive() override
    {
        return connected && attached && portNames.contains(QString::fromStdString(connectedPort));
    }
    bool portPresent(const char *portName) override
    {
        ++portLooks;
        return attached && portNames.contains(QLatin1String(portName));
    }
    int read(unsigned char *buffer, unsigned int capacity) override
    {
        return input.read(buffer, capacity);
    }
    bool dataAvailable() override { return input.dataAvailable(); }
    bool waitForData(unsigned long msecs) override { return input.waitForData(msecs); }
    void wakeWaiter() override { input.wakeWaiter(); }

    int sendSysex(unsigned char *message, unsigned int count) override
    {
        if (!connected || !attached)
            return 1;
        const QByteArray sent(reinterpret_cast<const char *>(message), int(count));
        received.append(sent);
        for (const QByteArray &answer : receive(sent))
            send(answer);
        return 0;
    }

    // Bytes from the device, as its MIDI output would deliver them.
    void send(const QByteArray &bytes)
    {
        input.append(reinterpret_cast<const unsigned char *>(bytes.constData()),
                     unsigned(bytes.size()));
    }
    void sendStatus(unsigned char status) { send(QByteArray("\xF0", 1) + char(status) + '\xF7'); }

    // Every message the editor sent, in order; the device saw those sent while it was connected.
    QList<QByteArray> received;
    // Whether a device is plugged in; without one, connect fails and nothing can be sent. Pulled
    // out while connected, the port stays open but is no longer alive.
    bool attached;
    bool connected = false;
    // The names its ports carry: "Vellichord" in normal mode, "Vellichord Updater" in update mode.
    QStringList portNames{QStringLiteral("Vellichord")};
    // How often the editor opened the port, and how often it looked for the device.
    int connects = 0;
    int portLooks = 0;

private:
    MidiBytePipe input;
    std::string connectedPort;
};

// Hands a new simulated device to the window that will own it and keeps a pointer for the test.
template<typename... Args>
std::unique_ptr<IMidi> plug(SimulatedDevice *&device, Args... args)
{
    auto owned = std::make_unique<SimulatedDevice>(args...);
    device = owned.get();
    return owned;
}

// A port with no device behind it.
inline std::unique_ptr<IMidi> noDevice()
{
    return std::make_unique<SimulatedDevice>(false);
}
