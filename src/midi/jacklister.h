#pragma once

#include <QByteArray>
#include <QStringList>

#include <atomic>
#include <memory>

#include "jackcall.h"

typedef struct _jack_client jack_client_t;

// Lists the JACK server's MIDI ports, through a client of its own that is
// never activated: the server never wakes it, whereas an RtMidi client runs in every cycle.
// Without a server it lists nothing and tries again at the next call; a server that stops is
// left behind, and the next call looks for a new one. A stalled server (one that answers
// nothing) is waited for once up to a limit; until it answers, later calls list nothing at once.
// The client opened before a server stalled goes on listing the ports the server had then.
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

    // How long a call waits at most for a server that does not answer, in ms.
    void setWaitLimit(int ms);
    // Whether the server did not answer the last call's open within the limit.
    bool serverStalledNow() const;
    // Takes the server for stalled, as if it had not answered: the next call does not wait.
    void assumeStalled();
    // Closes the client, waiting at most the limit for the server. False when the server did
    // not answer in time: it is stalled, and the client is closed once it answers.
    bool close();

private:
    QStringList ports(unsigned long flags);

    QByteArray clientName;
    jack_client_t *client = nullptr;
    // Set by libjack when the server has gone; the client is dead then.
    std::atomic<bool> serverGone{false};
    // An open of the client not yet answered by the server. Shared, so that a build without
    // libjack, which never makes one, needs none of its code.
    std::shared_ptr<JackClientOpen> opening;
    int limitMs = JackCall::defaultLimitMs;
    bool serverStalled = false;
};
