#include "contextmenu.h"
#include "trace.h"

#include "editortexts.h"
#include "midicontrolmodel.h"
#include "selectionhost.h"
#include "selectionparameters.h"

#include <QDebug>

#include <algorithm>
#include <memory>
#include <optional>

namespace {

// Longer names are cut short in the menus, which would otherwise grow as wide as the name.
constexpr int longestEntry = 64;

// Each entry keeps its name whole in its data, which is what a choice applies, and in its
// tooltip; the menu shows it cut to longestEntry characters and with "&" as written.
void fill(QMenu &menu, const QStringList &texts)
{
    menu.setToolTipsVisible(true);
    for (const QString &text : texts) {
        QString shown = text;
        if (text.size() > longestEntry) {
            int length = longestEntry - 1; // and "…"
            if (text.at(length).isLowSurrogate())
                --length;
            shown = text.left(length) + QChar(0x2026);
        }
        auto *action = new QAction(shown.replace(QLatin1Char('&'), QStringLiteral("&&")), &menu);
        action->setData(text);
        action->setToolTip(text);
        action->setCheckable(true);
        menu.addAction(action);
    }
}

// Checks the entry of the value that the selection agrees on, and no other.
void markValue(QMenu &menu, std::optional<unsigned char> value)
{
    const QList<QAction *> entries = menu.actions();
    for (int i = 0; i < entries.size(); ++i)
        entries.at(i)->setChecked(value && int(*value) == i);
}

} // namespace

ContextMenu::ContextMenu(QStringList ccNames, QStringList noteNames, SelectionHost *window)
    : ccNames(std::move(ccNames))
    , noteNames(std::move(noteNames))
    , window(window)
{
    fill(channelMenu, MidiControlModel::channelNames());
    fill(typeMenu, MidiControlModel::typeNames());
    fill(aftertouchMenu, MidiControlModel::aftertouchNames());
    fill(colourMenu, MidiControlModel::colourNames());
    fill(colourFnMenu, MidiControlModel::colourFnNames());
    fill(modeMenu, MidiControlModel::modeNames());
    fill(ccMenu, this->ccNames);
    fill(ccxMenu, this->ccNames);
    fill(ccyMenu, this->ccNames);
    fill(noteMenu, this->noteNames);
}

void ContextMenu::showMenu(MidiControlModel &model, const QPoint &position)
{
    const std::unique_ptr<QMenu> menu(buildMenu(model));
    QAction *chosen = menu->exec(position);
    if (!chosen)
        return;
    auto *submenu = qobject_cast<QMenu *>(chosen->parentWidget());
    if (!submenu) {
        qCDebug(lcTrace) << "menu null";
        return;
    }
    applyToSelection(chosen->data().toString(), submenu->title(), model,
                     window->getSelectedModels());
}

QMenu *ContextMenu::buildMenu(const MidiControlModel &model)
{
    auto *menu = new QMenu;
    addSubmenu(menuTitleType, model, Type, typeMenu, menu);
    addNoteOrCCMenu(model, menu);
    addSubmenu(menuTitleMode, model, Toggle, modeMenu, menu);
    addSubmenu(menuTitleChannel, model, Channel, channelMenu, menu);
    addSubmenu(menuTitleCC, model, CC, ccMenu, menu);
    addSubmenu(menuTitleCCX, model, CCX, ccxMenu, menu);
    addSubmenu(menuTitleCCY, model, CCY, ccyMenu, menu);
    addSubmenu(menuTitleColour, model, Colour, colourMenu, menu);
    addSubmenu(menuTitleColourFn, model, ColourF, colourFnMenu, menu);
    addSubmenu(menuTitleAftertouch, model, Aftertouch, aftertouchMenu, menu);

    // The entries of what the selection has in common carry a check mark. A number submenu
    // titled "CC" also sets the controller number of the selected sliders and knobs.
    const QList<MidiControlModel *> &selected = window->getSelectedModels();
    const auto common = [&selected](std::initializer_list<unsigned int> ids) {
        return SelectionParameters::commonValue(selected, ids);
    };
    markValue(typeMenu, common({Type}));
    markValue(noteMenu, common({NoteOrCC}));
    markValue(modeMenu, common({Toggle}));
    markValue(channelMenu, common({Channel}));
    markValue(ccMenu, model.getValue(Type, nullptr) ? common({NoteOrCC, CC}) : common({CC}));
    markValue(ccxMenu, common({CCX}));
    markValue(ccyMenu, common({CCY}));
    markValue(colourMenu, common({Colour}));
    markValue(colourFnMenu, common({ColourF}));
    markValue(aftertouchMenu, common({Aftertouch}));
    return menu;
}

void ContextMenu::addSubmenu(const QString &title, const MidiControlModel &model, unsigned int id,
                             QMenu &submenu, QMenu *menu)
{
    if (!model.getValue(ParameterId(id), nullptr))
        return;
    submenu.setTitle(title);
    menu->addMenu(&submenu);
}

void ContextMenu::addNoteOrCCMenu(const MidiControlModel &model, QMenu *menu)
{
    unsigned char type = 0;
    if (!model.getValue(Type, &type))
        return;
    if (type != 0)
        addSubmenu(menuTitleCC, model, NoteOrCC, ccMenu, menu);
    else
        addSubmenu(QStringLiteral("Note"), model, NoteOrCC, noteMenu, menu);
}

void ContextMenu::applyToSelection(const QString &text, const QString &title,
                                   const MidiControlModel &clicked,
                                   const QList<MidiControlModel *> &selected)
{
    if (selected.isEmpty())
        return;

    const struct
    {
        const QString &title;
        ParameterId id;
        QStringList values;
    } rows[] = {
        {menuTitleChannel, Channel, MidiControlModel::channelNames()},
        {menuTitleType, Type, MidiControlModel::typeNames()},
        {menuTitleAftertouch, Aftertouch, MidiControlModel::aftertouchNames()},
        {menuTitleColour, Colour, MidiControlModel::colourNames()},
        {menuTitleColourFn, ColourF, MidiControlModel::colourFnNames()},
        {menuTitleMode, Toggle, MidiControlModel::modeNames()},
        {menuTitleCC, CC, ccNames},
        {menuTitleCCX, CCX, ccNames},
        {menuTitleCCY, CCY, ccNames},
    };
    for (const auto &row : rows) {
        if (row.title == title) {
            applyValue(text, row.id, row.values, selected);
            break;
        }
    }

    // A pad or button carries its note or controller number in NoteOrCC. Its type is read
    // now, after a choice from "Type" may have changed it.
    unsigned char type = 0;
    if (clicked.getValue(Type, &type))
        applyValue(text, NoteOrCC, type != 0 ? ccNames : noteNames, selected);
}

void ContextMenu::applyValue(const QString &text, unsigned int id, const QStringList &values,
                             const QList<MidiControlModel *> &selected)
{
    // Every match is applied, so of two equal names the later position wins. Positions past
    // 255 are pinned there (and the model clamps further), never wrapped to a small value.
    for (int i = 0; i < values.size(); ++i) {
        if (values.at(i) != text)
            continue;
        const auto value = static_cast<unsigned char>(std::min(i, 255));
        for (MidiControlModel *model : selected)
            model->updateParameter(id, value);
    }
}
