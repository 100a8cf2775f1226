#include "controlnames.h"

#include "controltable.h"
#include "parametertext.h"
#include "sysextext.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

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
        if (!suggestion.isEmpty())
            why += QStringLiteral("; did you mean \"%1\"?").arg(suggestion);
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
