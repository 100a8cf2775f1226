#pragma once

#include "imidi.h"

#include <memory>

// The MIDI port of the platform the program was built for: winmm on Windows, RtMidi elsewhere.
std::unique_ptr<IMidi> make_platform_midi();
