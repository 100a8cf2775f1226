#include "debugpixmapitem.h"

#include <QGraphicsSceneMouseEvent>

DebugPixmapItem::DebugPixmapItem(const QPixmap &pixmap, QGraphicsItem *parent)
    : QGraphicsPixmapItem(pixmap, parent)
{
}

void DebugPixmapItem::mousePressEvent(QGraphicsSceneMouseEvent *event)
{
    event->ignore();
}
