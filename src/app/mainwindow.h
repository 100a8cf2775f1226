#pragma once

#include "editorsettings.h"
#include "eventfilter.h"
#include "patch.h"
#include "recoveryfile.h"
#include "selectionhost.h"
#include "selectionparameters.h"

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
class IMidi;
class MidiControlItem;
class MidiControlModel;
class MidiController;
class PanelDisplay;
class PatchDocument;
class QAction;
class QComboBox;
class QKeyEvent;
class QLabel;
class QMenu;
class QSpinBox;
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
    void updateCh(int index);
    void updateCC(int index);
    void updateCCX(int index);
    void updateCCY(int index);
    void updateMin(int value);
    void updateMinX(int value);
    void updateMinY(int value);
    void updateMax(int value);
    void updateMaxX(int value);
    void updateMaxY(int value);
    void updateType(int index);
    void updateToggle(int index);
    void updateNoteOrCC(int index);
    void updateAftertouch(int index);
    void updateColour(int index);
    void updateColourF(int index);
    void refreshView();
    void performUpdate();
    void downloadPatch();
    void uploadPatch();
    void loadSysex();
    void saveSysex();
    void SelectSingle();
    void SelectMulti();
    void switchNoteCCLabels(int index);
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
    // The name field's character count, and a hint on what typing or pasting dropped.
    void showPresetNameCount();
    void presetNameDropped(const Patch::NameFit &fit);
    void buildLabelMap();
    void buildEditorList();
    void fitEditorPaneToFont();
    void generateCCandNoteLists();
    void fillComboBoxes();
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
    void refreshSpinBox(const QList<unsigned int> &present, QSpinBox *box, unsigned int id);
    void refreshComboBox(const QList<unsigned int> &present, QComboBox *box, unsigned int id);
    void resetSpinBox(QSpinBox *box, int minimum, bool shown);
    void resetComboBox(QComboBox *box, bool shown);
    void updateItems(QList<MidiControlModel *> &models, unsigned int id, int value);
    void updateRange(QSpinBox *box, unsigned int id, int value);
    void updateFromList(QComboBox *box, unsigned int id, int index);
    void showNoteOrCCValue();

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
    SelectionParameters selectionParameters;
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
    QMap<QWidget *, QStringList> comboItemLists; // combo box -> its item texts
    QMap<QWidget *, QWidget *> labelMap;         // editor widget -> its caption label
    QList<QWidget *> editorWidgets;
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
