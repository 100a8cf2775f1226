#include "windowsizing.h"

#include <QDockWidget>
#include <QEvent>
#include <QLayout>
#include <QMainWindow>
#include <QScreen>
#include <QStyle>

WindowSizing::WindowSizing(QMainWindow *window, QDockWidget *dock)
    : QObject(window)
    , window(window)
    , dock(dock)
{
    window->installEventFilter(this);
}

void WindowSizing::restoreSize(QSize stored)
{
    QSize size = stored.isValid() ? stored : window->sizeHint();
    if (const QScreen *shownOn = window->screen()) {
        const int titleBar = window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr,
                                                          window);
        size = size.boundedTo(shownOn->availableSize() - QSize(0, titleBar));
    }
    normalSize = size;
    window->resize(size);
}

bool WindowSizing::fillsTheScreen() const
{
    return window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen);
}

bool WindowSizing::docked() const
{
    return dock && !dock->isHidden() && !dock->isFloating();
}

QSize WindowSizing::sizeWithoutDock() const
{
    return fillsTheScreen() ? window->normalGeometry().size() - QSize(widthForDock, 0) : normalSize;
}

void WindowSizing::fitToDock()
{
    widthForDock = docked() ? dock->sizeHint().width()
            + window->style()->pixelMetric(QStyle::PM_DockWidgetSeparatorExtent, nullptr, window)
                            : 0;
    // A window filling the screen stays as it is and the picture gives the dock its room.
    if (fillsTheScreen())
        return;
    // The minimum size follows the dock now rather than at the next layout pass.
    window->layout()->activate();
    window->resize(normalSize + QSize(widthForDock, 0));
}

bool WindowSizing::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != window)
        return false;
    if (event->type() == QEvent::Resize) {
        // Sized by the user, or by fitToDock. The window's own growth to the minimum a dock
        // just shown needs comes before fitToDock and is passed over.
        if (!fillsTheScreen() && docked() == (widthForDock > 0))
            normalSize = window->size() - QSize(widthForDock, 0);
    } else if (event->type() == QEvent::Show && maximiseOnShow) {
        maximiseOnShow = false;
        window->setWindowState(window->windowState() | Qt::WindowMaximized);
    }
    return false;
}
