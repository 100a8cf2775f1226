#pragma once

#include <QDockWidget>
#include <QObject>
#include <QPointer>
#include <QSize>

class QMainWindow;

// The size of the editor's window. A dock shown beside the window widens it by the dock's
// width, and narrows it again when it goes, so that the picture keeps its size; a window
// filling the screen stays as it is. Keeps the size the user gave the window, less the dock,
// for the settings.
class WindowSizing : public QObject
{
public:
    WindowSizing(QMainWindow *window, QDockWidget *dock);

    // Sizes the window to stored, or to its natural size when stored is not valid; never
    // larger than the screen leaves room for, title bar included.
    void restoreSize(QSize stored);
    // Maximises the window when it is next shown, so that the window system knows the size
    // to return to.
    void maximiseWhenShown(bool maximise) { maximiseOnShow = maximise; }
    // Widens or narrows the window after the dock came, went or was floated.
    void fitToDock();
    bool fillsTheScreen() const;
    // The window's size when not filling the screen, less a docked dock's width.
    QSize sizeWithoutDock() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool docked() const;

    QMainWindow *window;
    QPointer<QDockWidget> dock; // goes before this object as the window's children go
    QSize normalSize;           // the window's size when not filling the screen, less a docked dock
    int widthForDock = 0;       // the width fitToDock last added for the docked dock
    bool maximiseOnShow = false;
};
