#include "miditrafficmodel.h"

#include <QSaveFile>

#include <algorithm>
#include <vector>

MidiTrafficModel::MidiTrafficModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

int MidiTrafficModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(rows.size());
}

int MidiTrafficModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant MidiTrafficModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(rows.size()))
        return QVariant();
    const Row &row = rows[std::size_t(index.row())];
    if (role == Qt::ToolTipRole && index.column() == RawColumn)
        return midi_hex_text(row.bytes);
    if (role != Qt::DisplayRole)
        return QVariant();
    switch (index.column()) {
    case TimeColumn:
        return midi_time_text(row.timeMs);
    case DirectionColumn:
        return row.outgoing ? tr("out") : tr("in");
    case PortColumn:
        return row.port;
    case MessageColumn:
        return row.text;
    default:
        // Made when shown: only the rows in sight need it.
        return midi_hex_text(row.bytes);
    }
}

QVariant MidiTrafficModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case TimeColumn:
        return tr("Time");
    case DirectionColumn:
        return tr("Dir");
    case PortColumn:
        return tr("Port");
    case MessageColumn:
        return tr("Message");
    default:
        return tr("Raw");
    }
}

bool MidiTrafficModel::hides(MidiMessageKind kind) const
{
    switch (kind) {
    case MidiMessageKind::Clock:
    case MidiMessageKind::ActiveSensing:
        return hidden.testFlag(HideClock);
    case MidiMessageKind::Note:
        return hidden.testFlag(HideNotes);
    case MidiMessageKind::ControlChange:
        return hidden.testFlag(HideControlChanges);
    case MidiMessageKind::SysEx:
        return hidden.testFlag(HideSysEx);
    default:
        return false;
    }
}

void MidiTrafficModel::append(const MidiTraffic &batch)
{
    std::vector<Row> added;
    added.reserve(std::size_t(std::min(int(batch.size()), maxRows)));
    for (const MidiTrafficMessage &message : batch) {
        const MidiMessageKind kind = midi_message_kind(message.bytes);
        const bool kept = !paused && !hides(kind);
        // Only SysEx tells the decoder where a firmware update stands.
        if (!kept && kind != MidiMessageKind::SysEx)
            continue;
        QString text = decoder.text(message);
        if (kept)
            added.push_back(
                {message.timeMs, message.outgoing, kind, port, std::move(text), message.bytes});
    }
    if (added.empty())
        return;
    // Of a batch larger than the rows hold, only its newest count.
    if (added.size() > std::size_t(maxRows))
        added.erase(added.begin(), added.end() - maxRows);
    const std::size_t overflow = rows.size() + added.size() > std::size_t(maxRows)
        ? rows.size() + added.size() - std::size_t(maxRows)
        : 0;
    if (overflow > 0) {
        beginRemoveRows(QModelIndex(), 0, int(overflow) - 1);
        rows.erase(rows.begin(), rows.begin() + std::ptrdiff_t(overflow));
        endRemoveRows();
    }
    const int first = int(rows.size());
    beginInsertRows(QModelIndex(), first, first + int(added.size()) - 1);
    for (Row &row : added)
        rows.push_back(std::move(row));
    endInsertRows();
}

void MidiTrafficModel::setFilters(Filters filters)
{
    const bool hidesMore = (filters & ~hidden) != 0;
    hidden = filters;
    if (!hidesMore)
        return;
    beginResetModel();
    rows.erase(std::remove_if(rows.begin(), rows.end(),
                              [this](const Row &row) { return hides(row.kind); }),
               rows.end());
    endResetModel();
}

void MidiTrafficModel::clear()
{
    if (rows.empty())
        return;
    beginResetModel();
    rows.clear();
    endResetModel();
}

QString MidiTrafficModel::lineText(int row) const
{
    QStringList fields;
    for (int column = 0; column < ColumnCount; ++column)
        fields << data(index(row, column)).toString();
    return fields.join(QLatin1Char('\t'));
}

QString MidiTrafficModel::rowsText(QList<int> chosen) const
{
    std::sort(chosen.begin(), chosen.end());
    QString text;
    for (int row : chosen) {
        if (row >= 0 && row < int(rows.size()))
            text += lineText(row) + QLatin1Char('\n');
    }
    return text;
}

bool MidiTrafficModel::saveText(const QString &path, QString *error) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        *error = file.errorString();
        return false;
    }
    for (int row = 0; row < int(rows.size()); ++row)
        file.write((lineText(row) + QLatin1Char('\n')).toUtf8());
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

qint64 MidiTrafficModel::memoryBytes() const
{
    qint64 total = 0;
    for (const Row &row : rows)
        total += qint64(sizeof(Row)) + row.text.capacity() * qint64(sizeof(QChar))
            + row.bytes.capacity();
    return total + port.capacity() * qint64(sizeof(QChar));
}
