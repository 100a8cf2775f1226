#include "patchcommand.h"

#include <utility>

namespace {

constexpr int renameCommandId = 1;
constexpr int unrequestedPatchCommandId = 2;

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
