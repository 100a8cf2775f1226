#pragma once

#include <QAbstractListModel>
#include <QByteArray>
#include <QList>

class LibraryDocument;

// The library's twenty rows for a view: "NN name" (an empty row shows its number alone), the
// row's state in words and as a role, and whether it carries the mark of unsent changes.
// Editing a row renames it; dropping a row onto another swaps them. Every change goes through
// the library document, as one undo step.
class LibraryModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role {
        OriginRole = Qt::UserRole + 1, // PatchLibrary::Origin as int
        StateTextRole,                 // "from a file", empty for an empty row
        UnsentRole,                    // differs from what the device is known to hold
    };

    // The rows being dragged, as a list of preset numbers.
    static constexpr const char *rowsMimeType = "application/x-vellichord-preset-rows";

    explicit LibraryModel(LibraryDocument *library, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    Qt::DropActions supportedDropActions() const override;
    bool canDropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                         const QModelIndex &parent) const override;
    bool dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                      const QModelIndex &parent) override;

private:
    // The one row dragged and the row it lands on; -1 when the drop is not a swap.
    static int draggedRow(const QMimeData *data);
    static int targetRow(int row, const QModelIndex &parent);

    LibraryDocument *library;
};
