#include "rtmidiapi.h"

#include <QFileInfo>

#ifdef VELLICHORD_HAVE_JACK
#include <jack/jack.h>

#include <cstdio>
#include <mutex>

namespace {

thread_local bool jackQuiet = false;

// Prints as libjack's own default does, unless the thread asked for quiet.
void printJackError(const char *text)
{
    if (jackQuiet)
        return;
    std::fprintf(stderr, "%s\n", text);
    std::fflush(stderr);
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

bool set_midi_system_quiet(bool quiet)
{
#ifdef VELLICHORD_HAVE_JACK
    static std::once_flag installed;
    std::call_once(installed, [] { jack_set_error_function(&printJackError); });
    const bool before = jackQuiet;
    jackQuiet = quiet;
    return before;
#else
    (void)quiet;
    return false;
#endif
}
