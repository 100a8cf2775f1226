#include "jacklister.h"

#ifdef VELLICHORD_HAVE_JACK
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
}

JackLister::~JackLister()
{
#ifdef VELLICHORD_HAVE_JACK
    if (client)
        jack_client_close(client);
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
        serverGone.store(false);
        client = jack_client_open(clientName.constData(), JackNoStartServer, nullptr);
        if (!client)
            return names;
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
