#include "rtmidiapi.h"

#include "miditrace.h"

#include <QFileInfo>

#ifdef VELLICHORD_HAVE_JACK
#include <jack/jack.h>

#include <mutex>

namespace {

thread_local bool jackQuiet = false;

// libjack's own lines (several for one server that goes away) are traced, not printed: what
// they mean reaches the user as the program's own message. Dropped where the thread asked for
// quiet.
void traceJackMessage(const char *text)
{
    if (!jackQuiet)
        qCDebug(lcMidiTrace).noquote() << "JACK:" << text;
}

} // namespace
#endif

RtMidi::Api system_midi_api(bool jackOnly)
{
    if (jackOnly)
        return RtMidi::UNIX_JACK;
#ifdef __linux__
    // Without the sequencer device ALSA can only fail, after printing its own errors.
    return QFileInfo::exists(QStringLiteral("/dev/snd/seq")) ? RtMidi::LINUX_ALSA
                                                             : RtMidi::UNIX_JACK;
#else
    return RtMidi::UNSPECIFIED;
#endif
}

void route_midi_system_messages()
{
#ifdef VELLICHORD_HAVE_JACK
    static std::once_flag installed;
    std::call_once(installed, [] {
        jack_set_error_function(&traceJackMessage);
        jack_set_info_function(&traceJackMessage);
    });
#endif
}

bool set_midi_system_quiet(bool quiet)
{
#ifdef VELLICHORD_HAVE_JACK
    route_midi_system_messages();
    const bool before = jackQuiet;
    jackQuiet = quiet;
    return before;
#else
    (void)quiet;
    return false;
#endif
}
