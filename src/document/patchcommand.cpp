#include "patchcommand.h"

#include "controlnames.h"
#include "controltable.h"
#include "parametertext.h"
#include "patchlayout.h"

#include <QCoreApplication>
#include <QStringList>

#include <algorithm>

#include <utility>

namespace {

constexpr int renameCommandId = 1;
constexpr int unrequestedPatchCommandId = 2;

bool byteDiffers(const QByteArray &a, const QByteArray &b, unsigned int address)
{
    const int i = int(address);
    return i < a.size() && i < b.size() && a.at(i) != b.at(i);
}

} // namespace

PatchCommand::PatchCommand(Apply apply, QByteArray before, QByteArray after, const QString &text,
                           int burst)
    : QUndoCommand(text)
    , apply(std::move(apply))
    , before(std::move(before))
    , after(std::move(after))
    , burst(burst)
{
}

void PatchCommand::undo()
{
    apply(before);
    applied = false;
}

void PatchCommand::redo()
{
    // The first redo comes from QUndoStack::push, after the user's action has made the change.
    if (!applied)
        apply(after);
    applied = true;
}

int PatchCommand::id() const
{
    if (arrival >= 0)
        return unrequestedPatchCommandId;
    return burst < 0 ? -1 : renameCommandId;
}

bool PatchCommand::mergeWith(const QUndoCommand *other)
{
    const auto *next = static_cast<const PatchCommand *>(other);
    if (arrival >= 0) {
        if (next->arrival - arrival > unrequestedBurstMs)
            return false;
        arrival = next->arrival;
    } else if (next->burst != burst) {
        return false;
    }
    after = next->after;
    // Typing back to the name of before, or a device sending back its first patch, leaves
    // nothing to undo.
    setObsolete(after == before);
    return true;
}

QList<int> changedControls(const ControlTable &table, const QByteArray &a, const QByteArray &b)
{
    QList<int> changed;
    for (int i = 0; i < ControlTable::count; ++i) {
        for (const ControlParameter &p : table.at(i)->parameters()) {
            if (byteDiffers(a, b, p.address())) {
                changed << i;
                break;
            }
        }
    }
    return changed;
}

QString describePatchChange(const ControlTable &table, const QByteArray &before,
                            const QByteArray &after, const QList<int> &selected)
{
    QList<unsigned int> ids;
    const QList<int> changed = changedControls(table, before, after);
    for (int i : changed) {
        for (const ControlParameter &p : table.at(i)->parameters()) {
            if (byteDiffers(before, after, p.address()) && !ids.contains(p.id()))
                ids << p.id();
        }
    }
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
