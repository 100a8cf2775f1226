#pragma once

#include "miditraffic.h"
#include "miditrafficmodel.h"

#include <QTimer>
#include <QWidget>

class QCheckBox;
class QPushButton;
class QTableView;

// The MIDI monitor: a window listing every message in and out, with filters, Pause, Clear,
// Copy and Save as Text. Batches that arrive are gathered and shown together a few times a
// second, so that a flood of messages leaves the editor responsive.
class MidiMonitorWindow : public QWidget
{
    Q_OBJECT

public:
    // How long arriving messages are gathered before the table shows them.
    static constexpr int gatherMs = 40;
    // Most messages gathered; a flood beyond only needs its newest rows.
    static constexpr int maxGathered = MidiTrafficModel::maxRows;

    explicit MidiMonitorWindow(QWidget *parent = nullptr);

    MidiTrafficModel *model() const { return rows; }
    QTableView *table() const { return view; }

    // Messages that went through the port called portName; shown within gatherMs.
    void showTraffic(const MidiTraffic &batch, const QString &portName);
    // Shows what has been gathered now.
    void flush();

    // The selected rows as text on the clipboard.
    void copySelection();
    // Writes every row to path; says why not in a message box. Returns whether it did.
    bool saveTo(const QString &path);

signals:
    // The window was shown (true) or hidden (false).
    void visibilityChanged(bool visible);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void applyFilters();
    void askToSave();

    MidiTrafficModel *rows;
    QTableView *view;
    QCheckBox *hideClock;
    QCheckBox *hideNotes;
    QCheckBox *hideControlChanges;
    QCheckBox *hideSysEx;
    QPushButton *pause;
    QTimer gatherTimer;
    // Per port, in arrival order.
    QList<QPair<QString, MidiTraffic>> gathered;
    int gatheredCount = 0;
};
