#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The controls' names as printed on the device, by control index: S1..S6, F1..F10, E1..E8,
// P1..P6, STOP, PLAY, RECORD, DOWN, UP, LEFT, RIGHT, XY, XFADER, PAD1..PAD25.
namespace ControlNames {

// The name of the control at index, or an empty string outside 0..63.
QString name(int index);

// The index of the control with this name (any letter case), or -1 for no such control.
int indexOf(const QString &name);

// The index of the control named text (any letter case) or given by its index 0..63 in
// decimal; -1 when there is no such control, *error (when given) then saying why and suggesting
// the nearest name.
int parse(const QString &text, QString *error = nullptr);

// All 64 names in index order.
QStringList all();

// A short description of a set of controls, in index order: the names joined by ", " for up
// to listedUpTo controls ("E1, E2, E3"), the count beyond that ("12 controls"), and an empty
// string for none. Unknown indices and repeats are ignored.
QString describe(QList<int> indices, int listedUpTo = 3);

} // namespace ControlNames
