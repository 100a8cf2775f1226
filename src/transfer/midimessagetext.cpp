#include "midimessagetext.h"

#include "midicontrolmodel.h"
#include "patchlayout.h"

#include <QDateTime>

#include <algorithm>
#include <iterator>

namespace {

constexpr unsigned char updateCode[] = {0xF0, 'Q', 'k', '8', 'v', 'R', '2', 'x', 0xF7};
constexpr unsigned char requestKindLength = 10;

// "(12 bytes)", "(1 byte)"
QString size_text(int size)
{
    return size == 1 ? QStringLiteral("(1 byte)") : QStringLiteral("(%1 bytes)").arg(size);
}

unsigned char at(const QByteArray &message, int index)
{
    return static_cast<unsigned char>(message.at(index));
}

// Bytes of a channel or system common message, its status byte included.
int expected_length(unsigned char status)
{
    if (status < 0xF0) {
        const unsigned char kind = status & 0xF0;
        return kind == 0xC0 || kind == 0xD0 ? 2 : 3;
    }
    if (status == 0xF1 || status == 0xF3)
        return 2;
    return status == 0xF2 ? 3 : 1;
}

QString note_text(int note)
{
    return QStringLiteral("%1 (%2)").arg(MidiControlModel::noteNames().value(note)).arg(note);
}

QString channel_text(const QByteArray &message)
{
    const unsigned char status = at(message, 0);
    const QString channel = QStringLiteral(" Ch %1").arg((status & 0x0F) + 1);
    const int first = message.size() > 1 ? at(message, 1) : 0;
    const int second = message.size() > 2 ? at(message, 2) : 0;
    switch (status & 0xF0) {
    case 0x80:
        return QStringLiteral("Note Off %1 vel %2").arg(note_text(first)).arg(second) + channel;
    case 0x90:
        return QStringLiteral("Note On %1 vel %2").arg(note_text(first)).arg(second) + channel;
    case 0xA0:
        return QStringLiteral("Aftertouch %1 = %2").arg(note_text(first)).arg(second) + channel;
    case 0xB0:
        return QStringLiteral("CC %1 = %2").arg(first).arg(second) + channel;
    case 0xC0:
        return QStringLiteral("Program Change %1").arg(first) + channel;
    case 0xD0:
        return QStringLiteral("Channel Aftertouch %1").arg(first) + channel;
    default: // 0xE0: 14 bits, centre 8192
        return QStringLiteral("Pitch Bend %1").arg((second << 7 | first) - 8192) + channel;
    }
}

// "0x1A"
QString hex_byte(int value)
{
    return QStringLiteral("0x")
        + QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

QString system_text(const QByteArray &message)
{
    const unsigned char status = at(message, 0);
    switch (status) {
    case 0xF1:
        return QStringLiteral("Time Code %1").arg(at(message, 1));
    case 0xF2:
        return QStringLiteral("Song Position %1").arg(at(message, 2) << 7 | at(message, 1));
    case 0xF3:
        return QStringLiteral("Song Select %1").arg(at(message, 1));
    case 0xF6:
        return QStringLiteral("Tune Request");
    case 0xF8:
        return QStringLiteral("Clock");
    case 0xFA:
        return QStringLiteral("Start");
    case 0xFB:
        return QStringLiteral("Continue");
    case 0xFC:
        return QStringLiteral("Stop");
    case 0xFE:
        return QStringLiteral("Active Sensing");
    case 0xFF:
        return QStringLiteral("System Reset");
    default:
        return QStringLiteral("Undefined ") + hex_byte(status);
    }
}

// What a status answer of the device in update mode means.
QString status_meaning(unsigned char status)
{
    switch (status) {
    case 0x15:
        return QStringLiteral("unplug and plug in the device first");
    case 0x1A:
        return QStringLiteral("record accepted");
    case 0x20:
        return QStringLiteral("record damaged in transit");
    case 0x21:
        return QStringLiteral("error in the update file");
    case 0x22:
        return QStringLiteral("length error in the update file");
    case 0x23:
        return QStringLiteral("end of file error");
    case 0x24:
        return QStringLiteral("verify error");
    case 0x25:
        return QStringLiteral("erase error");
    case 0x3D:
        return QStringLiteral("ready for the update");
    case 0x77:
        return QStringLiteral("update taken, the device resets");
    default:
        return QString();
    }
}

bool is_sysex(const QByteArray &message)
{
    return message.size() >= 2 && at(message, 0) == 0xF0 && at(message, message.size() - 1) == 0xF7;
}

bool is_update_code(const QByteArray &message)
{
    return message.size() == int(std::size(updateCode))
        && std::equal(std::begin(updateCode), std::end(updateCode),
                      reinterpret_cast<const unsigned char *>(message.constData()));
}

// A firmware data frame: F0, two upper-case hex digits per image byte, F7.
bool is_firmware_frame(const QByteArray &message)
{
    if (!is_sysex(message) || message.size() < 4 || message.size() % 2 != 0)
        return false;
    return std::all_of(message.begin() + 1, message.end() - 1,
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); });
}

QByteArray frame_bytes(const QByteArray &frame)
{
    return QByteArray::fromHex(frame.mid(1, frame.size() - 2));
}

QString patch_name(const QByteArray &message)
{
    QString name;
    for (unsigned int i = 0; i < PatchLayout::nameLength; ++i) {
        const unsigned char c = at(message, int(PatchLayout::nameOffset + i));
        if (c == 0)
            break;
        name += c >= 0x20 && c < 0x7F ? QChar(c) : QChar(u'?');
    }
    return name;
}

QString sysex_text(const QByteArray &message)
{
    const int size = message.size();
    if (size == 3 && at(message, 1) < 0x80) {
        const QString meaning = status_meaning(at(message, 1));
        const QString status = QStringLiteral("Status ") + hex_byte(at(message, 1));
        return meaning.isEmpty() ? status : status + QLatin1Char(' ') + meaning;
    }
    if (PatchLayout::hasDeviceHeader(message.constData(), size)) {
        const unsigned char kind = at(message, int(PatchLayout::kindOffset));
        if (size == int(PatchLayout::length)
            && (kind == PatchLayout::kindType1 || kind == PatchLayout::kindType2))
            return QStringLiteral("Patch '%1' preset %2 (%3 bytes)")
                .arg(patch_name(message))
                .arg(at(message, int(PatchLayout::presetNoOffset)))
                .arg(size);
        if (size == requestKindLength && kind == PatchLayout::kindRequest)
            return QStringLiteral("Patch request");
    }
    if (is_update_code(message))
        return QStringLiteral("Update code");
    if (is_firmware_frame(message))
        return QStringLiteral("Firmware data ") + size_text(size / 2 - 1);
    return QStringLiteral("SysEx ") + size_text(size);
}

} // namespace

MidiMessageKind midi_message_kind(const QByteArray &message)
{
    if (message.isEmpty() || at(message, 0) < 0x80)
        return MidiMessageKind::Malformed;
    const unsigned char status = at(message, 0);
    if (status == 0xF0)
        return is_sysex(message) ? MidiMessageKind::SysEx : MidiMessageKind::Malformed;
    if (status == 0xF7 || message.size() != expected_length(status)
        || std::any_of(message.begin() + 1, message.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
        return MidiMessageKind::Malformed;
    if (status == 0xF8)
        return MidiMessageKind::Clock;
    if (status == 0xFE)
        return MidiMessageKind::ActiveSensing;
    if (status >= 0xF0)
        return MidiMessageKind::System;
    switch (status & 0xF0) {
    case 0x80:
    case 0x90:
    case 0xA0:
        return MidiMessageKind::Note;
    case 0xB0:
        return MidiMessageKind::ControlChange;
    default:
        return MidiMessageKind::Channel;
    }
}

QString midi_message_text(const QByteArray &message)
{
    switch (midi_message_kind(message)) {
    case MidiMessageKind::Malformed:
        return message.isEmpty() ? QStringLiteral("Empty message")
                                 : QStringLiteral("Malformed message ") + size_text(message.size());
    case MidiMessageKind::SysEx:
        return sysex_text(message);
    case MidiMessageKind::Note:
    case MidiMessageKind::ControlChange:
    case MidiMessageKind::Channel:
        return channel_text(message);
    default:
        return system_text(message);
    }
}

QString midi_hex_text(const QByteArray &message)
{
    return QString::fromLatin1(message.toHex(' ').toUpper());
}

QString midi_time_text(qint64 timeMs)
{
    return QDateTime::fromMSecsSinceEpoch(timeMs).toString(QStringLiteral("HH:mm:ss.zzz"));
}

QString MidiTrafficDecoder::text(const MidiTrafficMessage &message)
{
    const QByteArray &bytes = message.bytes;
    if (message.outgoing && is_update_code(bytes)) {
        nextRecord = 1;
        recordLeft = 0;
    } else if (message.outgoing && is_firmware_frame(bytes)) {
        const QByteArray data = frame_bytes(bytes);
        const unsigned int size = unsigned(data.size());
        QString text;
        if (recordLeft == 0) {
            // The frame that starts a record begins with its big-endian length, which counts
            // the checksum but not itself.
            record = nextRecord;
            const unsigned int declared = size >= 2
                ? (unsigned(quint8(data[0])) << 8 | quint8(data[1])) + 2
                : size;
            recordLeft = declared;
            text = QStringLiteral("Firmware record %1 ").arg(record) + size_text(int(declared));
        } else {
            text = QStringLiteral("Firmware record %1 continued ").arg(record)
                + size_text(int(size));
        }
        recordLeft -= std::min(recordLeft, size);
        return text;
    } else if (!message.outgoing && bytes.size() == 3 && is_sysex(bytes)) {
        // Only what comes after a record's last frame answers it, and only an accepting answer
        // moves on to the next record; one that comes while frames are still going is a late
        // answer to something earlier, such as a second update code.
        const unsigned char status = at(bytes, 1);
        if (recordLeft == 0 && (status == 0x1A || status == 0x77))
            nextRecord = record + 1;
    }
    return midi_message_text(bytes);
}
