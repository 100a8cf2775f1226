#include "librarymodel.h"

#include "librarydocument.h"

#include <QDataStream>
#include <QIODevice>
#include <QMimeData>

namespace {

QString stateText(PatchLibrary::Origin origin)
{
    switch (origin) {
    case PatchLibrary::Origin::Empty:
        break;
    case PatchLibrary::Origin::Device:
        return LibraryModel::tr("from the device");
    case PatchLibrary::Origin::File:
        return LibraryModel::tr("from a file");
    case PatchLibrary::Origin::Changed:
        return LibraryModel::tr("changed");
    case PatchLibrary::Origin::Sent:
        return LibraryModel::tr("sent");
    }
    return QString();
}

} // namespace

LibraryModel::LibraryModel(LibraryDocument *library, QObject *parent)
    : QAbstractListModel(parent)
    , library(library)
{
    connect(library, &LibraryDocument::rowsChanged, this,
            [this](int first, int last) { emit dataChanged(index(first), index(last)); });
}

int LibraryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : PatchLibrary::presetCount;
}

QVariant LibraryModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= PatchLibrary::presetCount)
        return QVariant();
    const PatchLibrary &rows = library->library();
    const int presetNo = index.row();
    const bool empty = rows.isEmpty(presetNo);
    const QString number = QStringLiteral("%1").arg(presetNo, 2, 10, QLatin1Char('0'));
    switch (role) {
    case Qt::DisplayRole:
        return empty ? number : number + QStringLiteral("  ") + rows.name(presetNo);
    case Qt::EditRole:
        return rows.name(presetNo);
    case Qt::ToolTipRole:
    case Qt::AccessibleTextRole: {
        if (empty)
            return tr("Preset %1: empty").arg(presetNo);
        QString text = tr("Preset %1 \u201c%2\u201d: %3")
                           .arg(presetNo)
                           .arg(rows.name(presetNo), stateText(rows.origin(presetNo)));
        if (rows.differsFromDevice(presetNo))
            text += tr("; not what the Vellichord holds");
        return text;
    }
    case OriginRole:
        return int(rows.origin(presetNo));
    case StateTextRole:
        return stateText(rows.origin(presetNo));
    case UnsentRole:
        return rows.differsFromDevice(presetNo);
    default:
        return QVariant();
    }
}

bool LibraryModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    return library->rename(index.row(), value.toString());
}

Qt::ItemFlags LibraryModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDropEnabled;
    if (!library->library().isEmpty(index.row()))
        flags |= Qt::ItemIsEditable | Qt::ItemIsDragEnabled;
    return flags;
}

QStringList LibraryModel::mimeTypes() const
{
    return {QLatin1String(rowsMimeType)};
}

QMimeData *LibraryModel::mimeData(const QModelIndexList &indexes) const
{
    QList<int> presetNos;
    for (const QModelIndex &index : indexes)
        presetNos << index.row();
    QByteArray encoded;
    QDataStream out(&encoded, QIODevice::WriteOnly);
    out << presetNos;
    auto *data = new QMimeData;
    data->setData(QLatin1String(rowsMimeType), encoded);
    return data;
}

Qt::DropActions LibraryModel::supportedDropActions() const
{
    return Qt::MoveAction;
}

int LibraryModel::draggedRow(const QMimeData *data)
{
    if (!data || !data->hasFormat(QLatin1String(rowsMimeType)))
        return -1;
    QList<int> presetNos;
    QDataStream in(data->data(QLatin1String(rowsMimeType)));
    in >> presetNos;
    // A swap takes two rows: several dragged at once have no one place to go.
    if (presetNos.size() != 1 || !PatchLibrary::validPresetNo(presetNos.first()))
        return -1;
    return presetNos.first();
}

int LibraryModel::targetRow(int row, const QModelIndex &parent)
{
    // Dropped onto a row, the view names it as parent; between rows, as the row below.
    const int target = parent.isValid() ? parent.row() : row;
    return PatchLibrary::validPresetNo(target) ? target : -1;
}

bool LibraryModel::canDropMimeData(const QMimeData *data, Qt::DropAction action, int row,
                                   int column, const QModelIndex &parent) const
{
    Q_UNUSED(column)
    const int source = draggedRow(data);
    const int target = targetRow(row, parent);
    return action == Qt::MoveAction && source >= 0 && target >= 0 && source != target;
}

bool LibraryModel::dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                                const QModelIndex &parent)
{
    if (!canDropMimeData(data, action, row, column, parent))
        return false;
    // The swap is the whole move: the view finds no row to take away afterwards, as
    // removeRows refuses.
    return library->swap(draggedRow(data), targetRow(row, parent));
}
