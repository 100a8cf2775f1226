#pragma once

#include "parameterid.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

// Everything the program says about a parameter, in one table: its caption in the editor pane
// and the menus, its command-line name and the other names a user may type for it, its range,
// how its values are named and which kinds of control have it. Every caption, range and value
// name the editor, the undo history, the front panel and `vellichord` show comes from here.
namespace ParameterInfo {

// The kinds of control; which parameters a control has follows from its kind.
enum class Kind {
    Continuous,       // sliders, knobs, the P row and the crossfader
    FunctionButton,   // F1..F10
    NavigationButton, // STOP, PLAY, RECORD and the arrows
    Pad,              // PAD1..PAD25
    XYPad,
};

// How a parameter's values are written.
enum class Values {
    Number,       // plain numbers (ranges)
    Channel,      // "Ch 1".."Ch 16", "Global"
    Controller,   // controller names (from the name file), entry n for controller n
    NoteOrNumber, // note names for a control of type Note, controller names otherwise
    Named,        // a short fixed list (type, mode, aftertouch, colours)
};

struct Info
{
    ParameterId id;
    const char *caption; // "Color Fn": the pane's label and the context menu's title
    const char *name;    // "colourf": the command line's name
    // Other names the command line accepts (any letter case), among them the caption without
    // its spaces and slashes ("colorfn"), so that what the pane shows can be typed.
    QList<const char *> aliases;
    uint8_t min;
    uint8_t max;
    uint8_t initial;
    Values values;
    QList<Kind> kinds; // which kinds of control have it
};

// The sixteen parameters in id order.
const QList<Info> &all();
// The entry of id; id must be a ParameterId.
const Info &of(ParameterId id);
// Whether id names a parameter.
bool isValid(unsigned int id);

QString caption(ParameterId id);
// The caption of the Note/CC row and menu as it reads for controls of type Note ("Note"),
// of type CC ("CC") or of both ("Note/CC").
QString noteOrCcCaption(std::optional<bool> isNote);
QString name(ParameterId id);
// The parameter a typed name stands for: its name, caption or alias in any letter case,
// spaces, slashes and hyphens left out; nothing when none is.
std::optional<ParameterId> fromName(const QString &text);

// The names of a Named parameter's values (entry n names value n), the channel names for
// Channel, controllerNames for Controller and for NoteOrNumber unless isNote, noteNames for
// NoteOrNumber when isNote; empty for a Number parameter.
QStringList valueNames(ParameterId id, const QStringList &controllerNames = {},
                       const QStringList &noteNames = {}, bool isNote = false);

// The fixed value lists, entry n naming value n.
// The caption and the value names as the editor shows them, in the user's language; the
// command line and the files keep the English ones above.
QString shownCaption(ParameterId id);
QString shownNoteOrCcCaption(std::optional<bool> isNote);
QStringList shownValueNames(ParameterId id, const QStringList &controllerNames = {},
                            const QStringList &noteNames = {}, bool isNote = false);

QStringList channelNames();
QStringList typeNames();
QStringList modeNames();
QStringList aftertouchNames();
QStringList colourNames();
QStringList colourFnNames();

} // namespace ParameterInfo
