#pragma once

#include <QList>

class QAction;
class QMainWindow;
class QMenu;
class QPushButton;
class QUndoStack;

// The editor's commands, one action each, named for the tests ("actionLoad", …), with text,
// tip and shortcut; the window connects them to what they do.
struct EditorCommands
{
    QAction *load;
    QAction *save;
    QAction *openLibrary;
    QAction *saveLibrary;
    QAction *quit;
    QAction *undo;
    QAction *redo;
    QAction *selectAll;
    QAction *selectNone;
    QAction *number;
    QAction *upload;
    QAction *download;
    QAction *revert;
    QAction *receiveLibrary;
    QAction *update;
    QAction *selectByTouch; // checkable
    QAction *sendAsYouEdit; // checkable
    QAction *about;
    QMenu *view; // what the window shows: its docks' toggles
};

// Fills window's menu bar: File (with recentFiles and recentLibraries), Edit (undo and redo of
// steps), View, Device and Help. The actions belong to the window, so that their shortcuts work
// wherever its focus is.
EditorCommands buildEditorMenus(QMainWindow *window, QUndoStack *steps, QMenu *recentFiles,
                                QMenu *recentLibraries);

// Edit > Copy, Paste, Paste All but Note/CC and Check.
struct ClipboardCommands
{
    QAction *copy;
    QAction *paste;
    QAction *pasteKeepingNumbers;
    QAction *check;
};

// Adds copy and paste to the Edit menu of commands, after Undo and Redo, and Check at its end.
// Their keys act in the window's central widget, where a text field with the keyboard keeps
// them for its own text.
ClipboardCommands addClipboardCommands(QMainWindow *window, const EditorCommands &commands);

// The menus that hold action.
QList<QMenu *> menusHolding(const QAction *action);

// Makes button trigger action, with the action's tips and enabled state.
void bindButton(QPushButton *button, QAction *action);
