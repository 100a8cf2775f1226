#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class PatchDocument;

// Sends the editor's patch to the device after each edit while it is on, so that the user
// hears a change at once: every change of the editor's patch (an edit, a paste, undo, redo, a
// preset opened from the library) sends the whole patch at most gapMs later. A burst of edits
// is coalesced: one patch at a time, at least gapMs between two, the last state always sent.
// A patch sent is the device-known patch, as after Download. A send that fails turns it off
// and says why; while the window's updater or a library run has the port, the changes wait.
// GUI thread only.
class LiveSend : public QObject
{
    Q_OBJECT

public:
    static constexpr int gapMs = 50;
    // How often a change that waits for the port looks again.
    static constexpr int busyRetryMs = 200;

    explicit LiveSend(PatchDocument *document, QObject *parent = nullptr);

    bool isOn() const { return on; }
    // Turning it on sends nothing yet: the next edit sends the whole patch.
    void setOn(bool on);
    // Patches handed to the port since it was made.
    int patchesSent() const { return sent; }

signals:
    // isOn() changed, by setOn or by a send that failed.
    void switched(bool on);
    void statusMessage(const QString &text);

private:
    void patchMayHaveChanged();
    void sendNow();

    PatchDocument *document;
    QTimer timer;
    QElapsedTimer sinceSend; // invalid until the first send
    QByteArray watched;      // the editor's patch as last seen
    bool on = false;
    int sent = 0;
};
