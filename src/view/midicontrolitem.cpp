#include "midicontrolitem.h"
#include "trace.h"

#include "selectionhost.h"

#include <QDebug>
#include <QGraphicsScene>
#include <QGraphicsSceneMouseEvent>
#include <QGraphicsView>
#include <QPainter>
#include <QStyleOptionGraphicsItem>

MidiControlItem::MidiControlItem(SelectionHost *window, MidiControlModel *model,
                                 QGraphicsItem *parent)
    : QGraphicsRectItem(parent)
    , window(window)
    , model(model)
    , selectedPen(QBrush(QColor(0, 0, 128, 200), Qt::SolidPattern), 1.0, Qt::SolidLine,
                  Qt::SquareCap, Qt::BevelJoin)
    , noPen(Qt::NoPen)
    , noBrush(Qt::NoBrush)
    , selectedBrush(QColor(0, 0, 128, 128), Qt::SolidPattern)
{
    setFlags(QGraphicsItem::ItemIsSelectable);
    setBrush(noBrush);
    setAcceptHoverEvents(true);
}

void MidiControlItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *option,
                            QWidget *widget)
{
    if (option->state & QStyle::State_Selected) {
        setBrush(selectedBrush);
        setPen(selectedPen);
        // Without state flags the base class draws no dashed selection outline.
        QStyleOptionGraphicsItem plain(*option);
        plain.state = QStyle::State_None;
        QGraphicsRectItem::paint(painter, &plain, widget);
    } else {
        setBrush(noBrush);
        setPen(noPen);
        QGraphicsRectItem::paint(painter, option, widget);
    }
    if (unsent) {
        // An orange dot in a white ring in the top right corner: the ring keeps it apart from
        // the black panel, the orange from the blue of a selection.
        const qreal radius = 4.0;
        const QPointF centre = rect().topRight() + QPointF(-radius - 1, radius + 1);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(Qt::white, 1.5));
        painter->setBrush(QColor(255, 140, 0));
        painter->drawEllipse(centre, radius, radius);
        painter->restore();
    }
}

void MidiControlItem::setUnsent(bool value)
{
    if (value == unsent)
        return;
    unsent = value;
    update();
}

void MidiControlItem::mousePressEvent(QGraphicsSceneMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        openContextMenu();
        // Taken here, in either mode: an ignored press would make the scene clear the
        // selection and the view start a rubber band once the menu has closed.
        event->accept();
        return;
    }
    // Ignored presses fall through to the view, which starts a rubber band.
    if (window->isMultiSelect())
        event->ignore();
    QGraphicsRectItem::mousePressEvent(event);
}

void MidiControlItem::openContextMenu()
{
    qCDebug(lcTrace) << "open menu";
    // The menu acts on what the user clicked: a control outside the selection becomes the
    // whole selection, one inside it keeps the selection as it is.
    if (!isSelected()) {
        scene()->clearSelection();
        setSelected(true);
    }
    const QList<QGraphicsView *> views = scene()->views();
    if (!views.isEmpty()) {
        QGraphicsView *view = views.first();
        const QPoint inView = view->mapFromScene(mapToScene(boundingRect().bottomLeft()));
        window->showContextMenu(this, model, view->viewport()->mapToGlobal(inView));
    }
    // The menu took the button's release, so nothing else ends the grab that the press began;
    // left in place, it would send the next press anywhere on the picture to this item.
    if (scene()->mouseGrabberItem() == this)
        ungrabMouse();
}

QVariant MidiControlItem::itemChange(GraphicsItemChange change, const QVariant &value)
{
    const QVariant result = QGraphicsRectItem::itemChange(change, value);
    if (change == ItemSelectedChange) {
        if (value.toBool())
            window->selectModel(model);
        else
            window->deselectModel(model);
    }
    return result;
}
