#include "controlnames.h"
#include "controltable.h"
#include "parametertext.h"

#include <QtTest>

namespace {

// Control indices of one control of each kind.
constexpr int s1 = 0;
constexpr int f1 = 6;
constexpr int stop = 30;
constexpr int xy = 37;
constexpr int pad1 = 39;

} // namespace

class TestParameterText : public QObject
{
    Q_OBJECT

private slots:
    void everyControlByNameCaseAndIndex();
    void unknownControls_data();
    void unknownControls();
    void parameterNames_data();
    void parameterNames();
    void namesTheEditorShows_data();
    void namesTheEditorShows();
    void unknownParameters_data();
    void unknownParameters();
    void values_data();
    void values();
    void valueTexts_data();
    void valueTexts();
    void everyValueReadsBackFromItsText();
    void allowedTexts_data();
    void allowedTexts();
    void nearest_data();
    void nearest();
    void captions_data();
    void captions();
};

void TestParameterText::everyControlByNameCaseAndIndex()
{
    for (int index = 0; index < ControlTable::count; ++index) {
        const QString name = ControlNames::name(index);
        QString error = QStringLiteral("untouched");
        QCOMPARE(ControlNames::parse(name, &error), index);
        QCOMPARE(ControlNames::parse(name.toLower(), &error), index);
        QCOMPARE(ControlNames::parse(QLatin1Char(' ') + name.toLower() + QLatin1Char(' ')), index);
        QCOMPARE(ControlNames::parse(QString::number(index), &error), index);
        QCOMPARE(error, QStringLiteral("untouched"));
    }
}

void TestParameterText::unknownControls_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("error");

    QTest::newRow("one letter too many") << "PADD7"
                                         << R"(no control "PADD7"; did you mean "PAD7"?)";
    QTest::newRow("lower case, suggested as printed")
        << "xfade"
        << R"(no control "xfade"; did you mean "XFADER"?)";
    QTest::newRow("swapped letters") << "stpo"
                                     << R"(no control "stpo"; did you mean "STOP"?)";
    QTest::newRow("past the last pad") << "PAD26"
                                       << R"(no control "PAD26"; did you mean "PAD2"?)";
    QTest::newRow("nothing near") << "volume"
                                  << R"(no control "volume")";
    QTest::newRow("empty") << ""
                           << R"(no control "")";
    QTest::newRow("index past the end") << "64"
                                        << "no control 64 (indices run 0..63)";
    QTest::newRow("negative index") << "-1"
                                    << "no control -1 (indices run 0..63)";
    QTest::newRow("huge index") << "99999999999"
                                << "no control 99999999999 (indices run 0..63)";
}

void TestParameterText::unknownControls()
{
    QFETCH(QString, text);
    QFETCH(QString, error);
    QString found;
    QCOMPARE(ControlNames::parse(text, &found), -1);
    QCOMPARE(found, error);
    QCOMPARE(ControlNames::parse(text), -1);
}

void TestParameterText::parameterNames_data()
{
    QTest::addColumn<int>("control");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("id");

    const QList<std::tuple<int, const char *, ParameterId>> rows = {
        {s1, "channel", Channel},
        {s1, "cc", CC},
        {xy, "ccx", CCX},
        {xy, "ccy", CCY},
        {s1, "min", Min},
        {xy, "minx", MinX},
        {xy, "miny", MinY},
        {s1, "max", Max},
        {xy, "maxx", MaxX},
        {xy, "maxy", MaxY},
        {pad1, "type", Type},
        {pad1, "toggle", Toggle},
        {pad1, "noteorcc", NoteOrCC},
        {pad1, "aftertouch", Aftertouch},
        {pad1, "colour", Colour},
        {f1, "colourf", ColourF},
        {stop, "NoteOrCC", NoteOrCC},

        {s1, "CHANNEL", Channel},
        {xy, " MaxY ", MaxY}};
    for (const auto &[control, text, id] : rows)
        QTest::addRow("%s %s", qPrintable(ControlNames::name(control)), text)
            << control << QString::fromLatin1(text) << int(id);
}

void TestParameterText::parameterNames()
{
    QFETCH(int, control);
    QFETCH(QString, text);
    QFETCH(int, id);
    const ControlTable table;
    ParameterId found = ParameterId(99);
    QString error;
    QVERIFY2(ParameterText::parseParameter(text, *table.at(control), ControlNames::name(control),
                                           &found, &error),
             qPrintable(error));
    QCOMPARE(int(found), id);
    QCOMPARE(ParameterText::name(unsigned(id)), text.trimmed().toLower());
}

void TestParameterText::namesTheEditorShows_data()
{
    QTest::addColumn<int>("control");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("id");

    QTest::newRow("Mode") << pad1 << "Mode" << int(Toggle);
    QTest::newRow("note") << pad1 << "note" << int(NoteOrCC);
    QTest::newRow("a pad's CC row") << pad1 << "cc" << int(NoteOrCC);
    QTest::newRow("a button's CC row") << stop << "CC" << int(NoteOrCC);
    QTest::newRow("a slider's CC") << s1 << "cc" << int(CC);
    QTest::newRow("Note/CC") << pad1 << "Note/CC" << int(NoteOrCC);
    QTest::newRow("COLOR") << pad1 << "COLOR" << int(Colour);
    QTest::newRow("Color Fn") << f1 << "Color Fn" << int(ColourF);
    QTest::newRow("CC X") << xy << "CC X" << int(CCX);
    QTest::newRow("Max Y") << xy << "max y" << int(MaxY);
}

void TestParameterText::namesTheEditorShows()
{
    QFETCH(int, control);
    QFETCH(QString, text);
    QFETCH(int, id);
    const ControlTable table;
    ParameterId found = ParameterId(99);
    QString error;
    QVERIFY2(ParameterText::parseParameter(text, *table.at(control), ControlNames::name(control),
                                           &found, &error),
             qPrintable(error));
    QCOMPARE(int(found), id);
}

void TestParameterText::unknownParameters_data()
{
    QTest::addColumn<int>("control");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("error");

    QTest::newRow("misspelt") << s1 << "chanel"
                              << R"(S1 has no parameter "chanel"; did you mean "channel"?)";
    QTest::newRow("upper case, suggested in lower")
        << pad1 << "COLR"
        << R"(PAD1 has no parameter "COLR"; did you mean "colour"?)";
    QTest::newRow("another kind's parameter")
        << s1 << "aftertouch"
        << R"(S1 has no parameter "aftertouch"; it has channel, cc, min, max)";
    QTest::newRow("the X-Y pad's cc is two") << xy << "cc"
                                             << R"(XY has no parameter "cc"; did you mean "ccx"?)";
    QTest::newRow("function buttons have one colour")
        << f1 << "colour"
        << R"(F1 has no parameter "colour"; did you mean "colourf"?)";
    QTest::newRow("navigation buttons have none")
        << stop << "colourf"
        << R"(STOP has no parameter "colourf"; it has channel, type, toggle, noteorcc)";
    QTest::newRow("empty") << s1 << ""
                           << R"(S1 has no parameter ""; it has channel, cc, min, max)";
}

void TestParameterText::unknownParameters()
{
    QFETCH(int, control);
    QFETCH(QString, text);
    QFETCH(QString, error);
    const ControlTable table;
    ParameterId found = Channel;
    QString why;
    QVERIFY(!ParameterText::parseParameter(text, *table.at(control), ControlNames::name(control),
                                           &found, &why));
    QCOMPARE(why, error);
}

void TestParameterText::values_data()
{
    QTest::addColumn<int>("control");
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("text");
    // The value read, or -1 when the text is refused.
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("error");

    const QString noError;
    const QString channelRange = QStringLiteral("out of range (allowed: 1..16 or Global)");
    QTest::newRow("channel 1") << s1 << int(Channel) << "1" << 0 << noError;
    QTest::newRow("channel Ch 1") << s1 << int(Channel) << "Ch 1" << 0 << noError;
    QTest::newRow("channel ch16") << s1 << int(Channel) << "ch16" << 15 << noError;
    QTest::newRow("channel Ch 16") << pad1 << int(Channel) << "Ch 16" << 15 << noError;
    QTest::newRow("channel 16") << xy << int(Channel) << "16" << 15 << noError;
    QTest::newRow("channel Global") << s1 << int(Channel) << "Global" << 16 << noError;
    QTest::newRow("channel global") << stop << int(Channel) << "global" << 16 << noError;
    QTest::newRow("channel 0") << s1 << int(Channel) << "0" << -1 << channelRange;
    QTest::newRow("channel Ch 0") << s1 << int(Channel) << "Ch 0" << -1 << channelRange;
    QTest::newRow("channel 17") << s1 << int(Channel) << "17" << -1 << channelRange;
    QTest::newRow("channel Ch 17") << s1 << int(Channel) << "Ch 17" << -1 << channelRange;
    QTest::newRow("channel -1") << s1 << int(Channel) << "-1" << -1 << channelRange;
    QTest::newRow("channel Glob")
        << s1 << int(Channel) << "Glob" << -1
        << R"(no such value (allowed: 1..16 or Global); did you mean "Global"?)";

    const QString numberRange = QStringLiteral("out of range (allowed: 0..127)");
    QTest::newRow("cc 0") << s1 << int(CC) << "0" << 0 << noError;
    QTest::newRow("cc 127") << s1 << int(CC) << "127" << 127 << noError;
    QTest::newRow("cc 007") << s1 << int(CC) << "007" << 7 << noError;
    QTest::newRow("cc 128") << s1 << int(CC) << "128" << -1 << numberRange;
    QTest::newRow("cc -1") << s1 << int(CC) << "-1" << -1 << numberRange;
    QTest::newRow("cc huge") << s1 << int(CC) << "4294967296" << -1 << numberRange;
    QTest::newRow("cc name") << s1 << int(CC) << "Volume" << -1
                             << "no such value (allowed: 0..127)";
    QTest::newRow("cc empty") << s1 << int(CC) << "" << -1 << "no such value (allowed: 0..127)";
    QTest::newRow("max 127") << s1 << int(Max) << "127" << 127 << noError;
    QTest::newRow("maxy 128") << xy << int(MaxY) << "128" << -1 << numberRange;
    QTest::newRow("minx 0") << xy << int(MinX) << "0" << 0 << noError;

    const QString noteRange = QStringLiteral("out of range (allowed: 0..127 or C-2..G8)");
    QTest::newRow("note C-2") << pad1 << int(NoteOrCC) << "C-2" << 0 << noError;
    QTest::newRow("note c#-2") << pad1 << int(NoteOrCC) << "c#-2" << 1 << noError;
    QTest::newRow("note C3") << pad1 << int(NoteOrCC) << "C3" << 60 << noError;
    QTest::newRow("note c#3") << f1 << int(NoteOrCC) << "c#3" << 61 << noError;
    QTest::newRow("note B7") << stop << int(NoteOrCC) << "B7" << 119 << noError;
    QTest::newRow("note G8") << pad1 << int(NoteOrCC) << "G8" << 127 << noError;
    // Flats name the same keys, as the numbering dialog takes them.
    QTest::newRow("note Db3") << pad1 << int(NoteOrCC) << "Db3" << 61 << noError;
    QTest::newRow("note bb2") << pad1 << int(NoteOrCC) << "bb2" << 58 << noError;
    QTest::newRow("note 60") << pad1 << int(NoteOrCC) << "60" << 60 << noError;
    QTest::newRow("note G#8") << pad1 << int(NoteOrCC) << "G#8" << -1 << noteRange;
    QTest::newRow("note A8") << pad1 << int(NoteOrCC) << "A8" << -1 << noteRange;
    QTest::newRow("note C-3") << pad1 << int(NoteOrCC) << "C-3" << -1 << noteRange;
    QTest::newRow("note 128") << pad1 << int(NoteOrCC) << "128" << -1 << noteRange;
    QTest::newRow("note E#3")
        << pad1 << int(NoteOrCC) << "E#3" << -1
        << R"(no such value (allowed: 0..127 or C-2..G8); did you mean "E3"?)";

    QTest::newRow("type Note") << pad1 << int(Type) << "Note" << 0 << noError;
    QTest::newRow("type cc") << pad1 << int(Type) << "cc" << 1 << noError;
    QTest::newRow("type 1") << f1 << int(Type) << "1" << 1 << noError;
    QTest::newRow("type 2") << pad1 << int(Type) << "2" << -1
                            << "out of range (allowed: Note, CC or 0..1)";
    QTest::newRow("type Nte")
        << pad1 << int(Type) << "Nte" << -1
        << R"(no such value (allowed: Note, CC or 0..1); did you mean "Note"?)";
    QTest::newRow("toggle Momentary") << pad1 << int(Toggle) << "Momentary" << 0 << noError;
    QTest::newRow("toggle TOGGLE") << stop << int(Toggle) << "TOGGLE" << 1 << noError;
    QTest::newRow("toggle Toggel")
        << pad1 << int(Toggle) << "Toggel" << -1
        << R"(no such value (allowed: Momentary, Toggle or 0..1); did you mean "Toggle"?)";
    QTest::newRow("aftertouch On") << pad1 << int(Aftertouch) << "On" << 1 << noError;
    QTest::newRow("aftertouch off") << pad1 << int(Aftertouch) << "off" << 0 << noError;
    QTest::newRow("colour Blue") << pad1 << int(Colour) << "Blue" << 2 << noError;
    QTest::newRow("colour 3") << pad1 << int(Colour) << "3" << -1
                              << "out of range (allowed: Red, Green, Blue or 0..2)";
    QTest::newRow("colour Bleu")
        << pad1 << int(Colour) << "Bleu" << -1
        << R"(no such value (allowed: Red, Green, Blue or 0..2); did you mean "Blue"?)";
    QTest::newRow("colourf Green") << f1 << int(ColourF) << "green" << 1 << noError;
    // Blue is a pad's colour only: refused, and not near any function-button colour.
    QTest::newRow("colourf Blue") << f1 << int(ColourF) << "Blue" << -1
                                  << "no such value (allowed: Red, Green or 0..1)";
}

void TestParameterText::values()
{
    QFETCH(int, control);
    QFETCH(int, id);
    QFETCH(QString, text);
    QFETCH(int, value);
    QFETCH(QString, error);
    const ControlTable table;
    const ControlParameter *p = table.at(control)->getParameter(ParameterId(id));
    QVERIFY(p);
    unsigned char found = 0xEE;
    QString why;
    QCOMPARE(ParameterText::parseValue(*p, text, &found, &why), value >= 0);
    QCOMPARE(why, error);
    // A refused value is never clamped into range and written.
    QCOMPARE(int(found), value >= 0 ? value : 0xEE);
}

void TestParameterText::valueTexts_data()
{
    QTest::addColumn<int>("control");
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("channel 1") << s1 << int(Channel) << 0 << 0 << "1";
    QTest::newRow("channel 16") << s1 << int(Channel) << 0 << 15 << "16";
    QTest::newRow("channel global") << pad1 << int(Channel) << 0 << 16 << "Global";
    QTest::newRow("cc 127") << s1 << int(CC) << 0 << 127 << "127";
    QTest::newRow("note C3") << pad1 << int(NoteOrCC) << 0 << 60 << "C3";
    QTest::newRow("note G8") << pad1 << int(NoteOrCC) << 0 << 127 << "G8";
    QTest::newRow("note C-2") << stop << int(NoteOrCC) << 0 << 0 << "C-2";
    QTest::newRow("controller 60") << pad1 << int(NoteOrCC) << 1 << 60 << "60";
    QTest::newRow("type CC") << pad1 << int(Type) << 1 << 1 << "CC";
    QTest::newRow("toggle") << f1 << int(Toggle) << 0 << 1 << "Toggle";
    QTest::newRow("aftertouch") << pad1 << int(Aftertouch) << 0 << 1 << "On";
    QTest::newRow("colour") << pad1 << int(Colour) << 0 << 2 << "Blue";
    QTest::newRow("colourf") << f1 << int(ColourF) << 0 << 1 << "Green";
}

void TestParameterText::valueTexts()
{
    QFETCH(int, control);
    QFETCH(int, id);
    QFETCH(int, type);
    QFETCH(int, value);
    QFETCH(QString, text);
    const ControlTable table;
    MidiControlModel &model = *table.at(control);
    model.updateParameter(Type, static_cast<unsigned char>(type));
    model.updateParameter(unsigned(id), static_cast<unsigned char>(value));
    QCOMPARE(ParameterText::valueText(model, ParameterId(id)), text);
    QCOMPARE(ParameterText::valueText(model, ParameterId(99)), QString());
}

// Whatever show prints, set takes back as the same value: every value of every parameter of
// every control, notes both as names and as numbers.
void TestParameterText::everyValueReadsBackFromItsText()
{
    const ControlTable table;
    for (int index = 0; index < ControlTable::count; ++index) {
        for (const ControlParameter &p : table.at(index)->parameters()) {
            for (int v = p.min(); v <= p.max(); ++v) {
                for (const bool isNote : {true, false}) {
                    const QString text = ParameterText::valueText(p, uchar(v), isNote);
                    unsigned char back = 0xEE;
                    QString error;
                    QVERIFY2(ParameterText::parseValue(p, text, &back, &error),
                             qPrintable(QStringLiteral("%1 %2=%3: %4")
                                            .arg(ControlNames::name(index),
                                                 ParameterText::name(p.id()), text, error)));
                    QCOMPARE(int(back), v);
                }
            }
            // Just past the top is refused.
            unsigned char untouched = 0xEE;
            QString error;
            QVERIFY(!ParameterText::parseValue(
                p, p.id() == Channel ? QStringLiteral("17") : QString::number(p.max() + 1),
                &untouched, &error));
            QCOMPARE(untouched, 0xEE);
        }
    }
}

void TestParameterText::allowedTexts_data()
{
    QTest::addColumn<int>("control");
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("text");

    QTest::newRow("channel") << s1 << int(Channel) << "1..16 or Global";
    QTest::newRow("min") << xy << int(MinY) << "0..127";
    QTest::newRow("note") << pad1 << int(NoteOrCC) << "0..127 or C-2..G8";
    QTest::newRow("type") << pad1 << int(Type) << "Note, CC or 0..1";
    QTest::newRow("colour") << pad1 << int(Colour) << "Red, Green, Blue or 0..2";
    QTest::newRow("colourf") << f1 << int(ColourF) << "Red, Green or 0..1";
}

void TestParameterText::allowedTexts()
{
    QFETCH(int, control);
    QFETCH(int, id);
    QFETCH(QString, text);
    const ControlTable table;
    QCOMPARE(ParameterText::allowed(*table.at(control)->getParameter(ParameterId(id))), text);
}

void TestParameterText::nearest_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<QStringList>("candidates");
    QTest::addColumn<QString>("nearest");

    const QStringList colours = {"Red", "Green", "Blue"};
    QTest::newRow("exact but case") << "GREEN" << colours << "Green";
    QTest::newRow("one typo") << "Gren" << colours << "Green";
    QTest::newRow("two typos in a long word")
        << "Momantery" << QStringList{"Momentary", "Toggle"} << "Momentary";
    QTest::newRow("first of a tie") << "Xed" << QStringList{"Red", "Bed"} << "Red";
    QTest::newRow("same first letter breaks a tie") << "Bed" << QStringList{"Red", "Bad"} << "Bad";
    QTest::newRow("too far") << "Purple" << colours << "";
    QTest::newRow("short word, wholly different") << "x" << QStringList{"S1", "E1"} << "";
    QTest::newRow("no candidates") << "Red" << QStringList() << "";
    QTest::newRow("empty word") << "" << colours << "";
}

void TestParameterText::nearest()
{
    QFETCH(QString, word);
    QFETCH(QStringList, candidates);
    QFETCH(QString, nearest);
    QCOMPARE(ParameterText::nearest(word, candidates), nearest);
}

void TestParameterText::captions_data()
{
    QTest::addColumn<unsigned int>("id");
    QTest::addColumn<QString>("caption");
    QTest::newRow("colour reads Color") << unsigned(Colour) << "Color";
    QTest::newRow("colour fn") << unsigned(ColourF) << "Color Fn";
    QTest::newRow("note or cc") << unsigned(NoteOrCC) << "Note/CC";
    QTest::newRow("cc x") << unsigned(CCX) << "CC X";
    QTest::newRow("unknown id") << 99u << QString();
}

void TestParameterText::captions()
{
    QFETCH(unsigned int, id);
    QFETCH(QString, caption);
    QCOMPARE(ParameterText::caption(id), caption);
}

QTEST_GUILESS_MAIN(TestParameterText)
#include "tst_parametertext.moc"
