#pragma once

#include <QBrush>
#include <QColor>
#include <QGraphicsRectItem>
#include <QPen>

#include <functional>

class MidiControlModel;
class Selection;

// A selectable rectangle over one control of the front-panel picture, the control with its
// index. Selecting it puts the control into the Selection; a right click asks for the
// control's context menu for the selection it belongs to. It draws what the panel hands it:
// the control's light colour and what the control sends, placed by the kind of its model.
class MidiControlItem : public QGraphicsRectItem
{
public:
    explicit MidiControlItem(int index, QGraphicsItem *parent = nullptr);

    int index() const { return controlIndex; }
    // The selection this item's control belongs to or not.
    void setSelection(Selection *selection) { this->selection = selection; }
    // The control's model, which tells where the texts go; the item draws nothing of its own
    // without one.
    void setModel(const MidiControlModel *model) { this->model = model; }
    const MidiControlModel *getModel() const { return model; }
    // Called with the item's index and the menu's global position on a right click.
    void setContextMenuHandler(std::function<void(int, const QPoint &)> handler)
    {
        contextMenuHandler = std::move(handler);
    }

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

    // The mark of unsent changes, centred on centre; the library's rows carry it too.
    static void paintUnsentMark(QPainter *painter, const QPointF &centre);

    // Marks the control as concerned by a finding of the patch check.
    void setWarning(bool warning);
    bool hasWarning() const { return warning; }
    // The patch check's mark, a small warning triangle centred on centre.
    static void paintWarningMark(QPainter *painter, const QPointF &centre);

    // The colour a model's Colour or ColourF value lights; invalid when it has neither.
    static QColor ledColourOf(const MidiControlModel &model);

    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent *event) override;
    QVariant itemChange(GraphicsItemChange change, const QVariant &value) override;

private:
    void openContextMenu();
    void drawAssignment(QPainter *painter) const;

    int controlIndex;
    Selection *selection = nullptr;
    const MidiControlModel *model = nullptr;
    std::function<void(int, const QPoint &)> contextMenuHandler;
    QPen selectedPen;
    QPen noPen;
    QBrush noBrush;
    QBrush selectedBrush;
    bool unsent = false;
    QColor led;
    QString assigned;
    bool keyboardFocus = false;
    bool warning = false;
};
