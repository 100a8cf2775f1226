#include "multiselection.h"

#include "midicontrolitem.h"
#include "readingorder.h"
#include "selection.h"

#include <QGraphicsScene>
#include <QGraphicsView>
#include <QMouseEvent>

MultiSelection::MultiSelection(QGraphicsView *view, Selection *selection,
                               QList<MidiControlItem *> items)
    : QObject(view)
    , view(view)
    , selection(selection)
    , items(std::move(items))
{
    view->viewport()->installEventFilter(this);
    connect(view, &QGraphicsView::rubberBandChanged, this,
            [this](const QRect &band) { bandChanged(band); });
}

bool MultiSelection::eventFilter(QObject *, QEvent *event)
{
    if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonRelease
        && event->type() != QEvent::MouseButtonDblClick)
        return false;
    auto *mouse = static_cast<QMouseEvent *>(event);
    if (mouse->button() != Qt::LeftButton)
        return false;
    // A double-click comes in place of its second press; the scene handles it as one, and it
    // is a second click here.
    if (event->type() != QEvent::MouseButtonRelease) {
        pressed = selection->isMulti();
        if (!pressed)
            return false;
        adding = mouse->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier);
        banding = false;
        pressAt = mouse->pos();
        before.clear();
        for (int control : selection->indices())
            before << items.at(control);
        // With Ctrl the scene and the view leave the selection alone at the press and the
        // view's band only ever adds; whether it replaces is decided once the band shows.
        mouse->setModifiers(mouse->modifiers() | Qt::ControlModifier);
        return false;
    }
    if (!pressed)
        return false;
    pressed = false;
    if (banding)
        return false;
    // A click: it toggles the control under it; beside the controls a plain one clears.
    for (QGraphicsItem *under : view->items(pressAt)) {
        if (auto *item = dynamic_cast<MidiControlItem *>(under)) {
            item->setSelected(!item->isSelected());
            return false;
        }
    }
    if (!adding)
        view->scene()->clearSelection();
    return false;
}

void MultiSelection::bandChanged(const QRect &band)
{
    // An empty band is the one that has ended; the view then changes nothing more.
    if (!pressed || band.isNull())
        return;
    banding = true;
    QList<MidiControlItem *> touched;
    QList<QRectF> rects;
    // What the view selects after this signal, so that it finds nothing left to add.
    for (QGraphicsItem *under : view->items(band, view->rubberBandSelectionMode())) {
        if (auto *item = dynamic_cast<MidiControlItem *>(under)) {
            touched << item;
            rects << item->rect();
        }
    }
    QList<MidiControlItem *> wanted = adding ? before : QList<MidiControlItem *>();
    for (const QList<int> &row : ReadingOrder::rows(rects)) {
        for (int i : row) {
            if (!wanted.contains(touched.at(i)))
                wanted << touched.at(i);
        }
    }
    select(wanted);
}

// Makes exactly the wanted items selected, the selection in their order.
void MultiSelection::select(const QList<MidiControlItem *> &wanted)
{
    QList<int> ordered;
    for (MidiControlItem *item : wanted)
        ordered << item->index();
    selection->set(ordered);
}
