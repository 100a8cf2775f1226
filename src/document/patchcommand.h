#pragma once

#include "patchcompare.h"

#include <QByteArray>
#include <QString>
#include <QUndoCommand>

#include <functional>

// One undo step: the whole patch as a Type 1 message before and after the user's action, so
// that undo and redo give back the exact bytes whatever the action touched. The change is
// already made when the step is pushed; only later redos apply it.
class PatchCommand : public QUndoCommand
{
public:
    using Apply = std::function<void(const QByteArray &)>;

    // Patches the device sent unasked that arrive at most this long after the one before are
    // one step.
    static constexpr qint64 unrequestedBurstMs = 1000;

    // Steps of the same burst (>= 0) merge into one; -1 never merges.
    PatchCommand(Apply apply, QByteArray before, QByteArray after, const QString &text,
                 int burst = -1);

    // Makes this the step of a patch the device sent unasked, arrived at arrivedMs on a
    // monotonic clock: it merges with the step of the next such patch that follows within
    // unrequestedBurstMs.
    void setUnrequestedArrival(qint64 arrivedMs) { arrival = arrivedMs; }

    void undo() override;
    void redo() override;
    int id() const override;
    bool mergeWith(const QUndoCommand *other) override;

    const QByteArray &patchBefore() const { return before; }
    const QByteArray &patchAfter() const { return after; }

private:
    Apply apply;
    QByteArray before;
    QByteArray after;
    int burst;
    qint64 arrival = -1; // of the latest patch merged in; -1: not an unrequested patch
    bool applied = true;
};
