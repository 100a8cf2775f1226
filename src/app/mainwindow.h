#pragma once

#include "editorsettings.h"
#include "eventfilter.h"
#include "parameterid.h"
#include "patch.h"
#include "recoveryfile.h"
#include "selectionhost.h"

#include <QByteArray>
#include <QList>
#include <QMainWindow>
#include <QMap>
#include <QStringList>

#include <array>
#include <memory>

class ContextMenu;
class ControlTable;
class CustomScene;
class DebugPixmapItem;
class DeviceWatcher;
class EditorPane;
class IMidi;
class MidiControlItem;
class MidiControlModel;
class MidiController;
class PanelDisplay;
class PatchDocument;
class QAction;
class QKeyEvent;
class QLabel;
class QMenu;
class QTimer;
class UpdateDialog;

namespace Ui {
class MainWindow;
}

// The editor's one window: the device view, the editor pane, the buttons and the status bar.
// It owns the patch controller and everything else that lives as long as the editor.
class MainWindow : public QMainWindow, public SelectionHost
{
    Q_OBJECT

public:
    // Talks to the device through the platform's MIDI port.
    explicit MainWindow(QWidget *parent = nullptr);
    // Talks to the device through the given port instead (tests hand in a simulated device).
    explicit MainWindow(std::unique_ptr<IMidi> midi, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Shows text in the status bar until the next text replaces it.
    void showStatusMessage(const QString &text);

    // The selection, in order of selection and without duplicates. Each change refreshes the
    // editor pane.
    void selectModel(MidiControlModel *model) override;
    void deselectModel(MidiControlModel *model) override;
    void deselectAllItems();
    QList<MidiControlModel *> &getSelectedModels() override { return selectedModels; }

    bool isMultiSelect() const override { return multiSelect; }
    MidiController *getMidiController() const { return midiController; }
    // The patch, its undo steps and the device-known patch.
    PatchDocument *document() const { return patchDocument; }
    CustomScene *getScene() const { return scene; }
    MidiControlItem *getItem(int index) const { return items.at(index); }
    PanelDisplay *getDisplay() const { return display; }
    // The control the keyboard's cursor is on in the picture, -1 before the picture had focus.
    int keyboardCursor() const { return keyCursor; }

    void showContextMenu(MidiControlItem *item, MidiControlModel *model,
                         const QPoint &position) override;

    // The files loaded or saved lately, the latest first.
    QStringList recentFiles() const;
    // Where the editor keeps what it remembers between runs.
    EditorSettings *getSettings() const { return settings.get(); }

    // Closes without asking, for ends nobody may be there to answer (logging out, kill,
    // Ctrl-C): unsent changes go to the recovery file first. A firmware transfer still holds
    // the window open; it then closes once the transfer has ended.
    void closeUnasked();
    // When the last run left unsent changes in the recovery file, asks whether to restore
    // them. Asked after the device has answered the start's patch request, which would
    // otherwise replace them.
    void offerRecovery();

public slots:
    void refreshView();
    void performUpdate();
    void downloadPatch();
    void uploadPatch();
    void loadSysex();
    void saveSysex();
    void SelectSingle();
    void SelectMulti();
    void selectAll();
    // Asks for a start, step and order and numbers the selected controls, as one undo step.
    void numberSelectedControls();
    void openRecentFile(const QString &fileName);
    void showAbout();
    // Shows in the status bar's own field whether the port is connected, and under which name.
    void showConnectionState();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // Puts the patch's name into the name field as it is, without the field's signals.
    void showPresetName();
    void generateCCandNoteLists();
    void connectSignals();
    void createActions();
    void restoreSettings();
    void placeItems();

    void refreshEditorPane();
    // What the picture draws from the patch: colours, assignments, tooltips and the display.
    void refreshPanel();
    void refreshDisplay();
    // The picture's focus and keys: arrows, Shift+arrows, Space and Enter. True when taken.
    bool panelEvent(QEvent *event);
    bool handlePanelKey(const QKeyEvent *event);
    void moveKeyCursor(int control);
    QList<int> selectedIndices() const;
    void arrangeTabOrder();
    // The pane's edit: the selected controls having the parameter take the value.
    void applyEdit(ParameterId id, int value);

    // Marks, status field and title after the editor's or the device's patch changed.
    void refreshUnsent();
    bool askBeforeClosing();
    bool loadFile(const QString &fileName);
    bool saveToFile();
    void rememberFile(const QString &fileName);
    void rebuildRecentMenu();
    QString lastFolder() const;

    Ui::MainWindow *ui = nullptr;
    PatchDocument *patchDocument = nullptr;
    MidiController *midiController = nullptr; // the document's
    ContextMenu *contextMenu = nullptr;
    ControlTable *controlModels = nullptr;
    CustomScene *scene = nullptr;
    std::array<MidiControlItem *, 64> items{};
    QList<MidiControlModel *> selectedModels;
    DebugPixmapItem *pixmapItem = nullptr;
    PanelDisplay *display = nullptr;
    int keyCursor = -1;
    QList<QObject *> panelHooks; // event filters on the view, gone before the items go
    bool multiSelect = false;
    EventFilter eventFilter;
    UpdateDialog *updateDialog = nullptr;
    DeviceWatcher *deviceWatcher = nullptr;
    QLabel *connectionLabel = nullptr;
    EditorPane *editorPane = nullptr;
    QStringList ccNames;   // controller names, line k of the name file names controller k
    QStringList noteNames; // C-2 .. G8, entry n names note n

    RecoveryFile recovery;
    bool closingUnasked = false;
    bool closeAfterTransfer = false;
    bool recoveryAwaitsAnswer = false;
    QLabel *unsentLabel = nullptr;
    QMenu *recentMenu = nullptr;
    QAction *revertAction = nullptr;
    std::unique_ptr<EditorSettings> settings;
};
