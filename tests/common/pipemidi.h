#pragma once

#include "imidi.h"
#include "midibytepipe.h"
#include "mididatawait.h"

// A port with no MIDI system behind it: the test appends "received" bytes to pipe() from any
// thread, as a platform input thread would. The monitor has to poll it.
class PipeMidi : public IMidi
{
public:
    explicit PipeMidi(unsigned int capacity = MidiBytePipe::defaultCapacity)
        : bytePipe(capacity)
    {
    }

    bool connect(const char *) override { return true; }
    void disconnect() override {}
    int read(unsigned char *buffer, unsigned int capacity) override
    {
        return bytePipe.read(buffer, capacity);
    }
    bool dataAvailable() override { return bytePipe.dataAvailable(); }
    int sendSysex(unsigned char *, unsigned int) override { return 0; }
    std::string connectedName() const override { return "Pipe"; }
    std::string systemName() const override { return "Pipe"; }
    bool connectionAlive() override { return true; }
    bool portPresent(const char *) override { return true; }

    MidiBytePipe &pipe() { return bytePipe; }

private:
    MidiBytePipe bytePipe;
};

// The same port that wakes the monitor as input arrives, as the platform ports do.
class WakingPipeMidi : public PipeMidi, public MidiDataWait
{
public:
    using PipeMidi::PipeMidi;
    bool waitForData(unsigned long msecs) override { return pipe().waitForData(msecs); }
    void wakeWaiter() override { pipe().wakeWaiter(); }
};
