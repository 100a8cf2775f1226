#include "editormenus.h"

#include <QAction>
#include <QCoreApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QUndoStack>

namespace {

// The tr() of the functions below.
struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(EditorMenus)
};

QAction *add(QMenu *menu, const char *name, const QString &text, const QString &tip,
             const QKeySequence &keys = QKeySequence())
{
    // The menu bar's parent is the window.
    auto *action = new QAction(text, menu->parentWidget()->parentWidget());
    action->setObjectName(QLatin1String(name));
    action->setToolTip(tip);
    action->setStatusTip(tip);
    action->setShortcut(keys);
    menu->addAction(action);
    return action;
}

} // namespace

EditorCommands buildEditorMenus(QMainWindow *window, QUndoStack *steps, QMenu *recentFiles,
                                QMenu *recentLibraries)
{
    EditorCommands c{};
    QMenu *file = window->menuBar()->addMenu(Texts::tr("&File"));
    c.load = add(file, "actionLoad", Texts::tr("&Load Settings\u2026"),
                 Texts::tr("Load Settings: read a patch file into the editor"), QKeySequence::Open);
    c.save = add(file, "actionSave", Texts::tr("&Save Settings\u2026"),
                 Texts::tr("Save Settings: write the editor's patch to a file"),
                 QKeySequence::Save);
    file->addMenu(recentFiles);
    file->addSeparator();
    c.openLibrary = add(file, "actionOpenLibrary", Texts::tr("&Open Library\u2026"),
                        Texts::tr("Open Library: read a library file of presets into the library"));
    c.saveLibrary = add(
        file, "actionSaveLibrary", Texts::tr("Save Library &As\u2026"),
        Texts::tr("Save Library As: write the library's presets to a library file"));
    file->addMenu(recentLibraries);
    file->addSeparator();
    c.quit = add(file, "actionQuit", Texts::tr("&Quit"), Texts::tr("Close the editor"),
                 QKeySequence(Qt::CTRL | Qt::Key_Q));

    QMenu *edit = window->menuBar()->addMenu(Texts::tr("&Edit"));
    c.undo = steps->createUndoAction(window, Texts::tr("&Undo"));
    c.undo->setObjectName(QStringLiteral("actionUndo"));
    c.undo->setShortcut(QKeySequence::Undo);
    c.redo = steps->createRedoAction(window, Texts::tr("&Redo"));
    c.redo->setObjectName(QStringLiteral("actionRedo"));
    c.redo->setShortcut(QKeySequence::Redo);
    edit->addActions({c.undo, c.redo});
    edit->addSeparator();
    c.selectAll = add(edit, "actionSelectAll", Texts::tr("Select &All"),
                      Texts::tr("Select every control"), QKeySequence::SelectAll);
    c.selectNone = add(edit, "actionSelectNone", Texts::tr("Select &None"),
                       Texts::tr("Clear the selection"), QKeySequence(Qt::Key_Escape));
    edit->addSeparator();
    c.number = add(edit, "actionNumberSelected", Texts::tr("Nu&mber Selected Controls\u2026"),
                   Texts::tr("Give the selected controls consecutive note or CC numbers"));

    c.view = window->menuBar()->addMenu(Texts::tr("&View"));
    c.view->setObjectName(QStringLiteral("menuView"));

    QMenu *device = window->menuBar()->addMenu(Texts::tr("&Device"));
    c.upload = add(device, "actionUpload", Texts::tr("&Upload from Vellichord"),
                   Texts::tr("Upload: get the patch from the Vellichord into the editor"),
                   QKeySequence(Qt::CTRL | Qt::Key_U));
    c.download = add(device, "actionDownload", Texts::tr("&Download to Vellichord"),
                     Texts::tr("Download: send the editor's patch to the Vellichord"),
                     QKeySequence(Qt::CTRL | Qt::Key_D));
    c.revert = add(
        device, "actionRevert", Texts::tr("&Revert to Device Patch"),
        Texts::tr("Revert to Device Patch: drop the unsent changes and take the patch the "
                  "Vellichord holds, as one step that Undo takes back"));
    c.receiveLibrary = add(
        device, "actionReceiveLibrary", Texts::tr("Receive into &Library"),
        Texts::tr("Receive into Library: upload the Vellichord's current preset into "
                  "its row of the library"),
        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_U));
    c.update = add(device, "actionUpdate", Texts::tr("Update &Firmware\u2026"),
                   Texts::tr("Update: install new firmware on the Vellichord"));
    device->addSeparator();
    c.selectByTouch = add(
        device, "actionSelectByTouch", Texts::tr("Select Controls by &Touch"),
        Texts::tr("Select Controls by Touch: a control touched on the Vellichord is "
                  "selected, as a click on it would"));
    c.selectByTouch->setCheckable(true);
    c.sendAsYouEdit = add(device, "actionSendAsYouEdit", Texts::tr("Send Changes as You &Edit"),
                          Texts::tr("Send Changes as You Edit: each edit goes to the Vellichord at "
                                    "once, without Download"));
    c.sendAsYouEdit->setCheckable(true);

    QMenu *help = window->menuBar()->addMenu(Texts::tr("&Help"));
    c.about = add(help, "actionAbout", Texts::tr("&About"),
                  Texts::tr("Program and library versions"));

    window->addActions({c.load, c.save, c.openLibrary, c.saveLibrary, c.quit, c.undo, c.redo,
                        c.selectAll, c.selectNone, c.upload, c.download, c.receiveLibrary, c.update,
                        c.about});
    return c;
}

ClipboardCommands addClipboardCommands(QMainWindow *window, const EditorCommands &commands)
{
    ClipboardCommands c{};
    QMenu *edit = menusHolding(commands.selectAll).value(0);
    c.copy = add(
        edit, "actionCopy", Texts::tr("&Copy"),
        Texts::tr("Copy: put the selected control's settings on the clipboard, also as text"),
        QKeySequence::Copy);
    c.paste = add(
        edit, "actionPaste", Texts::tr("&Paste"),
        Texts::tr("Paste: give the selected controls every copied setting they have, as one "
                  "step"),
        QKeySequence::Paste);
    c.pasteKeepingNumbers = add(
        edit, "actionPasteKeepNumbers", Texts::tr("Paste All &but Note/CC"),
        Texts::tr("Paste All but Note/CC: paste, each selected control keeping its own note or CC "
                  "number"),
        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V));
    // Copy and paste go after Undo and Redo, Check stays last.
    const QList<QAction *> clipboard = {c.copy, c.paste, c.pasteKeepingNumbers};
    for (QAction *action : clipboard)
        edit->removeAction(action);
    QAction *afterRedo = edit->actions().value(edit->actions().indexOf(commands.redo) + 1);
    edit->insertActions(afterRedo, clipboard);
    edit->insertSeparator(c.copy);
    edit->addSeparator();
    c.check = add(
        edit, "actionCheck", Texts::tr("C&heck"),
        Texts::tr("Check: mark the controls that send the same note or CC on one channel, or "
                  "a CC that DAWs and synths reserve"));
    // Their keys act where the patch is edited, the picture, the name and the pane; the
    // library panel beside them has a Copy and Paste of its own.
    for (QAction *action : clipboard) {
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        window->centralWidget()->addAction(action);
    }
    window->addAction(c.check);
    return c;
}

QList<QMenu *> menusHolding(const QAction *action)
{
    QList<QMenu *> menus;
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    const QList<QObject *> holders = action->associatedObjects();
#else
    const QList<QWidget *> holders = action->associatedWidgets();
#endif
    for (QObject *holder : holders) {
        if (auto *menu = qobject_cast<QMenu *>(holder))
            menus.append(menu);
    }
    return menus;
}

void bindButton(QPushButton *button, QAction *action)
{
    button->setToolTip(action->toolTip());
    button->setStatusTip(action->statusTip());
    QObject::connect(button, &QPushButton::clicked, action, &QAction::trigger);
    QObject::connect(action, &QAction::changed, button,
                     [button, action] { button->setEnabled(action->isEnabled()); });
}
