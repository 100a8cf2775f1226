#pragma once

#include <QGraphicsPixmapItem>

// The front-panel picture under the control rectangles. It never takes a press, so a click on
// bare picture reaches the scene, which clears the selection.
class DebugPixmapItem : public QGraphicsPixmapItem
{
public:
    explicit DebugPixmapItem(const QPixmap &pixmap, QGraphicsItem *parent = nullptr);

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent *event) override;
};
