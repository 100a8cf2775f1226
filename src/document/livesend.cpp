#include "livesend.h"

#include "patchdocument.h"

#include <algorithm>

LiveSend::LiveSend(PatchDocument *document, QObject *parent)
    : QObject(parent)
    , document(document)
    , watched(document->patch())
{
    timer.setSingleShot(true);
    // A coarse timer may fire up to 5% early, closer to the last send than gapMs.
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, this, &LiveSend::sendNow);
    // Every change of the editor's patch and of the device-known one comes by here.
    connect(document, &PatchDocument::unsentChanged, this, &LiveSend::patchMayHaveChanged);
}

void LiveSend::setOn(bool turnOn)
{
    if (on == turnOn)
        return;
    on = turnOn;
    watched = document->patch();
    if (!on)
        timer.stop();
    emit switched(on);
}

void LiveSend::patchMayHaveChanged()
{
    // Only a change of the editor's patch is sent: a patch the device sent meanwhile (kept
    // beside unsent changes) is not overwritten for being different.
    const QByteArray now = document->patch();
    if (now == watched)
        return;
    watched = now;
    if (!on || !document->hasUnsentChanges() || timer.isActive())
        return;
    const qint64 since = sinceSend.isValid() ? sinceSend.elapsed() : qint64(gapMs);
    timer.start(int(std::max<qint64>(0, gapMs - since)));
}

void LiveSend::sendNow()
{
    // A patch from the device may have made the editor's the device's meanwhile.
    if (!on || !document->hasUnsentChanges())
        return;
    if (document->portBusy()) {
        timer.start(busyRetryMs);
        return;
    }
    QString why;
    if (!document->sendPatch(&why)) {
        setOn(false);
        emit statusMessage(tr("Send Changes as You Edit is off: %1").arg(why));
        return;
    }
    ++sent;
    sinceSend.start();
}
