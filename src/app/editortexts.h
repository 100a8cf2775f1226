#pragma once

#include <QString>

// Shown by an editor for a parameter whose value differs among the selected controls.
inline const QString multiValueText = QStringLiteral("<multi>");

// Titles of the context menu's submenus; a chosen entry is applied by its submenu's title.
inline const QString menuTitleChannel = QStringLiteral("Channel");
inline const QString menuTitleCC = QStringLiteral("CC");
inline const QString menuTitleCCX = QStringLiteral("CCX");
inline const QString menuTitleCCY = QStringLiteral("CCY");
inline const QString menuTitleType = QStringLiteral("Type");
inline const QString menuTitleMode = QStringLiteral("Mode");
inline const QString menuTitleAftertouch = QStringLiteral("Aftertouch");
inline const QString menuTitleColour = QStringLiteral("Color");
inline const QString menuTitleColourFn = QStringLiteral("Color Fn");

// What the patch file dialogs offer; a name saved without a suffix gets patchFileSuffix.
inline const QString patchFileFilters = QStringLiteral("Patch files (*.syx);;All files (*)");
inline const QString patchFileSuffix = QStringLiteral("syx");
