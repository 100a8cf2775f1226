#include "controlcopy.h"
#include "controlsummary.h"
#include "controltable.h"

#include <QtTest>

namespace {

using Ids = QList<ParameterId>;

// The control at index with every parameter at its highest value (high) or its lowest.
MidiControlModel extreme(int index, bool high)
{
    MidiControlModel model = *ControlTable().at(index);
    for (const ControlParameter &p : model.parameters())
        model.updateParameter(p.id(), high ? p.max() : p.min());
    return model;
}

// A control with a value of its own in each parameter.
MidiControlModel distinct(int index)
{
    MidiControlModel model = *ControlTable().at(index);
    for (const ControlParameter &p : model.parameters())
        model.updateParameter(p.id(), p.min() + (p.address() * 7 + 3) % (p.max() - p.min() + 1));
    return model;
}

ControlCopy::Values valuesOf(const MidiControlModel &model)
{
    ControlCopy::Values values;
    for (const ControlParameter &p : model.parameters())
        values << qMakePair(ParameterId(p.id()), p.value());
    return values;
}

} // namespace

Q_DECLARE_METATYPE(Ids)

class TestControlCopy : public QObject
{
    Q_OBJECT

private slots:
    void textAndJsonGiveTheCopyBack_data();
    void textAndJsonGiveTheCopyBack();
    void aLineNamingSomeParametersCopiesThose();
    void foreignTextIsNoCopy_data();
    void foreignTextIsNoCopy();
    void foreignJsonIsNoCopy_data();
    void foreignJsonIsNoCopy();
    void pasteWritesWhatTheTargetHas_data();
    void pasteWritesWhatTheTargetHas();
};

void TestControlCopy::textAndJsonGiveTheCopyBack_data()
{
    QTest::addColumn<int>("index");
    for (int index : {0, 15, 16, 29, 32, 37, 38, 45, 63})
        QTest::addRow("%s", qPrintable(ControlSummary::parameterLine(index, distinct(index))))
            << index;
}

void TestControlCopy::textAndJsonGiveTheCopyBack()
{
    QFETCH(int, index);
    const MidiControlModel model = distinct(index);
    const ControlCopy copy(index, model);
    QCOMPARE(copy.control(), index);
    QCOMPARE(copy.values(), valuesOf(model));
    // The text is the control's line of "vellichord show".
    QCOMPARE(copy.text(), ControlSummary::parameterLine(index, model));

    // As pasted from a mail: with its line end, Windows' too, and spaces around.
    for (const QString &text : {copy.text(), copy.text() + QLatin1Char('\n'),
                                QStringLiteral("  ") + copy.text() + QStringLiteral("\r\n")}) {
        const std::optional<ControlCopy> back = ControlCopy::fromText(text);
        QVERIFY2(back, qPrintable(text));
        QCOMPARE(back->control(), index);
        QCOMPARE(back->values(), copy.values());
    }
    const std::optional<ControlCopy> fromJson = ControlCopy::fromJson(copy.toJson());
    QVERIFY(fromJson);
    QCOMPARE(fromJson->control(), index);
    QCOMPARE(fromJson->values(), copy.values());
}

void TestControlCopy::aLineNamingSomeParametersCopiesThose()
{
    // Names and values as "vellichord set" takes them: any letter case, captions, note names.
    const std::optional<ControlCopy> copy = ControlCopy::fromText(
        QStringLiteral("pad7  Note=C3\tchannel=10 Color=blue"));
    QVERIFY(copy);
    QCOMPARE(copy->control(), 45);
    QCOMPARE(copy->values(), (ControlCopy::Values{{Channel, 9}, {NoteOrCC, 60}, {Colour, 2}}));
    // Without the type, the number is written as a number.
    QCOMPARE(copy->text(), QStringLiteral("PAD7    channel=10 noteorcc=60 colour=Blue"));
    QCOMPARE(ControlCopy::fromJson(copy->toJson())->values(), copy->values());
}

void TestControlCopy::foreignTextIsNoCopy_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << "";
    QTest::newRow("a word") << "hello";
    QTest::newRow("a sentence naming a control") << "PAD7 is loud";
    QTest::newRow("a control alone") << "PAD7";
    QTest::newRow("no such control") << "PAD26 channel=1";
    QTest::newRow("a parameter the control lacks") << "S1 colour=Red";
    QTest::newRow("no such value") << "PAD7 colour=Purple";
    QTest::newRow("a value out of range") << "PAD7 noteorcc=200";
    QTest::newRow("a channel out of range") << "PAD7 channel=17";
    QTest::newRow("no value") << "PAD7 channel=";
    QTest::newRow("no name") << "PAD7 =1";
    QTest::newRow("a parameter twice") << "PAD7 channel=1 ch=2";
    QTest::newRow("a stored byte marked") << "PAD7 channel=Global (stored 50)";
    QTest::newRow("two controls' lines") << "S1      channel=1 cc=0 min=0 max=127\n"
                                            "S2      channel=1 cc=0 min=0 max=127";
    QTest::newRow("the name line of show") << "name: \"tarvelvellichord\"";
}

void TestControlCopy::foreignTextIsNoCopy()
{
    QFETCH(QString, text);
    QVERIFY(!ControlCopy::fromText(text));
}

void TestControlCopy::foreignJsonIsNoCopy_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::newRow("not JSON") << QByteArray("PAD7 channel=1");
    QTest::newRow("no control") << QByteArray(R"({"values": {"channel": 1}})");
    QTest::newRow("no such control")
        << QByteArray(R"({"control": "PAD0", "values": {"channel": 1}})");
    QTest::newRow("no values") << QByteArray(R"({"control": "PAD7", "values": {}})");
    QTest::newRow("a parameter the control lacks")
        << QByteArray(R"({"control": "S1", "values": {"colour": 1}})");
    QTest::newRow("no such parameter")
        << QByteArray(R"({"control": "PAD7", "values": {"volume": 1}})");
    QTest::newRow("out of range") << QByteArray(R"({"control": "PAD7", "values": {"colour": 3}})");
    QTest::newRow("past a byte") << QByteArray(
        R"({"control": "PAD7", "values": {"channel": 272}})");
    QTest::newRow("negative") << QByteArray(R"({"control": "PAD7", "values": {"channel": -1}})");
    QTest::newRow("a fraction") << QByteArray(R"({"control": "PAD7", "values": {"channel": 1.5}})");
    QTest::newRow("text for a number")
        << QByteArray(R"({"control": "PAD7", "values": {"channel": "1"}})");
}

void TestControlCopy::foreignJsonIsNoCopy()
{
    QFETCH(QByteArray, json);
    QVERIFY(!ControlCopy::fromJson(json));
}

void TestControlCopy::pasteWritesWhatTheTargetHas_data()
{
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("target");
    QTest::addColumn<bool>("keepNumbers");
    QTest::addColumn<Ids>("written");

    QTest::newRow("pad onto pad") << 45 << 39 << false
                                  << Ids{Channel, Type, Toggle, NoteOrCC, Aftertouch, Colour};
    QTest::newRow("pad onto pad, but Note/CC")
        << 45 << 39 << true << Ids{Channel, Type, Toggle, Aftertouch, Colour};
    QTest::newRow("pad onto function button")
        << 45 << 6 << false << Ids{Channel, Type, Toggle, NoteOrCC};
    QTest::newRow("pad onto transport button, but Note/CC")
        << 45 << 31 << true << Ids{Channel, Type, Toggle};
    QTest::newRow("pad onto knob") << 45 << 16 << false << Ids{Channel};
    QTest::newRow("pad onto X-Y pad") << 45 << 37 << false << Ids{Channel};
    QTest::newRow("knob onto slider") << 16 << 0 << false << Ids{Channel, CC, Min, Max};
    QTest::newRow("knob onto crossfader, but Note/CC")
        << 16 << 38 << true << Ids{Channel, Min, Max};
    QTest::newRow("knob onto X-Y pad") << 16 << 37 << false << Ids{Channel};
    QTest::newRow("knob onto pad") << 16 << 39 << false << Ids{Channel};
    QTest::newRow("X-Y pad onto itself, but Note/CC")
        << 37 << 37 << true << Ids{Channel, MinX, MinY, MaxX, MaxY};
    QTest::newRow("X-Y pad onto knob") << 37 << 16 << false << Ids{Channel};
}

// Every parameter of the target that is written takes the source's value; the others keep
// their own.
void TestControlCopy::pasteWritesWhatTheTargetHas()
{
    QFETCH(int, source);
    QFETCH(int, target);
    QFETCH(bool, keepNumbers);
    QFETCH(Ids, written);
    const MidiControlModel from = extreme(source, true);
    const MidiControlModel before = extreme(target, false);
    MidiControlModel onto = before;
    QCOMPARE(ControlCopy(source, from).pasteOnto(onto, keepNumbers), written.size());
    QCOMPARE(onto.parameters().keys(), before.parameters().keys());
    for (const ControlParameter &p : onto.parameters()) {
        const ParameterId id = ParameterId(p.id());
        unsigned char expected = 0;
        (written.contains(id) ? from : before).getValue(id, &expected);
        QCOMPARE(p.value(), expected);
        QCOMPARE(p.address(), before.getParameter(id)->address());
    }
}

QTEST_GUILESS_MAIN(TestControlCopy)

#include "tst_controlcopy.moc"
