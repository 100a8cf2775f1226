#include "controlnames.h"

#include <QtTest>

class TestControlNames : public QObject
{
    Q_OBJECT

private slots:
    void namesFollowTheControlTable_data();
    void namesFollowTheControlTable();
    void everyNameLeadsBackToItsControl();
    void unknownNamesAndIndices();
    void wordsForKindsNameTheDevicesNames_data();
    void wordsForKindsNameTheDevicesNames();
    void describeListsAFewAndCountsMore_data();
    void describeListsAFewAndCountsMore();
};

void TestControlNames::namesFollowTheControlTable_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("name");

    // The first and last of each group, in table order.
    const QList<QPair<int, const char *>> rows = {
        {0, "S1"},      {5, "S6"},    {6, "F1"},    {13, "F8"},   {14, "F9"},    {15, "F10"},
        {16, "E1"},     {23, "E8"},   {24, "P1"},   {29, "P6"},   {30, "STOP"},  {31, "PLAY"},
        {32, "RECORD"}, {33, "DOWN"}, {34, "UP"},   {35, "LEFT"}, {36, "RIGHT"}, {37, "XY"},
        {38, "XFADER"}, {39, "PAD1"}, {45, "PAD7"}, {63, "PAD25"}};
    for (const auto &[index, name] : rows)
        QTest::newRow(name) << index << QString::fromLatin1(name);
}

void TestControlNames::namesFollowTheControlTable()
{
    QFETCH(int, index);
    QFETCH(QString, name);
    QCOMPARE(ControlNames::name(index), name);
    QCOMPARE(ControlNames::indexOf(name), index);
    QCOMPARE(ControlNames::indexOf(name.toLower()), index);
}

void TestControlNames::everyNameLeadsBackToItsControl()
{
    QSet<QString> seen;
    for (int index = 0; index < 64; ++index) {
        const QString name = ControlNames::name(index);
        QVERIFY2(!name.isEmpty(), qPrintable(QString::number(index)));
        QVERIFY2(!seen.contains(name), qPrintable(name));
        seen << name;
        QCOMPARE(ControlNames::indexOf(name), index);
    }
}

void TestControlNames::unknownNamesAndIndices()
{
    QCOMPARE(ControlNames::name(-1), QString());
    QCOMPARE(ControlNames::name(64), QString());
    for (const char *name : {"", "PAD", "PAD0", "PAD26", "S7", "E9", "F11", "X", "PAD1 2"})
        QCOMPARE(ControlNames::indexOf(QString::fromLatin1(name)), -1);
}

void TestControlNames::wordsForKindsNameTheDevicesNames_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("error");

    QTest::newRow("knob") << "KNOB1"
                          << R"(no control "KNOB1"; the knobs are E1..E8 and P1..P6)";
    QTest::newRow("knobs, lower case") << "knobs"
                                       << R"(no control "knobs"; the knobs are E1..E8 and P1..P6)";
    QTest::newRow("encoder, space") << "Encoder 3"
                                    << R"(no control "Encoder 3"; the knobs are E1..E8 and P1..P6)";
    QTest::newRow("a name near enough comes first")
        << "FADER2"
        << R"(no control "FADER2"; did you mean "XFADER"?)";
    QTest::newRow("slider")
        << "slider3"
        << R"(no control "slider3"; the sliders are S1..S6, the crossfader is XFADER)";
    QTest::newRow("button")
        << "BUTTON1"
        << R"(no control "BUTTON1"; the buttons are F1..F10, STOP, PLAY, RECORD, UP, DOWN, LEFT and RIGHT)";
    QTest::newRow("drum pad") << "DRUM1"
                              << R"(no control "DRUM1"; the pads are PAD1..PAD25)";
    QTest::newRow("misspelt name: nearest") << "PADD7"
                                            << R"(no control "PADD7"; did you mean "PAD7"?)";
    QTest::newRow("a word with more after it") << "knob1a"
                                               << R"(no control "knob1a")";
    QTest::newRow("index") << "99"
                           << "no control 99 (indices run 0..63)";
}

void TestControlNames::wordsForKindsNameTheDevicesNames()
{
    QFETCH(QString, text);
    QFETCH(QString, error);
    QString why;
    QCOMPARE(ControlNames::parse(text, &why), -1);
    QCOMPARE(why, error);
}

void TestControlNames::describeListsAFewAndCountsMore_data()
{
    QTest::addColumn<QList<int>>("indices");
    QTest::addColumn<int>("listedUpTo");
    QTest::addColumn<QString>("text");

    QTest::newRow("none") << QList<int>() << 3 << QString();
    QTest::newRow("one") << QList<int>{45} << 3 << "PAD7";
    QTest::newRow("three, sorted") << QList<int>{18, 16, 17} << 3 << "E1, E2, E3";
    QTest::newRow("repeats count once") << QList<int>{16, 16, 17, 17} << 3 << "E1, E2";
    QTest::newRow("outside the table ignored") << QList<int>{-1, 16, 64} << 3 << "E1";
    QTest::newRow("one more than listed") << QList<int>{0, 1, 2, 3} << 3 << "4 controls";
    QTest::newRow("other cut-off") << QList<int>{0, 1, 2, 3} << 4 << "S1, S2, S3, S4";
    QTest::newRow("twelve") << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11} << 3
                            << "12 controls";
}

void TestControlNames::describeListsAFewAndCountsMore()
{
    QFETCH(QList<int>, indices);
    QFETCH(int, listedUpTo);
    QFETCH(QString, text);
    QCOMPARE(ControlNames::describe(indices, listedUpTo), text);
}

QTEST_GUILESS_MAIN(TestControlNames)
#include "tst_controlnames.moc"
