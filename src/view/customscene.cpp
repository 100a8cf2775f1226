#include "customscene.h"

#include <QGraphicsView>

CustomScene::CustomScene(QObject *parent)
    : QGraphicsScene(parent)
    , view(qobject_cast<QGraphicsView *>(parent))
{
}

void CustomScene::mousePressEvent(QGraphicsSceneMouseEvent *event)
{
    QGraphicsScene::mousePressEvent(event);
}
