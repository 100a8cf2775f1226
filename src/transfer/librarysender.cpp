#include "librarysender.h"

#include "midicontroller.h"
#include "patchlayout.h"
#include "patchlibrary.h"
#include "trace.h"

#include <QCoreApplication>
#include <QStringList>

namespace {

// The tr() of the functions below.
struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(LibrarySender)
};

// "presets 0–4, 7 (6)", or "preset 3 (1)".
QString presetsText(const QList<int> &presetNos)
{
    return (presetNos.size() == 1 ? Texts::tr("preset %1 (%2)") : Texts::tr("presets %1 (%2)"))
        .arg(preset_ranges_text(presetNos))
        .arg(presetNos.size());
}

} // namespace

QString preset_ranges_text(const QList<int> &presetNos)
{
    QStringList parts;
    for (int i = 0; i < presetNos.size();) {
        int last = i;
        while (last + 1 < presetNos.size() && presetNos[last + 1] == presetNos[last] + 1)
            ++last;
        parts << (last == i ? QString::number(presetNos[i])
                            : QStringLiteral("%1\u2013%2").arg(presetNos[i]).arg(presetNos[last]));
        i = last + 1;
    }
    return parts.join(QStringLiteral(", "));
}

QString LibrarySendResult::summary() const
{
    QStringList parts;
    parts << (sent.isEmpty() ? Texts::tr("Sent no preset")
                             : Texts::tr("Sent %1").arg(presetsText(sent)));
    if (!failed.isEmpty())
        parts << Texts::tr("failed: %1").arg(presetsText(failed));
    if (!notTried.isEmpty())
        parts << Texts::tr("not tried: %1").arg(presetsText(notTried));
    const QString text = parts.join(QStringLiteral("; "));
    return stopped ? Texts::tr("Stopped. %1").arg(text) : text;
}

LibrarySender::LibrarySender(MidiController &controller, QObject *parent)
    : QObject(parent)
    , controller(controller)
{
    qRegisterMetaType<LibrarySendResult>();
    pace.setSingleShot(true);
    pace.setTimerType(Qt::PreciseTimer);
    connect(&pace, &QTimer::timeout, this, &LibrarySender::sendNext);
    answerLimit.setSingleShot(true);
    connect(&answerLimit, &QTimer::timeout, this, [this] {
        qCDebug(lcTrace) << "LibrarySender: no answer for preset" << presetNoOf(next - 1)
                         << "within" << answerLimitMs << "ms";
        lastTimedOut = true;
        judged(false);
    });
    linger.setSingleShot(true);
    connect(&linger, &QTimer::timeout, this, [this] {
        if (!isRunning)
            this->controller.setPatchTaker(nullptr);
    });
}

LibrarySender::~LibrarySender()
{
    if (isRunning || linger.isActive())
        controller.setPatchTaker(nullptr);
}

bool LibrarySender::start(const QList<QByteArray> &messages)
{
    if (isRunning || messages.isEmpty())
        return false;
    QList<QByteArray> checked;
    for (const QByteArray &message : messages) {
        const int presetNo = message.size() == int(PatchLayout::length)
            ? static_cast<unsigned char>(message.at(int(PatchLayout::presetNoOffset)))
            : -1;
        // Empty unless a whole patch message of a preset 0..19.
        const QByteArray type1 = PatchLibrary::messageForRow(message, presetNo);
        if (type1.isEmpty())
            return false;
        checked << type1;
    }
    queue = checked;
    next = 0;
    result = LibrarySendResult();
    isRunning = true;
    stopRequested = false;
    awaiting = false;
    lastTimedOut = false;
    linger.stop();
    controller.setPatchTaker([this](const QByteArray &message) { return take(message); });
    emit progress(0, int(queue.size()));
    pace.start(0);
    return true;
}

void LibrarySender::stop()
{
    if (!isRunning)
        return;
    stopRequested = true;
    // The message under way ends with its answer or without one; between two, at once.
    if (!awaiting)
        pace.start(0);
}

int LibrarySender::presetNoOf(int index) const
{
    return static_cast<unsigned char>(queue.at(index).at(int(PatchLayout::presetNoOffset)));
}

void LibrarySender::sendNext()
{
    if (stopRequested || next >= queue.size()) {
        finish();
        return;
    }
    if (sinceSent.isValid()) {
        const qint64 leftNs = qint64(intervalMs) * 1000000 - sinceSent.nsecsElapsed();
        if (leftNs > 0) {
            pace.start(int((leftNs + 999999) / 1000000));
            return;
        }
    }
    const int index = next++;
    sinceSent.start();
    // The device takes the patch into preset n and makes n its current preset, so its answer
    // to the patch request is the patch it stored.
    if (!controller.sendPatchMessage(queue.at(index)) || !controller.uploadPatch()) {
        qCDebug(lcTrace) << "LibrarySender: the port could not send preset" << presetNoOf(index);
        result.failed << presetNoOf(index);
        emit progress(next, int(queue.size()));
        finish();
        return;
    }
    awaiting = true;
    answerLimit.start(answerLimitMs);
}

bool LibrarySender::take(const QByteArray &message)
{
    if (!isRunning)
        return linger.isActive();
    // Between two presets, an answer can only be a late one: it is nothing for the editor.
    if (!awaiting)
        return true;
    // Compared where the device's patch is read from: a device may answer with other bytes
    // where nothing is read.
    const bool stored = PatchLibrary::samePatch(message, queue.at(next - 1));
    if (!stored)
        qCDebug(lcTrace) << "LibrarySender: the device holds another patch than preset"
                         << presetNoOf(next - 1) << "sent";
    lastTimedOut = false;
    judged(stored);
    return true;
}

void LibrarySender::judged(bool stored)
{
    awaiting = false;
    answerLimit.stop();
    const int presetNo = presetNoOf(next - 1);
    if (stored)
        result.sent << presetNo;
    else
        result.failed << presetNo;
    emit progress(next, int(queue.size()));
    if (stored)
        emit presetSent(presetNo);
    // Called from within the controller's handling of the answer: the next message goes from
    // the event loop.
    pace.start(0);
}

void LibrarySender::finish()
{
    pace.stop();
    answerLimit.stop();
    awaiting = false;
    for (int index = next; index < queue.size(); ++index)
        result.notTried << presetNoOf(index);
    result.stopped = stopRequested;
    isRunning = false;
    // An answer that did not come in time may still come: it must not become the editor's patch.
    if (lastTimedOut)
        linger.start(answerLimitMs);
    else
        controller.setPatchTaker(nullptr);
    const LibrarySendResult done = result;
    emit finished(done);
}
