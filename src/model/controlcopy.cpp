#include "controlcopy.h"

#include "controlnames.h"
#include "controlsummary.h"
#include "controltable.h"
#include "parametertext.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>

namespace {

bool isNumber(ParameterId id)
{
    return id == NoteOrCC || id == CC || id == CCX || id == CCY;
}

// The control at index as the device's table builds it: which parameters it has, and their
// ranges.
MidiControlModel kindOf(int index)
{
    static const ControlTable table;
    return *table.at(index);
}

} // namespace

ControlCopy::ControlCopy(int index, const MidiControlModel &model)
    : source(index)
{
    for (const ControlParameter &p : model.parameters())
        copied << qMakePair(ParameterId(p.id()), p.value());
}

ControlCopy::ControlCopy(int index, Values values)
    : source(index)
    , copied(std::move(values))
{
}

QString ControlCopy::text() const
{
    // Only the parameters copied, as the control has them.
    const MidiControlModel kind = kindOf(source);
    MidiControlModel model;
    for (const auto &[id, value] : copied) {
        ControlParameter p = *kind.getParameter(id);
        p.setValue(value);
        model.addParameter(p);
    }
    return ControlSummary::parameterLine(source, model);
}

QByteArray ControlCopy::toJson() const
{
    QJsonObject values;
    for (const auto &[id, value] : copied)
        values.insert(ParameterText::name(id), value);
    return QJsonDocument(QJsonObject{{QStringLiteral("control"), ControlNames::name(source)},
                                     {QStringLiteral("values"), values}})
        .toJson(QJsonDocument::Compact);
}

std::optional<ControlCopy> ControlCopy::fromText(const QString &text)
{
    static const QRegularExpression space(QStringLiteral("[ \\t]+"));
    const QString line = text.trimmed();
    if (line.contains(QLatin1Char('\n')) || line.contains(QLatin1Char('\r')))
        return std::nullopt;
    const QStringList fields = line.split(space, Qt::SkipEmptyParts);
    const int index = ControlNames::indexOf(fields.value(0));
    if (index < 0)
        return std::nullopt;
    const MidiControlModel model = kindOf(index);
    const QString name = ControlNames::name(index);
    Values values;
    for (const QString &field : fields.mid(1)) {
        const int equals = field.indexOf(QLatin1Char('='));
        ParameterId id = Channel;
        unsigned char value = 0;
        QString error;
        if (equals <= 0
            || !ParameterText::parseParameter(field.left(equals), model, name, &id, &error)
            || !ParameterText::parseValue(*model.getParameter(id), field.mid(equals + 1), &value,
                                          &error))
            return std::nullopt;
        values << qMakePair(id, value);
    }
    return checked(index, values);
}

std::optional<ControlCopy> ControlCopy::fromJson(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonObject root = QJsonDocument::fromJson(json, &error).object();
    if (error.error != QJsonParseError::NoError)
        return std::nullopt;
    const int index = ControlNames::indexOf(root.value(QLatin1String("control")).toString());
    if (index < 0)
        return std::nullopt;
    const QJsonObject numbers = root.value(QLatin1String("values")).toObject();
    Values values;
    for (auto it = numbers.constBegin(); it != numbers.constEnd(); ++it) {
        const int id = int(ParameterText::names().indexOf(it.key()));
        const double number = it.value().toDouble(-1);
        if (id < 0 || number < 0 || number > 255 || number != int(number))
            return std::nullopt;
        values << qMakePair(ParameterId(id), static_cast<unsigned char>(number));
    }
    return checked(index, values);
}

std::optional<ControlCopy> ControlCopy::checked(int index, const Values &values)
{
    if (values.isEmpty())
        return std::nullopt;
    const MidiControlModel model = kindOf(index);
    Values sorted = values;
    std::sort(sorted.begin(), sorted.end());
    for (int i = 0; i < sorted.size(); ++i) {
        const ControlParameter *p = model.getParameter(sorted[i].first);
        if (!p || sorted[i].second < p->min() || sorted[i].second > p->max()
            || (i > 0 && sorted[i - 1].first == sorted[i].first))
            return std::nullopt;
    }
    return ControlCopy(index, sorted);
}

int ControlCopy::pasteOnto(MidiControlModel &target, bool keepNumbers) const
{
    int written = 0;
    for (const auto &[id, value] : copied) {
        if ((keepNumbers && isNumber(id)) || !target.getParameter(id))
            continue;
        target.updateParameter(id, value);
        ++written;
    }
    return written;
}
