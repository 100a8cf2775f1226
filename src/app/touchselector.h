#pragma once

#include "miditraffic.h"
#include "touchmatch.h"

#include <QElapsedTimer>
#include <QObject>

#include <optional>

class FrontPanel;
class PatchDocument;
class Selection;

// Selects the controls the user touches on the device, as a click on them would: in Select
// Single the touched control alone, in Select Multi added to the selection, each flashed on the
// panel. The controls are found by the patch the device is known to hold. Of each batch of
// traffic only the last touch counts, so a fader sweep or a pad roll costs one match per
// batch. A touch that fits several controls selects them all and the status bar says so; one
// that fits none says so; neither is said again while the same touch goes on.
class TouchSelector : public QObject
{
    Q_OBJECT

public:
    // The same touch after this long without touches is told again.
    static constexpr int quietMs = 1000;

    TouchSelector(const PatchDocument *document, Selection *selection, FrontPanel *panel,
                  QObject *parent = nullptr);

    bool isOn() const { return on; }
    void setOn(bool on) { this->on = on; }

public slots:
    // Messages in and out since the last batch, in order; only those that came in count.
    void take(const MidiTraffic &batch);

signals:
    void statusMessage(const QString &text);

private:
    const PatchDocument *document;
    Selection *selection;
    FrontPanel *panel;
    TouchMatch match;
    std::optional<TouchMatch::Touch> lastTouch;
    QElapsedTimer sinceTouch;
    bool on = true;
};
