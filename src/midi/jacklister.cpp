#include "jacklister.h"

#ifdef VELLICHORD_HAVE_JACK
#include "jackcall.h"
#include "rtmidiapi.h"

#include <jack/jack.h>

namespace {

void noteShutdown(jack_status_t, const char *, void *arg)
{
    auto *hooks = static_cast<JackLister::Hooks *>(arg);
    hooks->serverGone.store(true);
    if (hooks->notice)
        hooks->notice->post();
}

void notePortRegistration(jack_port_id_t, int, void *arg)
{
    static_cast<JackLister::Hooks *>(arg)->notice->post();
}

void notePortConnect(jack_port_id_t, jack_port_id_t, int, void *arg)
{
    static_cast<JackLister::Hooks *>(arg)->notice->post();
}

} // namespace
#endif

void JackNotice::set(std::function<void()> function)
{
    const std::lock_guard<std::mutex> lock(mutex);
    changed = std::move(function);
}

void JackNotice::post()
{
    const std::lock_guard<std::mutex> lock(mutex);
    if (changed)
        changed();
}

JackLister::JackLister(const char *clientName, std::shared_ptr<JackNotice> notice)
    : clientName(clientName)
    , notice(std::move(notice))
{
#ifdef VELLICHORD_HAVE_JACK
    route_midi_system_messages();
#endif
}

JackLister::~JackLister()
{
    close();
}

bool JackLister::close()
{
    opening.reset();
#ifdef VELLICHORD_HAVE_JACK
    if (!client)
        return true;
    jack_client_t *closed = client;
    client = nullptr;
    active = false;
    std::shared_ptr<Hooks> closedHooks = std::move(hooks);
    // The client of a server that has gone is closed at once, before anything is opened again
    // (see ports).
    if (closedHooks->serverGone.load()) {
        jack_client_close(closed);
        return true;
    }
    JackCall call([closed, closedHooks] {
        set_midi_system_quiet(true);
        jack_client_close(closed);
    });
    return call.wait(limitMs) || !call.giveUp();
#else
    return true;
#endif
}

bool JackLister::available()
{
#ifdef VELLICHORD_HAVE_JACK
    return true;
#else
    return false;
#endif
}

QStringList JackLister::destinations()
{
#ifdef VELLICHORD_HAVE_JACK
    return ports(JackPortIsInput);
#else
    return {};
#endif
}

QStringList JackLister::sources()
{
#ifdef VELLICHORD_HAVE_JACK
    return ports(JackPortIsOutput);
#else
    return {};
#endif
}

void JackLister::setWaitLimit(int ms)
{
    limitMs = ms;
}

bool JackLister::serverStalledNow() const
{
    return serverStalled;
}

void JackLister::assumeStalled()
{
    serverStalled = true;
}

bool JackLister::open()
{
#ifdef VELLICHORD_HAVE_JACK
    // Closed before anything is opened again: libjack 1.9 frees the clients of a stopped server
    // when another is opened, and a later close of one of them crashes.
    if (client && hooks->serverGone.load()) {
        jack_client_close(client);
        client = nullptr;
        active = false;
        hooks.reset();
    }
    if (!client) {
        // An open the server has not answered yet is waited for once, then only looked at:
        // a stalled server holds up no caller beyond the limit, however often it asks.
        if (!opening)
            opening = std::make_shared<JackClientOpen>(clientName.constData());
        serverStalled = !opening->wait(serverStalled ? 0 : limitMs);
        if (serverStalled)
            return false;
        client = opening->take();
        opening.reset();
        if (!client)
            return false;
        hooks = std::make_shared<Hooks>();
        hooks->notice = notice;
        // Callbacks are set before any activation; they run only once watch() activated.
        jack_on_info_shutdown(client, &noteShutdown, hooks.get());
        if (notice) {
            jack_set_port_registration_callback(client, &notePortRegistration, hooks.get());
            jack_set_port_connect_callback(client, &notePortConnect, hooks.get());
        }
    }
    return true;
#else
    return false;
#endif
}

bool JackLister::watch()
{
#ifdef VELLICHORD_HAVE_JACK
    if (!open())
        return false;
    if (active)
        return true;
    // No process callback: the server does not wake the client in its cycles, only its
    // notification thread wakes when something changes.
    jack_client_t *activated = client;
    auto done = std::make_shared<bool>(false);
    JackCall call([activated, done] { *done = jack_activate(activated) == 0; },
                  [activated, kept = hooks] {
                      set_midi_system_quiet(true);
                      jack_client_close(activated);
                  });
    if (!call.wait(limitMs) && call.giveUp()) {
        // The call closes the client once the server answers.
        client = nullptr;
        hooks.reset();
        serverStalled = true;
        return false;
    }
    active = *done;
    return active && !hooks->serverGone.load();
#else
    return false;
#endif
}

QStringList JackLister::ports(unsigned long flags)
{
    QStringList names;
#ifdef VELLICHORD_HAVE_JACK
    if (!open())
        return names;
    const char **found = jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, flags);
    for (const char **port = found; port && *port; ++port)
        names << QString::fromUtf8(*port);
    jack_free(found);
#else
    (void)flags;
#endif
    return names;
}
