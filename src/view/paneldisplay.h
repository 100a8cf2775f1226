#pragma once

#include <QGraphicsItem>
#include <QString>

// The device's display on the front-panel picture: the preset number and name, and the channel
// and note or controller of the one selected control.
class PanelDisplay : public QGraphicsItem
{
public:
    explicit PanelDisplay(QGraphicsItem *parent = nullptr);

    void setLines(const QString &preset, const QString &name, const QString &control);
    QString presetLine() const { return preset; }
    QString nameLine() const { return name; }
    QString controlLine() const { return control; }

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

private:
    QString preset;
    QString name;
    QString control;
};
