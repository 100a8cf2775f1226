#include "platformmidi.h"

#ifdef _WIN32
#include "windowsmidi.h"
#else
#include "rtmidiapi.h"
#include "rtmidiport.h"
#ifdef VELLICHORD_HAVE_JACK
#include "jackport.h"
#endif
#endif

std::unique_ptr<IMidi> make_platform_midi()
{
#ifdef _WIN32
    return std::make_unique<WindowsMidi>();
#else
#ifdef VELLICHORD_HAVE_JACK
    // RtMidi's JACK ports take a client per direction, each woken in every cycle, and gather a
    // SysEx message without limit; the port of our own does neither.
    if (system_midi_api(false) == RtMidi::UNIX_JACK)
        return std::make_unique<JackPort>();
#endif
    return std::make_unique<RtMidiPort>();
#endif
}
