#include "numberingplan.h"

#include "controlnames.h"
#include "controlplacement.h"
#include "controltable.h"
#include "readingorder.h"

#include <QCoreApplication>
#include <QRectF>

#include <algorithm>

namespace Numbering {

QList<int> arrange(const QList<int> &controls, Order order)
{
    QList<int> valid;
    for (int control : controls) {
        if (control >= 0 && control < ControlTable::count && !valid.contains(control))
            valid << control;
    }
    if (order == Order::Selection)
        return valid;

    QList<QRectF> rects;
    for (int control : qAsConst(valid))
        rects << QRectF(controlRects.at(control));
    QList<QList<int>> rows = ReadingOrder::rows(rects);
    if (order == Order::RowsFromBottom)
        std::reverse(rows.begin(), rows.end());
    QList<int> arranged;
    for (const QList<int> &row : qAsConst(rows)) {
        for (int i : row)
            arranged << valid.at(i);
    }
    return arranged;
}

namespace {

QString outOfRange(int control, int value)
{
    return QCoreApplication::translate("Numbering",
                                       "%1 would get number %2, outside 0 to 127. Nothing was "
                                       "changed: choose a lower start or a smaller step.")
        .arg(ControlNames::name(control))
        .arg(value);
}

QString noNumber()
{
    return QCoreApplication::translate(
        "Numbering", "None of the selected controls has a note or controller number.");
}

} // namespace

QStringList longestProblems()
{
    // A number first past the range lies from -127 (start 0, step -127) to 254.
    int longestName = 0;
    for (int control = 1; control < ControlTable::count; ++control) {
        if (ControlNames::name(control).size() > ControlNames::name(longestName).size())
            longestName = control;
    }
    return {outOfRange(longestName, -127), noNumber()};
}

Plan plan(const ControlTable &table, const QList<int> &controls, int start, int step, Order order)
{
    Plan result;
    int value = start;
    for (int control : arrange(controls, order)) {
        const MidiControlModel *model = table.at(control);
        ParameterId id;
        if (model->getValue(NoteOrCC, nullptr))
            id = NoteOrCC;
        else if (model->getValue(CC, nullptr))
            id = CC;
        else
            continue;
        if (value < 0 || value > 127) {
            result.assignments.clear();
            result.problem = outOfRange(control, value);
            return result;
        }
        result.assignments.append({control, id, value});
        value += step;
    }
    if (result.assignments.isEmpty())
        result.problem = noNumber();
    return result;
}

} // namespace Numbering
