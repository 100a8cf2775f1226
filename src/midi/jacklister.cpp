#include "jacklister.h"

#ifdef VELLICHORD_HAVE_JACK
#include <jack/jack.h>
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
    QStringList names;
#ifdef VELLICHORD_HAVE_JACK
    if (!client)
        client = jack_client_open(clientName.constData(), JackNoStartServer, nullptr);
    if (!client)
        return names;
    const char **ports = jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput);
    for (const char **port = ports; port && *port; ++port)
        names << QString::fromUtf8(*port);
    jack_free(ports);
#endif
    return names;
}
