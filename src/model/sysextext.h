#pragma once

#include <QString>
#include <QtGlobal>

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
class QTextCodec;
#endif

// " %02x " for each byte, concatenated: the hexadecimal form of every SysEx trace and log entry.
QString sysex_hex(const unsigned char *data, int count);

// Number of bytes from the start up to and including the first 0xF7, but at most count.
int sysex_span(const unsigned char *data, int count);

// text with everything a terminal could act on written out instead: control and format
// characters as \xNN, \uNNNN or \UNNNNNNNN, and the backslash as "\\" so that the result reads
// back unambiguously. A lone surrogate U+DC80..U+DCFF, which stands for a byte of a file name
// that is not UTF-8 (see file_name_codec()), is written as that byte: \xNN. For every text from
// outside (names from the device or a file, file and port names) before it reaches a terminal,
// a trace or a log.
QString printable_text(const QString &text);

// printable_text in double quotes, a double quote inside written as \".
QString quoted_text(const QString &text);

// A JSON document (QJsonDocument::toJson) with every character that printable_text writes out
// escaped as JSON does: \u001b. The document stays valid and reads back the same.
QByteArray printable_json(const QByteArray &json);

// UTF-8 in which a byte that is not part of valid UTF-8 is read as the lone surrogate
// U+DC00 + byte and written back as that byte: encode_file_name(decode_file_name(bytes)) gives
// back the same bytes.
QString decode_file_name(const QByteArray &bytes);
QByteArray encode_file_name(const QString &name);

// Whether name holds a byte that is not UTF-8 (a lone surrogate U+DC80..U+DCFF).
bool has_undecodable_bytes(const QString &name);

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
// decode_file_name and encode_file_name as a codec. Made the locale's codec, it lets Qt 5 name
// any file a command line or a folder holds: QFile::decodeName and encodeName give back the same
// bytes. Qt 6 names files in UTF-8 only.
QTextCodec *file_name_codec();
#endif
