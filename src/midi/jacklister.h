#pragma once

#include <QByteArray>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include "jackcall.h"

typedef struct _jack_client jack_client_t;

// The function a watcher gave to be told that the server's ports changed. Called on libjack's
// notification thread; shared by the clients that call it, since a client left to close under
// a stalled server may outlive the port that opened it.
class JackNotice
{
public:
    void set(std::function<void()> changed);
    void post();

private:
    std::mutex mutex;
    std::function<void()> changed;
};

// Lists the JACK server's MIDI ports, through a client of its own that has no process
// callback: the server never wakes it for its cycles, whereas an RtMidi client runs in every
// cycle. Once watch() activated it, libjack's notification thread posts the notice when ports
// come, go or are connected, and when the server stops; nothing else wakes it.
// Without a server it lists nothing and tries again at the next call; a server that stops is
// left behind, and the next call looks for a new one. A stalled server (one that answers
// nothing) is waited for once up to a limit; until it answers, later calls list nothing at once.
// The client opened before a server stalled goes on listing the ports the server had then.
class JackLister
{
public:
    // notice, when given, is posted on the changes that watch() asks for.
    explicit JackLister(const char *clientName, std::shared_ptr<JackNotice> notice = {});
    ~JackLister();
    JackLister(const JackLister &) = delete;
    JackLister &operator=(const JackLister &) = delete;

    // Whether the program was built with libjack; without it the lister lists nothing.
    static bool available();

    // Full port names ("client:port"), as RtMidi reports them.
    QStringList destinations();
    // The same for the ports that can be received from.
    QStringList sources();

    // Activates the client, opening it first when needed, so that the notice is posted from
    // now on. False without a server, under a stalled one, or after the server stopped (the
    // notice was posted then): the next call tries again.
    bool watch();

    // How long a call waits at most for a server that does not answer, in ms.
    void setWaitLimit(int ms);
    // Whether the server did not answer the last call's open within the limit.
    bool serverStalledNow() const;
    // Takes the server for stalled, as if it had not answered: the next call does not wait.
    void assumeStalled();
    // Closes the client, waiting at most the limit for the server. False when the server did
    // not answer in time: it is stalled, and the client is closed once it answers.
    bool close();

    // What libjack's callbacks of one client reach; shared with a close left to finish later.
    struct Hooks
    {
        // Set by libjack when the server has gone; the client is dead then.
        std::atomic<bool> serverGone{false};
        std::shared_ptr<JackNotice> notice;
    };

private:
    QStringList ports(unsigned long flags);
    // Opens the client unless it is open; false when there is none.
    bool open();

    QByteArray clientName;
    std::shared_ptr<JackNotice> notice;
    jack_client_t *client = nullptr;
    std::shared_ptr<Hooks> hooks;
    bool active = false;
    // An open of the client not yet answered by the server. Shared, so that a build without
    // libjack, which never makes one, needs none of its code.
    std::shared_ptr<JackClientOpen> opening;
    int limitMs = JackCall::defaultLimitMs;
    bool serverStalled = false;
};
