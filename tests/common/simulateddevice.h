#pragma once

#include "controltable.h"
#include "imidi.h"
#include "midibytepipe.h"
#include "mididatawait.h"

#include <QByteArray>
#include <QList>

#include <cstring>
#include <memory>

// A Vellichord behind the editor's port, in process. It holds a patch of its own (every value
// distinct from the editor's defaults), answers the patch request with it as a Type 2 message,
// takes over each Type 1 message it receives, and can send status answers. Tests can unplug
// it, silence it or make it answer with a malformed message. Its answers arrive on the
// monitor's thread, as a real device's do.
class SimulatedDevice : public IMidi, public MidiDataWait
{
public:
    enum class Reply {
        Patch,     // the Type 2 message of its patch
        Nothing,   // stays silent
        Truncated, // the first 100 bytes of its patch, closed with F7
        OtherKind, // 348 bytes whose kind byte is the request's
        Overlong,  // 1100 bytes between F0 and F7, more than any message may hold
    };

    static constexpr unsigned char presetNo = 5;
    static constexpr char name[] = "Simulated Device"; // all 16 bytes of the field

    explicit SimulatedDevice(bool attached = true, Reply reply = Reply::Patch)
        : attached(attached)
        , reply(reply)
    {
        patch = QByteArray(348, '\0');
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
        connected = attached && std::strcmp(portName, "Vellichord") == 0;
        return connected;
    }
    void disconnect() override { connected = false; }
    int read(unsigned char *buffer, unsigned int capacity) override
    {
        return input.read(buffer, capacity);
    }
    bool dataAvailable() override { return input.dataAvailable(); }
    bool waitForData(unsigned long msecs) override { return input.waitForData(msecs); }

    int sendSysex(unsigned char *message, unsigned int count) override
    {
        if (!connected)
            return 1;
        const QByteArray sent(reinterpret_cast<const char *>(message), int(count));
        received.append(sent);
        if (sent == QByteArray::fromHex("f0000000007f620000f7"))
            answerRequest();
        else if (count == 348 && sent[6] == 0x61 && quint8(sent[0]) == 0xF0
                 && quint8(sent[347]) == 0xF7) {
            patch = sent;
            patch[6] = 0x63;
        } else if (statusAnswer != 0) {
            sendStatus(statusAnswer);
        }
        return 0;
    }

    // Bytes from the device, as its MIDI output would deliver them.
    void send(const QByteArray &bytes)
    {
        input.append(reinterpret_cast<const unsigned char *>(bytes.constData()),
                     unsigned(bytes.size()));
    }
    void sendStatus(unsigned char status) { send(QByteArray("\xF0", 1) + char(status) + '\xF7'); }

    // The Type 2 message of the patch the device holds now.
    const QByteArray &patchMessage() const { return patch; }

    // Every message the editor sent, in order; the device saw those sent while it was connected.
    QList<QByteArray> received;
    // Whether a device is plugged in; without one, connect fails and nothing can be sent.
    bool attached;
    bool connected = false;
    Reply reply;
    // When not 0, the device answers a message that is neither request nor patch with it.
    unsigned char statusAnswer = 0;

private:
    void answerRequest()
    {
        switch (reply) {
        case Reply::Patch:
            send(patch);
            break;
        case Reply::Nothing:
            break;
        case Reply::Truncated:
            send(patch.left(100) + '\xF7');
            break;
        case Reply::OtherKind: {
            QByteArray other = patch;
            other[6] = 0x62;
            send(other);
            break;
        }
        case Reply::Overlong:
            send('\xF0' + QByteArray(1098, 0x11) + '\xF7');
            break;
        }
    }

    QByteArray patch;
    MidiBytePipe input;
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
