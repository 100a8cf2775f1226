#include "jacklister.h"

#ifdef VELLICHORD_HAVE_JACK
#include "jackcall.h"
#include "rtmidiapi.h"

#include <jack/jack.h>

namespace {

void noteShutdown(jack_status_t, const char *, void *gone)
{
    static_cast<std::atomic<bool> *>(gone)->store(true);
}

} // namespace
#endif

JackLister::JackLister(const char *clientName)
    : clientName(clientName)
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
    // The client of a server that has gone is closed at once, before anything is opened again
    // (see ports).
    if (serverGone.load()) {
        jack_client_close(closed);
        return true;
    }
    JackCall call([closed] {
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

QStringList JackLister::ports(unsigned long flags)
{
    QStringList names;
#ifdef VELLICHORD_HAVE_JACK
    // Closed before anything is opened again: libjack 1.9 frees the clients of a stopped server
    // when another is opened, and a later close of one of them crashes.
    if (client && serverGone.load()) {
        jack_client_close(client);
        client = nullptr;
    }
    if (!client) {
        // An open the server has not answered yet is waited for once, then only looked at:
        // a stalled server holds up no caller beyond the limit, however often it asks.
        if (!opening)
            opening = std::make_shared<JackClientOpen>(clientName.constData());
        serverStalled = !opening->wait(serverStalled ? 0 : limitMs);
        if (serverStalled)
            return names;
        client = opening->take();
        opening.reset();
        if (!client)
            return names;
        serverGone.store(false);
        jack_on_info_shutdown(client, &noteShutdown, &serverGone);
    }
    const char **found = jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, flags);
    for (const char **port = found; port && *port; ++port)
        names << QString::fromUtf8(*port);
    jack_free(found);
#else
    (void)flags;
#endif
    return names;
}
