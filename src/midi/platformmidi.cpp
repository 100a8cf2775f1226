#include "platformmidi.h"

#ifdef _WIN32
#include "windowsmidi.h"
#else
#include "rtmidiport.h"
#endif

std::unique_ptr<IMidi> make_platform_midi()
{
#ifdef _WIN32
    return std::make_unique<WindowsMidi>();
#else
    return std::make_unique<RtMidiPort>();
#endif
}
