#pragma once

#include "controltable.h"
#include "imidi.h"
#include "midibytepipe.h"
#include "mididatawait.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <functional>
#include <memory>

// A Vellichord behind the editor's port, in process. It holds a patch of its own (every value
// distinct from the editor's defaults), answers the patch request with it as a Type 2 message,
// takes over each Type 1 message it receives, and can send status answers. In an update it
// answers the update code with statusAnswer, reassembles the records from the data frames and
// answers each complete record with recordAnswer. Tests can unplug it, silence it, rename its
// ports or make it answer with a malformed message. Its answers arrive on the monitor's thread,
// as a real device's do.
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

    // Asks the device to get ready for an update.
    static QByteArray updateCode() { return '\xF0' + QByteArray("Qk8vR2x") + '\xF7'; }

    bool connect(const char *portName) override
    {
        connected = attached && portNames.contains(QLatin1String(portName));
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
        } else if (isDataFrame(sent)) {
            takeFrame(sent);
        } else if (statusAnswer != 0) {
            answer(statusAnswer);
        }
        return 0;
    }

    // An update's data frame: F0, image bytes as pairs of upper-case hex digits, F7.
    static bool isDataFrame(const QByteArray &message)
    {
        if (message.size() < 4 || message.size() % 2 != 0 || quint8(message[0]) != 0xF0
            || quint8(message[message.size() - 1]) != 0xF7)
            return false;
        for (int i = 1; i < message.size() - 1; ++i) {
            const char c = message[i];
            if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')))
                return false;
        }
        return true;
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
    // When not 0, the device answers a message that is neither request, patch nor data frame
    // (the update code among them) with it.
    unsigned char statusAnswer = 0;
    // The names its ports carry: "Vellichord" in normal mode, "Vellichord Updater" in update mode.
    QStringList portNames{QStringLiteral("Vellichord")};
    // The answer to each complete record; 0 leaves it unanswered. Runs on the sender's thread,
    // while the record's last frame is being sent. Without it no record is answered.
    std::function<unsigned char(const QByteArray &record)> recordAnswer;
    // Every complete record received, resends included.
    QList<QByteArray> records;
    // Status answers sent so far, and the last of them.
    int answersSent = 0;
    unsigned char lastAnswer = 0;

private:
    void answer(unsigned char status)
    {
        ++answersSent;
        lastAnswer = status;
        sendStatus(status);
    }

    // A record is its two length bytes (L, high byte first) and the L bytes that follow.
    void takeFrame(const QByteArray &frame)
    {
        pendingRecord += QByteArray::fromHex(frame.mid(1, frame.size() - 2));
        if (pendingRecord.size() < 2)
            return;
        const int size = (quint8(pendingRecord[0]) << 8 | quint8(pendingRecord[1])) + 2;
        if (pendingRecord.size() < size)
            return;
        records.append(pendingRecord.left(size));
        pendingRecord.remove(0, size);
        if (recordAnswer) {
            if (const unsigned char status = recordAnswer(records.last()))
                answer(status);
        }
    }

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
    QByteArray pendingRecord; // the frames received so far of a record not yet complete
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
