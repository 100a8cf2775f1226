#pragma once

#include "miditraffic.h"
#include "patch.h"
#include "patchfile.h"
#include "patchlayout.h"
#include "throttledcount.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>

class IMidi;
class MidiMonitor;

// The editor's link to the device. Holds the patch (the preset name and number and the 64
// control models), the MIDI port and the input monitor; sends the patch, asks the device for
// its own, applies whatever patch message arrives, and keeps patch files.
class MidiController : public QObject
{
    Q_OBJECT

public:
    // The name of the device's MIDI ports in normal mode.
    static constexpr const char *portName = "Vellichord";

    // Takes over the port and starts the monitor; open() connects the port to the device.
    explicit MidiController(std::unique_ptr<IMidi> midi, QObject *parent = nullptr);
    // The same for a device whose ports carry another name than portName.
    MidiController(std::unique_ptr<IMidi> midi, const QByteArray &devicePort,
                   QObject *parent = nullptr);
    // Stops the monitor and waits for its thread before anything else goes.
    ~MidiController() override;

    // Connects the port to the device. Without a device the controller works all the same:
    // sending connects first when the port has none. Returns whether the port is connected.
    bool open();

    // Builds the Type 1 message in the controller's own buffer and returns it. The buffer is
    // reused by the next build.
    const unsigned char *getType1Sysex();
    // The same message as a copy, built without trace lines: the editor compares it after
    // every edit.
    QByteArray currentPatch();

    // Applies a patch message (Type 2 from the device, or Type 1 from a file) to the name, the
    // preset number and the models, then emits modelUpdated. Returns false, changing nothing,
    // for a message shorter than the patch or of another kind.
    bool parseType2Message(const QByteArray &message);

    // Puts a patch message back as the editor's patch, as parseType2Message does, but quietly:
    // no modelUpdated, so the window keeps its selection (undo and redo).
    bool restorePatch(const QByteArray &message);

    // Sends the current patch to the device, connecting to it first if the port has lost it.
    // False when the port could not send it, or when downloadRefusal refuses it (nothing is
    // sent then).
    bool downloadPatch();
    // Why the current patch must not be sent, for the status bar: its preset number lies
    // outside 0..19, so no preset the user chose would take it. Empty when it may be sent.
    QString downloadRefusal() const;

    // Asks the device for its patch, connecting to it first if the port has lost it; the
    // answer arrives later through the monitor. False when the port could not send the request.
    bool uploadPatch();

    // Sends a whole Type 1 message as it is given (not the editor's patch), connecting first if
    // the port has lost it. False, sending nothing, for anything but a Type 1 patch message of a
    // preset 0..19; false too when the port could not send it.
    bool sendPatchMessage(const QByteArray &message);

    // Applies the patch file; the editor's preset number is kept. False when the file cannot be
    // read or does not hold a patch; nothing changes then, and fault (when given) says why.
    bool loadSysex(const QString &fileName, PatchFileFault *fault = nullptr);

    // Writes the current patch as a file. The previous file stays whole if writing fails.
    bool saveSysex(const QString &fileName);

    QString getPresetName() const { return patch.name(); }
    // As the last patch message applied holds it, which may lie outside 0..19.
    int getPresetNo() const;
    ControlTable *getModels() { return &patch.controls(); }
    const Patch &getPatch() const { return patch; }
    // The port and the monitor, lent to the firmware updater; both live as long as the controller.
    MidiMonitor *getMonitor() const { return monitor; }
    IMidi *getMidi() const { return midi.get(); }

    // Ends the monitor's polling; the thread finishes on its own.
    void stopMonitor();

    // Asked for each patch the device sends: true keeps the controller's patch as it is and
    // announces the device's through patchHeld instead. Without it every patch is applied.
    void setPatchHold(std::function<bool()> hold) { holdPatch = std::move(hold); }
    // Asked first for each message of this device's that may be a patch, before the hold and
    // before anything is applied: true takes it, and the controller does nothing more with it.
    // An empty function takes none.
    void setPatchTaker(std::function<bool(const QByteArray &message)> taker)
    {
        takePatch = std::move(taker);
    }

signals:
    void modelUpdated();
    // A patch from the device has been applied (after modelUpdated).
    void patchReceived();
    // A patch from the device that setPatchHold kept out, as a Type 1 message.
    void patchHeld(const QByteArray &devicePatch);
    // A text for the user about what the controller just did, such as "Patch uploaded.".
    void statusMessage(const QString &text);
    // Every message in and out through the port (the updater's too) since the last batch,
    // oldest first: one call per batch, however many messages a flood brings.
    void traffic(const MidiTraffic &batch);

public slots:
    void setPresetName(const QString &name);
    void setPresetNo(int presetNo);

private slots:
    // A message from the device (or a loaded file): traced, applied when it is a patch, and
    // then "Patch uploaded." is shown. Returns whether it was applied.
    bool receivedSysex(const QByteArray &sysex);

private:
    // Opens the device's port again unless the port is connected to a device that is there,
    // under either of its names.
    void reconnectIfLost();
    const unsigned char *buildType1();
    bool applyPatch(const QByteArray &message, bool notify);
    // A message from the device while the hold is on: announced when it is a patch.
    void holdBack(const QByteArray &sysex);
    void traceReceived(const QByteArray &sysex) const;
    // Counts a message without this device's header.
    void countForeign();

    // The name the device's ports are connected by.
    const QByteArray devicePort;
    Patch patch;
    MidiMonitor *monitor = nullptr;
    std::unique_ptr<IMidi> midi;
    std::array<unsigned char, PatchLayout::length> type1Message{};
    std::function<bool()> holdPatch;
    std::function<bool(const QByteArray &)> takePatch;
    // SysEx messages without this device's header: counted, traced at most once a second.
    ThrottledCount foreignMessages{QStringLiteral("ignored %1 SysEx messages of other makers"),
                                   QStringLiteral("ignored a SysEx message of another maker")};
    QTimer foreignFlush;
    // Patches taken from the monitor and not handled yet, oldest first.
    QList<QByteArray> arrived;
    bool handlingArrived = false;
};
