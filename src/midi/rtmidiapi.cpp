#include "rtmidiapi.h"

#include <QFileInfo>

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
