#include "patchdocument.h"

#include "controltable.h"
#include "deviceclaim.h"
#include "imidi.h"
#include "midicontroller.h"
#include "patchcommand.h"
#include "patchfile.h"
#include "trace.h"

#include <QSignalBlocker>
#include <QTimer>
#include <QUndoStack>

#include <algorithm>
#include <utility>

PatchDocument::PatchDocument(std::unique_ptr<IMidi> midi, QObject *parent)
    : QObject(parent)
    , midiController(new MidiController(std::move(midi)))
    , stack(new QUndoStack(this))
{
    // A flood of patches from the device would otherwise grow the history without end. The
    // limit can only be set while the stack is empty.
    stack->setUndoLimit(undoLimit);
    clock.start();
    connect(midiController, &MidiController::statusMessage, this, &PatchDocument::statusMessage);

    // A device pulled out between request and answer never answers. Once the wait is over,
    // "Waiting for upload..." gives way, unless another text already has.
    uploadAnswerTimer = new QTimer(this);
    uploadAnswerTimer->setObjectName(QStringLiteral("uploadAnswerTimer"));
    uploadAnswerTimer->setSingleShot(true);
    uploadAnswerTimer->setInterval(uploadAnswerWaitMs);
    connect(uploadAnswerTimer, &QTimer::timeout, this, [this] {
        awaitingAnswer = false;
        emit statusFollowUp(tr("Upload failed: no answer from Vellichord"),
                            tr("Waiting for upload..."));
        emit answerWaitEnded();
    });

    // Until the device says otherwise, it is taken to hold the patch the editor starts with.
    editorPatch = knownDevicePatch = midiController->currentPatch();
    // A patch from the device replaces the editor's at once, but as one step that Undo takes
    // back. Patches the device sends unasked in quick succession are one step; an answer to a
    // request is one of its own. A loaded file names its own step, with the controller's
    // signals blocked.
    connect(midiController, &MidiController::modelUpdated, this,
            [this] { patchArrived(tr("Patch from Vellichord"), !awaitingAnswer); });
    connect(midiController, &MidiController::patchReceived, this, &PatchDocument::patchFromDevice);
    // A patch the editor did not ask for never replaces unsent changes.
    midiController->setPatchHold([this] { return hasUnsentChanges() && !awaitingAnswer; });
    connect(midiController, &MidiController::patchHeld, this, &PatchDocument::devicePatchChanged);
}

PatchDocument::~PatchDocument()
{
    // The steps call back into the controller; they go first.
    delete stack;
    delete midiController;
}

const ControlTable &PatchDocument::controls() const
{
    return *midiController->getModels();
}

QList<int> PatchDocument::unsentControls() const
{
    return changedControls(controls(), editorPatch, knownDevicePatch);
}

void PatchDocument::start()
{
    midiController->open();
    qCDebug(lcTrace) << "Upload patch";
    if (deviceRefused(tr("Patch request")))
        return;
    // Without a device the editor starts from the factory patch; the status says why, and
    // noDeviceFound until a device connects or a patch arrives.
    const bool sent = !updaterBusy() && midiController->uploadPatch();
    if (sent) {
        awaitingAnswer = true;
        uploadAnswerTimer->start();
    }
    setNoDeviceFound(!sent);
    emit statusMessage(sent ? tr("Ready") : tr("No Vellichord found"));
}

bool PatchDocument::upload()
{
    if (updaterBusy() || deviceRefused(tr("Upload")))
        return false;
    if (!midiController->uploadPatch()) {
        emit statusMessage(tr("Upload failed: Vellichord not connected"));
        return false;
    }
    emit statusMessage(tr("Waiting for upload..."));
    awaitingAnswer = true;
    uploadAnswerTimer->start();
    return true;
}

bool PatchDocument::download()
{
    QString why;
    if (!sendPatch(&why)) {
        if (!why.isEmpty())
            emit statusMessage(why);
        return false;
    }
    emit statusMessage(tr("Patch downloaded"));
    return true;
}

bool PatchDocument::sendPatch(QString *why)
{
    QString refusal;
    if (!updaterBusy()) {
        refusal = updateRefusal(tr("Download"));
        if (refusal.isEmpty())
            refusal = midiController->downloadRefusal();
        if (refusal.isEmpty() && midiController->downloadPatch()) {
            knownDevicePatch = midiController->currentPatch();
            emit unsentChanged();
            emit devicePatchKnown(knownDevicePatch, false);
            return true;
        }
        if (refusal.isEmpty())
            refusal = tr("Download failed: Vellichord not connected");
    }
    if (why)
        *why = refusal;
    return false;
}

bool PatchDocument::load(const QString &fileName)
{
    PatchFileFault fault = PatchFileFault::None;
    bool loaded = false;
    {
        // The controller would take the file for a patch from the device.
        const QSignalBlocker quiet(midiController);
        loaded = midiController->loadSysex(fileName, &fault);
    }
    if (!loaded) {
        emit statusMessage(
            tr("Could not load settings file: %1: %2").arg(fileName, patch_file_fault_text(fault)));
        return false;
    }
    patchArrived(tr("Load patch file"), false);
    const QString outOfRange = out_of_range_text(midiController->getPatch().broughtIntoRange());
    emit statusMessage(outOfRange.isEmpty() ? tr("Settings File Loaded")
                                            : tr("Settings File Loaded; %1").arg(outOfRange));
    return true;
}

bool PatchDocument::save(const QString &fileName)
{
    if (!midiController->saveSysex(fileName)) {
        emit statusMessage(tr("Could not save settings file: ") + fileName);
        return false;
    }
    emit statusMessage(tr("Settings file saved: %1").arg(fileName));
    return true;
}

void PatchDocument::applyEdit(const QList<int> &controls, ParameterId id, int value)
{
    qCDebug(lcTrace) << "prop" << unsigned(id) << "value" << value << "len" << controls.size();
    // Out-of-byte values are pinned rather than cut to their low 8 bits, so that 300 ends up
    // as the parameter's maximum instead of 44.
    const auto byte = static_cast<unsigned char>(std::clamp(value, 0, 255));
    edit(
        QString(),
        [&](ControlTable &table) {
            for (int i : controls) {
                if (MidiControlModel *model = table.at(i))
                    model->updateParameter(id, byte);
            }
        },
        controls);
}

void PatchDocument::edit(const QString &stepText, const std::function<void(ControlTable &)> &change,
                         const QList<int> &selected)
{
    change(*midiController->getModels());
    recordChange(stepText, selected);
}

void PatchDocument::commitEdit(const QList<int> &selected)
{
    recordChange(QString(), selected);
}

void PatchDocument::setPresetName(const QString &name)
{
    midiController->setPresetName(name);
    recordChange(tr("Rename preset"), {}, renameBurst);
}

void PatchDocument::recordChange(const QString &text, const QList<int> &selected, int burst,
                                 bool unrequested)
{
    const QByteArray after = midiController->currentPatch();
    if (after == editorPatch)
        return;
    const QString name = text.isEmpty()
        ? describePatchChange(controls(), editorPatch, after, selected)
        : text;
    const QByteArray before = std::exchange(editorPatch, after);
    auto *step = new PatchCommand([this](const QByteArray &patch) { restore(patch); }, before,
                                  after, name, burst);
    if (unrequested)
        step->setUnrequestedArrival(clock.elapsed());
    stack->push(step);
    emit unsentChanged();
}

void PatchDocument::restore(const QByteArray &patch)
{
    midiController->restorePatch(patch);
    editorPatch = patch;
    // A burst of typing that follows starts a step of its own.
    ++renameBurst;
    emit patchChanged(Replacement::Restored);
    emit unsentChanged();
}

void PatchDocument::revertToDevice()
{
    if (!hasUnsentChanges())
        return;
    const QByteArray before = editorPatch;
    const QByteArray after = knownDevicePatch;
    restore(after);
    stack->push(new PatchCommand([this](const QByteArray &patch) { restore(patch); }, before, after,
                                 tr("Revert to Device Patch")));
}

void PatchDocument::restoreUnsent(const QByteArray &patch)
{
    replace(patch, tr("Restore unsent changes"), Replacement::Restored);
}

bool PatchDocument::replace(const QByteArray &patch, const QString &stepText, Replacement how)
{
    // Byte for byte, preset number included, as one step that Undo takes back.
    if (!midiController->restorePatch(patch))
        return false;
    ++renameBurst;
    recordChange(stepText);
    emit patchChanged(how);
    return true;
}

void PatchDocument::patchArrived(const QString &text, bool unrequested)
{
    qCDebug(lcTrace) << "RefreshView";
    ++renameBurst;
    recordChange(text, {}, -1, unrequested);
    emit patchChanged(Replacement::Arrived);
}

void PatchDocument::patchFromDevice()
{
    const bool answered = std::exchange(awaitingAnswer, false);
    knownDevicePatch = editorPatch;
    emit unsentChanged();
    emit devicePatchKnown(knownDevicePatch, answered);
    setNoDeviceFound(false);
    emit answerWaitEnded();
}

void PatchDocument::devicePatchChanged(const QByteArray &patch)
{
    knownDevicePatch = patch;
    emit unsentChanged();
    emit devicePatchKnown(knownDevicePatch, false);
    emit statusMessage(hasUnsentChanges()
                           ? tr("The Vellichord's patch changed; your unsent changes are kept. "
                                "Upload takes the device's patch.")
                           : tr("Patch uploaded."));
}

bool PatchDocument::deviceRefused(const QString &action)
{
    const QString refusal = updateRefusal(action);
    if (refusal.isEmpty())
        return false;
    emit statusMessage(refusal);
    return true;
}

QString PatchDocument::updateRefusal(const QString &action) const
{
    // The editor's own updater keeps the document off the device by itself.
    DeviceClaim::Holder holder;
    if (updaterBusy() || !DeviceClaim::isHeld(DeviceClaim::Kind::Update, &holder))
        return QString();
    return tr("%1 refused: %2 is updating the Vellichord's firmware").arg(action, holder.name());
}

void PatchDocument::deviceAppeared()
{
    if (hasUnsentChanges()) {
        // Either direction may be what the user wants; neither overwrites without being asked.
        emit statusMessage(tr("Vellichord connected: Upload gets its patch, Download sends yours"));
    } else {
        emit statusMessage(tr("Vellichord connected"));
        if (!deviceRefused(tr("Patch request")) && midiController->uploadPatch()) {
            awaitingAnswer = true;
            uploadAnswerTimer->start();
        }
    }
    setNoDeviceFound(false);
}

void PatchDocument::setNoDeviceFound(bool none)
{
    if (std::exchange(noDevice, none) != none)
        emit deviceFoundChanged();
}
