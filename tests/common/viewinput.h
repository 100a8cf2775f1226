#pragma once

#include "controlplacement.h"
#include "mainwindow.h"

#include <QtTest>
#include <QtWidgets>

#include <functional>

// Mouse input to a window's device view, given in picture coordinates, delivered as real mouse
// events through the view's viewport; and answers to the context menu that a right click opens.
namespace viewinput {

inline QGraphicsView *view(const MainWindow &window)
{
    return window.findChild<QGraphicsView *>(QStringLiteral("graphicsView"));
}

inline QPoint toViewport(const MainWindow &window, QPointF picturePoint)
{
    return view(window)->mapFromScene(picturePoint);
}

inline QPointF centreOf(int control)
{
    return QRectF(controlRects.at(control)).center();
}

inline void click(const MainWindow &window, QPointF at, Qt::MouseButton button = Qt::LeftButton,
                  Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget *viewport = view(window)->viewport();
    QTest::mousePress(viewport, button, modifiers, toViewport(window, at));
    QTest::mouseRelease(viewport, button, modifiers, toViewport(window, at));
}

inline void clickControl(const MainWindow &window, int control,
                         Qt::MouseButton button = Qt::LeftButton,
                         Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    click(window, centreOf(control), button, modifiers);
}

// The tooltip the view shows for picturePoint, asked for as a mouse resting there asks for it;
// empty when the view shows none there.
inline QString toolTipAt(QGraphicsView *view, QPointF picturePoint)
{
    const QPoint at = view->mapFromScene(picturePoint);
    QHelpEvent event(QEvent::ToolTip, at, view->viewport()->mapToGlobal(at));
    event.setAccepted(false);
    QApplication::sendEvent(view->viewport(), &event);
    return event.isAccepted() && QToolTip::isVisible() ? QToolTip::text() : QString();
}

inline QString toolTipOf(const MainWindow &window, int control)
{
    return toolTipAt(view(window), centreOf(control));
}

// Press at the path's first point, move along it in a few steps to each further point with
// the left button held, release at the last; the modifiers are held throughout.
inline void drag(const MainWindow &window, const QList<QPointF> &path,
                 Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget *viewport = view(window)->viewport();
    QTest::mousePress(viewport, Qt::LeftButton, modifiers, toViewport(window, path.first()));
    for (int leg = 1; leg < path.size(); ++leg) {
        for (int step = 1; step <= 4; ++step) {
            const QPointF from = path.at(leg - 1);
            const QPoint at = toViewport(window, from + (path.at(leg) - from) * step / 4);
            QMouseEvent move(QEvent::MouseMove, at, viewport->mapToGlobal(at), Qt::NoButton,
                             Qt::LeftButton, modifiers);
            QApplication::sendEvent(viewport, &move);
        }
    }
    QTest::mouseRelease(viewport, Qt::LeftButton, modifiers, toViewport(window, path.last()));
}

inline void drag(const MainWindow &window, QPointF from, QPointF to,
                 Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    drag(window, QList<QPointF>{from, to}, modifiers);
}

// Runs answer with the next context menu as soon as it is open. The answer must close it,
// e.g. with dismiss() or choose().
inline void onNextMenu(std::function<void(QMenu *)> answer)
{
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu || !menu->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        answer(menu);
    });
    timer->start(5);
}

inline QStringList titles(const QMenu *menu)
{
    QStringList texts;
    for (const QAction *action : menu->actions())
        texts << action->text();
    return texts;
}

inline QAction *actionNamed(const QMenu *menu, const QString &text)
{
    for (QAction *action : menu->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

inline void dismiss(QMenu *menu)
{
    QTest::keyClick(menu, Qt::Key_Escape);
}

// Chooses entry from the submenu titled submenuTitle with the keyboard, as a user may.
inline void choose(QMenu *menu, const QString &submenuTitle, const QString &entry)
{
    QAction *submenuAction = actionNamed(menu, submenuTitle);
    QMenu *submenu = submenuAction ? submenuAction->menu() : nullptr;
    QAction *entryAction = submenu ? actionNamed(submenu, entry) : nullptr;
    if (!entryAction) {
        dismiss(menu);
        QTest::qFail(qPrintable(QStringLiteral("no entry %1 / %2").arg(submenuTitle, entry)),
                     __FILE__, __LINE__);
        return;
    }
    menu->setActiveAction(submenuAction);
    QTest::keyClick(menu, Qt::Key_Right);
    submenu->setActiveAction(entryAction);
    QTest::keyClick(submenu, Qt::Key_Return);
}

// Right-clicks control and chooses entry from its menu's submenu (dismisses it when submenu is
// empty).
inline void chooseFromMenuOf(const MainWindow &window, int control, const QString &submenu = {},
                             const QString &entry = {})
{
    onNextMenu([submenu, entry](QMenu *menu) {
        if (submenu.isEmpty())
            dismiss(menu);
        else
            choose(menu, submenu, entry);
    });
    clickControl(window, control, Qt::RightButton);
}

} // namespace viewinput
