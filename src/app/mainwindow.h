#pragma once

#include "editorsettings.h"
#include "parameterid.h"

#include <QMainWindow>
#include <QStringList>

#include <memory>

class ConnectionField;
struct EditorCommands;
class ContextMenu;
class ControlClipboard;
class EditorPane;
class FrontPanel;
class IMidi;
class LibraryDocument;
class LibraryFiles;
class LibraryPanel;
class MidiMonitorWindow;
class MidiController;
class PatchDocument;
class QAction;
class QDockWidget;
class QLabel;
class RecentFiles;
class Selection;
class UnsentRecovery;
class UpdateDialog;
class WindowSizing;

namespace Ui {
class MainWindow;
}

// The editor's one window: it arranges the front panel, the editor pane, the buttons and the
// status bar, holds the menus and dialogs, and wires them to the patch document and the
// selection, which hold the state.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // How long a shown window waits for its first expose before it opens the port anyway.
    static constexpr int startWithoutExposeMs = 1000;

    // Talks to the device through the platform's MIDI port.
    explicit MainWindow(QWidget *parent = nullptr);
    // Talks to the device through the given port instead (tests hand in a simulated device).
    explicit MainWindow(std::unique_ptr<IMidi> midi, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Shows text in the status bar until the next text replaces it.
    void showStatusMessage(const QString &text);

    // The patch, its undo steps and the device-known patch.
    PatchDocument *document() const { return patchDocument; }
    MidiController *getMidiController() const { return midiController; }
    // The selected controls; each change refreshes the editor pane and the panel.
    Selection *selection() const { return controlSelection; }
    FrontPanel *frontPanel() const;
    EditorPane *editorPane() const { return pane; }

    // The twenty presets beside the editor's patch, and the panel that shows them.
    LibraryDocument *library() const { return libraryDocument; }
    LibraryPanel *libraryPanel() const { return panelOfLibrary; }
    QDockWidget *libraryDock() const { return dockOfLibrary; }

    // The files loaded or saved lately, the latest first.
    QStringList recentFiles() const;
    // Where the editor keeps what it remembers between runs.
    EditorSettings *getSettings() const { return settings.get(); }

    // Closes without asking, for ends nobody may be there to answer (logging out, kill,
    // Ctrl-C): unsent changes go to the recovery file first, a library with unsaved changes to
    // library-<time>.syx beside it. A firmware transfer still holds
    // the window open; it then closes once the transfer has ended.
    void closeUnasked();
    // When the last run left unsent changes in the recovery file, asks whether to restore
    // them. Asked after the device has answered the start's patch request, which would
    // otherwise replace them.
    void offerRecovery();
    // True once the port has been opened and the device asked for its patch: right after the
    // window's first paint, or from the event loop for a window that is not shown.
    bool midiStarted() const { return started; }

public slots:
    void performUpdate();
    void downloadPatch();
    void uploadPatch();
    void loadSysex();
    void saveSysex();
    void selectAll();
    // Asks for a start, step and order and numbers the selected controls, as one undo step.
    void numberSelectedControls();
    void openRecentFile(const QString &fileName);
    void showAbout();
    // Shows in the status bar's own field whether the port is connected, and under which name.
    void showConnectionState();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Opens the port, asks the device for its patch and starts watching for it; once.
    void startMidi();
    void createActions();
    // The library, its panel in a dock shown from the View menu, and its commands.
    void createLibrary(const EditorCommands &commands);
    // Device > Select Controls by Touch and Send Changes as You Edit, as last left.
    void createHandsOnModes(const EditorCommands &commands);
    // Copy, Paste, Paste All but Note/CC and Check in the Edit menu.
    void createClipboardCommands(const EditorCommands &commands);
    // Runs the patch check and marks the controls it concerns; say: tell the count.
    void checkPatch(bool say);
    // The MIDI monitor window, shown from the View menu, fed every message in and out.
    void createMonitor(const EditorCommands &commands);
    void restoreSettings();
    void arrangeTabOrder();
    // The picture and the pane show the patch the document now holds.
    void showPatch();
    void showContextMenu(int control, const QPoint &position);
    // Marks, status field and title after the editor's or the device's patch changed.
    void refreshUnsent();
    bool askBeforeClosing();
    bool loadFile(const QString &fileName);
    bool saveToFile();

    Ui::MainWindow *ui = nullptr;
    std::unique_ptr<EditorSettings> settings;
    PatchDocument *patchDocument = nullptr;
    MidiController *midiController = nullptr; // the document's
    Selection *controlSelection = nullptr;
    EditorPane *pane = nullptr;
    std::unique_ptr<ContextMenu> contextMenu;
    UpdateDialog *updateDialog = nullptr;
    ConnectionField *connection = nullptr;
    QLabel *unsentLabel = nullptr;
    RecentFiles *recentFileList = nullptr;
    RecentFiles *recentLibraryList = nullptr;
    QAction *revertAction = nullptr;
    LibraryDocument *libraryDocument = nullptr;
    LibraryPanel *panelOfLibrary = nullptr;
    QDockWidget *dockOfLibrary = nullptr;
    LibraryFiles *libraryFiles = nullptr;
    MidiMonitorWindow *monitorWindow = nullptr;
    WindowSizing *sizing = nullptr;
    ControlClipboard *controlClipboard = nullptr;
    bool checkShown = false; // once Check has run, its marks follow every change

    UnsentRecovery *recovery = nullptr;
    bool started = false;
    bool closed = false;        // a window closed before its start never opens the port
    bool startWhenIdle = false; // the start waits for the updater's run to end
    bool exposeWatched = false;
    bool recoveryOfferWaiting = false;
    bool closingUnasked = false;
    bool closeAfterTransfer = false;
};
