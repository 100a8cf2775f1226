#include "sysextext.h"

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
