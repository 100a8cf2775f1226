#include "panelpainting.h"

#include "controlplacement.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace {

const QColor legendColour(0xc4, 0xc9, 0xd1);
const QColor faceColour(0x3b, 0x40, 0x48);
const QColor wellColour(0x15, 0x17, 0x1b);

QFont legendFont(int pixelSize, bool bold = true)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setStretch(QFont::SemiCondensed);
    return font;
}

void legend(QPainter &p, const QRectF &box, const QString &text, int pixelSize = 9,
            int flags = Qt::AlignCenter)
{
    p.setFont(legendFont(pixelSize));
    p.setPen(legendColour);
    p.drawText(box, flags, text);
}

// A raised button face with a soft top highlight.
void buttonFace(QPainter &p, const QRectF &face, qreal radius = 3)
{
    QLinearGradient fill(face.topLeft(), face.bottomLeft());
    fill.setColorAt(0, faceColour.lighter(125));
    fill.setColorAt(1, faceColour.darker(115));
    p.setPen(QPen(QColor(0x0e, 0x10, 0x13), 1));
    p.setBrush(fill);
    p.drawRoundedRect(face, radius, radius);
}

// A knob or wheel body of the given radius in a dark well 3 px wider, lit from the top left.
void roundBody(QPainter &p, QPointF centre, qreal radius, QPointF highlight, qreal spread,
               const QColor &light, const QColor &dark)
{
    p.setPen(Qt::NoPen);
    p.setBrush(wellColour);
    p.drawEllipse(centre, radius + 3, radius + 3);
    QRadialGradient body(centre - highlight, spread);
    body.setColorAt(0, light);
    body.setColorAt(1, dark);
    p.setPen(QPen(QColor(0x0e, 0x10, 0x13), 1));
    p.setBrush(body);
    p.drawEllipse(centre, radius, radius);
}

void knob(QPainter &p, const QRect &r, const QString &name, int angle)
{
    const QPointF centre(r.center().x() + 0.5, r.top() + 20);
    roundBody(p, centre, 14, QPointF(4, 5), 18, QColor(0x5d, 0x63, 0x6d), QColor(0x2a, 0x2e, 0x34));
    // Pointer line
    p.save();
    p.translate(centre);
    p.rotate(angle);
    p.setPen(QPen(QColor(0xe8, 0xea, 0xee), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(0, -5), QPointF(0, -12));
    p.restore();
    legend(p, QRectF(r.left(), r.top() + 37, r.width(), 12), name);
}

void horizontalSlider(QPainter &p, const QRect &r, const QString &name, qreal position)
{
    legend(p, QRectF(r.left() + 4, r.top() + 3, 40, 12), name, 9, Qt::AlignLeft | Qt::AlignVCenter);
    const qreal y = r.top() + 31;
    const QRectF track(r.left() + 8, y - 2, r.width() - 16, 4);
    p.setPen(Qt::NoPen);
    p.setBrush(wellColour);
    p.drawRoundedRect(track, 2, 2);
    const qreal x = track.left() + 6 + position * (track.width() - 12);
    buttonFace(p, QRectF(x - 6, y - 11, 12, 22), 2);
    p.setPen(QPen(QColor(0xe8, 0xea, 0xee), 1.5));
    p.drawLine(QPointF(x, y - 7), QPointF(x, y + 7));
}

void verticalSlider(QPainter &p, const QRect &r, const QString &name, qreal position)
{
    legend(p, QRectF(r.left(), r.top() + 2, r.width(), 12), name);
    const qreal x = r.center().x() + 0.5;
    const QRectF track(x - 2, r.top() + 20, 4, r.height() - 26);
    p.setPen(Qt::NoPen);
    p.setBrush(wellColour);
    p.drawRoundedRect(track, 2, 2);
    const qreal y = track.bottom() - 6 - position * (track.height() - 12);
    buttonFace(p, QRectF(x - 11, y - 6, 22, 12), 2);
    p.setPen(QPen(QColor(0xe8, 0xea, 0xee), 1.5));
    p.drawLine(QPointF(x - 7, y), QPointF(x + 7, y));
}

void functionButton(QPainter &p, const QRect &r, const QString &name)
{
    const QRectF face = QRectF(r).adjusted(5, 4, -5, -4);
    buttonFace(p, face);
    legend(p, face, name);
}

void transportButton(QPainter &p, const QRect &r, const QString &symbol, const QString &top,
                     const QString &bottom)
{
    const QRectF face(r.left() + 4, r.top() + 1, r.width() - 8, 19);
    buttonFace(p, face);
    const QPointF c = face.center();
    p.setPen(Qt::NoPen);
    if (symbol == QLatin1String("play")) {
        p.setBrush(QColor(0x6c, 0xd0, 0x8a));
        p.drawPolygon(QPolygonF({c + QPointF(-4, -5), c + QPointF(5, 0), c + QPointF(-4, 5)}));
    } else if (symbol == QLatin1String("stop")) {
        p.setBrush(legendColour);
        p.drawRect(QRectF(c - QPointF(4, 4), QSizeF(8, 8)));
    } else {
        p.setBrush(QColor(0xe0, 0x4a, 0x4a));
        p.drawEllipse(c, 4.5, 4.5);
    }
    legend(p, QRectF(r.left() - 4, r.top() + 21, r.width() + 8, 9), top, 7);
    legend(p, QRectF(r.left() - 4, r.top() + 30, r.width() + 8, 9), bottom, 7);
}

void arrowButton(QPainter &p, const QRect &r, int rotation)
{
    const QRectF face = QRectF(r).adjusted(3, 2, -3, -2);
    buttonFace(p, face);
    p.save();
    p.translate(face.center());
    p.rotate(rotation);
    p.setPen(Qt::NoPen);
    p.setBrush(legendColour);
    p.drawPolygon(QPolygonF({QPointF(0, -5), QPointF(6, 3), QPointF(-6, 3)}));
    p.restore();
}

void xyPad(QPainter &p, const QRect &r)
{
    const QRectF surface = QRectF(r).adjusted(5, 4, -5, -19);
    QLinearGradient fill(surface.topLeft(), surface.bottomRight());
    fill.setColorAt(0, QColor(0x24, 0x28, 0x2f));
    fill.setColorAt(1, QColor(0x19, 0x1c, 0x21));
    p.setPen(QPen(QColor(0x4a, 0x50, 0x5a), 1));
    p.setBrush(fill);
    p.drawRoundedRect(surface, 6, 6);
    p.setPen(QPen(QColor(0x33, 0x38, 0x40), 1, Qt::DotLine));
    for (int k = 1; k < 4; ++k) {
        const qreal x = surface.left() + k * surface.width() / 4;
        const qreal y = surface.top() + k * surface.height() / 4;
        p.drawLine(QPointF(x, surface.top() + 4), QPointF(x, surface.bottom() - 4));
        p.drawLine(QPointF(surface.left() + 4, y), QPointF(surface.right() - 4, y));
    }
    legend(p, QRectF(r.left(), r.bottom() - 14, r.width(), 12), QStringLiteral("X-Y PAD"));
}

void crossfader(QPainter &p, const QRect &r)
{
    legend(p, QRectF(r.left(), r.top() + 3, r.width(), 12), QStringLiteral("CROSSFADER"));
    const qreal y = r.top() + 38;
    const QRectF track(r.left() + 10, y - 2, r.width() - 20, 4);
    p.setPen(Qt::NoPen);
    p.setBrush(wellColour);
    p.drawRoundedRect(track, 2, 2);
    p.setPen(QPen(QColor(0x55, 0x5b, 0x65), 1));
    p.drawLine(QPointF(track.center().x(), y - 14), QPointF(track.center().x(), y - 9));
    const qreal x = track.center().x();
    buttonFace(p, QRectF(x - 8, y - 13, 16, 26), 2);
    p.setPen(QPen(QColor(0xe8, 0xea, 0xee), 1.5));
    p.drawLine(QPointF(x, y - 9), QPointF(x, y + 9));
}

void pad(QPainter &p, const QRect &r, int number)
{
    const QRectF face = QRectF(r).adjusted(4, 4, -4, -4);
    QLinearGradient fill(face.topLeft(), face.bottomLeft());
    fill.setColorAt(0, QColor(0x3a, 0x3f, 0x47));
    fill.setColorAt(1, QColor(0x2c, 0x30, 0x37));
    p.setPen(QPen(QColor(0x0e, 0x10, 0x13), 1));
    p.setBrush(fill);
    p.drawRoundedRect(face, 5, 5);
    // The pad's light ring
    p.setPen(QPen(QColor(0x4f, 0x6d, 0x8f, 150), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(face.adjusted(2, 2, -2, -2), 4, 4);
    legend(p, face.adjusted(0, 0, -5, -3), QString::number(number), 8,
           Qt::AlignRight | Qt::AlignBottom);
}

// Neither has a control of its own in the editor; the screen stays blank here.
void displayAndJogWheel(QPainter &p)
{
    const QRectF bezel(468, 32, 139, 58);
    p.setPen(QPen(QColor(0x0e, 0x10, 0x13), 1));
    p.setBrush(QColor(0x10, 0x12, 0x15));
    p.drawRoundedRect(bezel, 4, 4);
    // The editor writes the preset and the selected control onto the screen.
    const QRectF screen(displayScreenRect);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x12, 0x33, 0x38));
    p.drawRect(screen);

    const QPointF centre(537.5, 132.5);
    roundBody(p, centre, 25, QPointF(6, 8), 30, QColor(0x56, 0x5c, 0x66), QColor(0x25, 0x29, 0x2f));
    p.setBrush(QColor(0x1e, 0x21, 0x26));
    p.drawEllipse(centre + QPointF(10, -10), 4, 4);
}

void housing(QPainter &p)
{
    paintHousing(p, QRectF(1.5, 1.5, panelWidth - 3, panelHeight - 3), 16);

    // Grooves between the sections
    p.setPen(QPen(QColor(0x14, 0x16, 0x1a), 2));
    p.drawLine(QPointF(24, 228), QPointF(166, 228));
    p.drawLine(QPointF(462, 28), QPointF(462, 512));
    p.drawLine(QPointF(172, 28), QPointF(172, 150));
}

void brand(QPainter &p)
{
    QFont small = legendFont(10);
    small.setLetterSpacing(QFont::AbsoluteSpacing, 3);
    p.setFont(small);
    p.setPen(legendColour);
    p.drawText(QRectF(37, 12, 140, 14), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("TARVEL"));
    QFont big = legendFont(19);
    big.setStretch(QFont::Unstretched);
    p.setFont(big);
    p.setPen(QColor(0xf2, 0xf3, 0xf5));
    p.drawText(QRectF(36, 26, 140, 26), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Vellichord"));
}

} // namespace

void paintControl(QPainter &p, int index)
{
    static const qreal sliderPositions[] = {0.25, 0.7, 0.45, 0.1, 0.6, 0.3};
    static const int angles[] = {-120, -60, 0, 45, 90, 135, -30, 20, -90, 60, 150, -135, 10, -45};
    const QRect &r = controlRects.at(index);
    if (index < 4)
        horizontalSlider(p, r, QStringLiteral("S%1").arg(index + 1), sliderPositions[index]);
    else if (index < 6)
        verticalSlider(p, r, QStringLiteral("S%1").arg(index + 1), sliderPositions[index]);
    else if (index < 16)
        functionButton(p, r, QStringLiteral("F%1").arg(index - 5));
    else if (index < 24)
        knob(p, r, QStringLiteral("E%1").arg(index - 15), angles[index - 16]);
    else if (index < 30)
        knob(p, r, QStringLiteral("P%1").arg(index - 23), angles[index - 16]);
    else if (index == 30)
        transportButton(p, r, QStringLiteral("stop"), QStringLiteral("STOP"),
                        QStringLiteral("CANCEL"));
    else if (index == 31)
        transportButton(p, r, QStringLiteral("play"), QStringLiteral("PLAY"),
                        QStringLiteral("ENTER"));
    else if (index == 32)
        transportButton(p, r, QStringLiteral("record"), QStringLiteral("RECORD"),
                        QStringLiteral("EXIT"));
    else if (index < 37) {
        static const int rotations[] = {180, 0, -90, 90};
        arrowButton(p, r, rotations[index - 33]);
    } else if (index == 37)
        xyPad(p, r);
    else if (index == 38)
        crossfader(p, r);
    else
        pad(p, r, index - 38);
}

void paintHousing(QPainter &p, const QRectF &outline, qreal radius)
{
    QLinearGradient fill(outline.topLeft(), outline.bottomLeft());
    fill.setColorAt(0, QColor(0x2d, 0x31, 0x38));
    fill.setColorAt(1, QColor(0x1b, 0x1e, 0x23));
    p.setPen(QPen(QColor(0x50, 0x56, 0x60), 1.5));
    p.setBrush(fill);
    p.drawRoundedRect(outline, radius, radius);
}

void paintPanel(QPainter &p)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    housing(p);
    brand(p);
    displayAndJogWheel(p);
    for (int index = 0; index < int(controlRects.size()); ++index)
        paintControl(p, index);
}
