#pragma once

#include <QList>
#include <QWidget>

class LibraryDocument;
class LibraryModel;
class QAction;
class QListView;
class QProgressBar;
class QPushButton;
struct LibrarySendResult;

// The library's twenty rows in a list, with what can be done to them: Open (double click or
// Enter) puts a row into the editor, Store Here (Ctrl+Shift+S) the editor's patch into the
// selected row, and the context menu renames, copies, pastes, deletes and sends. A row dragged
// onto another swaps them. While presets are sent a progress bar with Stop shows under the list.
class LibraryPanel : public QWidget
{
    Q_OBJECT

public:
    // The clipboard's format of a copied row: its patch message.
    static constexpr const char *patchMimeType = "application/x-vellichord-patch";

    explicit LibraryPanel(LibraryDocument *library, QWidget *parent = nullptr);

    QListView *view() const { return list; }
    LibraryModel *model() const { return rowsModel; }
    // The selected rows in preset order; the current row decides where one row is meant.
    QList<int> selectedPresets() const;
    int currentPreset() const;

    // The panel's commands, named "actionLibraryOpen" …, for the window's menus and the tests.
    QAction *openAction() const { return openRow; }
    QAction *storeAction() const { return storeRow; }
    QAction *sendAllAction() const { return sendAll; }

    // Sends the rows that hold a patch among presetNos. Before the first send of the session
    // asks once whether to replace those presets on the device.
    bool sendPresets(const QList<int> &presetNos);
    // Whether the question before the first send has been answered with Send.
    bool replaceConfirmed() const { return confirmed; }

    // While the firmware updater has the port, nothing is sent.
    void setDeviceBusy(bool busy);

private:
    void createActions();
    void showContextMenu(const QPoint &position);
    void copyRow();
    void pasteRow();
    void sendingFinished(const LibrarySendResult &result);
    // Enables the commands for the current row, the clipboard and a run under way.
    void updateActions();

    LibraryDocument *library;
    LibraryModel *rowsModel;
    QListView *list;
    QProgressBar *progress;
    QPushButton *stop;
    QAction *openRow = nullptr;
    QAction *storeRow = nullptr;
    QAction *renameRow = nullptr;
    QAction *copy = nullptr;
    QAction *paste = nullptr;
    QAction *remove = nullptr;
    QAction *sendRow = nullptr;
    QAction *sendSelected = nullptr;
    QAction *sendAll = nullptr;
    bool confirmed = false;
    bool busy = false;
};
