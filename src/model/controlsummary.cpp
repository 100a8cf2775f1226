#include "controlsummary.h"

#include "controlnames.h"
#include "midicontrolmodel.h"
#include "parameterinfo.h"
#include "parametertext.h"

#include <QCoreApplication>
#include <QMap>
#include <QRegularExpression>

namespace {

// The tr() of the tooltip's texts.
struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(ControlSummary)
};

std::optional<int> valueOf(const MidiControlModel &model, ParameterId id)
{
    unsigned char value = 0;
    if (!model.getValue(id, &value))
        return std::nullopt;
    return int(value);
}

QString nameAt(const QStringList &names, std::optional<int> value)
{
    return value ? names.value(*value, QString::number(*value)) : QString();
}

// "CC 74 Brightness": the number always, and the controller's name when the name file has one.
QString controllerText(int number, const QStringList &ccNames)
{
    QString name = ccNames.value(number);
    const QString prefix = QString::number(number) + QLatin1Char(' ');
    if (name.startsWith(prefix))
        name = name.mid(prefix.size());
    if (name.trimmed().isEmpty() || name == QString::number(number))
        return QStringLiteral("CC %1").arg(number);
    return QStringLiteral("CC %1 %2").arg(number).arg(name);
}

} // namespace

namespace ControlSummary {

QString noteEntry(int note)
{
    return QStringLiteral("%1 %2").arg(note).arg(MidiControlModel::noteNames().value(note));
}

QStringList noteEntries()
{
    QStringList entries;
    for (int note = 0; note < 128; ++note)
        entries << noteEntry(note);
    return entries;
}

std::optional<int> parseNote(const QString &text)
{
    const QString typed = text.trimmed();
    bool isNumber = false;
    const int number = typed.toInt(&isNumber);
    if (isNumber)
        return number >= 0 && number <= 127 ? std::optional<int>(number) : std::nullopt;
    // A list entry ("60 C3") is taken by its number.
    static const QRegularExpression entry(QStringLiteral("^(\\d+)\\s+\\S+$"));
    const QRegularExpressionMatch entryMatch = entry.match(typed);
    if (entryMatch.hasMatch())
        return parseNote(entryMatch.captured(1));

    const std::optional<int> note = MidiControlModel::noteNumber(typed);
    return note && *note >= 0 && *note <= 127 ? note : std::nullopt;
}

int mostCommonChannel(const QList<const MidiControlModel *> &models)
{
    QMap<int, int> counts;
    for (const MidiControlModel *model : models) {
        if (const std::optional<int> channel = valueOf(*model, Channel))
            ++counts[*channel];
    }
    int best = 0;
    int bestCount = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > bestCount) {
            best = it.key();
            bestCount = it.value();
        }
    }
    return best;
}

QString assignment(const MidiControlModel &model, int commonChannel)
{
    QString text;
    const std::optional<int> type = valueOf(model, Type);
    const std::optional<int> number = valueOf(model, NoteOrCC);
    const std::optional<int> cc = valueOf(model, CC);
    const std::optional<int> ccx = valueOf(model, CCX);
    const std::optional<int> ccy = valueOf(model, CCY);
    if (type && number)
        text = *type == 0 ? MidiControlModel::noteNames().value(*number)
                          : QStringLiteral("CC %1").arg(*number);
    else if (cc)
        text = QStringLiteral("CC %1").arg(*cc);
    else if (ccx && ccy)
        text = QStringLiteral("X %1 / Y %2").arg(*ccx).arg(*ccy);

    const std::optional<int> channel = valueOf(model, Channel);
    if (channel && *channel != commonChannel)
        text += QLatin1Char('\n') + nameAt(ParameterInfo::channelNames(), channel);
    return text;
}

QString description(const MidiControlModel &model, const QStringList &ccNames)
{
    QStringList parts;
    const std::optional<int> type = valueOf(model, Type);
    if (const std::optional<int> number = valueOf(model, NoteOrCC)) {
        if (type && *type == 0)
            parts << Texts::tr("Note %1 (%2)")
                         .arg(MidiControlModel::noteNames().value(*number))
                         .arg(*number);
        else
            parts << controllerText(*number, ccNames);
    }
    if (const std::optional<int> cc = valueOf(model, CC))
        parts << controllerText(*cc, ccNames);
    if (const std::optional<int> ccx = valueOf(model, CCX))
        parts << QStringLiteral("X ") + controllerText(*ccx, ccNames);
    if (const std::optional<int> ccy = valueOf(model, CCY))
        parts << QStringLiteral("Y ") + controllerText(*ccy, ccNames);
    if (const std::optional<int> channel = valueOf(model, Channel))
        parts << nameAt(ParameterInfo::shownValueNames(Channel), channel);
    if (const std::optional<int> mode = valueOf(model, Toggle))
        parts << nameAt(ParameterInfo::shownValueNames(Toggle), mode);
    if (const std::optional<int> colour = valueOf(model, Colour))
        parts << nameAt(ParameterInfo::shownValueNames(Colour), colour);
    if (const std::optional<int> colour = valueOf(model, ColourF))
        parts << nameAt(ParameterInfo::shownValueNames(ColourF), colour);
    if (const std::optional<int> aftertouch = valueOf(model, Aftertouch))
        parts << Texts::tr("Aftertouch %1")
                     .arg(nameAt(ParameterInfo::shownValueNames(Aftertouch), aftertouch));
    for (const ParameterId range : {Min, Max, MinX, MaxX, MinY, MaxY}) {
        if (const std::optional<int> value = valueOf(model, range))
            parts << QStringLiteral("%1 %2").arg(ParameterInfo::shownCaption(range)).arg(*value);
    }
    return parts.join(QStringLiteral(", "));
}

QString details(int index, const MidiControlModel &model, const QStringList &ccNames)
{
    return ControlNames::name(index) + QStringLiteral(": ") + description(model, ccNames);
}

QString parameterLine(int index, const MidiControlModel &model,
                      const QMap<unsigned int, unsigned char> &stored)
{
    QStringList fields;
    for (const ControlParameter &p : model.parameters()) {
        fields << ParameterText::name(p.id()) + QLatin1Char('=')
                + ParameterText::valueText(model, ParameterId(p.id()))
                + storedMark(stored.value(p.id(), p.value()), p.value());
    }
    return ControlNames::name(index).leftJustified(8) + fields.join(QLatin1Char(' '));
}

QString storedMark(unsigned char stored, unsigned char value)
{
    return stored != value ? QStringLiteral(" (stored %1)").arg(stored) : QString();
}

QString displayPreset(int presetNumber)
{
    return QStringLiteral("PRESET %1").arg(presetNumber, 2, 10, QLatin1Char('0'));
}

QString displayControl(const MidiControlModel *model)
{
    if (!model)
        return QString();
    QString text;
    if (const std::optional<int> channel = valueOf(*model, Channel))
        text = *channel >= 16 ? QStringLiteral("GLOBAL")
                              : QStringLiteral("CH %1").arg(*channel + 1);
    const QString sent = assignment(*model, valueOf(*model, Channel).value_or(0)).toUpper();
    if (valueOf(*model, Type).value_or(1) == 0)
        text += QStringLiteral("   NOTE ") + sent;
    else if (!sent.isEmpty())
        text += QStringLiteral("   ") + sent;
    return text;
}

} // namespace ControlSummary
