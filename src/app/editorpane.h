#pragma once

#include "parameterid.h"

#include <QList>
#include <QStringList>
#include <QWidget>

class ControlTable;
class MidiControlModel;
class QComboBox;
class QLabel;
class QScrollArea;
class RangeSpinBox;

// The selected controls' parameters, one row of caption and editor each, generated from
// ParameterInfo; a heading names the selection. A row shows when a selected control has its
// parameter, "<multi>" when those controls disagree. Only the user's edits leave the pane, as
// edited(); every change the pane makes to an editor itself is made with its signals blocked.
class EditorPane : public QWidget
{
    Q_OBJECT

public:
    // controllerNames name the CC rows' values (line n of the name file names controller n),
    // noteNames the Note/CC row's for controls of type Note.
    EditorPane(QStringList controllerNames, QStringList noteNames, QWidget *parent = nullptr);
    ~EditorPane() override;

    using QWidget::show;
    // Shows what the controls at the indices of selected (in order of selection) hold.
    void show(const QList<int> &selected, const ControlTable &controls);
    // Puts the keyboard into the first editor the selection has, in the pane's order; false
    // when it has none.
    bool focusFirstEditor();
    // Every editor, shown or not, in the pane's order (for the tab chain).
    QList<QWidget *> editors() const;

signals:
    // The user set the selection's parameter id to value.
    void edited(ParameterId id, int value);
    // A note on an edit, such as a typed number out of range.
    void statusMessage(const QString &text);

private:
    struct Row
    {
        ParameterId id;
        QWidget *row = nullptr;
        QLabel *label = nullptr;
        QComboBox *combo = nullptr;   // for a parameter with named values
        RangeSpinBox *spin = nullptr; // for a number
        QStringList items;            // the combo box's entries
        QWidget *editor() const;
    };

    void addRow(ParameterId id, const char *rowName, const char *labelName, const char *editorName);
    void fitToFont();
    void refresh(const QList<MidiControlModel *> &models);
    void refreshSpinBox(const QList<MidiControlModel *> &models, const Row &row, bool present);
    void refreshComboBox(const QList<MidiControlModel *> &models, const Row &row, bool present);
    static void resetSpinBox(const Row &row, int minimum, bool shown);
    static void resetComboBox(const Row &row, bool shown);
    void comboChosen(const Row &row, int index);
    void spinChanged(const Row &row, int value);
    // The Note/CC row's caption and names for the Type the selection has (0 Note, 1 CC,
    // anything else both).
    void switchNoteCCLabels(int type);
    const Row &rowOf(ParameterId id) const;

    QStringList controllerNames;
    QStringList noteNames;
    QList<Row> rows;
    QLabel *heading = nullptr;
    QScrollArea *scroll = nullptr;
    QWidget *rowsWidget = nullptr;
};
