#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

class MidiControlModel;

// Short texts about what a control sends, for the front panel, its tooltips and the note
// lists: everything here reads the models and changes nothing.
namespace ControlSummary {

// "60 C3": the note's number first, so that a user who thinks in numbers finds it in a list.
QString noteEntry(int note);
// noteEntry of 0..127, entry n for note n.
QStringList noteEntries();
// The note number of a typed start value: a number ("60") or a note name ("C3", "c#3", "Db3",
// "60 C3"); nothing for a text that is neither or lies outside 0..127.
std::optional<int> parseNote(const QString &text);

// The channel that most of the models send on (the lowest of equally common ones); 0 when
// none has a channel.
int mostCommonChannel(const QList<const MidiControlModel *> &models);

// What the control sends, short enough to draw on it: the note name or "CC 74" for pads and
// buttons, "CC 74" for sliders, knobs and the crossfader, "X 12 / Y 13" for the X-Y pad,
// and on a line of its own ("\nCh 2") the channel when it is not commonChannel.
QString assignment(const MidiControlModel &model, int commonChannel);

// The control's name and all its parameters as the editor pane names them:
// "PAD7: Note C3 (60), Ch 1, Momentary, Blue, Aftertouch Off". ccNames name the controller
// numbers (line n of the name file names controller n).
QString details(int index, const MidiControlModel &model, const QStringList &ccNames);
// The same parameters without the control's name: "Note C3 (60), Ch 1, Momentary, Blue,
// Aftertouch Off".
QString description(const MidiControlModel &model, const QStringList &ccNames);

// The line "vellichord show" prints for a control, which "vellichord set" takes back: the
// control's name padded to 8 characters, then each parameter as name=value in id order:
// "PAD7    channel=1 type=Note toggle=Momentary noteorcc=C3 aftertouch=On colour=Blue".
// stored holds, by parameter id, the bytes that a patch stored outside their range; each is
// marked after the value it was read as: "channel=Global (stored 50)".
QString parameterLine(int index, const MidiControlModel &model,
                      const QMap<unsigned int, unsigned char> &stored = {});
// " (stored 50)" after a value that a stored byte outside the range was read as; empty when
// the two are the same.
QString storedMark(unsigned char stored, unsigned char value);

// The lines of the device's display: the preset, its name, and the channel and note or
// controller of the one control selected (empty without one).
QString displayPreset(int presetNumber);
QString displayControl(const MidiControlModel *model);

} // namespace ControlSummary
