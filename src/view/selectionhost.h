#pragma once

#include <QList>

class MidiControlItem;
class MidiControlModel;
class QPoint;

// What the front panel's items and the context menu need from the window that holds the
// selection: they reach it only through this.
class SelectionHost
{
public:
    // The selection, in order of selection and without duplicates.
    virtual QList<MidiControlModel *> &getSelectedModels() = 0;
    virtual void selectModel(MidiControlModel *model) = 0;
    virtual void deselectModel(MidiControlModel *model) = 0;
    // Select Multi: a click toggles a control and keeps the rest (MultiSelection).
    virtual bool isMultiSelect() const = 0;
    // Opens the context menu of the control with this model and applies the choice to the
    // selection; returns when the menu has closed.
    virtual void showContextMenu(MidiControlItem *item, MidiControlModel *model,
                                 const QPoint &position) = 0;

protected:
    ~SelectionHost() = default;
};
