#pragma once

#include <QList>
#include <QMainWindow>
#include <QMap>

class MidiController;

namespace Ui {
class MainWindow;
}

// The editor's one window: the device view, the editor pane, the buttons and the status bar.
// It owns the patch controller and everything else that lives as long as the editor.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Shows text in the status bar until the next text replaces it.
    void showStatusMessage(const QString &text);
    bool isMultiSelect() const { return multiSelect; }
    MidiController *getMidiController() const { return midiController; }

public slots:
    void refreshView();
    void performUpdate();
    void downloadPatch();
    void uploadPatch();
    void loadSysex();
    void saveSysex();
    void SelectSingle();
    void SelectMulti();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildLabelMap();
    void buildEditorList();
    void connectSignals();

    Ui::MainWindow *ui = nullptr;
    MidiController *midiController = nullptr;
    bool multiSelect = false;
    QMap<QWidget *, QWidget *> labelMap; // editor widget -> its caption label
    QList<QWidget *> editorWidgets;
};
