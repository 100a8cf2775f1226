#pragma once

#include "controltable.h"
#include "patch.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// Which controls a short message from the device comes from, told from the patch the device
// holds: a control sends a note or a controller change of its own number on its own channel,
// so the message names the controls that could have sent it. Also the other way round: what
// a control sends when it is touched, for the emulator.
//
// A control on the "Global" channel sends on the device's global channel, which no patch
// holds: it is taken to fit a message on any channel, and the emulator sends it on Ch 1.
class TouchMatch
{
public:
    // A message as a touch of a control.
    struct Touch
    {
        enum class Kind {
            Note,              // note-on with a velocity above 0
            Controller,        // control change
            PolyAftertouch,    // pressure on one note
            ChannelAftertouch, // pressure on the channel
        };
        Kind kind = Kind::Note;
        int number = 0;  // note or controller number; 0 for channel aftertouch
        int channel = 0; // 0..15

        bool operator==(const Touch &other) const
        {
            return kind == other.kind && number == other.number && channel == other.channel;
        }
        bool operator!=(const Touch &other) const { return !(*this == other); }
    };

    // Matches against a patch whose every control sends Note or CC 0 on Ch 1, the defaults,
    // until setPatch gives it the device's.
    TouchMatch() = default;

    // The device's patch, a Type 1 or Type 2 message; false, changing nothing, for anything
    // else. The same patch again costs a comparison.
    bool setPatch(const QByteArray &patch);
    const ControlTable &controls() const { return patch.controls(); }

    // The touch a message is; nothing for a message that touches no control: note-off (or
    // note-on with velocity 0), program change, pitch bend, SysEx, clock and the like, and
    // anything shorter than its status byte wants.
    static std::optional<Touch> touchOf(const QByteArray &message);

    // The controls whose parameters send touch, in index order.
    QList<int> controlsSending(const Touch &touch) const;
    static QList<int> controlsSending(const ControlTable &table, const Touch &touch);

    // "Note 60 on Ch 10", "CC 7 on Ch 1", "Aftertouch on Note 60 on Ch 10", "Aftertouch on Ch 3".
    static QString describe(const Touch &touch);
    // A line for the status bar when touch fits several controls or none: "F6 and PAD3 both
    // send Note 60 on Ch 10", "S1, E2 and XY all send CC 7 on Ch 1", "No control sends CC 9
    // on Ch 2"; empty for exactly one control.
    static QString matchText(const Touch &touch, const QList<int> &controls);

    // What control sends when touched under table: a note-on (velocity value) and its note-off
    // for a button or pad of type Note, a polyphonic aftertouch of value between them when the
    // pad has aftertouch on; the controller at value and then at 0 for a button or pad of type
    // CC; one control change of value for a slider, knob or the crossfader; CC X and then CC Y
    // at value for the X-Y pad. A value outside 0..127 is pinned to it; a continuous control's
    // value to its Min..Max. Empty for an index outside 0..63.
    static QList<QByteArray> messagesOf(const ControlTable &table, int control, int value);

private:
    Patch patch;
    QByteArray patchBytes; // the message patch was last set from
};
