#include "numberingplan.h"

#include "controlnames.h"
#include "controlplacement.h"
#include "controltable.h"

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

    const auto centre = [](int control) { return QRectF(controlRects.at(control)).center(); };
    std::stable_sort(valid.begin(), valid.end(),
                     [&](int a, int b) { return centre(a).y() < centre(b).y(); });
    QList<QList<int>> rows;
    for (int control : qAsConst(valid)) {
        if (!rows.isEmpty()) {
            const int first = rows.last().first();
            const qreal reach = std::min(controlRects.at(first).height(),
                                         controlRects.at(control).height())
                / 2.0;
            if (centre(control).y() - centre(first).y() < reach) {
                rows.last() << control;
                continue;
            }
        }
        rows << QList<int>{control};
    }
    if (order == Order::RowsFromBottom)
        std::reverse(rows.begin(), rows.end());
    QList<int> arranged;
    for (QList<int> &row : rows) {
        std::stable_sort(row.begin(), row.end(),
                         [&](int a, int b) { return centre(a).x() < centre(b).x(); });
        arranged << row;
    }
    return arranged;
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
            result.problem = QCoreApplication::translate(
                                 "Numbering",
                                 "%1 would get number %2, outside 0 to 127. Nothing was "
                                 "changed: choose a lower start or a smaller step.")
                                 .arg(ControlNames::name(control))
                                 .arg(value);
            return result;
        }
        result.assignments.append({control, id, value});
        value += step;
    }
    if (result.assignments.isEmpty())
        result.problem = QCoreApplication::translate(
            "Numbering", "None of the selected controls has a note or controller number.");
    return result;
}

} // namespace Numbering
