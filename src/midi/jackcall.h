#pragma once

#include <functional>
#include <memory>

typedef struct _jack_client jack_client_t;

// A call to the JACK server that may never return. A server that was stopped (SIGSTOP) rather
// than killed answers no request of any client, and libjack has no time limit of its own: the
// call runs on a thread of its own, and the caller waits for it only as long as it chooses.
// A call given up on goes on alone; once it returns, its thread runs the clean-up it was given
// (closes the client it opened, frees what it used) and ends. While the server stays stopped
// the thread and what it holds stay too, until the program exits: that is deliberate, since a
// client with a request under way cannot be closed, and freeing what the request uses would
// crash it should the server go on.
class JackCall
{
public:
    // How long a caller waits for the server unless told otherwise. Far beyond what a running
    // server takes, even a busy one.
    static constexpr int defaultLimitMs = 2000;

    // Starts call at once; ifGivenUp runs after it, on its thread, when it was given up on.
    explicit JackCall(std::function<void()> call, std::function<void()> ifGivenUp = {});
    // Gives the call up unless it has returned.
    ~JackCall();
    JackCall(const JackCall &) = delete;
    JackCall &operator=(const JackCall &) = delete;

    // Waits at most ms for the call; true once it has returned.
    bool wait(int ms);
    // Leaves the call to its thread. False when it has returned already: the caller cleans up.
    bool giveUp();

private:
    struct State;
    std::shared_ptr<State> state;
};

// jack_client_open (never starting a server) as a JackCall. libjack's messages are not shown.
class JackClientOpen
{
public:
    explicit JackClientOpen(const char *clientName);
    // Closes a client that was opened but not taken; one still opening is given up.
    ~JackClientOpen();
    JackClientOpen(const JackClientOpen &) = delete;
    JackClientOpen &operator=(const JackClientOpen &) = delete;

    // Waits at most ms for the server's answer; true once it came.
    bool wait(int ms) { return call.wait(ms); }
    // Once wait said true: the client, from now on the caller's to close, or null when the
    // server did not take it (or none runs).
    jack_client_t *take();

private:
    std::shared_ptr<jack_client_t *> client;
    JackCall call;
};
