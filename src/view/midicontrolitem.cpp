#include "midicontrolitem.h"
#include "trace.h"

#include "mainwindow.h"

#include <QDebug>
#include <QGraphicsScene>
#include <QGraphicsSceneMouseEvent>
#include <QGraphicsView>
#include <QStyleOptionGraphicsItem>

MidiControlItem::MidiControlItem(MainWindow *window, MidiControlModel *model, QGraphicsItem *parent)
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

MidiControlItem::~MidiControlItem()
{
    // The pointer is shared by the items of every window; it must not outlive its item.
    if (lastMenuItem == this)
        lastMenuItem = nullptr;
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
}

void MidiControlItem::mousePressEvent(QGraphicsSceneMouseEvent *event)
{
    // Ignored presses fall through to the view, which starts a rubber band.
    if (window->isMultiSelect())
        event->ignore();

    if (event->button() == Qt::RightButton) {
        qCDebug(lcTrace) << "open menu";
        const QList<QGraphicsView *> views = scene()->views();
        if (!views.isEmpty()) {
            QGraphicsView *view = views.first();
            const QPoint inView = view->mapFromScene(mapToScene(boundingRect().bottomLeft()));
            window->showContextMenu(this, model, view->viewport()->mapToGlobal(inView));
        }
        contextMenuJustOpen = true;
        window->selectModel(model);
    }
    QGraphicsRectItem::mousePressEvent(event);
}

QVariant MidiControlItem::itemChange(GraphicsItemChange change, const QVariant &value)
{
    const QVariant result = QGraphicsRectItem::itemChange(change, value);
    if (change == ItemSelectedChange) {
        if (value.toBool())
            window->selectModel(model);
        else
            window->deselectModel(model);
    } else if (change == ItemSelectedHasChanged) {
        if (lastMenuItem && lastMenuItem != this && value.toBool()) {
            qCDebug(lcTrace) << "Unselecting";
            MidiControlItem *kept = lastMenuItem;
            lastMenuItem = nullptr;
            kept->setSelected(false);
        }
        // The press that opened the menu is accepted by no item, so the scene clears the
        // selection afterwards; put the clicked control and the listed ones back.
        if (contextMenuJustOpen) {
            qCDebug(lcTrace) << "contextMenuJustOpenDontUpdate";
            contextMenuJustOpen = false;
            window->selectModel(model);
            window->reselectItems();
            lastMenuItem = this;
        }
    }
    return result;
}
