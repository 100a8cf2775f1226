#include "trace.h"

Q_LOGGING_CATEGORY(lcTrace, "vellichord", QtInfoMsg)
