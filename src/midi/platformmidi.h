#pragma once

#include "imidi.h"

#include <memory>

// The MIDI port of the platform the program was built for: winmm on Windows; elsewhere RtMidi
// on the ALSA sequencer or CoreMIDI, and libjack itself on a JACK server (RtMidi there too when
// the program was built without libjack).
std::unique_ptr<IMidi> make_platform_midi();
