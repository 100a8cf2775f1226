#include "controlnames.h"

#include "controltable.h"
#include "parametertext.h"
#include "sysextext.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <utility>

namespace {

const QStringList &names()
{
    static const QStringList table = [] {
        QStringList list;
        const auto numbered = [&list](const char *prefix, int count) {
            for (int n = 1; n <= count; ++n)
                list << QLatin1String(prefix) + QString::number(n);
        };
        numbered("S", 6);
        numbered("F", 10);
        numbered("E", 8);
        numbered("P", 6);
        list << QStringLiteral("STOP") << QStringLiteral("PLAY") << QStringLiteral("RECORD")
             << QStringLiteral("DOWN") << QStringLiteral("UP") << QStringLiteral("LEFT")
             << QStringLiteral("RIGHT") << QStringLiteral("XY") << QStringLiteral("XFADER");
        numbered("PAD", 25);
        Q_ASSERT(list.size() == ControlTable::count);
        return list;
    }();
    return table;
}

} // namespace

namespace ControlNames {

QString name(int index)
{
    return names().value(index);
}

int indexOf(const QString &name)
{
    return names().indexOf(name.trimmed().toUpper());
}

namespace {

// The device's own names for a kind of control that a user calls by a common word ("KNOB1",
// "faders"); empty for any other text.
QString kindHint(const QString &given)
{
    static const QRegularExpression word(QStringLiteral("^([a-z]+?)s?\\s*[0-9]*$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QString kind = word.match(given).captured(1).toLower();
    static const QList<std::pair<QStringList, const char *>> hints = {
        {{QStringLiteral("knob"), QStringLiteral("encoder"), QStringLiteral("pot"),
          QStringLiteral("rotary"), QStringLiteral("dial")},
         "the knobs are E1..E8 and P1..P6"},
        {{QStringLiteral("slider"), QStringLiteral("fader")},
         "the sliders are S1..S6, the crossfader is XFADER"},
        {{QStringLiteral("button"), QStringLiteral("key"), QStringLiteral("fn")},
         "the buttons are F1..F10, STOP, PLAY, RECORD, UP, DOWN, LEFT and RIGHT"},
        {{QStringLiteral("pad"), QStringLiteral("drum")}, "the pads are PAD1..PAD25"},
        {{QStringLiteral("joystick"), QStringLiteral("touchpad"), QStringLiteral("xypad")},
         "the X-Y pad is XY"},
    };
    for (const auto &[words, hint] : hints) {
        if (words.contains(kind))
            return QLatin1String(hint);
    }
    return QString();
}

} // namespace

int parse(const QString &text, QString *error)
{
    const int named = indexOf(text);
    if (named >= 0)
        return named;
    QString why;
    static const QRegularExpression digits(QStringLiteral("^-?[0-9]+$"));
    const QString given = text.trimmed();
    if (digits.match(given).hasMatch()) {
        bool ok = false;
        const int index = given.toInt(&ok);
        if (ok && index >= 0 && index < ControlTable::count)
            return index;
        why = QStringLiteral("no control %1 (indices run 0..%2)")
                  .arg(given)
                  .arg(ControlTable::count - 1);
    } else {
        why = QStringLiteral("no control %1").arg(quoted_text(text));
        const QString suggestion = ParameterText::nearest(given, names());
        const QString kind = kindHint(given);
        if (!suggestion.isEmpty())
            why += QStringLiteral("; did you mean \"%1\"?").arg(suggestion);
        else if (!kind.isEmpty())
            why += QStringLiteral("; %1").arg(kind);
    }
    if (error)
        *error = why;
    return -1;
}

QStringList all()
{
    return names();
}

QString describe(QList<int> indices, int listedUpTo)
{
    indices.erase(std::remove_if(indices.begin(), indices.end(),
                                 [](int i) { return i < 0 || i >= ControlTable::count; }),
                  indices.end());
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());

    if (indices.size() > listedUpTo)
        return QCoreApplication::translate("ControlNames", "%n controls", nullptr,
                                           int(indices.size()));
    QStringList listed;
    for (int index : qAsConst(indices))
        listed << name(index);
    return listed.join(QStringLiteral(", "));
}

} // namespace ControlNames
