#pragma once

#include "parameterid.h"

#include <QList>
#include <QMenu>
#include <QMetaType>
#include <QStringList>

#include <optional>

class MidiControlModel;

// What an entry of the context menu sets: value, in each of ids that a selected control has.
// An entry holds it in its QAction::data().
struct ParameterChoice
{
    QList<ParameterId> ids;
    int value = 0;

    bool operator==(const ParameterChoice &other) const
    {
        return ids == other.ids && value == other.value;
    }
};
Q_DECLARE_METATYPE(ParameterChoice)

// The right-click menu of a control: one submenu per list-valued parameter the control has,
// titled with the parameter's caption, its entries the parameter's value names. An entry sets
// its one parameter; the one exception is the "CC" submenu of a pad or button in CC mode,
// which sets the controller number of the selected sliders and knobs as well. The submenus
// are built once and put together anew for each opening.
class ContextMenu
{
public:
    ContextMenu(const QStringList &controllerNames, const QStringList &noteNames);

    // The menu for the clicked control; the entries of the values that the selected controls
    // agree on are checked. The caller owns it.
    QMenu *build(const MidiControlModel &clicked, const QList<MidiControlModel *> &selected);
    // Opens that menu at a global position; returns the chosen entry's choice once it has
    // closed, nothing when it was dismissed.
    std::optional<ParameterChoice> exec(const MidiControlModel &clicked,
                                        const QList<MidiControlModel *> &selected,
                                        const QPoint &position);
    // The choice an entry of a built menu holds, if it holds one.
    static std::optional<ParameterChoice> choiceOf(const QAction *entry);
    // Sets the choice on every model that has one of its parameters.
    static void apply(const ParameterChoice &choice, const QList<MidiControlModel *> &models);

private:
    struct Submenu
    {
        QList<ParameterId> ids;   // what its entries set
        QList<ParameterId> shown; // which the check mark looks at
        QMenu menu;
    };
    void fill(Submenu &submenu, const QString &title, const QList<ParameterId> &ids,
              const QStringList &texts);
    void add(QMenu *menu, Submenu &submenu, const MidiControlModel &clicked, ParameterId has,
             const QList<MidiControlModel *> &selected);

    Submenu channel;
    Submenu cc;
    Submenu ccx;
    Submenu ccy;
    Submenu noteNumber;
    Submenu padCc;
    Submenu type;
    Submenu mode;
    Submenu aftertouch;
    Submenu colour;
    Submenu colourFn;
};
