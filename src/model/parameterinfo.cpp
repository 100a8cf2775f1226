#include "parameterinfo.h"

#include <QCoreApplication>
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

const char *const channelText = QT_TRANSLATE_NOOP("ParameterInfo", "Ch %1");
const char *const globalText = QT_TRANSLATE_NOOP("ParameterInfo", "Global");

QStringList latin1List(std::initializer_list<const char *> texts)
{
    QStringList list;
    for (const char *text : texts)
        list << QLatin1String(text);
    return list;
}

QString translated(const char *text)
{
    return QCoreApplication::translate("ParameterInfo", text);
}

} // namespace

const QList<Info> &all()
{
    // One line per parameter.
    // clang-format off
    static const QList<Info> table = {
        {Channel, QT_TRANSLATE_NOOP("ParameterInfo", "Channel"), "channel", {"ch"},
         0,
         16,
         0,
         Values::Channel,
         {K::Continuous, K::FunctionButton, K::NavigationButton, K::Pad, K::XYPad}},
        {CC, QT_TRANSLATE_NOOP("ParameterInfo", "CC"), "cc", {}, 0, 127, 0, Values::Controller, {K::Continuous}},
        {CCX, QT_TRANSLATE_NOOP("ParameterInfo", "CC X"), "ccx", {}, 0, 127, 0, Values::Controller, {K::XYPad}},
        {CCY, QT_TRANSLATE_NOOP("ParameterInfo", "CC Y"), "ccy", {}, 0, 127, 0, Values::Controller, {K::XYPad}},
        {Min, QT_TRANSLATE_NOOP("ParameterInfo", "Min"), "min", {}, 0, 127, 0, Values::Number, {K::Continuous}},
        {MinX, QT_TRANSLATE_NOOP("ParameterInfo", "Min X"), "minx", {}, 0, 127, 0, Values::Number, {K::XYPad}},
        {MinY, QT_TRANSLATE_NOOP("ParameterInfo", "Min Y"), "miny", {}, 0, 127, 0, Values::Number, {K::XYPad}},
        {Max, QT_TRANSLATE_NOOP("ParameterInfo", "Max"), "max", {}, 0, 127, 127, Values::Number, {K::Continuous}},
        {MaxX, QT_TRANSLATE_NOOP("ParameterInfo", "Max X"), "maxx", {}, 0, 127, 127, Values::Number, {K::XYPad}},
        {MaxY, QT_TRANSLATE_NOOP("ParameterInfo", "Max Y"), "maxy", {}, 0, 127, 127, Values::Number, {K::XYPad}},
        {Type, QT_TRANSLATE_NOOP("ParameterInfo", "Type"), "type", {}, 0, 1, 0, Values::Named, buttonsAndPads},
        {Toggle, QT_TRANSLATE_NOOP("ParameterInfo", "Mode"), "toggle", {}, 0, 1, 0, Values::Named, buttonsAndPads},
        {NoteOrCC, QT_TRANSLATE_NOOP("ParameterInfo", "Note/CC"), "noteorcc", {"note"},
         0,
         127,
         0,
         Values::NoteOrNumber,
         buttonsAndPads},
        {Aftertouch, QT_TRANSLATE_NOOP("ParameterInfo", "Aftertouch"), "aftertouch", {"at"}, 0, 1, 0, Values::Named, {K::Pad}},
        {Colour, QT_TRANSLATE_NOOP("ParameterInfo", "Color"), "colour", {}, 0, 2, 0, Values::Named, {K::Pad}},
        {ColourF, QT_TRANSLATE_NOOP("ParameterInfo", "Color Fn"), "colourf", {"colourfn"}, 0, 1, 0, Values::Named, {K::FunctionButton}},
    };
    // clang-format on
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

QString shownCaption(ParameterId id)
{
    return isValid(id) ? translated(of(id).caption) : QString();
}

QString shownNoteOrCcCaption(std::optional<bool> isNote)
{
    if (!isNote)
        return shownCaption(NoteOrCC);
    return translated(*isNote ? "Note" : "CC");
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

QStringList shownValueNames(ParameterId id, const QStringList &controllerNames,
                            const QStringList &noteNames, bool isNote)
{
    QStringList names = valueNames(id, controllerNames, noteNames, isNote);
    if (id == Channel) {
        for (int channel = 1; channel <= 16; ++channel)
            names[channel - 1] = translated(channelText).arg(channel);
        names.last() = translated(globalText);
    } else if (isValid(id) && of(id).values == Values::Named) {
        for (QString &name : names)
            name = translated(name.toLatin1().constData());
    }
    return names;
}

// The lists are built once: the front panel asks for them for every control after every change.

QStringList channelNames()
{
    static const QStringList names = [] {
        QStringList list;
        for (int channel = 1; channel <= 16; ++channel)
            list << QString::fromLatin1(channelText).arg(channel);
        list << QLatin1String(globalText);
        return list;
    }();
    return names;
}

QStringList typeNames()
{
    static const QStringList names = latin1List(
        {QT_TRANSLATE_NOOP("ParameterInfo", "Note"), QT_TRANSLATE_NOOP("ParameterInfo", "CC")});
    return names;
}

QStringList modeNames()
{
    static const QStringList names = latin1List({QT_TRANSLATE_NOOP("ParameterInfo", "Momentary"),
                                                 QT_TRANSLATE_NOOP("ParameterInfo", "Toggle")});
    return names;
}

QStringList aftertouchNames()
{
    static const QStringList names = latin1List(
        {QT_TRANSLATE_NOOP("ParameterInfo", "Off"), QT_TRANSLATE_NOOP("ParameterInfo", "On")});
    return names;
}

QStringList colourNames()
{
    static const QStringList names = latin1List({QT_TRANSLATE_NOOP("ParameterInfo", "Red"),
                                                 QT_TRANSLATE_NOOP("ParameterInfo", "Green"),
                                                 QT_TRANSLATE_NOOP("ParameterInfo", "Blue")});
    return names;
}

QStringList colourFnNames()
{
    static const QStringList names = latin1List(
        {QT_TRANSLATE_NOOP("ParameterInfo", "Red"), QT_TRANSLATE_NOOP("ParameterInfo", "Green")});
    return names;
}

} // namespace ParameterInfo
