#pragma once

#include "patchlibrary.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class LibrarySender;
struct LibrarySendResult;
class PatchDocument;

// "presets 3, 4 and 7", "presets 0–19", "preset 3": runs of three or more as ranges.
QString preset_list_text(const QList<int> &presetNos);

// The twenty presets beside the editor's patch: the library's rows and the operations that move
// patches between rows, the editor, files and the device. Every change of the rows is one step
// on the patch document's undo stack, so that library changes and patch edits undo in one
// history; what the device holds, and which rows were sent, is no step. Every text for the user
// comes out through statusMessage.
class LibraryDocument : public QObject
{
    Q_OBJECT

public:
    // Works on document's undo stack and its controller's port.
    explicit LibraryDocument(PatchDocument *document, QObject *parent = nullptr);
    ~LibraryDocument() override;

    const PatchLibrary &library() const { return rows; }
    PatchDocument *patchDocument() const { return document; }

    // While it answers true (the firmware updater has the port), nothing is sent or received.
    void setBusyCheck(std::function<bool()> updaterBusy) { busy = std::move(updaterBusy); }

    // Each of these is one undo step, and false (with a reason in the status bar where the
    // user could not have seen it coming) when it changes nothing.
    // The editor's patch becomes the row's, its preset number included.
    bool open(int presetNo);
    // The editor's patch into the row, with the row's preset number.
    bool store(int presetNo);
    bool rename(int presetNo, const QString &name);
    // A patch message of either kind (a copied row) into the row, with the row's number.
    bool paste(int presetNo, const QByteArray &message);
    // Exchanges two rows; each patch takes the number of the row it lands in.
    bool swap(int first, int second);
    // Empties the row.
    bool remove(int presetNo);
    // Replaces every row with a library file's (or a patch file's) patches; on a fault nothing
    // changes and the status names the message's place.
    bool load(const QString &path);
    // Writes the rows that are not empty as a library file.
    bool save(const QString &path);
    // Whether the rows changed since they were last opened from or saved to a file.
    bool hasUnsavedChanges() const { return unsaved; }

    // Asks the device for its current patch; the answer goes into the row of its own preset
    // number, as one step (besides the editor's, as Upload).
    bool receive();
    bool receiving() const { return awaitingReceive; }

    // Sends the rows given that are not empty, in preset order, each to its own preset; the
    // rows the device took are marked sent. False when nothing is to be sent, a run is going
    // or the device is busy.
    bool send(const QList<int> &presetNos);
    // The rows among presetNos that hold a patch, in preset order.
    QList<int> sendable(const QList<int> &presetNos) const;
    void stopSending();
    bool sending() const;

signals:
    // Rows first..last changed: their patches, origins or marks.
    void rowsChanged(int first, int last);
    void statusMessage(const QString &text);
    void sendProgress(int done, int total);
    // A run of send() has ended; the status bar has its summary.
    void sendFinished(const LibrarySendResult &result);
    void receivingChanged(bool receiving);

private:
    // Makes the change already made to the rows (from before) one undo step named text.
    void recordChange(const PatchLibrary::Rows &before, const QString &text);
    // Puts rows back, as undo and redo do.
    void restoreRows(const PatchLibrary::Rows &kept);
    void deviceHolds(const QByteArray &patch, bool answered);
    void setReceiving(bool on);
    bool deviceBusy() const { return busy && busy(); }

    PatchDocument *document;
    PatchLibrary rows;
    LibrarySender *sender;
    QHash<int, QByteArray> inFlight; // the patches of the run going, by preset number
    std::function<bool()> busy;
    bool awaitingReceive = false;
    bool unsaved = false;
};
