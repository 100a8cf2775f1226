#include "midicontrolitem.h"
#include "trace.h"

#include "midicontrolmodel.h"
#include "selection.h"

#include <QDebug>
#include <QFontMetricsF>
#include <QGraphicsScene>
#include <QGraphicsSceneMouseEvent>
#include <QGraphicsView>
#include <QPainter>
#include <QStyleOptionGraphicsItem>

#include <algorithm>

MidiControlItem::MidiControlItem(int index, QGraphicsItem *parent)
    : QGraphicsRectItem(parent)
    , controlIndex(index)
    // A bright outline and a light veil: the colour and the texts beneath stay readable.
    , selectedPen(QBrush(QColor(110, 200, 255), Qt::SolidPattern), 2.0, Qt::SolidLine,
                  Qt::SquareCap, Qt::MiterJoin)
    , noPen(Qt::NoPen)
    , noBrush(Qt::NoBrush)
    , selectedBrush(QColor(160, 215, 255, 60), Qt::SolidPattern)
{
    setFlags(QGraphicsItem::ItemIsSelectable);
    setBrush(noBrush);
    setAcceptHoverEvents(true);
}

void MidiControlItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *option,
                            QWidget *widget)
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    if (led.isValid() && model) {
        // Over the face only, translucent so that the printed name shows through.
        const bool pad = model->getValue(ParameterId::Colour, nullptr);
        const QRectF face = pad ? QRectF(rect()).adjusted(4, 4, -4, -4)
                                : QRectF(rect()).adjusted(5, 4, -5, -4);
        QColor fill = led;
        fill.setAlpha(pad ? 120 : 100);
        painter->setPen(Qt::NoPen);
        painter->setBrush(fill);
        painter->drawRoundedRect(face, pad ? 5 : 3, pad ? 5 : 3);
    }
    painter->restore();

    if (option->state & QStyle::State_Selected) {
        setBrush(selectedBrush);
        setPen(selectedPen);
        // Drawn here rather than by the base class, which would add a dashed outline; inside
        // the rectangle, so that a neighbour cannot cover half of it.
        painter->save();
        painter->setPen(selectedPen);
        painter->setBrush(selectedBrush);
        painter->drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
        painter->restore();
    } else {
        setBrush(noBrush);
        setPen(noPen);
        QGraphicsRectItem::paint(painter, option, widget);
    }

    drawAssignment(painter);

    if (keyboardFocus) {
        painter->save();
        painter->setPen(QPen(QColor(255, 214, 0), 1.5, Qt::DashLine));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(QRectF(rect()).adjusted(3.5, 3.5, -3.5, -3.5));
        painter->restore();
    }
    // In the top right corner.
    if (unsent)
        paintUnsentMark(painter, rect().topRight() + QPointF(-5, 5));
    // In the bottom left corner, clear of the texts and of the pads' printed numbers.
    if (warning)
        paintWarningMark(painter, rect().bottomLeft() + QPointF(7, -7));
}

void MidiControlItem::paintUnsentMark(QPainter *painter, const QPointF &centre)
{
    // An orange dot in a white ring: the ring keeps it apart from the black panel, the orange
    // from the blue of a selection.
    const qreal radius = 4.0;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(Qt::white, 1.5));
    painter->setBrush(QColor(255, 140, 0));
    painter->drawEllipse(centre, radius, radius);
    painter->restore();
}

void MidiControlItem::paintWarningMark(QPainter *painter, const QPointF &centre)
{
    // Amber with a dark outline and mark, as warning signs are: it stands out from the black
    // panel, the light colours and the orange dot of unsent changes alike.
    const qreal half = 5.5;
    const QPolygonF triangle({centre + QPointF(0, -half), centre + QPointF(half, half * 0.85),
                              centre + QPointF(-half, half * 0.85)});
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(QColor(20, 20, 20), 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter->setBrush(QColor(255, 200, 0));
    painter->drawPolygon(triangle);
    painter->setPen(QPen(QColor(20, 20, 20), 1.4, Qt::SolidLine, Qt::RoundCap));
    painter->drawLine(centre + QPointF(0, -half * 0.35), centre + QPointF(0, half * 0.25));
    painter->drawPoint(centre + QPointF(0, half * 0.6));
    painter->restore();
}

void MidiControlItem::setWarning(bool value)
{
    if (value == warning)
        return;
    warning = value;
    update();
}

// The text sits where the picture leaves room on each kind of control, on a dark chip that
// keeps it readable over any colour.
void MidiControlItem::drawAssignment(QPainter *painter) const
{
    if (assigned.isEmpty() || !model)
        return;
    const QRectF r = rect();
    QRectF box;
    Qt::Alignment align = Qt::AlignHCenter;
    int pixelSize = 8;
    bool condensed = false;
    bool stacked = false; // room for the channel on a line of its own
    if (model->getValue(ParameterId::Colour, nullptr)) { // pad
        box = QRectF(r.left() + 7, r.top() + 7, r.width() - 14, 24);
        align = Qt::AlignLeft;
        stacked = true;
    } else if (model->getValue(ColourF, nullptr)) { // function button, right of its name
        box = QRectF(r.center().x() + 6, r.top() + 7, r.width() / 2 - 12, r.height() - 14);
        align = Qt::AlignRight;
        pixelSize = 7;
        condensed = true;
    } else if (model->getValue(ParameterId::Type, nullptr)) { // transport and arrow buttons
        // Below an arrow; on a transport button's face, as its two legends fill the room
        // below it.
        box = r.height() > 30 ? QRectF(r.left(), r.top() + 1, r.width(), 19)
                              : QRectF(r.left(), r.bottom() - 9, r.width(), 9);
        pixelSize = 7;
    } else if (model->getValue(CCX, nullptr)) { // X-Y pad
        box = QRectF(r.left() + 8, r.top() + 7, r.width() - 16, 12);
    } else if (r.width() >= 2 * r.height()) { // crossfader
        box = QRectF(r.right() - 60, r.top() + 46, 56, 12);
        align = Qt::AlignRight;
    } else if (r.height() > r.width()) { // upright slider
        box = QRectF(r.left(), r.bottom() - 22, r.width(), 22);
        stacked = true;
    } else if (r.width() > r.height()) { // lying slider
        box = QRectF(r.left() + 24, r.top() + 3, r.width() - 28, 12);
        align = Qt::AlignRight;
    } else { // knob
        box = QRectF(r.left(), r.top() + 26, r.width(), 11);
    }

    QStringList lines = assigned.split(QLatin1Char('\n'));
    if (!stacked)
        lines = QStringList(lines.join(QLatin1Char(' ')));
    const qreal padding = pixelSize < 8 ? 2 : 4;
    QFont font = painter->font();
    // In pixels, as the picture is: the same size on any screen. A text too long for the
    // room gets a pixel less before it is cut short.
    font.setStretch(condensed ? QFont::Condensed : QFont::SemiCondensed);
    font.setBold(true);
    font.setPixelSize(pixelSize);
    for (const QString &line : qAsConst(lines)) {
        if (QFontMetricsF(font).horizontalAdvance(line) > box.width() - padding)
            font.setPixelSize(pixelSize - 1);
    }
    const QFontMetricsF metrics(font);
    const qreal lineHeight = std::min(box.height(), metrics.height() + 1);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setFont(font);
    qreal top = box.top();
    for (const QString &line : qAsConst(lines)) {
        const QString text = metrics.elidedText(line, Qt::ElideRight, box.width() - padding);
        const qreal width = std::min(box.width(), metrics.horizontalAdvance(text) + padding);
        QRectF chip(box.left(), top, width, lineHeight);
        if (align == Qt::AlignHCenter)
            chip.moveCenter(QPointF(box.center().x(), chip.center().y()));
        else if (align == Qt::AlignRight)
            chip.moveRight(box.right());
        if (!stacked)
            chip.moveCenter(QPointF(chip.center().x(), box.center().y()));
        painter->setPen(Qt::NoPen);
        painter->setBrush(QColor(10, 12, 16, 190));
        painter->drawRoundedRect(chip, 2, 2);
        painter->setPen(QColor(240, 242, 245));
        painter->drawText(chip, Qt::AlignCenter, text);
        top += lineHeight;
    }
    painter->restore();
}

void MidiControlItem::setLedColour(const QColor &colour)
{
    if (colour == led)
        return;
    led = colour;
    update();
}

void MidiControlItem::setAssignment(const QString &text)
{
    if (text == assigned)
        return;
    assigned = text;
    update();
}

void MidiControlItem::setKeyboardFocus(bool focus)
{
    if (focus == keyboardFocus)
        return;
    keyboardFocus = focus;
    update();
}

QColor MidiControlItem::ledColourOf(const MidiControlModel &model)
{
    // As the device lights them: Red, Green, Blue for pads, Red and Green for F1..F10.
    static const QColor lights[] = {QColor(235, 45, 45), QColor(40, 205, 80), QColor(45, 120, 255)};
    unsigned char value = 0;
    if (model.getValue(ParameterId::Colour, &value) || model.getValue(ColourF, &value))
        return value < 3 ? lights[value] : QColor();
    return QColor();
}

void MidiControlItem::setUnsent(bool value)
{
    if (value == unsent)
        return;
    unsent = value;
    update();
}

void MidiControlItem::mousePressEvent(QGraphicsSceneMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        openContextMenu();
        // Taken here, in either mode: an ignored press would make the scene clear the
        // selection and the view start a rubber band once the menu has closed.
        event->accept();
        return;
    }
    // In Select Multi the press falls through to the view, where MultiSelection tells a click
    // from a band.
    if (selection && selection->isMulti()) {
        event->ignore();
        return;
    }
    QGraphicsRectItem::mousePressEvent(event);
}

void MidiControlItem::openContextMenu()
{
    qCDebug(lcTrace) << "open menu";
    // The menu acts on what the user clicked: a control outside the selection becomes the
    // whole selection, one inside it keeps the selection as it is.
    if (!isSelected()) {
        scene()->clearSelection();
        setSelected(true);
    }
    const QList<QGraphicsView *> views = scene()->views();
    if (!views.isEmpty() && contextMenuHandler) {
        QGraphicsView *view = views.first();
        const QPoint inView = view->mapFromScene(mapToScene(boundingRect().bottomLeft()));
        contextMenuHandler(controlIndex, view->viewport()->mapToGlobal(inView));
    }
    // The menu took the button's release, so nothing else ends the grab that the press began;
    // left in place, it would send the next press anywhere on the picture to this item.
    if (scene()->mouseGrabberItem() == this)
        ungrabMouse();
}

QVariant MidiControlItem::itemChange(GraphicsItemChange change, const QVariant &value)
{
    // Once the item is drawn so: the selection's listeners then find the two agreeing.
    if (change == ItemSelectedHasChanged && selection) {
        if (value.toBool())
            selection->select(controlIndex);
        else
            selection->deselect(controlIndex);
    }
    return QGraphicsRectItem::itemChange(change, value);
}
