#include "librarypanel.h"

#include "librarydocument.h"
#include "librarymodel.h"
#include "librarysender.h"
#include "midicontrolitem.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// A row as the list shows it: the number and name, the state in words on the right, and the
// orange mark of unsent changes beyond it.
class LibraryRowDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static constexpr int markWidth = 18;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        const QRect area = option.rect.adjusted(0, 0, -markWidth, 0);
        const QString state = index.data(LibraryModel::StateTextRole).toString();
        if (!state.isEmpty()) {
            painter->save();
            const bool selected = option.state & QStyle::State_Selected;
            QColor colour = option.palette.color(selected ? QPalette::HighlightedText
                                                          : QPalette::Text);
            colour.setAlphaF(0.6);
            painter->setPen(colour);
            painter->setFont(option.font);
            painter->drawText(area, Qt::AlignRight | Qt::AlignVCenter, state);
            painter->restore();
        }
        if (index.data(LibraryModel::UnsentRole).toBool())
            MidiControlItem::paintUnsentMark(
                painter, QPointF(option.rect.right() - markWidth / 2.0, option.rect.center().y()));
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        // Room for the longest state beside a full name.
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        const int state = option.fontMetrics.horizontalAdvance(LibraryModel::tr("from the device"));
        size.setWidth(size.width() + state + markWidth + option.fontMetrics.averageCharWidth() * 2);
        return size;
    }
};

QAction *makeAction(QWidget *owner, const char *name, const QString &text, const QString &tip,
                    const QList<QKeySequence> &keys = {},
                    Qt::ShortcutContext context = Qt::WidgetShortcut)
{
    auto *action = new QAction(text, owner);
    action->setObjectName(QLatin1String(name));
    action->setToolTip(tip);
    action->setStatusTip(tip);
    action->setShortcuts(keys);
    action->setShortcutContext(context);
    owner->addAction(action);
    return action;
}

} // namespace

LibraryPanel::LibraryPanel(LibraryDocument *library, QWidget *parent)
    : QWidget(parent)
    , library(library)
    , rowsModel(new LibraryModel(library, this))
    , list(new QListView(this))
    , progress(new QProgressBar(this))
    , stop(new QPushButton(tr("Stop"), this))
{
    setObjectName(QStringLiteral("libraryPanel"));
    list->setObjectName(QStringLiteral("libraryView"));
    list->setAccessibleName(tr("Library"));
    list->setAccessibleDescription(
        tr("The twenty presets of the library: Enter opens one in the editor, F2 renames it"));
    list->setModel(rowsModel);
    list->setItemDelegate(new LibraryRowDelegate(list));
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setEditTriggers(QAbstractItemView::EditKeyPressed);
    // A row dropped onto another swaps with it; nothing is inserted between rows.
    list->setDragDropMode(QAbstractItemView::InternalMove);
    list->setDragDropOverwriteMode(true);
    list->setDefaultDropAction(Qt::MoveAction);
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    list->setUniformItemSizes(true);
    list->setCurrentIndex(rowsModel->index(0));

    progress->setObjectName(QStringLiteral("librarySendProgress"));
    progress->setAccessibleName(tr("Presets sent"));
    progress->setFormat(tr("%v of %m presets"));
    stop->setObjectName(QStringLiteral("librarySendStop"));
    stop->setToolTip(tr("Stop sending after the preset under way"));
    auto *sendingRow = new QHBoxLayout;
    sendingRow->addWidget(progress, 1);
    sendingRow->addWidget(stop);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list, 1);
    layout->addLayout(sendingRow);
    progress->hide();
    stop->hide();

    createActions();

    connect(list, &QListView::doubleClicked, this,
            [this](const QModelIndex &index) { this->library->open(index.row()); });
    connect(list, &QListView::customContextMenuRequested, this, &LibraryPanel::showContextMenu);
    connect(list->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &LibraryPanel::updateActions);
    connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &LibraryPanel::updateActions);
    connect(library, &LibraryDocument::rowsChanged, this, &LibraryPanel::updateActions);
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this,
            &LibraryPanel::updateActions);
    connect(stop, &QPushButton::clicked, library, &LibraryDocument::stopSending);
    connect(library, &LibraryDocument::sendProgress, this, [this](int done, int total) {
        progress->setRange(0, total);
        progress->setValue(done);
        progress->show();
        stop->show();
        updateActions();
    });
    connect(library, &LibraryDocument::sendFinished, this, &LibraryPanel::sendingFinished);
    updateActions();
}

void LibraryPanel::createActions()
{
    openRow = makeAction(list, "actionLibraryOpen", tr("&Open in Editor"),
                         tr("Open: the editor's patch becomes this preset"),
                         {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    storeRow = makeAction(this, "actionLibraryStore", tr("&Store Editor's Patch Here"),
                          tr("Store Here: put the editor's patch into the selected preset of the "
                             "library"),
                          {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)}, Qt::WindowShortcut);
    renameRow = makeAction(list, "actionLibraryRename", tr("&Rename"), tr("Rename the preset"),
                           {QKeySequence(Qt::Key_F2)});
    copy = makeAction(list, "actionLibraryCopy", tr("&Copy"), tr("Copy the preset's patch"),
                      {QKeySequence::Copy});
    paste = makeAction(list, "actionLibraryPaste", tr("&Paste"),
                       tr("Paste the copied patch into this preset"), {QKeySequence::Paste});
    remove = makeAction(list, "actionLibraryDelete", tr("&Delete"),
                        tr("Delete: the preset's row becomes empty"), {QKeySequence::Delete});
    sendRow = makeAction(list, "actionLibrarySend", tr("Se&nd to Vellichord"),
                         tr("Send this preset to the Vellichord"));
    sendSelected = makeAction(list, "actionLibrarySendSelected", tr("Send Se&lected"),
                              tr("Send the selected presets to the Vellichord"));
    sendAll = makeAction(this, "actionLibrarySendAll", tr("Send &All to Vellichord"),
                         tr("Send every preset of the library to the Vellichord"), {},
                         Qt::WindowShortcut);

    connect(openRow, &QAction::triggered, this, [this] { library->open(currentPreset()); });
    connect(storeRow, &QAction::triggered, this, [this] { library->store(currentPreset()); });
    connect(renameRow, &QAction::triggered, this, [this] {
        if (currentPreset() >= 0)
            list->edit(list->currentIndex());
    });
    connect(copy, &QAction::triggered, this, &LibraryPanel::copyRow);
    connect(paste, &QAction::triggered, this, &LibraryPanel::pasteRow);
    connect(remove, &QAction::triggered, this, [this] {
        // The selected rows as one step each, so each can come back on its own.
        for (const int presetNo : selectedPresets())
            library->remove(presetNo);
    });
    connect(sendRow, &QAction::triggered, this, [this] { sendPresets({currentPreset()}); });
    connect(sendSelected, &QAction::triggered, this, [this] { sendPresets(selectedPresets()); });
    connect(sendAll, &QAction::triggered, this, [this] {
        QList<int> all;
        for (int presetNo = 0; presetNo < PatchLibrary::presetCount; ++presetNo)
            all << presetNo;
        sendPresets(all);
    });
}

QList<int> LibraryPanel::selectedPresets() const
{
    QList<int> presetNos;
    for (const QModelIndex &index : list->selectionModel()->selectedIndexes())
        presetNos << index.row();
    std::sort(presetNos.begin(), presetNos.end());
    return presetNos;
}

int LibraryPanel::currentPreset() const
{
    const QModelIndex current = list->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void LibraryPanel::updateActions()
{
    const int presetNo = currentPreset();
    const bool filled = presetNo >= 0 && !library->library().isEmpty(presetNo);
    const bool free = !busy && !library->sending();
    const QMimeData *clip = QApplication::clipboard()->mimeData();
    openRow->setEnabled(filled);
    storeRow->setEnabled(presetNo >= 0);
    renameRow->setEnabled(filled);
    copy->setEnabled(filled);
    paste->setEnabled(presetNo >= 0 && clip && clip->hasFormat(QLatin1String(patchMimeType)));
    remove->setEnabled(!library->sendable(selectedPresets()).isEmpty());
    sendRow->setEnabled(free && filled);
    sendSelected->setEnabled(free && !library->sendable(selectedPresets()).isEmpty());
    sendAll->setEnabled(free && library->library().count() > 0);
}

void LibraryPanel::setDeviceBusy(bool on)
{
    busy = on;
    updateActions();
}

void LibraryPanel::showContextMenu(const QPoint &position)
{
    const QModelIndex index = list->indexAt(position);
    if (index.isValid() && !list->selectionModel()->isSelected(index))
        list->setCurrentIndex(index);
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("libraryContextMenu"));
    menu.addActions({openRow, storeRow, renameRow});
    menu.addSeparator();
    menu.addActions({copy, paste, remove});
    menu.addSeparator();
    menu.addActions({sendRow, sendSelected, sendAll});
    menu.exec(list->viewport()->mapToGlobal(position));
}

void LibraryPanel::copyRow()
{
    const QByteArray message = library->library().message(currentPreset());
    if (message.isEmpty())
        return;
    auto *data = new QMimeData;
    data->setData(QLatin1String(patchMimeType), message);
    data->setText(library->library().name(currentPreset()));
    QApplication::clipboard()->setMimeData(data);
}

void LibraryPanel::pasteRow()
{
    const QMimeData *data = QApplication::clipboard()->mimeData();
    const QByteArray message = data ? data->data(QLatin1String(patchMimeType)) : QByteArray();
    library->paste(currentPreset(), message);
}

bool LibraryPanel::sendPresets(const QList<int> &presetNos)
{
    if (busy || library->sending())
        return false;
    const QList<int> chosen = library->sendable(presetNos);
    if (chosen.isEmpty())
        return library->send(chosen); // says that there is nothing to send
    if (!confirmed) {
        QMessageBox box(QMessageBox::Question, tr("Send to Vellichord"),
                        tr("This replaces %1 on the Vellichord.").arg(preset_list_text(chosen)),
                        QMessageBox::NoButton, this);
        box.setObjectName(QStringLiteral("replaceQuestion"));
        QPushButton *send = box.addButton(tr("Send"), QMessageBox::AcceptRole);
        QPushButton *cancel = box.addButton(tr("Cancel"), QMessageBox::RejectRole);
        box.setDefaultButton(send);
        box.setEscapeButton(cancel);
        box.exec();
        if (box.clickedButton() != send)
            return false;
        confirmed = true;
    }
    return library->send(chosen);
}

void LibraryPanel::sendingFinished(const LibrarySendResult &result)
{
    Q_UNUSED(result)
    progress->hide();
    stop->hide();
    updateActions();
}
