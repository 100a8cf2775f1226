#pragma once

#include <QByteArray>
#include <QStringList>

#include <atomic>

typedef struct _jack_client jack_client_t;

// Lists the JACK server's MIDI ports, through a client of its own that is
// never activated: the server never wakes it, whereas an RtMidi client runs in every cycle.
// Without a server it lists nothing and tries again at the next call; a server that stops is
// left behind, and the next call looks for a new one.
class JackLister
{
public:
    explicit JackLister(const char *clientName);
    ~JackLister();
    JackLister(const JackLister &) = delete;
    JackLister &operator=(const JackLister &) = delete;

    // Whether the program was built with libjack; without it the lister lists nothing.
    static bool available();

    // Full port names ("client:port"), as RtMidi reports them.
    QStringList destinations();
    // The same for the ports that can be received from.
    QStringList sources();

private:
    QStringList ports(unsigned long flags);

    QByteArray clientName;
    jack_client_t *client = nullptr;
    // Set by libjack when the server has gone; the client is dead then.
    std::atomic<bool> serverGone{false};
};
