#include "controlnames.h"

#include "controltable.h"

#include <QCoreApplication>
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
