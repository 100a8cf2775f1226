#pragma once

#include <QGraphicsScene>

class QGraphicsView;

// The scene of the device view; it knows the view it was made for.
class CustomScene : public QGraphicsScene
{
public:
    explicit CustomScene(QObject *parent);

    // The parent given at construction if it is a view, else null.
    QGraphicsView *getView() const { return view; }

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent *event) override;

private:
    QGraphicsView *view;
};
