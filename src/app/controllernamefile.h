#pragma once

#include <QString>

// The file that names the 128 MIDI controllers for the editor's lists.
inline const QString controllerNameFileName = QStringLiteral("Midi-CC-list.txt");

// Where the controller names are read from: beside the executable first, so that a build
// folder and a Windows install keep their own copy; then the application's data folders, the
// user's before the system's (on Linux ~/.local/share/vellichord, then
// /usr/local/share/vellichord and /usr/share/vellichord). Empty when there is none.
QString findControllerNameFile();

// The folders findControllerNameFile looks in, in order, for messages.
QStringList controllerNameFolders();
