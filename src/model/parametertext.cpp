#include "parametertext.h"

#include "controlparameter.h"
#include "midicontrolmodel.h"
#include "parameterinfo.h"
#include "sysextext.h"

#include <QRegularExpression>

#include <algorithm>
#include <iterator>
#include <vector>

namespace {

// The value names of a parameter whose values are named, by value; empty for numbers. Built
// once: show names every value of every control.
const QStringList &valueNames(unsigned int id)
{
    static const QStringList none;
    static const QStringList type = ParameterInfo::typeNames();
    static const QStringList mode = ParameterInfo::modeNames();
    static const QStringList aftertouch = ParameterInfo::aftertouchNames();
    static const QStringList colour = ParameterInfo::colourNames();
    static const QStringList colourFn = ParameterInfo::colourFnNames();
    switch (id) {
    case Type:
        return type;
    case Toggle:
        return mode;
    case Aftertouch:
        return aftertouch;
    case Colour:
        return colour;
    case ColourF:
        return colourFn;
    default:
        return none;
    }
}

const QStringList &noteNames()
{
    static const QStringList names = MidiControlModel::noteNames();
    return names;
}

// Channel values 0..15 are channels 1..16; 16 sends on the device's global channel.
constexpr int globalChannel = 16;

QString globalName()
{
    static const QString name = ParameterInfo::channelNames().value(globalChannel);
    return name;
}

int editDistance(const QString &a, const QString &b)
{
    std::vector<int> row(std::size_t(b.size()) + 1);
    for (std::size_t j = 0; j < row.size(); ++j)
        row[j] = int(j);
    for (int i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = i;
        for (int j = 1; j <= b.size(); ++j) {
            const int above = row[std::size_t(j)];
            const int substitution = diagonal + (a[i - 1] == b[j - 1] ? 0 : 1);
            row[std::size_t(j)] = std::min({above + 1, row[std::size_t(j) - 1] + 1, substitution});
            diagonal = above;
        }
    }
    return row.back();
}

// A decimal number; false for anything else. Negative and long numbers read as too big, so
// that they are refused as out of range.
bool readNumber(const QString &text, unsigned int *number)
{
    static const QRegularExpression digits(QStringLiteral("^-?[0-9]+$"));
    if (!digits.match(text).hasMatch())
        return false;
    const bool tooBig = text.startsWith(QLatin1Char('-')) || text.size() > 9;
    *number = tooBig ? 0xFFFFFFFFu : text.toUInt();
    return true;
}

QString rangeText(unsigned int low, unsigned int high)
{
    return QStringLiteral("%1..%2").arg(low).arg(high);
}

QString refuseOutOfRange(const ControlParameter &p)
{
    return QStringLiteral("out of range (allowed: %1)").arg(ParameterText::allowed(p));
}

} // namespace

namespace ParameterText {

QString name(unsigned int id)
{
    return names().value(int(id));
}

QStringList names()
{
    static const QStringList list = {
        QStringLiteral("channel"),  QStringLiteral("cc"),         QStringLiteral("ccx"),
        QStringLiteral("ccy"),      QStringLiteral("min"),        QStringLiteral("minx"),
        QStringLiteral("miny"),     QStringLiteral("max"),        QStringLiteral("maxx"),
        QStringLiteral("maxy"),     QStringLiteral("type"),       QStringLiteral("toggle"),
        QStringLiteral("noteorcc"), QStringLiteral("aftertouch"), QStringLiteral("colour"),
        QStringLiteral("colourf")};
    return list;
}

QString caption(unsigned int id)
{
    return ParameterInfo::isValid(id) ? ParameterInfo::caption(static_cast<ParameterId>(id))
                                      : QString();
}

bool parseParameter(const QString &text, const MidiControlModel &model, const QString &controlName,
                    ParameterId *id, QString *error)
{
    QStringList own;
    for (const ControlParameter &p : model.parameters())
        own << name(p.id());
    const int found = names().indexOf(text.trimmed().toLower());
    if (found >= 0 && own.contains(name(unsigned(found)))) {
        *id = ParameterId(found);
        return true;
    }
    const QString suggestion = nearest(text, own);
    if (!suggestion.isEmpty())
        *error = QStringLiteral("%1 has no parameter %2; did you mean \"%3\"?")
                     .arg(controlName, quoted_text(text), suggestion);
    else
        *error = QStringLiteral("%1 has no parameter %2; it has %3")
                     .arg(controlName, quoted_text(text), own.join(QStringLiteral(", ")));
    return false;
}

QString valueText(const MidiControlModel &model, ParameterId id)
{
    const ControlParameter *p = model.getParameter(id);
    if (!p)
        return QString();
    unsigned char type = 0;
    const bool isNote = model.getValue(Type, &type) && type == 0;
    return valueText(*p, p->value(), isNote);
}

QString valueText(const ControlParameter &p, unsigned char value, bool isNote)
{
    if (p.id() == Channel)
        return value == globalChannel ? globalName() : QString::number(value + 1);
    if (p.id() == NoteOrCC && isNote)
        return noteNames().value(value, QString::number(value));
    return valueNames(p.id()).value(value, QString::number(value));
}

QString allowed(const ControlParameter &p)
{
    if (p.id() == Channel) {
        const int highest = std::min<int>(p.max(), globalChannel - 1);
        QString text = rangeText(p.min() + 1u, unsigned(highest) + 1u);
        return p.max() >= globalChannel ? text + QStringLiteral(" or ") + globalName() : text;
    }
    const QString numbers = rangeText(p.min(), p.max());
    if (p.id() == NoteOrCC) {
        const QStringList notes = noteNames();
        return numbers + QStringLiteral(" or ") + notes.value(p.min()) + QStringLiteral("..")
            + notes.value(p.max());
    }
    const QStringList named = valueNames(p.id()).mid(p.min(), p.max() - p.min() + 1);
    if (named.isEmpty())
        return numbers;
    return named.join(QStringLiteral(", ")) + QStringLiteral(" or ") + numbers;
}

bool parseValue(const ControlParameter &p, const QString &text, unsigned char *value,
                QString *error)
{
    const QString given = text.trimmed();
    const auto take = [&](unsigned int v) {
        if (v < p.min() || v > p.max()) {
            *error = refuseOutOfRange(p);
            return false;
        }
        *value = static_cast<unsigned char>(v);
        return true;
    };

    unsigned int number = 0;
    QStringList candidates;
    if (p.id() == Channel) {
        static const QRegularExpression chName(QStringLiteral("^ch\\s*([0-9]+)$"),
                                               QRegularExpression::CaseInsensitiveOption);
        const QRegularExpressionMatch ch = chName.match(given);
        if (readNumber(ch.hasMatch() ? ch.captured(1) : given, &number)) {
            // Channel numbers count from 1 and never reach the global value.
            if (number < 1 || number > globalChannel) {
                *error = refuseOutOfRange(p);
                return false;
            }
            return take(number - 1);
        }
        if (given.compare(globalName(), Qt::CaseInsensitive) == 0)
            return take(globalChannel);
        candidates = ParameterInfo::channelNames();
    } else {
        if (readNumber(given, &number))
            return take(number);
        if (p.id() == NoteOrCC) {
            if (const std::optional<int> note = MidiControlModel::noteNumber(given)) {
                // Well formed but past either end of the note names ("G#8") is out of range.
                if (*note < 0 || *note > 127) {
                    *error = refuseOutOfRange(p);
                    return false;
                }
                return take(unsigned(*note));
            }
            const QStringList notes = noteNames();
            candidates = notes;
        } else {
            const QStringList named = valueNames(p.id());
            for (unsigned int v = 0; v < unsigned(named.size()); ++v) {
                if (named[int(v)].compare(given, Qt::CaseInsensitive) == 0)
                    return take(v);
            }
            candidates = named.mid(p.min(), p.max() - p.min() + 1);
        }
    }

    *error = QStringLiteral("no such value (allowed: %1)").arg(allowed(p));
    const QString suggestion = nearest(given, candidates);
    if (!suggestion.isEmpty())
        *error += QStringLiteral("; did you mean \"%1\"?").arg(suggestion);
    return false;
}

QString nearest(const QString &word, const QStringList &candidates)
{
    const QString folded = word.trimmed().toLower();
    QString best;
    int bestDistance = 0;
    bool bestSharesFirst = false;
    for (const QString &candidate : candidates) {
        const QString other = candidate.toLower();
        const int distance = editDistance(folded, other);
        // Among equally near names, one that starts alike is likelier meant ("E#3": E3, not C#3).
        const bool sharesFirst = !folded.isEmpty() && other.startsWith(folded.front());
        if (best.isEmpty() || distance < bestDistance
            || (distance == bestDistance && sharesFirst && !bestSharesFirst)) {
            best = candidate;
            bestDistance = distance;
            bestSharesFirst = sharesFirst;
        }
    }
    // Near enough: a slip of a key or two, but not more than half of what was typed.
    const int allowedDistance = std::max(2, int(folded.size()) / 3);
    if (best.isEmpty() || bestDistance > allowedDistance || bestDistance * 2 > folded.size())
        return QString();
    return best;
}

} // namespace ParameterText
