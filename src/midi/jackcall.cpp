#include "jackcall.h"

#include "rtmidiapi.h"

#include <jack/jack.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

struct JackCall::State
{
    std::function<void()> call;
    std::function<void()> ifGivenUp;
    std::mutex mutex;
    std::condition_variable returned;
    bool done = false;
    bool givenUp = false;
};

JackCall::JackCall(std::function<void()> call, std::function<void()> ifGivenUp)
    : state(std::make_shared<State>())
{
    state->call = std::move(call);
    state->ifGivenUp = std::move(ifGivenUp);
    std::thread([state = state] {
        state->call();
        bool cleanUp = false;
        {
            const std::lock_guard<std::mutex> lock(state->mutex);
            state->done = true;
            cleanUp = state->givenUp;
        }
        state->returned.notify_all();
        if (cleanUp && state->ifGivenUp)
            state->ifGivenUp();
    }).detach();
}

JackCall::~JackCall()
{
    giveUp();
}

bool JackCall::wait(int ms)
{
    std::unique_lock<std::mutex> lock(state->mutex);
    return state->returned.wait_for(lock, std::chrono::milliseconds(std::max(0, ms)),
                                    [this] { return state->done; });
}

bool JackCall::giveUp()
{
    const std::lock_guard<std::mutex> lock(state->mutex);
    if (state->done)
        return false;
    state->givenUp = true;
    return true;
}

JackClientOpen::JackClientOpen(const char *clientName)
    : client(std::make_shared<jack_client_t *>(nullptr))
    , call(
          [client = client, name = std::string(clientName)] {
              // A server that is not running is no news; the caller says what it means.
              set_midi_system_quiet(true);
              *client = jack_client_open(name.c_str(), JackNoStartServer, nullptr);
          },
          [client = client] {
              if (*client)
                  jack_client_close(*client);
          })
{
}

JackClientOpen::~JackClientOpen()
{
    if (!call.giveUp() && *client)
        jack_client_close(*client);
}

jack_client_t *JackClientOpen::take()
{
    jack_client_t *taken = *client;
    *client = nullptr;
    return taken;
}
