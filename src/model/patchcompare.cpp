#include "patchcompare.h"

#include "controlnames.h"
#include "controltable.h"
#include "parametertext.h"
#include "patchlayout.h"

#include <QCoreApplication>
#include <QStringList>

#include <algorithm>

QList<ParameterDifference> parameterDifferences(const ControlTable &table, const QByteArray &a,
                                                const QByteArray &b)
{
    QList<ParameterDifference> differences;
    for (int i = 0; i < ControlTable::count; ++i) {
        for (const ControlParameter &p : table.at(i)->parameters()) {
            const int address = int(p.address());
            if (address < a.size() && address < b.size() && a.at(address) != b.at(address))
                differences.append({i, ParameterId(p.id()), p.address()});
        }
    }
    return differences;
}

QList<int> changedControls(const ControlTable &table, const QByteArray &a, const QByteArray &b)
{
    QList<int> changed;
    for (const ParameterDifference &d : parameterDifferences(table, a, b)) {
        if (!changed.contains(d.control))
            changed << d.control;
    }
    return changed;
}

QString describePatchChange(const ControlTable &table, const QByteArray &before,
                            const QByteArray &after, const QList<int> &selected)
{
    QList<unsigned int> ids;
    for (const ParameterDifference &d : parameterDifferences(table, before, after)) {
        if (!ids.contains(d.id))
            ids << d.id;
    }
    const QList<int> changed = changedControls(table, before, after);
    if (ids.isEmpty()) {
        const QByteArray nameBefore = before.mid(PatchLayout::nameOffset, PatchLayout::nameLength);
        const QByteArray nameAfter = after.mid(PatchLayout::nameOffset, PatchLayout::nameLength);
        return nameBefore != nameAfter
            ? QCoreApplication::translate("PatchCommand", "Rename preset")
            : QString();
    }
    // A selected control that had the value already took part in the edit all the same.
    QList<int> controls = changed;
    for (int i : selected) {
        const MidiControlModel *model = table.at(i);
        if (!model || controls.contains(i))
            continue;
        for (unsigned int id : qAsConst(ids)) {
            if (model->getParameter(static_cast<ParameterId>(id))) {
                controls << i;
                break;
            }
        }
    }
    std::sort(ids.begin(), ids.end());
    QStringList names;
    for (unsigned int id : qAsConst(ids))
        names << ParameterText::caption(id);
    if (controls.size() == 1)
        return QCoreApplication::translate("PatchCommand", "Set %1 of %2")
            .arg(names.join(QStringLiteral(", ")), ControlNames::name(controls.first()));
    return QCoreApplication::translate("PatchCommand", "Set %1 on %2 controls")
        .arg(names.join(QStringLiteral(", ")))
        .arg(controls.size());
}
