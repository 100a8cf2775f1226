#pragma once

#include "parameterid.h"

#include <QString>
#include <QStringList>

class ControlParameter;
class MidiControlModel;

// Parameters and their values as text, for the command line and any other text output: names
// are the ParameterId names in lower case ("channel", "noteorcc", ...), values read as the
// editor pane shows them. Channels are written 1..16 and Global; a note number is written as
// its note name (C-2..G8) on a control whose type is Note.
namespace ParameterText {

// The parameter's name, or an empty string for an unknown id.
QString name(unsigned int id);
// The 16 names in id order.
QStringList names();
// The parameter's caption in the editor pane ("Note/CC"), or an empty string for an unknown id.
QString caption(unsigned int id);

// Finds the parameter named text (any letter case) among those the model has. On failure
// *error says why, naming the control as controlName and suggesting the nearest name.
bool parseParameter(const QString &text, const MidiControlModel &model, const QString &controlName,
                    ParameterId *id, QString *error);

// The model's value of parameter id as text; empty when the model lacks the parameter.
QString valueText(const MidiControlModel &model, ParameterId id);
// A value of parameter p as text, the control's type deciding how a note or controller
// number is written (isNote).
QString valueText(const ControlParameter &p, unsigned char value, bool isNote);

// What text parameter p accepts, e.g. "1..16 or Global" or "Note, CC or 0..1".
QString allowed(const ControlParameter &p);

// Reads text as a value of p: a value name of the parameter (any letter case), a note name
// for a note or controller number, or a number; a channel number is 1..16. A value outside
// p's range is refused, never clamped; *error then says why and what is allowed.
bool parseValue(const ControlParameter &p, const QString &text, unsigned char *value,
                QString *error);

// The candidate nearest to word by edit distance, ignoring letter case, or an empty string
// when none is near enough to be what was meant.
QString nearest(const QString &word, const QStringList &candidates);

} // namespace ParameterText
