#pragma once

#include "parameterid.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class ControlTable;
class IMidi;
class MidiController;
class QTimer;
class QUndoStack;

// The patch the editor works on, apart from any window: the editor's patch, the last patch the
// device is known to hold, the undo steps between them and the operations that move patches
// between editor, device and files. Every change of the editor's patch is one undo step that
// the document names itself; every text for the user comes out through statusMessage.
class PatchDocument : public QObject
{
    Q_OBJECT

public:
    // How a whole patch came into the editor.
    enum class Replacement {
        Restored, // undo, redo, revert or restore: the same controls stay selected
        Arrived,  // a new patch from the device or a file: what was selected means nothing now
    };
    Q_ENUM(Replacement)

    // How long after an Upload request the document waits for the device's patch before it says
    // that no answer came. A patch that comes later is still applied.
    static constexpr int uploadAnswerWaitMs = 5000;
    // Undo steps kept; the oldest go first. Bursts of unrequested patches are one step each.
    static constexpr int undoLimit = 1000;

    // Owns the controller on the given port; the device is asked for its patch by start().
    explicit PatchDocument(std::unique_ptr<IMidi> midi, QObject *parent = nullptr);
    ~PatchDocument() override;

    MidiController *controller() const { return midiController; }
    const ControlTable &controls() const;
    QUndoStack *undoStack() const { return stack; }

    // The editor's patch as a Type 1 message, as of the last step.
    QByteArray patch() const { return editorPatch; }
    // The last patch the device is known to hold.
    QByteArray devicePatch() const { return knownDevicePatch; }
    bool hasUnsentChanges() const { return editorPatch != knownDevicePatch; }
    // The controls whose parameters differ from the device's patch.
    QList<int> unsentControls() const;
    // A patch request is out and not answered yet.
    bool answerAwaited() const { return awaitingAnswer; }
    // Since start() found no device, until one connects or a patch arrives.
    bool noDeviceFound() const { return noDevice; }

    // While it answers true (the window's firmware updater has the port), nothing is sent to
    // the device and Upload and Download are refused quietly.
    void setBusyCheck(std::function<bool()> updaterBusy) { busy = std::move(updaterBusy); }

    // Connects the port to the device and asks it for its patch, as the editor does once it
    // has started, and says "Ready" or "No Vellichord found".
    void start();
    // Asks the device for its patch; its answer replaces the editor's as one step.
    bool upload();
    // Sends the editor's patch; it is then the device-known patch.
    bool download();
    // Sends it as download() does, without a word when it went. When it did not, why (when
    // given) gets the text download() would show, empty while the window's updater or a
    // library run has the port (portBusy()).
    bool sendPatch(QString *why = nullptr);
    bool portBusy() const { return updaterBusy(); }
    // Reads a patch file into the editor (the preset number stays), as one step.
    bool load(const QString &fileName);
    bool save(const QString &fileName);

    // Sets a parameter on the given controls (those without it are left alone), as one step
    // named by what changed. Values outside a byte are pinned to it.
    void applyEdit(const QList<int> &controls, ParameterId id, int value);
    // Makes one step of a change made to the controls by change; stepText names it, or when
    // empty the step is named by what changed on the selected controls.
    void edit(const QString &stepText, const std::function<void(ControlTable &)> &change,
              const QList<int> &selected = {});
    // The controls already hold a change (made by a menu of their own): one step named by
    // what changed on the selected controls.
    void commitEdit(const QList<int> &selected);
    // Typing the name is one step per burst; endNameBurst starts the next.
    void setPresetName(const QString &name);
    void endNameBurst() { ++renameBurst; }

    // Puts a whole patch (a Type 1 message) back into the editor, as undo and redo do: no step.
    void restore(const QByteArray &patch);
    // Puts the patch the device is known to hold into the editor, as one step.
    void revertToDevice();
    // Puts unsent changes kept by an earlier run back, byte for byte, as one step.
    void restoreUnsent(const QByteArray &patch);
    // Makes a whole patch (a Type 1 message, preset number included) the editor's, byte for
    // byte, as one step named stepText. False, changing nothing, when it is no patch.
    bool replace(const QByteArray &patch, const QString &stepText,
                 Replacement how = Replacement::Arrived);

public slots:
    // The device has been plugged in (or has come back): without unsent changes its patch is
    // asked for.
    void deviceAppeared();

signals:
    // A whole patch replaced the editor's; the controls' values changed without an edit.
    void patchChanged(PatchDocument::Replacement how);
    // The editor's or the device-known patch changed, so the unsent set may have.
    void unsentChanged();
    void statusMessage(const QString &text);
    // Shows text in place of shown, but only while shown is still the text in view.
    void statusFollowUp(const QString &text, const QString &shown);
    // noDeviceFound() changed.
    void deviceFoundChanged();
    // A patch came from the device, or the wait for one ended: answerAwaited() is false.
    void answerWaitEnded();
    // The device is known to hold patch (a Type 1 message) for the preset number in it: it sent
    // it, or took it from Download. answered is true for the answer to a patch request.
    void devicePatchKnown(const QByteArray &patch, bool answered);

private:
    // Makes the change the controls already hold one undo step; text empty names it by what
    // changed on selected. Steps of the same burst (>= 0) merge; so do patches the device
    // sent unasked (unrequested) that follow each other closely.
    void recordChange(const QString &text, const QList<int> &selected = {}, int burst = -1,
                      bool unrequested = false);
    // A new patch is in the controller: one step, and the editor takes it as new.
    void patchArrived(const QString &text, bool unrequested);
    void patchFromDevice();
    // A patch the device sent while the editor kept its unsent changes: it becomes the
    // device-known patch.
    void devicePatchChanged(const QByteArray &patch);
    // Whether another program is updating the device's firmware; if so, says that action was
    // refused and returns true.
    bool deviceRefused(const QString &action);
    // The same refusal as a text; empty when action may go ahead.
    QString updateRefusal(const QString &action) const;
    bool updaterBusy() const { return busy && busy(); }
    void setNoDeviceFound(bool none);

    MidiController *midiController = nullptr;
    QUndoStack *stack = nullptr;
    QTimer *uploadAnswerTimer = nullptr;
    std::function<bool()> busy;
    QByteArray editorPatch;      // the controls' patch as of the last step
    QByteArray knownDevicePatch; // the last patch the device is known to hold
    bool awaitingAnswer = false;
    bool noDevice = false;
    int renameBurst = 0;
    QElapsedTimer clock; // when unrequested patches arrived, for merging their steps
};
