#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QVector>

// One MIDI message that went in or out through the editor's port, for the MIDI monitor and
// for selecting controls by touch.
struct MidiTrafficMessage
{
    // When it was received or handed to the port: ms since the epoch (QDateTime's clock), so
    // that a saved monitor log reads with wall-clock times.
    qint64 timeMs = 0;
    bool outgoing = false;
    // One whole message: a channel or system message of 1..3 bytes, or SysEx from F0 to F7.
    QByteArray bytes;
};
using MidiTraffic = QVector<MidiTrafficMessage>;
Q_DECLARE_METATYPE(MidiTraffic)
