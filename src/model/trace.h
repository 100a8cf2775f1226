#pragma once

#include <QLoggingCategory>

// The editor's trace lines (messages in hex, protocol steps, selection changes): quiet unless
// --verbose or QT_LOGGING_RULES="vellichord.debug=true" turns them on. Warnings that the user
// needs go out uncategorised with qWarning and are always shown.
Q_DECLARE_LOGGING_CATEGORY(lcTrace)
