#include "contextmenu.h"

#include "midicontrolmodel.h"
#include "parameterinfo.h"
#include "selectionparameters.h"

#include <algorithm>
#include <memory>

namespace {

// Longer names are cut short in the menus, which would otherwise grow as wide as the name.
constexpr int longestEntry = 64;

// Checks the entry of the value that the selection agrees on, and no other.
void markValue(QMenu &menu, std::optional<unsigned char> value)
{
    const QList<QAction *> entries = menu.actions();
    for (int i = 0; i < entries.size(); ++i)
        entries.at(i)->setChecked(value && int(*value) == i);
}

} // namespace

ContextMenu::ContextMenu(const QStringList &controllerNames, const QStringList &noteNames)
{
    using namespace ParameterInfo;
    for (auto [submenu, id] : {std::pair{&channel, Channel},
                               {&type, Type},
                               {&mode, Toggle},
                               {&aftertouch, Aftertouch},
                               {&colour, Colour},
                               {&colourFn, ColourF},
                               {&cc, CC},
                               {&ccx, CCX},
                               {&ccy, CCY}})
        fill(*submenu, shownCaption(id), {id}, shownValueNames(id, controllerNames));
    fill(noteNumber, shownNoteOrCcCaption(true), {NoteOrCC},
         shownValueNames(NoteOrCC, controllerNames, noteNames, true));
    // A pad's controller number is set with the sliders' and knobs' as one.
    fill(padCc, shownNoteOrCcCaption(false), {NoteOrCC, CC},
         shownValueNames(NoteOrCC, controllerNames, noteNames, false));
}

// Each entry holds its choice in its data and its name whole in its tooltip; the menu shows
// the name cut to longestEntry characters and with "&" as written.
void ContextMenu::fill(Submenu &submenu, const QString &title, const QList<ParameterId> &ids,
                       const QStringList &texts)
{
    submenu.ids = ids;
    submenu.shown = ids;
    submenu.menu.setTitle(title);
    submenu.menu.setToolTipsVisible(true);
    for (int i = 0; i < texts.size(); ++i) {
        const QString &text = texts.at(i);
        QString shown = text;
        if (text.size() > longestEntry) {
            int length = longestEntry - 1; // and "…"
            if (text.at(length).isLowSurrogate())
                --length;
            shown = text.left(length) + QChar(0x2026);
        }
        auto *action = new QAction(shown.replace(QLatin1Char('&'), QStringLiteral("&&")),
                                   &submenu.menu);
        // Of two equal names the later position is the one set, whichever is chosen.
        // Positions past 255 are pinned there (and the model clamps further), never wrapped
        // to a small value.
        const int value = std::min(int(texts.lastIndexOf(text)), 255);
        action->setData(QVariant::fromValue(ParameterChoice{ids, value}));
        action->setToolTip(text);
        action->setCheckable(true);
        submenu.menu.addAction(action);
    }
}

QMenu *ContextMenu::build(const MidiControlModel &clicked,
                          const QList<MidiControlModel *> &selected)
{
    auto *menu = new QMenu;
    add(menu, type, clicked, Type, selected);
    unsigned char clickedType = 0;
    if (clicked.getValue(Type, &clickedType))
        add(menu, clickedType != 0 ? padCc : noteNumber, clicked, NoteOrCC, selected);
    add(menu, mode, clicked, Toggle, selected);
    add(menu, channel, clicked, Channel, selected);
    add(menu, cc, clicked, CC, selected);
    add(menu, ccx, clicked, CCX, selected);
    add(menu, ccy, clicked, CCY, selected);
    add(menu, colour, clicked, Colour, selected);
    add(menu, colourFn, clicked, ColourF, selected);
    add(menu, aftertouch, clicked, Aftertouch, selected);
    return menu;
}

// Adds the submenu when the clicked control has the parameter; its entry of what the
// selection has in common carries a check mark.
void ContextMenu::add(QMenu *menu, Submenu &submenu, const MidiControlModel &clicked,
                      ParameterId has, const QList<MidiControlModel *> &selected)
{
    if (!clicked.getValue(has, nullptr))
        return;
    const auto &ids = submenu.shown;
    const std::optional<unsigned char> common = ids.size() == 1
        ? SelectionParameters::commonValue(selected, {ids.at(0)})
        : SelectionParameters::commonValue(selected, {ids.at(0), ids.at(1)});
    markValue(submenu.menu, common);
    menu->addMenu(&submenu.menu);
}

std::optional<ParameterChoice> ContextMenu::exec(const MidiControlModel &clicked,
                                                 const QList<MidiControlModel *> &selected,
                                                 const QPoint &position)
{
    const std::unique_ptr<QMenu> menu(build(clicked, selected));
    const QAction *chosen = menu->exec(position);
    return chosen ? choiceOf(chosen) : std::nullopt;
}

std::optional<ParameterChoice> ContextMenu::choiceOf(const QAction *entry)
{
    if (!entry || !entry->data().canConvert<ParameterChoice>())
        return std::nullopt;
    return entry->data().value<ParameterChoice>();
}

void ContextMenu::apply(const ParameterChoice &choice, const QList<MidiControlModel *> &models)
{
    const auto value = static_cast<unsigned char>(std::clamp(choice.value, 0, 255));
    for (MidiControlModel *model : models) {
        for (ParameterId id : choice.ids) {
            if (model->getValue(id, nullptr))
                model->updateParameter(id, value);
        }
    }
}
