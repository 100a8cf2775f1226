#pragma once

#include <QList>
#include <QMenu>
#include <QStringList>

class SelectionHost;
class MidiControlModel;

// The right-click menu of a control: one submenu per list-valued parameter the control has.
// A chosen entry sets that parameter, to the entry's position in its list, on every selected
// control that has it. The submenus are built once and put together anew for each opening.
class ContextMenu
{
public:
    ContextMenu(QStringList ccNames, QStringList noteNames, SelectionHost *window);

    // Opens the menu of the clicked control at a global position and applies the choice;
    // returns when the menu has closed.
    void showMenu(MidiControlModel &model, const QPoint &position);

private:
    QMenu *buildMenu(const MidiControlModel &model);
    void addSubmenu(const QString &title, const MidiControlModel &model, unsigned int id,
                    QMenu &submenu, QMenu *menu);
    void addNoteOrCCMenu(const MidiControlModel &model, QMenu *menu);
    void applyToSelection(const QString &text, const QString &title,
                          const MidiControlModel &clicked,
                          const QList<MidiControlModel *> &selected);
    void applyValue(const QString &text, unsigned int id, const QStringList &values,
                    const QList<MidiControlModel *> &selected);

    QMenu channelMenu;
    QMenu ccMenu;
    QMenu ccxMenu;
    QMenu ccyMenu;
    QMenu noteMenu;
    QMenu typeMenu;
    QMenu modeMenu;
    QMenu aftertouchMenu;
    QMenu colourMenu;
    QMenu colourFnMenu;
    QStringList ccNames;
    QStringList noteNames;
    SelectionHost *window;
};
