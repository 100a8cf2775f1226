#pragma once

#include <QString>

class QWidget;

// The dialogs that pick a patch file: they offer patch files (*.syx) and all files, and a name
// saved without a suffix gets ".syx".
namespace PatchFileDialog {

// The file to read, empty when the user cancelled.
QString askToOpen(QWidget *parent, const QString &folder);
// The file to write, with its suffix; the dialog has asked before replacing a file. Empty when
// the user cancelled.
QString askToSave(QWidget *parent, const QString &folder);
// The same for a library file, the patches of up to twenty presets.
QString askToOpenLibrary(QWidget *parent, const QString &folder);
QString askToSaveLibrary(QWidget *parent, const QString &folder);

} // namespace PatchFileDialog
