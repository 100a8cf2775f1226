#include "sysextext.h"

#include <QVector>

#include <algorithm>

QString sysex_hex(const unsigned char *data, int count)
{
    QString text;
    text.reserve(count * 4);
    for (int i = 0; i < count; ++i)
        text += QStringLiteral(" %1 ").arg(data[i], 2, 16, QLatin1Char('0'));
    return text;
}

int sysex_span(const unsigned char *data, int count)
{
    for (int i = 0; i < count; ++i) {
        if (data[i] == 0xF7)
            return i + 1;
    }
    return std::max(count, 0);
}

QString printable_text(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    for (const uint codePoint : text.toUcs4()) {
        if (codePoint == '\\') {
            shown += QLatin1String("\\\\");
        } else if (QChar::isPrint(codePoint)) {
            shown += QString::fromUcs4(&codePoint, 1);
        } else if (codePoint < 0x100) {
            shown += QStringLiteral("\\x%1").arg(codePoint, 2, 16, QLatin1Char('0'));
        } else if (codePoint < 0x10000) {
            shown += QStringLiteral("\\u%1").arg(codePoint, 4, 16, QLatin1Char('0'));
        } else {
            shown += QStringLiteral("\\U%1").arg(codePoint, 8, 16, QLatin1Char('0'));
        }
    }
    return shown;
}
