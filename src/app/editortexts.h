#pragma once

#include <QString>

// Shown by an editor for a parameter whose value differs among the selected controls.
inline const QString multiValueText = QStringLiteral("<multi>");

// What the patch file dialogs offer; a name saved without a suffix gets patchFileSuffix.
inline const QString patchFileFilters = QStringLiteral("Patch files (*.syx);;All files (*)");
inline const QString patchFileSuffix = QStringLiteral("syx");
