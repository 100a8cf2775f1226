#pragma once

#include "editorsettings.h"
#include "patch.h"
#include "recoveryfile.h"
#include "selectionparameters.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QMainWindow>
#include <QMap>
#include <QStringList>

#include <memory>

class ContextMenu;
class ControlTable;
class DeviceWatcher;
class FrontPanel;
class IMidi;
class MidiControlModel;
class MidiController;
class Selection;
class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QSpinBox;
class QTimer;
class QUndoStack;
class UpdateDialog;

namespace Ui {
class MainWindow;
}

// The editor's one window: the device view, the editor pane, the buttons and the status bar.
// It owns the patch controller and everything else that lives as long as the editor.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // Talks to the device through the platform's MIDI port.
    explicit MainWindow(QWidget *parent = nullptr);
    // Talks to the device through the given port instead (tests hand in a simulated device).
    explicit MainWindow(std::unique_ptr<IMidi> midi, QWidget *parent = nullptr);
    ~MainWindow() override;

    // How long after an Upload request the window waits for the device's patch before it says
    // that no answer came. A patch that comes later is still applied.
    static constexpr int uploadAnswerWaitMs = 5000;

    // Shows text in the status bar until the next text replaces it.
    void showStatusMessage(const QString &text);

    // The selected controls; each change refreshes the editor pane and the panel.
    Selection *selection() const { return controlSelection; }
    MidiController *getMidiController() const { return midiController; }
    FrontPanel *frontPanel() const;

    // Every change of the patch is a step here; undo and redo change only the editor.
    QUndoStack *getUndoStack() const { return undoStack; }
    // Puts a whole patch (a Type 1 message) back into the editor, keeping the selection.
    void restorePatch(const QByteArray &patch);
    // Whether the editor's patch differs from the last one the device is known to hold.
    bool hasUnsentChanges() const { return editorPatch != devicePatch; }
    // The files loaded or saved lately, the latest first.
    QStringList recentFiles() const;
    // Where the editor keeps what it remembers between runs.
    EditorSettings *getSettings() const { return settings.get(); }

    // Undo steps kept; the oldest go first. Bursts of unrequested patches are one step each.
    static constexpr int undoLimit = 1000;

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
    void switchNoteCCLabels(int index);
    void selectAll();
    // Asks for a start, step and order and numbers the selected controls, as one undo step.
    void numberSelectedControls();
    // Puts the patch the device is known to hold into the editor, as one undo step.
    void revertToDevicePatch();
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

    void refreshEditorPane();
    // Hands the patch to the picture: colours, assignments, tooltips and the display.
    void refreshPanel();
    // The selected controls' models, in order of selection.
    QList<MidiControlModel *> selectedModels() const;
    // Opens the context menu of control and applies the choice to the selection as one step.
    void showContextMenu(int control, const QPoint &position);
    // Into the first editor the selection has, in the pane's order.
    void focusFirstEditor();
    void arrangeTabOrder();
    void refreshSpinBox(const QList<unsigned int> &present, QSpinBox *box, unsigned int id);
    void refreshComboBox(const QList<unsigned int> &present, QComboBox *box, unsigned int id);
    void resetSpinBox(QSpinBox *box, int minimum, bool shown);
    void resetComboBox(QComboBox *box, bool shown);
    void updateItems(const QList<MidiControlModel *> &models, unsigned int id, int value);
    void updateRange(QSpinBox *box, unsigned int id, int value);
    void updateFromList(QComboBox *box, unsigned int id, int index);
    void showNoteOrCCValue();

    QByteArray currentPatch();
    // Makes the change the models already hold one undo step; text empty names it by what
    // changed. Steps of the same burst (>= 0) merge; so do patches the device sent unasked
    // (unrequested) that follow each other closely.
    void recordChange(const QString &text = QString(), int burst = -1, bool unrequested = false);
    // Marks, status field and title after the editor's or the device's patch changed.
    void refreshUnsent();
    void deviceAppeared();
    void patchFromDevice();
    // A patch the device sent while the editor kept its unsent changes: it becomes the
    // device-known patch.
    void devicePatchChanged(const QByteArray &patch);
    // Whether another program is updating the device's firmware; if so, says that action was
    // refused and returns true.
    bool deviceRefused(const QString &action);
    bool askBeforeClosing();
    void restoreUnsent(const QByteArray &patch);
    bool loadFile(const QString &fileName);
    bool saveToFile();
    void rememberFile(const QString &fileName);
    void rebuildRecentMenu();
    QString lastFolder() const;

    Ui::MainWindow *ui = nullptr;
    MidiController *midiController = nullptr;
    SelectionParameters selectionParameters;
    std::unique_ptr<ContextMenu> contextMenu;
    ControlTable *controlModels = nullptr;
    Selection *controlSelection = nullptr;
    UpdateDialog *updateDialog = nullptr;
    QTimer *uploadAnswerTimer = nullptr;
    DeviceWatcher *deviceWatcher = nullptr;
    QLabel *connectionLabel = nullptr;
    QMap<QWidget *, QStringList> comboItemLists; // combo box -> its item texts
    QMap<QWidget *, QWidget *> labelMap;         // editor widget -> its caption label
    QList<QWidget *> editorWidgets;
    QStringList ccNames;   // controller names, line k of the name file names controller k
    QStringList noteNames; // C-2 .. G8, entry n names note n

    QUndoStack *undoStack = nullptr;
    QByteArray editorPatch; // the models' patch as of the last step
    QByteArray devicePatch; // the last patch the device is known to hold
    bool loadingFile = false;
    bool answerAwaited = false; // a patch request is out and not answered yet
    int renameBurst = 0;
    RecoveryFile recovery;
    bool closingUnasked = false;
    bool closeAfterTransfer = false;
    bool recoveryAwaitsAnswer = false;
    QLabel *unsentLabel = nullptr;
    QMenu *recentMenu = nullptr;
    QAction *revertAction = nullptr;
    std::unique_ptr<EditorSettings> settings;
    QElapsedTimer clock; // when unrequested patches arrived, for merging their steps
};
