#include "parameterinfo.h"

#include <QRegularExpression>

namespace ParameterInfo {

namespace {

using K = Kind;
const QList<Kind> buttonsAndPads = {K::FunctionButton, K::NavigationButton, K::Pad};

// What a user may type for a name: letters and digits only, lower case.
QString folded(const QString &text)
{
    static const QRegularExpression dropped(QStringLiteral("[\\s/_-]"));
    return text.toLower().remove(dropped);
}

} // namespace

const QList<Info> &all()
{
    static const QList<Info> table = {
        {Channel,
         "Channel",
         "channel",
         {"ch"},
         0,
         16,
         0,
         Values::Channel,
         {K::Continuous, K::FunctionButton, K::NavigationButton, K::Pad, K::XYPad}},
        {CC, "CC", "cc", {}, 0, 127, 0, Values::Controller, {K::Continuous}},
        {CCX, "CC X", "ccx", {}, 0, 127, 0, Values::Controller, {K::XYPad}},
        {CCY, "CC Y", "ccy", {}, 0, 127, 0, Values::Controller, {K::XYPad}},
        {Min, "Min", "min", {}, 0, 127, 0, Values::Number, {K::Continuous}},
        {MinX, "Min X", "minx", {}, 0, 127, 0, Values::Number, {K::XYPad}},
        {MinY, "Min Y", "miny", {}, 0, 127, 0, Values::Number, {K::XYPad}},
        {Max, "Max", "max", {}, 0, 127, 127, Values::Number, {K::Continuous}},
        {MaxX, "Max X", "maxx", {}, 0, 127, 127, Values::Number, {K::XYPad}},
        {MaxY, "Max Y", "maxy", {}, 0, 127, 127, Values::Number, {K::XYPad}},
        {Type, "Type", "type", {}, 0, 1, 0, Values::Named, buttonsAndPads},
        {Toggle, "Mode", "toggle", {}, 0, 1, 0, Values::Named, buttonsAndPads},
        {NoteOrCC,
         "Note/CC",
         "noteorcc",
         {"note"},
         0,
         127,
         0,
         Values::NoteOrNumber,
         buttonsAndPads},
        {Aftertouch, "Aftertouch", "aftertouch", {"at"}, 0, 1, 0, Values::Named, {K::Pad}},
        {Colour, "Color", "colour", {}, 0, 2, 0, Values::Named, {K::Pad}},
        {ColourF, "Color Fn", "colourf", {"colourfn"}, 0, 1, 0, Values::Named, {K::FunctionButton}},
    };
    return table;
}

bool isValid(unsigned int id)
{
    return id < unsigned(all().size());
}

const Info &of(ParameterId id)
{
    Q_ASSERT(isValid(id));
    return all().at(int(id));
}

QString caption(ParameterId id)
{
    return isValid(id) ? QLatin1String(of(id).caption) : QString();
}

QString noteOrCcCaption(std::optional<bool> isNote)
{
    if (!isNote)
        return caption(NoteOrCC);
    return *isNote ? typeNames().at(0) : typeNames().at(1);
}

QString name(ParameterId id)
{
    return isValid(id) ? QLatin1String(of(id).name) : QString();
}

std::optional<ParameterId> fromName(const QString &text)
{
    const QString wanted = folded(text);
    if (wanted.isEmpty())
        return std::nullopt;
    for (const Info &info : all()) {
        if (wanted == QLatin1String(info.name) || wanted == folded(QLatin1String(info.caption)))
            return info.id;
        for (const char *alias : info.aliases) {
            if (wanted == QLatin1String(alias))
                return info.id;
        }
    }
    return std::nullopt;
}

QStringList valueNames(ParameterId id, const QStringList &controllerNames,
                       const QStringList &noteNames, bool isNote)
{
    switch (id) {
    case Channel:
        return channelNames();
    case Type:
        return typeNames();
    case Toggle:
        return modeNames();
    case Aftertouch:
        return aftertouchNames();
    case Colour:
        return colourNames();
    case ColourF:
        return colourFnNames();
    case CC:
    case CCX:
    case CCY:
        return controllerNames;
    case NoteOrCC:
        return isNote ? noteNames : controllerNames;
    case Min:
    case MinX:
    case MinY:
    case Max:
    case MaxX:
    case MaxY:
        break;
    }
    return {};
}

// The lists are built once: the front panel asks for them for every control after every change.

QStringList channelNames()
{
    static const QStringList names = [] {
        QStringList list;
        for (int channel = 1; channel <= 16; ++channel)
            list << QStringLiteral("Ch %1").arg(channel);
        list << QStringLiteral("Global");
        return list;
    }();
    return names;
}

QStringList typeNames()
{
    static const QStringList names{QStringLiteral("Note"), QStringLiteral("CC")};
    return names;
}

QStringList modeNames()
{
    static const QStringList names{QStringLiteral("Momentary"), QStringLiteral("Toggle")};
    return names;
}

QStringList aftertouchNames()
{
    static const QStringList names{QStringLiteral("Off"), QStringLiteral("On")};
    return names;
}

QStringList colourNames()
{
    static const QStringList names{QStringLiteral("Red"), QStringLiteral("Green"),
                                   QStringLiteral("Blue")};
    return names;
}

QStringList colourFnNames()
{
    static const QStringList names{QStringLiteral("Red"), QStringLiteral("Green")};
    return names;
}

} // namespace ParameterInfo
