#pragma once

#include "parameterid.h"

#include <QList>
#include <QString>
#include <QStringList>

class ControlTable;

// Giving a set of controls consecutive note or controller numbers, as a grid of drum pads is
// laid out in one step.
namespace Numbering {

enum class Order {
    Selection,      // in the order the controls were selected
    RowsFromTop,    // row by row from the top, each row left to right
    RowsFromBottom, // row by row from the bottom, each row left to right (drum pad layout)
};

// The controls in that order; rows are those of ReadingOrder::rows.
QList<int> arrange(const QList<int> &controls, Order order);

struct Assignment
{
    int control;
    ParameterId id; // NoteOrCC for pads and buttons, CC for sliders, knobs and the crossfader
    int value;
};

struct Plan
{
    QList<Assignment> assignments;
    QString problem; // why nothing may be set; empty when the plan can be applied
};

// The numbers start, start + step, ... for the controls in order. Controls without a number
// of their own (the X-Y pad) take none. A number outside 0..127 refuses the whole plan.
Plan plan(const ControlTable &table, const QList<int> &controls, int start, int step, Order order);

// The longest of each kind of problem a plan can have, for keeping room for them.
QStringList longestProblems();

} // namespace Numbering
