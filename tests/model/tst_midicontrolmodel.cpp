#include "../common/tracecapture.h"
#include "midicontrolmodel.h"

#include <QtTest>

#include <vector>

class TestMidiControlModel : public QObject
{
    Q_OBJECT

private slots:
    void clampsIntoRange_data();
    void clampsIntoRange();
    void updateParameterIgnoresMissingId();
    void updateParameterClampsAndTraces();
    void minAboveMaxIsKept();
    void addParameterReplacesSameId();
    void getValueReportsPresence();
    void updateModelStopsAtLength();
    void writeNeverTouchesStartByteOrBytesPastMessage();
};

void TestMidiControlModel::clampsIntoRange_data()
{
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("input");
    QTest::addColumn<int>("stored");

    QTest::newRow("colour 200 -> 2") << 0 << 2 << 200 << 2;
    QTest::newRow("0..1 given 5") << 0 << 1 << 5 << 1;
    QTest::newRow("channel 17 -> Global") << 0 << 16 << 17 << 16;
    QTest::newRow("below min") << 10 << 20 << 5 << 10;
    QTest::newRow("at min") << 10 << 20 << 10 << 10;
    QTest::newRow("inside") << 10 << 20 << 15 << 15;
    QTest::newRow("at max") << 10 << 20 << 20 << 20;
    QTest::newRow("255 on 0..127") << 0 << 127 << 255 << 127;
    QTest::newRow("0 on 0..127") << 0 << 127 << 0 << 0;
}

void TestMidiControlModel::clampsIntoRange()
{
    QFETCH(int, min);
    QFETCH(int, max);
    QFETCH(int, input);
    QFETCH(int, stored);

    ControlParameter p(40, uint8_t(min), uint8_t(max), uint8_t(min), Colour);
    p.setValue(uint8_t(input));
    QCOMPARE(int(p.value()), stored);

    MidiControlModel model;
    model.addParameter(p);
    model.updateParameter(Colour, uint8_t(input));
    unsigned char value = 0;
    QVERIFY(model.getValue(Colour, &value));
    QCOMPARE(int(value), stored);
}

void TestMidiControlModel::updateParameterIgnoresMissingId()
{
    MidiControlModel model;
    model.addParameter(ControlParameter(27, 0, 16, 3, Channel));

    TraceCapture traces;
    model.updateParameter(CC, 9);
    model.updateParameter(200, 9);

    QVERIFY(traces.lines().isEmpty());
    QCOMPARE(model.parameters().size(), 1);
    QVERIFY(!model.getValue(CC, nullptr));
    unsigned char channel = 0;
    QVERIFY(model.getValue(Channel, &channel));
    QCOMPARE(int(channel), 3);
}

void TestMidiControlModel::updateParameterClampsAndTraces()
{
    MidiControlModel model;
    model.addParameter(ControlParameter(212, 0, 2, 0, Colour));

    TraceCapture traces;
    model.updateParameter(Colour, 9);

    QCOMPARE(traces.lines(), QStringList{"MidiControlModel::updateParameter 212 14 2"});
}

void TestMidiControlModel::minAboveMaxIsKept()
{
    MidiControlModel model;
    model.addParameter(ControlParameter(29, 0, 127, 0, Min));
    model.addParameter(ControlParameter(30, 0, 127, 127, Max));
    model.updateParameter(Min, 100);
    model.updateParameter(Max, 20);

    unsigned char min = 0, max = 0;
    QVERIFY(model.getValue(Min, &min));
    QVERIFY(model.getValue(Max, &max));
    QCOMPARE(int(min), 100);
    QCOMPARE(int(max), 20);
}

void TestMidiControlModel::addParameterReplacesSameId()
{
    MidiControlModel model;
    model.addParameter(ControlParameter(55, 0, 16, 1, Channel));
    model.addParameter(ControlParameter(59, 0, 16, 2, Channel));

    QCOMPARE(model.parameters().size(), 1);
    const ControlParameter *p = model.getParameter(Channel);
    QVERIFY(p);
    QCOMPARE(p->address(), 59u);
    QCOMPARE(int(p->value()), 2);
}

void TestMidiControlModel::getValueReportsPresence()
{
    MidiControlModel model;
    model.addParameter(ControlParameter(60, 0, 127, 0, CCY));

    unsigned char untouched = 77;
    QVERIFY(!model.getValue(CCX, &untouched));
    QCOMPARE(int(untouched), 77);
    QVERIFY(!model.getParameter(CCX));
    QVERIFY(model.getValue(CCY, nullptr));
}

void TestMidiControlModel::updateModelStopsAtLength()
{
    MidiControlModel model;
    model.addParameter(ControlParameter(27, 0, 16, 0, Channel));
    model.addParameter(ControlParameter(28, 0, 127, 0, CC));
    model.addParameter(ControlParameter(29, 0, 127, 0, Min));
    model.addParameter(ControlParameter(30, 0, 127, 127, Max));

    std::vector<unsigned char> message(30, 0);
    message[27] = 99; // clamped to 16
    message[28] = 5;
    message[29] = 6;

    TraceCapture traces;
    model.updateModel(message.data(), unsigned(message.size()));

    unsigned char v = 0;
    QVERIFY(model.getValue(Channel, &v));
    QCOMPARE(int(v), 16);
    QVERIFY(model.getValue(CC, &v));
    QCOMPARE(int(v), 5);
    QVERIFY(model.getValue(Min, &v));
    QCOMPARE(int(v), 6);
    QVERIFY(model.getValue(Max, &v));
    QCOMPARE(int(v), 127);
    QCOMPARE(traces.lines(), QStringList{"address 30 out of bounds"});
}

void TestMidiControlModel::writeNeverTouchesStartByteOrBytesPastMessage()
{
    MidiControlModel model;
    model.addParameter(ControlParameter(0, 0, 127, 11, Channel));
    model.addParameter(ControlParameter(1, 0, 127, 12, CC));
    model.addParameter(ControlParameter(347, 0, 127, 13, Min));
    model.addParameter(ControlParameter(348, 0, 127, 14, Max));
    model.addParameter(ControlParameter(5000, 0, 127, 15, MaxX));

    std::vector<unsigned char> message(400, 0xAA);
    model.writeType1Sysex(message.data());

    QCOMPARE(int(message[0]), 0xAA);
    QCOMPARE(int(message[1]), 12);
    QCOMPARE(int(message[347]), 13);
    QCOMPARE(int(message[348]), 0xAA);
    for (std::size_t i = 2; i < message.size(); ++i) {
        if (i != 347)
            QCOMPARE(int(message[i]), 0xAA);
    }
}

QTEST_GUILESS_MAIN(TestMidiControlModel)
#include "tst_midicontrolmodel.moc"
