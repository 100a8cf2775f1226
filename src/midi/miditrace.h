#pragma once

#include <QLoggingCategory>

// The MIDI layer's trace lines. The category is the editor's own ("vellichord"), declared here
// as well so that the MIDI code needs nothing from the layers above it.
Q_DECLARE_LOGGING_CATEGORY(lcMidiTrace)
