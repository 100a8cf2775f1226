#include "panelaccessibility.h"

#include "controlnames.h"
#include "controlplacement.h"
#include "controltable.h"
#include "frontpanel.h"
#include "midicontrolitem.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPointer>

#include <algorithm>
#include <array>
#include <iterator>

namespace {

// The control's rectangle on the scene, without the pen around it.
QPolygonF sceneRect(const FrontPanel *panel, int control)
{
    const MidiControlItem *item = panel->item(control);
    return item->mapToScene(item->rect());
}

// One control of the panel. It holds no state of its own: everything is read from the panel
// when asked, so nothing has to be kept in step.
class ControlAccessible : public QAccessibleInterface, public QAccessibleActionInterface
{
public:
    ControlAccessible(FrontPanel *panel, int control)
        : panel(panel)
        , control(control)
    {
    }

    bool isValid() const override { return !panel.isNull(); }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return panel ? panel->window()->windowHandle() : nullptr; }
    QAccessibleInterface *parent() const override
    {
        return QAccessible::queryAccessibleInterface(panel.data());
    }
    QAccessibleInterface *child(int) const override { return nullptr; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }

    QString text(QAccessible::Text t) const override
    {
        if (!panel)
            return QString();
        switch (t) {
        case QAccessible::Name:
            return ControlNames::name(control);
        case QAccessible::Description:
            return panel->controlDescription(control);
        default:
            return QString();
        }
    }
    void setText(QAccessible::Text, const QString &) override {}

    // On the screen, through the view's transform and scrolling.
    QRect rect() const override
    {
        if (!panel)
            return QRect();
        const QRect inViewport = panel->mapFromScene(sceneRect(panel, control)).boundingRect();
        return QRect(panel->viewport()->mapToGlobal(inViewport.topLeft()), inViewport.size());
    }

    QAccessible::Role role() const override
    {
        switch (ControlTable::kindOf(control)) {
        case ParameterInfo::Kind::Continuous: {
            // Knobs sit in square rectangles, sliders and the crossfader in long ones: the
            // picture is drawn by the same rule.
            const QRect r = controlRects.at(control);
            return r.width() == r.height() ? QAccessible::Dial : QAccessible::Slider;
        }
        case ParameterInfo::Kind::XYPad:
            return QAccessible::Slider;
        case ParameterInfo::Kind::FunctionButton:
        case ParameterInfo::Kind::NavigationButton:
        case ParameterInfo::Kind::Pad:
            break;
        }
        return QAccessible::Button;
    }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        if (!panel) {
            state.invalid = true;
            return state;
        }
        state.selectable = true;
        state.multiSelectable = true;
        state.focusable = true;
        state.selected = panel->item(control)->isSelected();
        state.focused = panel->hasFocus() && panel->keyboardCursor() == control;
        state.invisible = !panel->isVisible();
        return state;
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface
            ? static_cast<QAccessibleActionInterface *>(this)
            : nullptr;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString &name) override
    {
        if (panel && name == pressAction())
            panel->pressControl(control);
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    QPointer<FrontPanel> panel;
    const int control;
};

// The view: its children are the controls, in index order, made on first request and kept in
// Qt's cache of interfaces until the view goes.
class PanelAccessible : public QAccessibleWidget
{
public:
    explicit PanelAccessible(FrontPanel *panel)
        : QAccessibleWidget(panel, QAccessible::Grouping)
    {
    }
    ~PanelAccessible() override
    {
        for (QAccessible::Id id : childIds) {
            if (id)
                QAccessible::deleteAccessibleInterface(id);
        }
    }

    int childCount() const override { return ControlTable::count; }
    QAccessibleInterface *child(int index) const override
    {
        if (index < 0 || index >= ControlTable::count)
            return nullptr;
        QAccessible::Id &id = childIds[size_t(index)];
        if (!id)
            id = QAccessible::registerAccessibleInterface(new ControlAccessible(panel(), index));
        return QAccessible::accessibleInterface(id);
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        for (int i = 0; i < ControlTable::count; ++i) {
            if (child && childIds[size_t(i)]
                && QAccessible::accessibleInterface(childIds[size_t(i)]) == child)
                return i;
        }
        return -1;
    }
    QAccessibleInterface *childAt(int x, int y) const override
    {
        const QPointF inScene = panel()->mapToScene(
            panel()->viewport()->mapFromGlobal(QPoint(x, y)));
        for (int i = 0; i < ControlTable::count; ++i) {
            if (sceneRect(panel(), i).containsPoint(inScene, Qt::OddEvenFill))
                return child(i);
        }
        return nullptr;
    }
    // The control under the keyboard's cursor while the panel has the focus.
    QAccessibleInterface *focusChild() const override
    {
        return panel()->hasFocus() && panel()->keyboardCursor() >= 0
            ? child(panel()->keyboardCursor())
            : nullptr;
    }

private:
    FrontPanel *panel() const { return static_cast<FrontPanel *>(widget()); }

    mutable std::array<QAccessible::Id, ControlTable::count> childIds{};
};

QAccessibleInterface *panelFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("FrontPanel") && object && object->isWidgetType())
        return new PanelAccessible(static_cast<FrontPanel *>(object));
    return nullptr;
}

// Sends the event for each control of the panel; the controls' interfaces are made only while
// someone listens.
void notify(FrontPanel *panel, const QList<int> &controls, QAccessible::Event type)
{
    if (controls.isEmpty() || !QAccessible::isActive())
        return;
    for (int control : controls) {
        QAccessibleEvent event(panel, type);
        event.setChild(control);
        QAccessible::updateAccessibility(&event);
    }
}

} // namespace

namespace PanelAccessibility {

void install()
{
    static const bool installed = [] {
        QAccessible::installFactory(panelFactory);
        return true;
    }();
    Q_UNUSED(installed)
}

void focusMoved(FrontPanel *panel, int control)
{
    if (control >= 0 && panel->hasFocus())
        notify(panel, {control}, QAccessible::Focus);
}

void selectionChanged(FrontPanel *panel, const QList<int> &before, const QList<int> &now)
{
    if (before == now || !QAccessible::isActive())
        return;
    QList<int> added;
    std::set_difference(now.cbegin(), now.cend(), before.cbegin(), before.cend(),
                        std::back_inserter(added));
    QList<int> removed;
    std::set_difference(before.cbegin(), before.cend(), now.cbegin(), now.cend(),
                        std::back_inserter(removed));
    notify(panel, added, QAccessible::SelectionAdd);
    notify(panel, removed, QAccessible::SelectionRemove);
}

void descriptionsChanged(FrontPanel *panel, const QList<int> &controls)
{
    notify(panel, controls, QAccessible::DescriptionChanged);
}

} // namespace PanelAccessibility
