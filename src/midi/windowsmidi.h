#pragma once

#include "imidi.h"
#include "mididatawait.h"

// The MIDI port on the Windows multimedia API (winmm). The port state lives in the module,
// because winmm's input callback gets no object, so one WindowsMidi is in use at a time.
class WindowsMidi : public IMidi, public MidiDataWait
{
public:
    // Initialises COM for the calling thread; the destructor closes the ports and undoes it.
    WindowsMidi();
    ~WindowsMidi() override;
    WindowsMidi(const WindowsMidi &) = delete;
    WindowsMidi &operator=(const WindowsMidi &) = delete;

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
    bool portPresent(const char *portName) override;
    std::vector<ListedPort> listPorts() override;

private:
    // Whether the constructor's COM initialisation succeeded and has to be balanced.
    bool m_comInitialised = false;
};
