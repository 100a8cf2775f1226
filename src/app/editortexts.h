#pragma once

#include <QString>

// Shown by an editor for a parameter whose value differs among the selected controls.
inline const QString multiValueText = QStringLiteral("<multi>");
