#include "sysextext.h"

#include <QVector>

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
#include <QTextCodec>
#endif

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

namespace {

// Whether a terminal shows codePoint as it is, without acting on it.
bool isShown(uint codePoint)
{
    return codePoint != '\\' && QChar::isPrint(codePoint);
}

} // namespace

QString printable_text(const QString &text)
{
    // Most texts, the logged messages among them, are printable ASCII throughout: they come
    // back as they are, without a copy.
    if (std::all_of(text.cbegin(), text.cend(), [](QChar c) {
            return c.unicode() >= 0x20 && c.unicode() < 0x7F && c.unicode() != '\\';
        }))
        return text;
    QString shown;
    shown.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        uint codePoint = text.at(i).unicode();
        const bool byte = codePoint >= 0xDC80 && codePoint <= 0xDCFF; // of a file name, not UTF-8
        if (byte) {
            codePoint -= 0xDC00;
        } else if (text.at(i).isHighSurrogate() && i + 1 < text.size()
                   && text.at(i + 1).isLowSurrogate()) {
            codePoint = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
            ++i;
        }
        if (codePoint == '\\') {
            shown += QLatin1String("\\\\");
        } else if (!byte && isShown(codePoint)) {
            // As QChars: a string made for each character would cost an allocation each.
            if (QChar::requiresSurrogates(codePoint)) {
                shown += QChar(QChar::highSurrogate(codePoint));
                shown += QChar(QChar::lowSurrogate(codePoint));
            } else {
                shown += QChar(codePoint);
            }
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

QString quoted_text(const QString &text)
{
    return QLatin1Char('"') + printable_text(text).replace(QLatin1Char('"'), QLatin1String("\\\""))
        + QLatin1Char('"');
}

QByteArray printable_json(const QByteArray &json)
{
    // Outside its strings a JSON document holds only printable ASCII, spaces and line feeds.
    const QString text = QString::fromUtf8(json);
    QString shown;
    shown.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const bool pair = c.isHighSurrogate() && i + 1 < text.size()
            && text.at(i + 1).isLowSurrogate();
        const int width = pair ? 2 : 1;
        const uint codePoint = pair ? QChar::surrogateToUcs4(c, text.at(i + 1)) : c.unicode();
        if (c == QLatin1Char('\n') || c == QLatin1Char('\\') || isShown(codePoint)) {
            shown += text.mid(i, width);
        } else {
            // A pair goes out as two escapes, as JSON writes a character beyond U+FFFF.
            for (int k = i; k < i + width; ++k)
                shown += QStringLiteral("\\u%1").arg(text.at(k).unicode(), 4, 16, QLatin1Char('0'));
        }
        i += width - 1;
    }
    return shown.toUtf8();
}

namespace {

// The length of the valid UTF-8 sequence at bytes, or 0.
int validSequence(const unsigned char *bytes, int available)
{
    const unsigned char lead = bytes[0];
    if (lead < 0x80)
        return 1;
    int span = 0;
    uint low = 0x80; // the smallest second byte: no overlong forms, no surrogates
    uint high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        span = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        span = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        span = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (available < span || bytes[1] < low || bytes[1] > high)
        return 0;
    for (int k = 2; k < span; ++k) {
        if (bytes[k] < 0x80 || bytes[k] > 0xBF)
            return 0;
    }
    return span;
}

} // namespace

QString decode_file_name(const QByteArray &bytes)
{
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.constData());
    const int length = int(bytes.size());
    QString text;
    text.reserve(length);
    for (int i = 0; i < length;) {
        const int span = validSequence(data + i, length - i);
        if (span == 0) {
            text += QChar(0xDC00 + data[i]);
            ++i;
        } else {
            text += QString::fromUtf8(bytes.constData() + i, span);
            i += span;
        }
    }
    return text;
}

QByteArray encode_file_name(const QString &name)
{
    const QChar *in = name.constData();
    const int length = int(name.size());
    QByteArray bytes;
    bytes.reserve(length);
    int from = 0;
    for (int i = 0; i < length; ++i) {
        const ushort u = in[i].unicode();
        if (u < 0xDC80 || u > 0xDCFF || (i > 0 && in[i - 1].isHighSurrogate()))
            continue;
        bytes += QString::fromRawData(in + from, i - from).toUtf8();
        bytes += char(u - 0xDC00);
        from = i + 1;
    }
    bytes += QString::fromRawData(in + from, length - from).toUtf8();
    return bytes;
}

bool has_undecodable_bytes(const QString &name)
{
    for (int i = 0; i < name.size(); ++i) {
        const ushort u = name.at(i).unicode();
        if (u >= 0xDC80 && u <= 0xDCFF && !(i > 0 && name.at(i - 1).isHighSurrogate()))
            return true;
    }
    return false;
}

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
namespace {

class FileNameCodec : public QTextCodec
{
public:
    QByteArray name() const override { return QByteArrayLiteral("UTF-8 (file names)"); }
    int mibEnum() const override { return -4711; }

protected:
    QString convertToUnicode(const char *in, int length, ConverterState *) const override
    {
        return decode_file_name(QByteArray::fromRawData(in, length));
    }

    QByteArray convertFromUnicode(const QChar *in, int length, ConverterState *) const override
    {
        return encode_file_name(QString::fromRawData(in, length));
    }
};

} // namespace

QTextCodec *file_name_codec()
{
    // Qt owns and deletes every codec made.
    static QTextCodec *const codec = new FileNameCodec;
    return codec;
}
#endif
