#include "paneldisplay.h"

#include "controlplacement.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>

PanelDisplay::PanelDisplay(QGraphicsItem *parent)
    : QGraphicsItem(parent)
{
    // Clicks go through to the picture, as on the bare panel.
    setAcceptedMouseButtons(Qt::NoButton);
}

void PanelDisplay::setLines(const QString &presetLine, const QString &nameLine,
                            const QString &controlLine)
{
    if (presetLine == preset && nameLine == name && controlLine == control)
        return;
    preset = presetLine;
    name = nameLine;
    control = controlLine;
    update();
}

QRectF PanelDisplay::boundingRect() const
{
    return QRectF(displayScreenRect);
}

void PanelDisplay::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    const QRectF area = QRectF(displayScreenRect).adjusted(5, 3, -5, -3);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStretch(QFont::SemiCondensed);
    painter->save();
    painter->setRenderHint(QPainter::TextAntialiasing);
    painter->setPen(QColor(0x7f, 0xe3, 0xe0));

    const struct
    {
        const QString &text;
        int pixelSize;
        bool bold;
        qreal top;
    } lines[] = {{preset, 11, true, 0}, {name, 10, false, 15}, {control, 10, false, 29}};
    for (const auto &line : lines) {
        font.setPixelSize(line.pixelSize);
        font.setBold(line.bold);
        painter->setFont(font);
        const QRectF box(area.left(), area.top() + line.top, area.width(), line.pixelSize + 4);
        const QString shown = QFontMetricsF(font).elidedText(line.text, Qt::ElideRight,
                                                             box.width());
        painter->drawText(box, Qt::AlignLeft | Qt::AlignVCenter, shown);
    }
    painter->restore();
}
