#include "frontpanel.h"
#include "trace.h"

#include "controlplacement.h"
#include "controlsummary.h"
#include "controltable.h"
#include "midicontrolitem.h"
#include "multiselection.h"
#include "panelaccessibility.h"
#include "paneldisplay.h"
#include "panelnavigation.h"
#include "patchlayout.h"
#include "selection.h"

#include <QAbstractButton>
#include <QDebug>
#include <QGraphicsEllipseItem>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMap>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QScreen>
#include <QTimer>
#include <QToolTip>
#include <QWindow>
#include <QtMath>

#include <algorithm>
#include <utility>

// The pictures are compiled into the gui library; a static library's resources must be
// registered by hand, here before main() runs.
static int registerImages()
{
    Q_INIT_RESOURCE(images);
    return 0;
}
static const int imagesRegistered = registerImages();

namespace {

constexpr int firstPad = 39; // where the keyboard's cursor starts: PAD1

// The picture painted for pixelsPerPoint device pixels per picture pixel: the one painted at
// twice the size once a picture pixel covers more than one device pixel. A little above 1
// still takes the 1x picture: a rounding error is no reason to swap.
QString picturePath(qreal pixelsPerPoint)
{
    return pixelsPerPoint > 1.01 ? QStringLiteral(":/images/vellichord-scaled@2x.png")
                                 : QStringLiteral(":/images/vellichord-scaled.png");
}

} // namespace

FrontPanel::FrontPanel(QWidget *parent)
    : QGraphicsView(parent)
    , panelScene(new QGraphicsScene(this))
    , panelDisplay(new PanelDisplay)
{
    picturePainted = picturePath(1);
    const QPixmap pixmap(picturePainted);
    qCDebug(lcTrace) << (pixmap.isNull() ? "Image not loaded." : "Image loaded.");
    // The picture takes no press, so a click on bare picture reaches the scene, which clears
    // the selection.
    picture = panelScene->addPixmap(pixmap);
    picture->setTransformationMode(Qt::SmoothTransformation);
    // The scene is the picture: a flash ring reaching over its edge never makes it scroll.
    panelScene->setSceneRect(0, 0, panelWidth, panelHeight);
    for (int i = 0; i < ControlTable::count; ++i) {
        items[i] = new MidiControlItem(i);
        items[i]->setRect(controlRects[i]);
        items[i]->setContextMenuHandler([this](int control, const QPoint &position) {
            emit contextMenuRequested(control, position);
        });
        panelScene->addItem(items[i]);
    }
    panelScene->addItem(panelDisplay);
    setScene(panelScene);
    setFocusPolicy(Qt::StrongFocus);
    // Before anything asks for the panel's interface: Qt keeps the first one made.
    PanelAccessibility::install();
    setAccessibleName(tr("Front panel"));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    // Round a picture of another aspect ratio than the panel's, the window's colour.
    viewport()->setBackgroundRole(QPalette::Window);
}

QSize FrontPanel::sizeHint() const
{
    // At least the room the window has always given the picture.
    return QSize(panelWidth + 2 * frameWidth(), panelHeight + 2 * frameWidth())
        .expandedTo(QSize(640, 540));
}

QSize FrontPanel::minimumSizeHint() const
{
    return QSize(qCeil(panelWidth * minimumScale), qCeil(panelHeight * minimumScale))
        + QSize(2 * frameWidth(), 2 * frameWidth());
}

void FrontPanel::fitPicture()
{
    const QSizeF room = viewport()->size();
    const qreal scale = std::max(std::min(room.width() / panelWidth, room.height() / panelHeight),
                                 qreal(0.01));
    setTransform(QTransform::fromScale(scale, scale));
    const QString path = picturePath(scale * devicePixelRatioF());
    if (path == picturePainted)
        return;
    QPixmap pixmap(path);
    if (pixmap.isNull())
        return;
    // Drawn at the picture's size in scene points, whatever its pixels.
    pixmap.setDevicePixelRatio(qreal(pixmap.width()) / panelWidth);
    picture->setPixmap(pixmap);
    picturePainted = path;
}

void FrontPanel::resizeEvent(QResizeEvent *event)
{
    QGraphicsView::resizeEvent(event);
    fitPicture();
}

void FrontPanel::showEvent(QShowEvent *event)
{
    QGraphicsView::showEvent(event);
    // Moved to a screen with another pixel ratio, the panel takes the picture painted for it.
    if (QWindow *shownIn = window()->windowHandle())
        connect(shownIn, &QWindow::screenChanged, this, &FrontPanel::fitPicture,
                Qt::UniqueConnection);
    fitPicture();
}

void FrontPanel::setModeButtons(QAbstractButton *single, QAbstractButton *multi)
{
    const auto showMode = [this, single, multi] {
        single->setChecked(!selection->isMulti());
        multi->setChecked(selection->isMulti());
    };
    connect(selection, &Selection::modeChanged, single, showMode);
    for (const auto &[button, mode] :
         {std::pair{single, Selection::Mode::Single}, std::pair{multi, Selection::Mode::Multi}}) {
        connect(button, &QAbstractButton::clicked, this, [this, mode = mode, showMode] {
            selection->setMode(mode);
            showMode();
        });
    }
}

void FrontPanel::setSelection(Selection *newSelection)
{
    selection = newSelection;
    for (MidiControlItem *item : items)
        item->setSelection(selection);
    new MultiSelection(this, selection, QList<MidiControlItem *>(items.begin(), items.end()));
    connect(selection, &Selection::changed, this, &FrontPanel::selectionChanged);
    connect(selection, &Selection::modeChanged, this, &FrontPanel::modeChanged);
    modeChanged();
    selectionChanged();
}

void FrontPanel::showPatch(const ControlTable &table, int number, const QString &name)
{
    // The parameter bytes as the patch message carries them, kept from one patch to the next:
    // a control is drawn again when one of its bytes changed.
    const bool redrawAll = &table != controls || drawnValues.isEmpty();
    if (drawnValues.isEmpty())
        drawnValues = QByteArray(int(PatchLayout::length), '\0');
    char *drawnBytes = drawnValues.data();
    QList<const MidiControlModel *> models;
    QList<int> changed;
    for (int i = 0; i < ControlTable::count; ++i) {
        models << table.at(i);
        bool differs = redrawAll;
        for (const ControlParameter &p : table.at(i)->parameters()) {
            if (p.address() >= PatchLayout::length)
                continue;
            char &drawn = drawnBytes[p.address()];
            if (drawn != char(p.value())) {
                drawn = char(p.value());
                differs = true;
            }
        }
        if (differs)
            changed << i;
    }
    // Channels are drawn only where they differ from the one most controls use: when that
    // one changes, so may every assignment.
    const int channel = ControlSummary::mostCommonChannel(models);
    if (channel != drawnChannel && changed.size() < ControlTable::count) {
        changed.clear();
        for (int i = 0; i < ControlTable::count; ++i)
            changed << i;
    }
    const bool displayChanged = &table != controls || number != presetNumber || name != presetName
        || changed.contains(displayedControl());
    controls = &table;
    drawnChannel = channel;
    presetNumber = number;
    presetName = name;
    for (int i : qAsConst(changed)) {
        const MidiControlModel &model = *table.at(i);
        items[i]->setModel(&model);
        items[i]->setLedColour(MidiControlItem::ledColourOf(model));
        items[i]->setAssignment(ControlSummary::assignment(model, channel));
    }
    if (displayChanged)
        refreshDisplay();
    PanelAccessibility::descriptionsChanged(this, changed);
}

QString FrontPanel::controlToolTip(int control) const
{
    if (!controls || control < 0 || control >= ControlTable::count)
        return QString();
    QString text = ControlSummary::details(control, *controls->at(control), controllerNames);
    for (const QString &reason : PatchCheck::reasonsFor(checkFindings, control))
        text += QStringLiteral("\n\u26A0 ") + reason;
    return text;
}

QString FrontPanel::controlDescription(int control) const
{
    if (!controls || control < 0 || control >= ControlTable::count)
        return QString();
    return ControlSummary::description(*controls->at(control), controllerNames);
}

void FrontPanel::pressControl(int control)
{
    if (!selection || control < 0 || control >= ControlTable::count)
        return;
    moveKeyCursor(control);
    if (selection->isMulti())
        selection->toggle(control);
    else
        selection->set({control});
}

void FrontPanel::flash(int control)
{
    if (control < 0 || control >= ControlTable::count)
        return;
    QGraphicsEllipseItem *&ring = flashRings[control];
    if (!ring) {
        // Round, around the control's rectangle, over everything the panel draws.
        const QRectF rect = items[control]->sceneBoundingRect();
        const qreal reach = std::max(rect.width(), rect.height()) * 0.75 + 4;
        ring = panelScene->addEllipse(
            QRectF(rect.center() - QPointF(reach, reach), QSizeF(2 * reach, 2 * reach)),
            QPen(palette().color(QPalette::Highlight), 3));
        ring->setZValue(10);
        ring->setAcceptedMouseButtons(Qt::NoButton);
    }
    ring->show();
    const int count = ++flashCounts[control];
    QTimer::singleShot(flashMs, this, [this, control, count] {
        if (flashCounts[control] == count)
            flashRings[control]->hide();
    });
}

bool FrontPanel::isFlashing(int control) const
{
    return control >= 0 && control < ControlTable::count && flashRings[control]
        && flashRings[control]->isVisible();
}

void FrontPanel::setUnsent(const QList<int> &controls)
{
    for (int i = 0; i < ControlTable::count; ++i)
        items[i]->setUnsent(controls.contains(i));
}

void FrontPanel::setCheckFindings(const QList<PatchCheck::Finding> &findings)
{
    checkFindings = findings;
    for (int i = 0; i < ControlTable::count; ++i)
        items[i]->setWarning(!PatchCheck::reasonsFor(findings, i).isEmpty());
}

void FrontPanel::setNoDeviceFound(bool noDevice)
{
    noDeviceFound = noDevice;
    refreshDisplay();
}

int FrontPanel::displayedControl() const
{
    return controls && selection && selection->size() == 1 ? selection->indices().constFirst() : -1;
}

void FrontPanel::refreshDisplay()
{
    const int shown = displayedControl();
    panelDisplay->setLines(
        ControlSummary::displayPreset(presetNumber),
        noDeviceFound ? tr("No Vellichord found") : presetName,
        ControlSummary::displayControl(shown < 0 ? nullptr : controls->at(shown)));
}

// Draws the selection as it now is; each item told to change passes the change back, which
// the selection finds already made.
void FrontPanel::selectionChanged()
{
    QList<int> shown;
    for (int i = 0; i < ControlTable::count; ++i) {
        const bool selected = selection->contains(i);
        if (items[i]->isSelected() != selected)
            items[i]->setSelected(selected);
        if (selected)
            shown << i;
    }
    refreshDisplay();
    PanelAccessibility::selectionChanged(this, announcedSelection, shown);
    announcedSelection = shown;
}

void FrontPanel::modeChanged()
{
    setDragMode(selection->isMulti() ? QGraphicsView::RubberBandDrag : QGraphicsView::NoDrag);
}

void FrontPanel::focusInEvent(QFocusEvent *event)
{
    if (keyCursor < 0) {
        const QList<int> selected = selection ? selection->indices() : QList<int>();
        keyCursor = selected.isEmpty() ? firstPad : selected.first();
    }
    items[keyCursor]->setKeyboardFocus(true);
    QGraphicsView::focusInEvent(event);
    PanelAccessibility::focusMoved(this, keyCursor);
}

void FrontPanel::focusOutEvent(QFocusEvent *event)
{
    if (keyCursor >= 0)
        items[keyCursor]->setKeyboardFocus(false);
    QGraphicsView::focusOutEvent(event);
}

void FrontPanel::keyPressEvent(QKeyEvent *event)
{
    if (handleKey(event)) {
        event->accept();
        return;
    }
    QGraphicsView::keyPressEvent(event);
}

void FrontPanel::mousePressEvent(QMouseEvent *event)
{
    // The keyboard goes on from the control last clicked.
    const QPointF at = mapToScene(event->pos());
    for (int i = 0; i < ControlTable::count; ++i) {
        if (QRectF(controlRects.at(i)).contains(at)) {
            moveKeyCursor(i);
            break;
        }
    }
    QGraphicsView::mousePressEvent(event);
}

bool FrontPanel::viewportEvent(QEvent *event)
{
    if (event->type() != QEvent::ToolTip)
        return QGraphicsView::viewportEvent(event);
    // Shown or hidden as the scene does for items with a tooltip of their own; the text is
    // built now, from the table as it is.
    const auto *help = static_cast<QHelpEvent *>(event);
    const QString text = controlToolTip(controlAt(help->pos()));
    QToolTip::showText(text.isEmpty() ? QPoint() : help->globalPos(), text, viewport());
    event->setAccepted(!text.isEmpty());
    return true;
}

int FrontPanel::controlAt(const QPoint &viewportPoint) const
{
    // The topmost control there, as the scene stacks them.
    for (const QGraphicsItem *item : QGraphicsView::items(viewportPoint)) {
        const auto found = std::find(items.cbegin(), items.cend(), item);
        if (found != items.cend())
            return int(found - items.cbegin());
    }
    return -1;
}

// Arrows move the cursor and select the control it reaches (with Shift, add it), Space
// toggles the control under the cursor, Enter hands over to the editors.
bool FrontPanel::handleKey(const QKeyEvent *event)
{
    using PanelNavigation::Direction;
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const bool shift = modifiers == Qt::ShiftModifier;
    if (!selection || (modifiers != Qt::NoModifier && !shift))
        return false;
    const QMap<int, Direction> directions = {{Qt::Key_Left, Direction::Left},
                                             {Qt::Key_Right, Direction::Right},
                                             {Qt::Key_Up, Direction::Up},
                                             {Qt::Key_Down, Direction::Down}};
    if (keyCursor < 0)
        keyCursor = firstPad;
    if (directions.contains(event->key())) {
        const int next = PanelNavigation::nearest(keyCursor, directions.value(event->key()));
        if (next < 0)
            return true; // at the edge: stay
        moveKeyCursor(next);
        if (!shift)
            selection->clear();
        selection->select(next);
        return true;
    }
    if (shift)
        return false;
    switch (event->key()) {
    case Qt::Key_Space:
        selection->toggle(keyCursor);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        emit enterPressed();
        return true;
    default:
        return false;
    }
}

void FrontPanel::moveKeyCursor(int control)
{
    if (keyCursor >= 0)
        items[keyCursor]->setKeyboardFocus(false);
    keyCursor = control;
    items[keyCursor]->setKeyboardFocus(hasFocus());
    PanelAccessibility::focusMoved(this, keyCursor);
}
