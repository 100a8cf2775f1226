#pragma once

#include "imidi.h"
#include "midibytepipe.h"
#include "mididatawait.h"

#include <QString>

#include <atomic>
#include <memory>
#include <vector>

class RtMidiIn;
class RtMidiOut;

// The MIDI port on RtMidi, for Linux and macOS. On Linux it uses the ALSA sequencer when the
// system has one and a running JACK server otherwise.
class RtMidiPort : public IMidi, public MidiDataWait
{
public:
    enum class Api {
        Automatic, // the platform's choice, as described above
        Jack,      // JACK only, whatever else the system has
    };

    // Error codes of sendSysex besides 0. notConnected also once the port connected to has
    // gone (the device was unplugged), until the next connect.
    static constexpr int notConnected = 1;
    static constexpr int sendFailed = 2;

    explicit RtMidiPort(Api api = Api::Automatic);
    ~RtMidiPort() override;
    RtMidiPort(const RtMidiPort &) = delete;
    RtMidiPort &operator=(const RtMidiPort &) = delete;

    bool connect(const char *portName) override;
    void disconnect() override;
    int read(unsigned char *buffer, unsigned int capacity) override;
    bool dataAvailable() override;
    int sendSysex(unsigned char *message, unsigned int count) override;
    bool waitForData(unsigned long msecs) override;

    // Whether the name RtMidi reports for a port stands for portName: the whole name, its
    // client part or its port part equals it exactly. ALSA names end in " client:port"
    // numbers, which are not part of the name.
    static bool portNameMatches(const QString &reported, const QString &portName, bool alsa);

private:
    static void inputCallback(double timeStamp, std::vector<unsigned char> *message, void *self);
    void received(double timeStamp, const std::vector<unsigned char> &message);

    bool openInput(const QString &portName);
    bool openOutput(const QString &portName);
    // Whether the port the output was connected to is still offered under its full name.
    bool outputPresent();

    Api m_api;
    // Declared before the ports, so it outlives the input thread that appends to it.
    MidiBytePipe m_pipe;
    std::unique_ptr<RtMidiIn> m_in;
    std::unique_ptr<RtMidiOut> m_out;
    // The full name, as reported, of the port m_out is connected to.
    QString m_outputName;
    // Set once that port was found gone. The connection went with it and is not remade for a
    // port that appears later under the same name, so sending fails until the next connect.
    bool m_outputGone = false;
    // Set by RtMidi's error callback while sendSysex runs.
    std::atomic<bool> m_sendFailed{false};
};
