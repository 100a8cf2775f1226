#pragma once

#include "imidi.h"
#include "midibytepipe.h"
#include "mididatawait.h"

#include <QString>

#include <atomic>
#include <cstddef>
#include <memory>
#include <vector>

class AlsaAnnounce;
class JackLister;
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
    void wakeWaiter() override;
    std::string connectedName() const override;
    std::string systemName() const override;
    bool connectionAlive() override;
    // Looks at the ports offered for output, which the device offers together with its
    // input ports.
    bool portPresent(const char *portName) override;
    std::vector<ListedPort> listPorts() override;
    // With the MIDI system of the last listPorts().
    bool listedPortMatches(const std::string &listed, const char *portName) const override;
    // True on the ALSA sequencer, whose announce port tells of the changes; changed is then
    // called in this thread, from its event loop. Elsewhere (JACK through RtMidi, CoreMIDI)
    // false: the caller polls.
    bool watchPorts(std::function<void()> changed) override;

    // How far the process's memory may grow while no input message ends before the input is
    // closed and opened again. RtMidi gathers a SysEx message whole, out of sight and without a
    // limit, before it hands it over; closing the input is the one thing that frees it. An
    // endless SysEx would take all memory otherwise. Looked at by connectionAlive(), which the
    // device watcher calls every second.
    // The bound is wide, so that the editor's own growth (a sanitizer build's above all) seldom
    // reopens an input that is merely idle; doing so costs at most a message in flight.
    static constexpr std::size_t defaultInputGrowthBound = 32 * 1024 * 1024;
    void setInputGrowthBound(std::size_t bytes) { m_inputGrowthBound = bytes; }

    // Whether the name RtMidi reports for a port stands for portName: the whole name, its
    // client part or its port part equals it exactly. ALSA names end in " client:port"
    // numbers, which are not part of the name.
    static bool portNameMatches(const QString &reported, const QString &portName, bool alsa);

private:
    static void inputCallback(double timeStamp, std::vector<unsigned char> *message, void *self);

    bool openInput(const QString &portName);
    // Closes and opens the input again when memory grew past the bound with no message ending.
    void boundInput();
    bool openOutput(const QString &portName);
    // Whether the port the output was connected to is still offered under its full name.
    bool outputPresent();
    // The names of the ports that can be sent to, as RtMidi reports them, taken without a
    // trace; alsa tells whether they are ALSA names. Lists through the output client while
    // connected and through a client that only lists otherwise.
    QStringList destinations(bool *alsa);

    Api m_api;
    // Declared before the ports, so it outlives the input thread that appends to it.
    MidiBytePipe m_pipe;
    std::unique_ptr<RtMidiIn> m_in;
    std::unique_ptr<RtMidiOut> m_out;
    // Clients that only list ports. On JACK the lister is never activated, so that watching
    // costs the server nothing; elsewhere (the ALSA sequencer, CoreMIDI) a listing client
    // has no thread.
    std::unique_ptr<JackLister> m_jackLister;
    std::unique_ptr<RtMidiOut> m_lister;
    std::unique_ptr<AlsaAnnounce> m_announce;
    bool m_listerFailed = false;
    // Whether listPorts() last listed ALSA names.
    bool m_listedAlsa = false;
    // The name connect() succeeded with.
    std::string m_connectedName;
    // The full name, as reported, of the port m_out is connected to.
    QString m_outputName;
    // Set once that port was found gone. The connection went with it and is not remade for a
    // port that appears later under the same name, so sending fails until the next connect.
    bool m_outputGone = false;
    std::size_t m_inputGrowthBound = defaultInputGrowthBound;
    // Messages RtMidi handed over, counted by the input callback.
    std::atomic<unsigned int> m_inputMessages{0};
    // The count and the process's resident memory when boundInput() last saw the count move.
    unsigned int m_inputMessagesSeen = 0;
    std::size_t m_memoryAtLastInput = 0;
    // Set by RtMidi's error callback while sendSysex runs.
    std::atomic<bool> m_sendFailed{false};
};
