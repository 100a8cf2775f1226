#pragma once

#include <QLocale>
#include <QStringList>

class QCoreApplication;

// Where the editor's translations (vellichord_de.qm, ...) are looked for, in this order:
// "translations" beside the executable (the build folder, Windows), then the data folders
// (~/.local/share/vellichord/translations, /usr/share/vellichord/translations).
QStringList translationFolders();

// Installs on app Qt's own translation for locale (the standard dialogs' buttons) and the
// editor's from the first of folders that has one, replacing those an earlier call installed.
// Returns the editor's translation file, or an empty string when there is none for the locale
// (English needs none). Texts made before the call keep their language.
QString installTranslations(QCoreApplication &app, const QLocale &locale,
                            const QStringList &folders = translationFolders());
