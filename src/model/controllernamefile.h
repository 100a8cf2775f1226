#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The file that names the 128 MIDI controllers for the editor's lists.
inline const QString controllerNameFileName = QStringLiteral("Midi-CC-list.txt");

// Where the controller names are read from: beside the executable first, so that a build
// folder and a Windows install keep their own copy; then the application's data folders, the
// user's before the system's (on Linux ~/.local/share/vellichord, then
// /usr/local/share/vellichord and /usr/share/vellichord). Empty when there is none.
QString findControllerNameFile();

// The folders findControllerNameFile looks in, in order, for messages.
QStringList controllerNameFolders();

// The controller names of the name file findControllerNameFile finds, line n naming controller
// n: at most 128 lines of at most 64 characters each (a longer name is cut and ends in "…"),
// read as UTF-8 or, when the file is no valid UTF-8, in the system's 8-bit encoding. Without a
// file, warns where it looked and gives nothing.
std::optional<QStringList> readControllerNames();
