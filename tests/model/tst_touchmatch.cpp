#include "controlnames.h"
#include "parameterinfo.h"
#include "patch.h"
#include "touchmatch.h"

#include <QtTest>

namespace {

// A patch with every control on Ch 16 and settings on top: "PAD7 ch=9 type=0 note=60" sets
// those parameters of PAD7 (names as the command line takes them, raw values).
QByteArray patchWith(const QStringList &settings)
{
    Patch patch;
    for (int i = 0; i < ControlTable::count; ++i)
        patch.controls().at(i)->updateParameter(Channel, 15);
    for (const QString &line : settings) {
        const QStringList words = line.split(QLatin1Char(' '));
        const int control = ControlNames::indexOf(words.first());
        Q_ASSERT(control >= 0);
        for (const QString &setting : words.mid(1)) {
            const std::optional<ParameterId> id = ParameterInfo::fromName(
                setting.section('=', 0, 0));
            Q_ASSERT(id);
            patch.controls().at(control)->updateParameter(
                *id, static_cast<unsigned char>(setting.section('=', 1).toInt()));
        }
    }
    return patch.toType1();
}

QStringList hexList(const QList<QByteArray> &messages)
{
    QStringList texts;
    for (const QByteArray &message : messages)
        texts << QString::fromLatin1(message.toHex(' '));
    return texts;
}

} // namespace

class TestTouchMatch : public QObject
{
    Q_OBJECT

private slots:
    void findsTheControlsThatSendAMessage_data()
    {
        QTest::addColumn<QStringList>("settings");
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QList<int>>("controls");

        const QStringList pad7{"PAD7 ch=9 type=0 note=60"};
        QTest::newRow("pad note") << pad7 << QByteArray::fromHex("993c64") << QList<int>{45};
        QTest::newRow("knob CC") << QStringList{"E3 ch=0 cc=7"} << QByteArray::fromHex("b00740")
                                 << QList<int>{18};
        const QStringList xy{"XY ch=1 ccx=12 ccy=13"};
        QTest::newRow("X-Y pad X") << xy << QByteArray::fromHex("b10c10") << QList<int>{37};
        QTest::newRow("X-Y pad Y") << xy << QByteArray::fromHex("b10d7f") << QList<int>{37};
        QTest::newRow("channel mismatch") << pad7 << QByteArray::fromHex("983c64") << QList<int>{};
        QTest::newRow("note where a CC is")
            << pad7 << QByteArray::fromHex("b93c64") << QList<int>{};
        QTest::newRow("two controls on one message")
            << QStringList{"PAD3 ch=9 type=0 note=60", "F6 ch=9 type=0 note=60"}
            << QByteArray::fromHex("993c01") << QList<int>{11, 41};
        QTest::newRow("none") << pad7 << QByteArray::fromHex("990964") << QList<int>{};
        QTest::newRow("button of type CC")
            << QStringList{"F1 ch=0 type=1 note=20", "PAD2 ch=0 type=0 note=20"}
            << QByteArray::fromHex("b0147f") << QList<int>{6};
        QTest::newRow("Global fits any channel") << QStringList{"S2 ch=16 cc=30", "S3 ch=4 cc=30"}
                                                 << QByteArray::fromHex("b51e00") << QList<int>{1};
        QTest::newRow("poly aftertouch of a pad that has it")
            << QStringList{"PAD1 ch=9 type=0 note=36 at=1", "PAD2 ch=9 type=0 note=36 at=0"}
            << QByteArray::fromHex("a92440") << QList<int>{39};
        QTest::newRow("channel aftertouch")
            << QStringList{"PAD1 ch=9 at=1", "PAD2 ch=9 at=1", "PAD3 ch=8 at=1"}
            << QByteArray::fromHex("d940") << QList<int>{39, 40};
    }

    void findsTheControlsThatSendAMessage()
    {
        QFETCH(QStringList, settings);
        QFETCH(QByteArray, message);
        QFETCH(QList<int>, controls);

        TouchMatch match;
        QVERIFY(match.setPatch(patchWith(settings)));
        const std::optional<TouchMatch::Touch> touch = TouchMatch::touchOf(message);
        QVERIFY(touch);
        QCOMPARE(match.controlsSending(*touch), controls);
    }

    void messagesThatTouchNothing_data()
    {
        QTest::addColumn<QByteArray>("message");

        QTest::newRow("velocity 0") << QByteArray::fromHex("993c00");
        QTest::newRow("note-off") << QByteArray::fromHex("893c40");
        QTest::newRow("program change") << QByteArray::fromHex("c005");
        QTest::newRow("pitch bend") << QByteArray::fromHex("e00040");
        QTest::newRow("cut short") << QByteArray::fromHex("903c");
        QTest::newRow("data byte for a status") << QByteArray::fromHex("3c64");
        QTest::newRow("status in a data byte") << QByteArray::fromHex("b0f740");
        QTest::newRow("clock") << QByteArray::fromHex("f8");
        QTest::newRow("SysEx") << QByteArray::fromHex("f07ff7");
        QTest::newRow("empty") << QByteArray();
    }

    void messagesThatTouchNothing()
    {
        QFETCH(QByteArray, message);
        QVERIFY(!TouchMatch::touchOf(message));
    }

    void aPatchThatIsNoneChangesNothing()
    {
        TouchMatch match;
        QVERIFY(match.setPatch(patchWith({"E3 ch=0 cc=7"})));
        QVERIFY(!match.setPatch(QByteArray(348, '\0')));
        QCOMPARE(match.controlsSending(*TouchMatch::touchOf(QByteArray::fromHex("b00740"))),
                 QList<int>{18});
    }

    void statusLines_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QList<int>>("controls");
        QTest::addColumn<QString>("text");

        QTest::newRow("two") << QByteArray::fromHex("993c64") << QList<int>{41, 11}
                             << "PAD3 and F6 both send Note 60 on Ch 10";
        QTest::newRow("three") << QByteArray::fromHex("b00740") << QList<int>{0, 17, 37}
                               << "S1, E2 and XY all send CC 7 on Ch 1";
        QTest::newRow("many are counted")
            << QByteArray::fromHex("9f0001") << QList<int>{39, 40, 41, 42, 43}
            << "5 controls send Note 0 on Ch 16";
        QTest::newRow("one needs no line") << QByteArray::fromHex("b00740") << QList<int>{0} << "";
        QTest::newRow("none") << QByteArray::fromHex("b10940") << QList<int>{}
                              << "No control sends CC 9 on Ch 2";
        QTest::newRow("poly aftertouch") << QByteArray::fromHex("a92440") << QList<int>{}
                                         << "No control sends Aftertouch of Note 36 on Ch 10";
    }

    void statusLines()
    {
        QFETCH(QByteArray, message);
        QFETCH(QList<int>, controls);
        QFETCH(QString, text);
        QCOMPARE(TouchMatch::matchText(*TouchMatch::touchOf(message), controls), text);
    }

    void messagesOfAControl_data()
    {
        QTest::addColumn<QStringList>("settings");
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("value");
        QTest::addColumn<QStringList>("messages");

        QTest::newRow("pad with aftertouch")
            << QStringList{"PAD1 ch=9 type=0 note=36 at=1"} << "PAD1" << 100
            << QStringList{"99 24 64", "a9 24 64", "89 24 00"};
        QTest::newRow("velocity 0 goes out as 1")
            << QStringList{"PAD25 ch=0 type=0 note=127"} << "PAD25" << 0
            << QStringList{"90 7f 01", "80 7f 00"};
        QTest::newRow("button of type CC") << QStringList{"F1 ch=0 type=1 note=20"} << "F1" << 64
                                           << QStringList{"b0 14 40", "b0 14 00"};
        QTest::newRow("knob kept within Min..Max")
            << QStringList{"E3 ch=2 cc=7 min=10 max=20"} << "E3" << 64 << QStringList{"b2 07 14"};
        QTest::newRow("X-Y pad") << QStringList{"XY ch=1 ccx=12 ccy=13 maxy=3"} << "XY" << 5
                                 << QStringList{"b1 0c 05", "b1 0d 03"};
        QTest::newRow("Global goes out on Ch 1")
            << QStringList{"S1 ch=16 cc=3"} << "S1" << 127 << QStringList{"b0 03 7f"};
        QTest::newRow("value above 127")
            << QStringList{"XFADER ch=15 cc=8"} << "XFADER" << 500 << QStringList{"bf 08 7f"};
    }

    void messagesOfAControl()
    {
        QFETCH(QStringList, settings);
        QFETCH(QString, control);
        QFETCH(int, value);
        QFETCH(QStringList, messages);

        Patch patch;
        QVERIFY(patch.apply(patchWith(settings)));
        QCOMPARE(hexList(TouchMatch::messagesOf(patch.controls(), ControlNames::indexOf(control),
                                                value)),
                 messages);
    }

    void noMessagesOutsideTheControls()
    {
        QVERIFY(TouchMatch::messagesOf(ControlTable(), ControlTable::count, 64).isEmpty());
        QVERIFY(TouchMatch::messagesOf(ControlTable(), -1, 64).isEmpty());
    }

    // Whatever a control sends is taken for that control alone, on a patch where each control
    // sends something of its own.
    void everyControlIsFoundByWhatItSends()
    {
        QStringList settings;
        for (int i = 0; i < ControlTable::count; ++i) {
            const QString name = ControlNames::name(i);
            const QString channel = QStringLiteral(" ch=%1").arg(i % 16);
            if (i == ControlTable::xyPadIndex)
                settings << name + channel + QStringLiteral(" ccx=%1 ccy=100").arg(i);
            else if (ControlTable::kindOf(i) == ParameterInfo::Kind::Continuous)
                settings << name + channel + QStringLiteral(" cc=%1").arg(i);
            else
                settings << name + channel + QStringLiteral(" type=%1 note=%2").arg(i % 2).arg(i);
        }
        TouchMatch match;
        QVERIFY(match.setPatch(patchWith(settings)));
        for (int i = 0; i < ControlTable::count; ++i) {
            const QList<QByteArray> sent = TouchMatch::messagesOf(match.controls(), i, 64);
            QVERIFY(!sent.isEmpty());
            for (const QByteArray &message : sent) {
                const std::optional<TouchMatch::Touch> touch = TouchMatch::touchOf(message);
                if (touch)
                    QCOMPARE(match.controlsSending(*touch), QList<int>{i});
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestTouchMatch)
#include "tst_touchmatch.moc"
