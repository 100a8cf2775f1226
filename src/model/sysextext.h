#pragma once

#include <QString>

// " %02x " for each byte, concatenated: the hexadecimal form of every SysEx trace and log entry.
QString sysex_hex(const unsigned char *data, int count);

// Number of bytes from the start up to and including the first 0xF7, but at most count.
int sysex_span(const unsigned char *data, int count);

// text with everything a terminal could act on written out instead: control and format
// characters as \xNN, \uNNNN or \UNNNNNNNN, and the backslash as "\\" so that the result reads
// back unambiguously. For names from the device or a file before they reach a trace or a log.
QString printable_text(const QString &text);
