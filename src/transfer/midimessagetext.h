#pragma once

#include "miditraffic.h"

#include <QByteArray>
#include <QString>

// The kinds of message the MIDI monitor can hide.
enum class MidiMessageKind {
    Note,          // note on and off, polyphonic aftertouch
    ControlChange, // CC
    Channel,       // program change, channel aftertouch, pitch bend
    SysEx,         // F0 ... F7: patches, requests, firmware frames and status answers too
    Clock,         // F8
    ActiveSensing, // FE
    System,        // the other system common and real-time messages
    Malformed,     // empty, cut short, or data bytes where a status belongs
};

// Which of those message is; the status byte decides, whatever follows.
MidiMessageKind midi_message_kind(const QByteArray &message);

// One message as a line for people, the same in the editor's MIDI monitor and on the command
// line: "Note On C3 (60) vel 100 Ch 10", "CC 7 = 64 Ch 1", "Patch 'Drum Kit' preset 5 (348
// bytes)", "Patch request", "Status 0x1A record accepted", "SysEx (12 bytes)". A firmware frame
// reads "Firmware data (11 bytes)": which record it carries only MidiTrafficDecoder can tell.
QString midi_message_text(const QByteArray &message);

// The bytes as upper-case hex pairs: "F0 00 7F".
QString midi_hex_text(const QByteArray &message);

// A time of MidiTrafficMessage as local wall-clock time, "11:38:01.123".
QString midi_time_text(qint64 timeMs);

// Decodes the traffic of one port in the order it went: as midi_message_text, but each
// firmware frame is placed in its record, numbered from the update code on, a record sent
// again after a bad or missing answer keeping its number (an answer counts only once the
// record's last frame has gone): "Firmware record 12 (256 bytes)"
// for the frame that starts it, "Firmware record 12 continued (11 bytes)" for the others.
class MidiTrafficDecoder
{
public:
    QString text(const MidiTrafficMessage &message);

private:
    // The record the last frames belonged to, the next one's number, and the bytes of the
    // record still to come.
    unsigned int record = 0;
    unsigned int nextRecord = 1;
    unsigned int recordLeft = 0;
};
