#pragma once

#include "midimessagetext.h"
#include "miditraffic.h"

#include <QAbstractTableModel>
#include <QString>

#include <deque>

// The rows of the MIDI monitor: the last maxRows messages in and out that the filters let
// through, each with its time, direction, port, decoded text and raw bytes. Fed a batch at a
// time, each batch one insertion (and, when the rows are full, one removal of the oldest), so
// that a flood costs the view a handful of updates a second, not one per message. Messages
// that a filter hides, or that come while paused, are not kept.
class MidiTrafficModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { TimeColumn, DirectionColumn, PortColumn, MessageColumn, RawColumn, ColumnCount };
    enum Filter {
        HideClock = 0x1, // clock and active sensing
        HideNotes = 0x2, // note on and off, polyphonic aftertouch
        HideControlChanges = 0x4,
        HideSysEx = 0x8,
    };
    Q_DECLARE_FLAGS(Filters, Filter)

    static constexpr int maxRows = 10000;

    explicit MidiTrafficModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The port the messages of the next batches went through.
    void setPortName(const QString &name) { port = name; }
    // Adds the messages of batch that the filters let through, unless paused. Every message is
    // decoded all the same, so that firmware records keep their numbers.
    void append(const MidiTraffic &batch);

    Filters filters() const { return hidden; }
    // Rows of a kind that is now hidden go at once.
    void setFilters(Filters filters);
    bool isPaused() const { return paused; }
    void setPaused(bool on) { paused = on; }
    void clear();

    // One row as a line: time, direction, port, text and raw hex, separated by tabs.
    QString lineText(int row) const;
    // The rows given, in their order, as lines, each ending in a newline.
    QString rowsText(QList<int> rows) const;
    // Writes every row as a line; the file is replaced whole or left as it was. Says why not
    // in *error.
    bool saveText(const QString &path, QString *error) const;
    // What the rows hold in memory, in bytes.
    qint64 memoryBytes() const;

private:
    struct Row
    {
        qint64 timeMs;
        bool outgoing;
        MidiMessageKind kind;
        QString port; // shared with the rows of the same port
        QString text;
        QByteArray bytes;
    };

    bool hides(MidiMessageKind kind) const;

    std::deque<Row> rows;
    MidiTrafficDecoder decoder;
    Filters hidden = HideClock;
    bool paused = false;
    QString port;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(MidiTrafficModel::Filters)
