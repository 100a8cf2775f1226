#pragma once

#include <QBrush>
#include <QGraphicsRectItem>
#include <QPen>

class SelectionHost;
class MidiControlModel;

// An invisible, selectable rectangle over one control of the front-panel picture, bound to that
// control's model. Selecting it puts the model into the window's selection; a right click opens
// the control's context menu for the selection it belongs to.
class MidiControlItem : public QGraphicsRectItem
{
public:
    MidiControlItem(SelectionHost *window, MidiControlModel *model,
                    QGraphicsItem *parent = nullptr);

    MidiControlModel *getModel() const { return model; }

    // Marks the control as holding values the device does not have yet.
    void setUnsent(bool unsent);
    bool isUnsent() const { return unsent; }

    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent *event) override;
    QVariant itemChange(GraphicsItemChange change, const QVariant &value) override;

private:
    void openContextMenu();

    SelectionHost *window;
    MidiControlModel *model;
    QPen selectedPen;
    QPen noPen;
    QBrush noBrush;
    QBrush selectedBrush;
    bool unsent = false;
};
