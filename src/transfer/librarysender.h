#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QTimer>

class MidiController;

// How a run of LibrarySender ended: every preset number it was given is in exactly one list.
struct LibrarySendResult
{
    QList<int> sent;     // preset numbers handed to the MIDI system and found stored by the device
    QList<int> failed;   // preset numbers that could not be sent or that the device did not store
    QList<int> notTried; // left when stopped or after a failure that ends the run
    bool stopped = false;
    // "Sent presets 0–19 (20)"; with failures it names which went and which did not, e.g.
    // "Sent presets 0–3, 5 (5); failed: preset 4 (1); not tried: presets 6–19 (14)".
    QString summary() const;
};
Q_DECLARE_METATYPE(LibrarySendResult)

// "0–4, 7, 9–10": preset numbers in the order given, runs of consecutive ones joined.
QString preset_ranges_text(const QList<int> &presetNos);

// Sends patches to the device's presets one after the other, paced, and finds out for each
// whether the device stored it. The device acknowledges nothing; so after each patch the
// sender asks for the device's patch, which a device that stored it answers with that very
// patch (as Type 2). While a run goes, every patch the device sends is taken from the
// controller: the editor's patch stays as it is.
class LibrarySender : public QObject
{
    Q_OBJECT

public:
    static constexpr int intervalMs = 50; // at least this long between two patch messages
    // How long the device's answer may take; without one by then the preset has failed.
    static constexpr int answerLimitMs = 500;

    // The controller must outlive the sender.
    explicit LibrarySender(MidiController &controller, QObject *parent = nullptr);
    ~LibrarySender() override;

    // Sends the Type 1 messages in order, each carrying its own preset number. False (nothing
    // sent) when a run is going, when there is nothing to send, or a message is not a whole
    // patch with a preset number in 0..19. A Type 2 message is sent as its Type 1.
    bool start(const QList<QByteArray> &messages);
    // Ends the run after the message under way; finished() follows.
    void stop();
    bool running() const { return isRunning; }

signals:
    void progress(int done, int total);
    void presetSent(int presetNo); // only for presets in `sent`
    void finished(const LibrarySendResult &result);

private:
    void sendNext();
    // Takes a patch from the device while a run goes.
    bool take(const QByteArray &message);
    void judged(bool stored);
    void finish();
    int presetNoOf(int index) const;

    MidiController &controller;
    QList<QByteArray> queue;
    int next = 0; // index into queue of the message to send next
    LibrarySendResult result;
    bool isRunning = false;
    bool stopRequested = false;
    bool awaiting = false;     // the message queue[next - 1] is sent and its answer awaited
    bool lastTimedOut = false; // the last answer awaited did not come in time
    QTimer pace;               // until the next message may go
    QTimer answerLimit;
    // After a run whose last answer did not come in time, patches are still taken a while.
    QTimer linger;
    QElapsedTimer sinceSent; // since the last patch message went out
};
