#include "touchmatch.h"

#include "controlnames.h"
#include "parameterinfo.h"

#include <QCoreApplication>

#include <algorithm>

namespace {

constexpr unsigned char noteOff = 0x80;
constexpr unsigned char noteOn = 0x90;
constexpr unsigned char polyPressure = 0xA0;
constexpr unsigned char controlChange = 0xB0;
constexpr unsigned char channelPressure = 0xD0;

// The Channel parameter's value for the device's global channel.
constexpr unsigned char globalChannel = 16;
// Controls listed by name in a status line; more are counted.
constexpr int namesListed = 4;

// The tr() of the functions below.
struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(TouchMatch)
};

// The parameter's value, or -1 when the control has none.
int valueOf(const MidiControlModel &model, ParameterId id)
{
    unsigned char value = 0;
    return model.getValue(id, &value) ? int(value) : -1;
}

// The range of a continuous parameter pair; a Min above Max still makes a range.
int pinned(int value, int low, int high)
{
    return std::clamp(value, std::min(low, high), std::max(low, high));
}

QByteArray message(unsigned char status, int channel, int first, int second)
{
    const char bytes[] = {char(status | channel), char(first), char(second)};
    return QByteArray(bytes, 3);
}

} // namespace

bool TouchMatch::setPatch(const QByteArray &message)
{
    if (message == patchBytes)
        return true;
    if (!patch.apply(message))
        return false;
    patchBytes = message;
    return true;
}

std::optional<TouchMatch::Touch> TouchMatch::touchOf(const QByteArray &message)
{
    if (message.isEmpty())
        return std::nullopt;
    const auto status = static_cast<unsigned char>(message[0]);
    const int wanted = (status & 0xF0) == channelPressure ? 2 : 3;
    if (status < noteOff || status >= 0xF0 || message.size() < wanted)
        return std::nullopt;
    for (int i = 1; i < wanted; ++i) {
        if (static_cast<unsigned char>(message[i]) >= 0x80)
            return std::nullopt;
    }
    Touch touch;
    touch.channel = status & 0x0F;
    touch.number = wanted == 3 ? int(message[1]) : 0;
    switch (status & 0xF0) {
    case noteOn:
        // Velocity 0 is a note-off by another name.
        if (message[2] == 0)
            return std::nullopt;
        touch.kind = Touch::Kind::Note;
        return touch;
    case polyPressure:
        touch.kind = Touch::Kind::PolyAftertouch;
        return touch;
    case controlChange:
        touch.kind = Touch::Kind::Controller;
        return touch;
    case channelPressure:
        touch.kind = Touch::Kind::ChannelAftertouch;
        return touch;
    default:
        return std::nullopt;
    }
}

QList<int> TouchMatch::controlsSending(const Touch &touch) const
{
    return controlsSending(patch.controls(), touch);
}

QList<int> TouchMatch::controlsSending(const ControlTable &table, const Touch &touch)
{
    QList<int> found;
    for (int i = 0; i < ControlTable::count; ++i) {
        const MidiControlModel &model = *table.at(i);
        const int channel = valueOf(model, Channel);
        if (channel != globalChannel && channel != touch.channel)
            continue;
        const int type = valueOf(model, Type);
        const int number = valueOf(model, NoteOrCC);
        const bool isNote = type == 0;
        bool sends = false;
        switch (touch.kind) {
        case Touch::Kind::Note:
            sends = isNote && number == touch.number;
            break;
        case Touch::Kind::Controller:
            sends = (type == 1 && number == touch.number) || valueOf(model, CC) == touch.number
                || valueOf(model, CCX) == touch.number || valueOf(model, CCY) == touch.number;
            break;
        case Touch::Kind::PolyAftertouch:
            sends = valueOf(model, Aftertouch) == 1 && isNote && number == touch.number;
            break;
        case Touch::Kind::ChannelAftertouch:
            sends = valueOf(model, Aftertouch) == 1;
            break;
        }
        if (sends)
            found << i;
    }
    return found;
}

QString TouchMatch::describe(const Touch &touch)
{
    const QString channel = ParameterInfo::channelNames().at(touch.channel);
    switch (touch.kind) {
    case Touch::Kind::Note:
        return Texts::tr("Note %1 on %2").arg(touch.number).arg(channel);
    case Touch::Kind::Controller:
        return Texts::tr("CC %1 on %2").arg(touch.number).arg(channel);
    case Touch::Kind::PolyAftertouch:
        return Texts::tr("Aftertouch of Note %1 on %2").arg(touch.number).arg(channel);
    case Touch::Kind::ChannelAftertouch:
        break;
    }
    return Texts::tr("Channel aftertouch on %1").arg(channel);
}

QString TouchMatch::matchText(const Touch &touch, const QList<int> &controls)
{
    const QString sent = describe(touch);
    if (controls.isEmpty())
        return Texts::tr("No control sends %1").arg(sent);
    if (controls.size() == 1)
        return QString();
    if (controls.size() > namesListed)
        return Texts::tr("%1 controls send %2").arg(controls.size()).arg(sent);
    QStringList names;
    for (int control : controls)
        names << ControlNames::name(control);
    const QString last = names.takeLast();
    const QString all = Texts::tr("%1 and %2").arg(names.join(QStringLiteral(", ")), last);
    return (controls.size() == 2 ? Texts::tr("%1 both send %2") : Texts::tr("%1 all send %2"))
        .arg(all, sent);
}

QList<QByteArray> TouchMatch::messagesOf(const ControlTable &table, int control, int value)
{
    const MidiControlModel *model = table.at(control);
    if (!model)
        return {};
    value = std::clamp(value, 0, 127);
    const int stored = valueOf(*model, Channel);
    const int channel = stored == globalChannel ? 0 : stored;
    if (valueOf(*model, CCX) >= 0) {
        return {message(controlChange, channel, valueOf(*model, CCX),
                        pinned(value, valueOf(*model, MinX), valueOf(*model, MaxX))),
                message(controlChange, channel, valueOf(*model, CCY),
                        pinned(value, valueOf(*model, MinY), valueOf(*model, MaxY)))};
    }
    if (valueOf(*model, CC) >= 0) {
        return {message(controlChange, channel, valueOf(*model, CC),
                        pinned(value, valueOf(*model, Min), valueOf(*model, Max)))};
    }
    const int number = valueOf(*model, NoteOrCC);
    if (valueOf(*model, Type) == 1)
        return {message(controlChange, channel, number, value),
                message(controlChange, channel, number, 0)};
    // A note-on of velocity 0 would be a note-off.
    QList<QByteArray> messages{message(noteOn, channel, number, std::max(value, 1))};
    if (valueOf(*model, Aftertouch) == 1)
        messages << message(polyPressure, channel, number, value);
    messages << message(noteOff, channel, number, 0);
    return messages;
}
