#include "controlsummary.h"
#include "controltable.h"

#include <QtTest>

#include <optional>

namespace {

struct Set
{
    ParameterId id;
    int value;
};

// The default patch's control at index with these values set.
MidiControlModel control(int index, const QList<Set> &values)
{
    const ControlTable table;
    MidiControlModel model = *table.at(index);
    for (const Set &set : values)
        model.updateParameter(set.id, static_cast<unsigned char>(set.value));
    return model;
}

// The bytes a patch stored out of range, by parameter id.
using Stored = QMap<unsigned int, unsigned char>;

const QStringList ccNames = {QStringLiteral("0 Bank Select"), QStringLiteral("1 Modulation"),
                             QStringLiteral("2 Breath"), QStringLiteral("Foot")};

} // namespace

Q_DECLARE_METATYPE(QList<Set>)

class TestControlSummary : public QObject
{
    Q_OBJECT

private slots:
    void noteEntriesLeadWithTheNumber_data();
    void noteEntriesLeadWithTheNumber();
    void typedStartBecomesANote_data();
    void typedStartBecomesANote();
    void assignmentPerKind_data();
    void assignmentPerKind();
    void detailsListEveryParameter_data();
    void detailsListEveryParameter();
    void mostCommonChannel_data();
    void mostCommonChannel();
    void displayLines_data();
    void displayLines();
    void parameterLineIsWhatSetTakes_data();
    void parameterLineIsWhatSetTakes();
};

void TestControlSummary::noteEntriesLeadWithTheNumber_data()
{
    QTest::addColumn<int>("note");
    QTest::addColumn<QString>("entry");
    QTest::newRow("lowest") << 0 << "0 C-2";
    QTest::newRow("sharp") << 13 << "13 C#-1";
    QTest::newRow("middle C") << 60 << "60 C3";
    QTest::newRow("highest") << 127 << "127 G8";
}

void TestControlSummary::noteEntriesLeadWithTheNumber()
{
    QFETCH(int, note);
    QFETCH(QString, entry);
    QCOMPARE(ControlSummary::noteEntry(note), entry);
    const QStringList entries = ControlSummary::noteEntries();
    QCOMPARE(entries.size(), 128);
    QCOMPARE(entries.at(note), entry);
}

void TestControlSummary::typedStartBecomesANote_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("note"); // -1: refused

    QTest::newRow("number") << "60" << 60;
    QTest::newRow("number with spaces") << " 36 " << 36;
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("127") << "127" << 127;
    QTest::newRow("128") << "128" << -1;
    QTest::newRow("negative") << "-1" << -1;
    QTest::newRow("name") << "C3" << 60;
    QTest::newRow("lower case") << "c1" << 36;
    QTest::newRow("sharp") << "C#3" << 61;
    QTest::newRow("flat") << "Db3" << 61;
    QTest::newRow("negative octave") << "C-2" << 0;
    QTest::newRow("highest name") << "G8" << 127;
    QTest::newRow("past the top") << "G#8" << -1;
    QTest::newRow("below the bottom") << "Cb-2" << -1;
    QTest::newRow("list entry") << "60 C3" << 60;
    QTest::newRow("no such note") << "H3" << -1;
    QTest::newRow("no octave") << "C" << -1;
    QTest::newRow("empty") << "" << -1;
}

void TestControlSummary::typedStartBecomesANote()
{
    QFETCH(QString, typed);
    QFETCH(int, note);
    const std::optional<int> parsed = ControlSummary::parseNote(typed);
    QCOMPARE(parsed.value_or(-1), note);
}

void TestControlSummary::assignmentPerKind_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QList<Set>>("values");
    QTest::addColumn<int>("common");
    QTest::addColumn<QString>("text");

    QTest::newRow("pad, note") << 39 << QList<Set>{{NoteOrCC, 60}} << 0 << "C3";
    QTest::newRow("pad, CC") << 39 << QList<Set>{{Type, 1}, {NoteOrCC, 74}} << 0 << "CC 74";
    QTest::newRow("pad, other channel")
        << 63 << QList<Set>{{NoteOrCC, 61}, {Channel, 1}} << 0 << "C#3\nCh 2";
    QTest::newRow("pad, the common channel")
        << 63 << QList<Set>{{NoteOrCC, 61}, {Channel, 9}} << 9 << "C#3";
    QTest::newRow("pad, Global") << 40 << QList<Set>{{Channel, 16}} << 9 << "C-2\nGlobal";
    QTest::newRow("function button") << 6 << QList<Set>{{NoteOrCC, 127}} << 0 << "G8";
    QTest::newRow("transport button, CC")
        << 30 << QList<Set>{{Type, 1}, {NoteOrCC, 5}} << 0 << "CC 5";
    QTest::newRow("knob") << 16 << QList<Set>{{CC, 74}} << 0 << "CC 74";
    QTest::newRow("slider") << 0 << QList<Set>{{CC, 7}, {Channel, 3}} << 0 << "CC 7\nCh 4";
    QTest::newRow("crossfader") << 38 << QList<Set>{{CC, 8}} << 0 << "CC 8";
    QTest::newRow("X-Y pad") << 37 << QList<Set>{{CCX, 12}, {CCY, 13}} << 0 << "X 12 / Y 13";
}

void TestControlSummary::assignmentPerKind()
{
    QFETCH(int, index);
    QFETCH(QList<Set>, values);
    QFETCH(int, common);
    QFETCH(QString, text);
    QCOMPARE(ControlSummary::assignment(control(index, values), common), text);
}

void TestControlSummary::detailsListEveryParameter_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QList<Set>>("values");
    QTest::addColumn<QString>("text");

    QTest::newRow("pad") << 45 << QList<Set>{{NoteOrCC, 60}, {Colour, 2}}
                         << "PAD7: Note C3 (60), Ch 1, Momentary, Blue, Aftertouch Off";
    QTest::newRow("pad sending CC")
        << 39 << QList<Set>{{Type, 1}, {NoteOrCC, 1}, {Toggle, 1}, {Aftertouch, 1}}
        << "PAD1: CC 1 Modulation, Ch 1, Toggle, Red, Aftertouch On";
    QTest::newRow("function button") << 15 << QList<Set>{{NoteOrCC, 36}, {ColourF, 1}, {Channel, 9}}
                                     << "F10: Note C1 (36), Ch 10, Momentary, Green";
    QTest::newRow("transport button")
        << 31 << QList<Set>{{Type, 1}, {NoteOrCC, 2}} << "PLAY: CC 2 Breath, Ch 1, Momentary";
    QTest::newRow("knob, Global") << 16 << QList<Set>{{CC, 0}, {Channel, 16}, {Min, 10}, {Max, 100}}
                                  << "E1: CC 0 Bank Select, Global, Min 10, Max 100";
    QTest::newRow("slider, name without its number")
        << 0 << QList<Set>{{CC, 3}} << "S1: CC 3 Foot, Ch 1, Min 0, Max 127";
    QTest::newRow("crossfader, controller without a name")
        << 38 << QList<Set>{{CC, 74}} << "XFADER: CC 74, Ch 1, Min 0, Max 127";
    QTest::newRow("X-Y pad")
        << 37 << QList<Set>{{CCX, 1}, {CCY, 2}, {MaxY, 64}}
        << "XY: X CC 1 Modulation, Y CC 2 Breath, Ch 1, Min X 0, Max X 127, Min Y 0, Max Y 64";
}

void TestControlSummary::detailsListEveryParameter()
{
    QFETCH(int, index);
    QFETCH(QList<Set>, values);
    QFETCH(QString, text);
    QCOMPARE(ControlSummary::details(index, control(index, values), ccNames), text);
}

void TestControlSummary::mostCommonChannel_data()
{
    QTest::addColumn<QList<int>>("channels"); // -1: a model without a channel
    QTest::addColumn<int>("common");
    QTest::newRow("none") << QList<int>{} << 0;
    QTest::newRow("one") << QList<int>{9} << 9;
    QTest::newRow("majority") << QList<int>{9, 1, 9, 2} << 9;
    QTest::newRow("tie: the lower") << QList<int>{5, 3, 5, 3} << 3;
    QTest::newRow("models without a channel") << QList<int>{-1, -1, 4} << 4;
}

void TestControlSummary::mostCommonChannel()
{
    QFETCH(QList<int>, channels);
    QFETCH(int, common);
    QList<MidiControlModel> models;
    for (int channel : channels)
        models << (channel < 0 ? MidiControlModel() : control(39, {{Channel, channel}}));
    QList<const MidiControlModel *> pointers;
    for (const MidiControlModel &model : qAsConst(models))
        pointers << &model;
    QCOMPARE(ControlSummary::mostCommonChannel(pointers), common);
}

void TestControlSummary::displayLines_data()
{
    QTest::addColumn<int>("index"); // -1: no control selected
    QTest::addColumn<QList<Set>>("values");
    QTest::addColumn<QString>("line");
    QTest::newRow("nothing selected") << -1 << QList<Set>{} << "";
    QTest::newRow("pad") << 39 << QList<Set>{{NoteOrCC, 61}, {Channel, 9}} << "CH 10   NOTE C#3";
    QTest::newRow("pad sending CC")
        << 39 << QList<Set>{{Type, 1}, {NoteOrCC, 74}} << "CH 1   CC 74";
    QTest::newRow("knob on Global") << 16 << QList<Set>{{CC, 7}, {Channel, 16}} << "GLOBAL   CC 7";
    QTest::newRow("X-Y pad") << 37 << QList<Set>{{CCX, 12}, {CCY, 13}} << "CH 1   X 12 / Y 13";
}

void TestControlSummary::displayLines()
{
    QFETCH(int, index);
    QFETCH(QList<Set>, values);
    QFETCH(QString, line);
    if (index < 0) {
        QCOMPARE(ControlSummary::displayControl(nullptr), line);
    } else {
        const MidiControlModel model = control(index, values);
        QCOMPARE(ControlSummary::displayControl(&model), line);
    }
    QCOMPARE(ControlSummary::displayPreset(5), QStringLiteral("PRESET 05"));
    QCOMPARE(ControlSummary::displayPreset(127), QStringLiteral("PRESET 127"));
}

void TestControlSummary::parameterLineIsWhatSetTakes_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QList<Set>>("values");
    QTest::addColumn<Stored>("stored");
    QTest::addColumn<QString>("line");

    QTest::newRow("slider") << 0 << QList<Set>{{Channel, 15}, {CC, 7}, {Max, 100}} << Stored()
                            << "S1      channel=16 cc=7 min=0 max=100";
    QTest::newRow("pad playing a note")
        << 45 << QList<Set>{{NoteOrCC, 60}, {Colour, 2}, {Aftertouch, 1}} << Stored()
        << "PAD7    channel=1 type=Note toggle=Momentary noteorcc=C3 aftertouch=On colour=Blue";
    QTest::newRow("pad sending a controller")
        << 63 << QList<Set>{{Type, 1}, {NoteOrCC, 127}, {Channel, 16}} << Stored()
        << "PAD25   channel=Global type=CC toggle=Momentary noteorcc=127 aftertouch=Off "
           "colour=Red";
    QTest::newRow("function button")
        << 15 << QList<Set>{{Toggle, 1}, {ColourF, 1}, {NoteOrCC, 127}} << Stored()
        << "F10     channel=1 type=Note toggle=Toggle noteorcc=G8 colourf=Green";
    QTest::newRow("X-Y pad") << 37 << QList<Set>{{CCX, 1}, {MaxY, 0}} << Stored()
                             << "XY      channel=1 ccx=1 ccy=0 minx=0 miny=0 maxx=127 maxy=0";
    QTest::newRow("navigation button") << 32 << QList<Set>{} << Stored()
                                       << "RECORD  channel=1 type=Note toggle=Momentary "
                                          "noteorcc=C-2";
    // A byte stored out of range is marked after the value it was read as; one equal to the
    // value is no mark.
    QTest::newRow("stored bytes")
        << 39 << QList<Set>{{Channel, 16}, {Colour, 2}}
        << Stored{{Channel, 50}, {Colour, 2}, {Toggle, 7}}
        << "PAD1    channel=Global (stored 50) type=Note toggle=Momentary (stored 7) "
           "noteorcc=C-2 aftertouch=Off colour=Blue";
}

void TestControlSummary::parameterLineIsWhatSetTakes()
{
    QFETCH(int, index);
    QFETCH(QList<Set>, values);
    QFETCH(Stored, stored);
    QFETCH(QString, line);
    QCOMPARE(ControlSummary::parameterLine(index, control(index, values), stored), line);
}

QTEST_GUILESS_MAIN(TestControlSummary)

#include "tst_controlsummary.moc"
