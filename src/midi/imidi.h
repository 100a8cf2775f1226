#pragma once

#include <functional>
#include <string>
#include <vector>

// The MIDI port as the rest of the program sees it: one input and one output port that carry
// the same name. Only SysEx traffic is sent. A backend queues the bytes it receives in arrival
// order, within a bound; the input monitor drains them with read(), reassembles the SysEx
// messages and ignores the rest.
class IMidi
{
public:
    // Deleting a backend through this interface must reach the backend's destructor.
    virtual ~IMidi() = default;

    // Opens the input and the output port whose name equals portName exactly. True only when
    // both are open; otherwise nothing stays open.
    virtual bool connect(const char *portName) = 0;

    // Closes whatever is open; harmless when nothing is. Bytes already queued stay queued.
    virtual void disconnect() = 0;

    // Moves up to capacity queued bytes, oldest first, into buffer. Returns their number, 0
    // when nothing is queued or capacity is 0, or a negative value on an error, such as bytes
    // lost before the ones that come next (the queue overflowed).
    virtual int read(unsigned char *buffer, unsigned int capacity) = 0;

    // True while received bytes wait to be read. Cheap and lock-free.
    virtual bool dataAvailable() = 0;

    // Sends one complete SysEx message (F0 ... F7; the framing is neither added nor checked).
    // Returns 0 once the bytes are sent and the caller's buffer is free again, otherwise a
    // non-zero error code and nothing is sent.
    virtual int sendSysex(unsigned char *message, unsigned int count) = 0;

    // The name that the open ports were connected with; empty while nothing is open.
    virtual std::string connectedName() const = 0;

    // The MIDI system the ports belong to, as the About box names it ("ALSA", "Jack",
    // "Windows Multimedia").
    virtual std::string systemName() const = 0;

    // True while the ports are open and the device behind them is still offered by the
    // system. A device that was unplugged leaves the ports open but not alive.
    virtual bool connectionAlive() = 0;

    // Whether the system offers the device's ports under portName now, so that connect may
    // succeed. Meant to be asked often: it traces nothing and opens nothing.
    virtual bool portPresent(const char *portName) = 0;

    // True once the MIDI system itself was seen to stop under a connection (the JACK server
    // went away), until a connect succeeds again, and while it is stalled (a JACK server that
    // answers nothing), until it answers again. Sending fails meanwhile. A backend that cannot
    // tell says false.
    virtual bool midiSystemStopped() { return false; }

    // How long, in ms, a call waits at most for a MIDI system that may stall (a JACK server
    // stopped with SIGSTOP never answers); the call then fails. A backend whose calls cannot
    // stall ignores it.
    virtual void setWaitLimit(int ms) { (void)ms; }

    // Asks the backend to call changed whenever ports appear or go, connections between them
    // change or the MIDI system stops. True when it will from now on; false when it cannot now
    // (it has no such notice, or no MIDI system runs yet), and then the caller looks on its own.
    // changed may be called on any thread, also while this call runs, and more than once for
    // one change; it must only post, never call the backend. Called again, the new function
    // replaces the old one; an empty one ends the calls, and once it returns, none is under way.
    virtual bool watchPorts(std::function<void()> changed)
    {
        (void)changed;
        return false;
    }

    // A port the system offers, by the name the system reports for it, in the same 8-bit
    // encoding as connect()'s portName.
    struct ListedPort
    {
        std::string name;
        // True for a port the program can receive from, false for one it can send to.
        bool input = false;
    };
    // Every MIDI port the system offers now, inputs first. Traces nothing. A backend that
    // cannot list offers none.
    virtual std::vector<ListedPort> listPorts() { return {}; }
    // Whether connect(portName) would take the listed port (of the last listPorts()).
    virtual bool listedPortMatches(const std::string &listed, const char *portName) const
    {
        return listed == portName;
    }
};
