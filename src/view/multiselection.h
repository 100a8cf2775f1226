#pragma once

#include <QList>
#include <QObject>
#include <QPoint>

class MidiControlItem;
class QGraphicsView;
class QRect;
class Selection;

// Select Multi on the device view, as file managers and drawing programs select: a click
// toggles the control under it and keeps the rest; a band dragged from anywhere selects the
// controls it touches, in place of the selection or, with Ctrl or Shift, added to it. The
// controls a band adds join the selection in reading order (ReadingOrder::rows). The view
// draws the band (QGraphicsView::RubberBandDrag); this filter on its viewport decides what is
// selected. In Select Single it stays out of the way.
class MultiSelection : public QObject
{
public:
    // A child of view; items are the view's control items, in index order.
    MultiSelection(QGraphicsView *view, Selection *selection, QList<MidiControlItem *> items);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void bandChanged(const QRect &band);
    void select(const QList<MidiControlItem *> &wanted);

    QGraphicsView *view;
    Selection *selection;
    QList<MidiControlItem *> items;
    bool pressed = false;            // the left button went down in Select Multi and is still down
    bool adding = false;             // Ctrl or Shift was held at the press
    bool banding = false;            // the band has shown since the press
    QPoint pressAt;                  // in viewport coordinates
    QList<MidiControlItem *> before; // the selection at the press, in its order
};
