#pragma once

#include <QBrush>
#include <QColor>
#include <QGraphicsRectItem>
#include <QPen>

class SelectionHost;
class MidiControlModel;

// A selectable rectangle over one control of the front-panel picture, bound to that control's
// model. Selecting it puts the model into the window's selection; a right click opens the
// control's context menu for the selection it belongs to. It draws what the window hands it:
// the control's light colour and what the control sends.
class MidiControlItem : public QGraphicsRectItem
{
public:
    MidiControlItem(SelectionHost *window, MidiControlModel *model,
                    QGraphicsItem *parent = nullptr);

    MidiControlModel *getModel() const { return model; }

    // Marks the control as holding values the device does not have yet.
    void setUnsent(bool unsent);
    bool isUnsent() const { return unsent; }

    // The light colour of a pad or function button as the device shows it; invalid for none.
    void setLedColour(const QColor &colour);
    QColor ledColour() const { return led; }
    // The short text drawn on the control, such as "C3" or "CC 74\nCh 2"; where the control
    // has no room for two lines, they are drawn as one.
    void setAssignment(const QString &text);
    QString assignment() const { return assigned; }
    // Whether the keyboard's cursor is on this control (drawn as a dashed frame).
    void setKeyboardFocus(bool focus);
    bool hasKeyboardFocus() const { return keyboardFocus; }

    // The colour a model's Colour or ColourF value lights; invalid when it has neither.
    static QColor ledColourOf(const MidiControlModel &model);

    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent *event) override;
    QVariant itemChange(GraphicsItemChange change, const QVariant &value) override;

private:
    void openContextMenu();
    void drawAssignment(QPainter *painter) const;

    SelectionHost *window;
    MidiControlModel *model;
    QPen selectedPen;
    QPen noPen;
    QBrush noBrush;
    QBrush selectedBrush;
    bool unsent = false;
    QColor led;
    QString assigned;
    bool keyboardFocus = false;
};
