#include "midimessagetext.h"

#include <QtTest>

Q_DECLARE_METATYPE(MidiMessageKind)

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// A patch message of the given kind, preset and name (padded with NULs to 16 bytes).
QByteArray patch(unsigned char kind, int preset, const QByteArray &name)
{
    QByteArray message(348, '\0');
    message.replace(0, 6, hex("f0000000007f"));
    message[6] = char(kind);
    message[9] = char(preset);
    message.replace(11, name.size(), name);
    message[347] = char(0xF7);
    return message;
}

// The frame that carries bytes: F0, two upper-case hex digits a byte, F7.
QByteArray frame(const QByteArray &bytes)
{
    return QByteArray(1, char(0xF0)) + bytes.toHex().toUpper() + char(0xF7);
}

MidiTrafficMessage out(const QByteArray &bytes)
{
    return {0, true, bytes};
}

MidiTrafficMessage in(const QByteArray &bytes)
{
    return {0, false, bytes};
}

} // namespace

class TestMidiMessageText : public QObject
{
    Q_OBJECT

private slots:
    void messageText_data();
    void messageText();
    void hexAndTime();
    void firmwareFramesAreNumberedByRecord();
};

void TestMidiMessageText::messageText_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QString>("text");
    QTest::addColumn<MidiMessageKind>("kind");

    using K = MidiMessageKind;
    QTest::newRow("note on, C3 is 60")
        << hex("993c64") << "Note On C3 (60) vel 100 Ch 10" << K::Note;
    QTest::newRow("note on, velocity 0")
        << hex("900000") << "Note On C-2 (0) vel 0 Ch 1" << K::Note;
    QTest::newRow("note off, highest")
        << hex("8f7f40") << "Note Off G8 (127) vel 64 Ch 16" << K::Note;
    QTest::newRow("poly aftertouch") << hex("a13d32") << "Aftertouch C#3 (61) = 50 Ch 2" << K::Note;
    QTest::newRow("CC") << hex("b00740") << "CC 7 = 64 Ch 1" << K::ControlChange;
    QTest::newRow("program change") << hex("c405") << "Program Change 5 Ch 5" << K::Channel;
    QTest::newRow("channel aftertouch")
        << hex("d07f") << "Channel Aftertouch 127 Ch 1" << K::Channel;
    QTest::newRow("pitch bend centre") << hex("e00040") << "Pitch Bend 0 Ch 1" << K::Channel;
    QTest::newRow("pitch bend lowest") << hex("e00000") << "Pitch Bend -8192 Ch 1" << K::Channel;
    QTest::newRow("pitch bend highest") << hex("e07f7f") << "Pitch Bend 8191 Ch 1" << K::Channel;
    QTest::newRow("clock") << hex("f8") << "Clock" << K::Clock;
    QTest::newRow("active sensing") << hex("fe") << "Active Sensing" << K::ActiveSensing;
    QTest::newRow("start") << hex("fa") << "Start" << K::System;
    QTest::newRow("undefined real time") << hex("f9") << "Undefined 0xF9" << K::System;
    QTest::newRow("song position") << hex("f20102") << "Song Position 257" << K::System;
    QTest::newRow("tune request") << hex("f6") << "Tune Request" << K::System;

    QTest::newRow("Type 1 patch") << patch(0x61, 5, "Drum Kit")
                                  << "Patch 'Drum Kit' preset 5 (348 bytes)" << K::SysEx;
    QTest::newRow("Type 2 patch, full name")
        << patch(0x63, 19, "ABCDEFGHIJKLMNOP") << "Patch 'ABCDEFGHIJKLMNOP' preset 19 (348 bytes)"
        << K::SysEx;
    QTest::newRow("patch name with control bytes")
        << patch(0x61, 0,
                 "a\x1b"
                 "b\x7f")
        << "Patch 'a?b?' preset 0 (348 bytes)" << K::SysEx;
    QTest::newRow("patch one byte short")
        << patch(0x61, 5, "X").remove(300, 1) << "SysEx (347 bytes)" << K::SysEx;
    QTest::newRow("patch of another maker")
        << patch(0x61, 5, "X").replace(1, 1, "\x01") << "SysEx (348 bytes)" << K::SysEx;
    QTest::newRow("patch request") << hex("f0000000007f620000f7") << "Patch request" << K::SysEx;
    QTest::newRow("update code") << QByteArray("\xF0Qk8vR2x\xF7") << "Update code" << K::SysEx;
    QTest::newRow("firmware frame")
        << frame(hex("0102030405060708090a0b")) << "Firmware data (11 bytes)" << K::SysEx;
    QTest::newRow("lower-case hex is no frame") << QByteArray("\xF0"
                                                              "0a\xF7")
                                                << "SysEx (4 bytes)" << K::SysEx;
    QTest::newRow("status accepted") << hex("f01af7") << "Status 0x1A record accepted" << K::SysEx;
    QTest::newRow("status ready") << hex("f03df7") << "Status 0x3D ready for the update"
                                  << K::SysEx;
    QTest::newRow("status CRC") << hex("f020f7") << "Status 0x20 record damaged in transit"
                                << K::SysEx;
    QTest::newRow("status unknown") << hex("f001f7") << "Status 0x01" << K::SysEx;
    QTest::newRow("empty SysEx") << hex("f0f7") << "SysEx (2 bytes)" << K::SysEx;
    QTest::newRow("other SysEx") << hex("f07e7f0601f7") << "SysEx (6 bytes)" << K::SysEx;

    QTest::newRow("empty") << QByteArray() << "Empty message" << K::Malformed;
    QTest::newRow("note on cut short")
        << hex("903c") << "Malformed message (2 bytes)" << K::Malformed;
    QTest::newRow("CC too long") << hex("b0074001") << "Malformed message (4 bytes)"
                                 << K::Malformed;
    QTest::newRow("data byte 0x80 and above")
        << hex("90bc64") << "Malformed message (3 bytes)" << K::Malformed;
    QTest::newRow("running status data alone")
        << hex("3c64") << "Malformed message (2 bytes)" << K::Malformed;
    QTest::newRow("SysEx without end")
        << hex("f00102") << "Malformed message (3 bytes)" << K::Malformed;
    QTest::newRow("stray F7") << hex("f7") << "Malformed message (1 byte)" << K::Malformed;
}

void TestMidiMessageText::messageText()
{
    QFETCH(QByteArray, message);
    QFETCH(QString, text);
    QFETCH(MidiMessageKind, kind);

    QCOMPARE(midi_message_text(message), text);
    QCOMPARE(midi_message_kind(message), kind);
    // Outside an update the decoder says the same.
    MidiTrafficDecoder decoder;
    QCOMPARE(decoder.text(in(message)), text);
}

void TestMidiMessageText::hexAndTime()
{
    QCOMPARE(midi_hex_text(hex("f0007ff7")), QStringLiteral("F0 00 7F F7"));
    QCOMPARE(midi_hex_text(QByteArray()), QString());
    const QDateTime time(QDate(2026, 12, 8), QTime(11, 38, 1, 23));
    QCOMPARE(midi_time_text(time.toMSecsSinceEpoch()), QStringLiteral("11:38:01.023"));
}

void TestMidiMessageText::firmwareFramesAreNumberedByRecord()
{
    // Two records: 14 bytes (length 12) in two frames, then 5 bytes (length 3) in one.
    const QByteArray first = hex("000c") + QByteArray(12, 'a');
    const QByteArray second = hex("0003") + QByteArray(3, 'b');
    MidiTrafficDecoder decoder;
    QCOMPARE(decoder.text(out(QByteArray("\xF0Qk8vR2x\xF7"))), QStringLiteral("Update code"));
    QCOMPARE(decoder.text(in(hex("f03df7"))), QStringLiteral("Status 0x3D ready for the update"));
    QCOMPARE(decoder.text(out(frame(first.left(11)))),
             QStringLiteral("Firmware record 1 (14 bytes)"));
    // A late answer to a second update code, while the record's frames go.
    decoder.text(in(hex("f03df7")));
    QCOMPARE(decoder.text(out(frame(first.mid(11)))),
             QStringLiteral("Firmware record 1 continued (3 bytes)"));
    // Damaged: the record goes again under its number.
    decoder.text(in(hex("f020f7")));
    QCOMPARE(decoder.text(out(frame(first.left(11)))),
             QStringLiteral("Firmware record 1 (14 bytes)"));
    decoder.text(out(frame(first.mid(11))));
    decoder.text(in(hex("f01af7")));
    QCOMPARE(decoder.text(out(frame(second))), QStringLiteral("Firmware record 2 (5 bytes)"));
    // No answer: sent again, same number.
    QCOMPARE(decoder.text(out(frame(second))), QStringLiteral("Firmware record 2 (5 bytes)"));
    decoder.text(in(hex("f077f7")));
    // A new update starts counting anew.
    decoder.text(out(QByteArray("\xF0Qk8vR2x\xF7")));
    QCOMPARE(decoder.text(out(frame(second))), QStringLiteral("Firmware record 1 (5 bytes)"));
    // A frame that comes in is no record of this editor's.
    QCOMPARE(decoder.text(in(frame(second))), QStringLiteral("Firmware data (5 bytes)"));
}

QTEST_GUILESS_MAIN(TestMidiMessageText)
#include "tst_midimessagetext.moc"
