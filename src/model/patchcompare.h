#pragma once

#include "parameterid.h"

#include <QByteArray>
#include <QList>
#include <QString>

class ControlTable;

// What differs between two patch messages (Type 1 or Type 2, of the same layout): the one
// comparison behind the unsent marks, the undo texts, `vellichord diff` and `vellichord set`.

// A parameter whose stored byte differs.
struct ParameterDifference
{
    int control;
    ParameterId id;
    unsigned int address;
};

// The parameters whose stored bytes differ between a and b, by control and, within a control,
// by id. Bytes that no parameter owns (the name, the preset number, the X-Y pad's second
// channel byte) are not looked at.
QList<ParameterDifference> parameterDifferences(const ControlTable &table, const QByteArray &a,
                                                const QByteArray &b);

// The indices of the controls with a parameter whose byte differs, in index order.
QList<int> changedControls(const ControlTable &table, const QByteArray &a, const QByteArray &b);

// Names a change of control parameters made on the selected controls: "Set Channel on 3
// controls", "Set Color of PAD7" (every selected control having a changed parameter counts);
// "Rename preset" when only the name changed, an empty text when nothing did.
QString describePatchChange(const ControlTable &table, const QByteArray &before,
                            const QByteArray &after, const QList<int> &selected);
