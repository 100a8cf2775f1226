#include "miditrace.h"

Q_LOGGING_CATEGORY(lcMidiTrace, "vellichord", QtInfoMsg)
