#include "controltable.h"

#include <QtTest>

#include <map>
#include <vector>

using Layout = std::vector<std::pair<unsigned int, unsigned int>>; // (ParameterId, address)
Q_DECLARE_METATYPE(Layout)

class TestControlTable : public QObject
{
    Q_OBJECT

private slots:
    void indexOutsideTableGivesNone();
    void controlsSitAtTheirAddresses_data();
    void controlsSitAtTheirAddresses();
    void everyPatchByteHasExactlyOneOwner();
    void rangesAndInitialValuesFollowTheParameter();
};

void TestControlTable::indexOutsideTableGivesNone()
{
    ControlTable table;
    QVERIFY(!table.at(-1));
    QVERIFY(!table.at(64));
    QVERIFY(table.at(0));
    QVERIFY(table.at(63));
    QVERIFY(table.at(0) != table.at(63));
}

void TestControlTable::controlsSitAtTheirAddresses_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<Layout>("layout");

    const auto continuous = [](unsigned int b) {
        return Layout{{Channel, b}, {CC, b + 1}, {Min, b + 2}, {Max, b + 3}};
    };
    const auto navigation = [](unsigned int b) {
        return Layout{{Type, b}, {Toggle, b + 1}, {Channel, b + 2}, {NoteOrCC, b + 3}};
    };
    const auto function = [](unsigned int b) {
        return Layout{
            {Type, b}, {Toggle, b + 1}, {Channel, b + 2}, {NoteOrCC, b + 3}, {ColourF, b + 4}};
    };
    const auto pad = [](unsigned int b) {
        return Layout{{Type, b},         {Toggle, b + 1},     {Channel, b + 2},
                      {NoteOrCC, b + 3}, {Aftertouch, b + 4}, {Colour, b + 5}};
    };

    QTest::newRow("S1") << 0 << continuous(27);
    QTest::newRow("S6") << 5 << continuous(47);
    QTest::newRow("F1") << 6 << function(217);
    QTest::newRow("F8") << 13 << function(252);
    QTest::newRow("F9") << 14 << function(281);
    QTest::newRow("F10") << 15 << function(286);
    QTest::newRow("E1") << 16 << continuous(291);
    QTest::newRow("E8") << 23 << continuous(319);
    QTest::newRow("P1") << 24 << continuous(323);
    QTest::newRow("P6") << 29 << continuous(343);
    QTest::newRow("Stop") << 30 << navigation(213);
    QTest::newRow("Play") << 31 << navigation(273);
    QTest::newRow("Record") << 32 << navigation(277);
    QTest::newRow("down") << 33 << navigation(269);
    QTest::newRow("up") << 34 << navigation(265);
    QTest::newRow("left") << 35 << navigation(257);
    QTest::newRow("right") << 36 << navigation(261);
    QTest::newRow("X-Y pad") << 37 << Layout{{Channel, 59}, {CCX, 56},  {CCY, 60}, {MinX, 57},
                                             {MinY, 61},    {MaxX, 58}, {MaxY, 62}};
    QTest::newRow("crossfader") << 38 << continuous(51);
    QTest::newRow("pad 1") << 39 << pad(63);
    QTest::newRow("pad 13") << 51 << pad(135);
    QTest::newRow("pad 25") << 63 << pad(207);
}

void TestControlTable::controlsSitAtTheirAddresses()
{
    QFETCH(int, index);
    QFETCH(Layout, layout);

    ControlTable table;
    const MidiControlModel *model = table.at(index);
    QVERIFY(model);
    QCOMPARE(model->parameters().size(), int(layout.size()));
    for (const auto &[id, address] : layout) {
        const ControlParameter *p = model->getParameter(ParameterId(id));
        QVERIFY2(p, qPrintable(QStringLiteral("parameter %1 missing").arg(id)));
        QCOMPARE(p->address(), address);
        QCOMPARE(p->id(), id);
    }
}

void TestControlTable::everyPatchByteHasExactlyOneOwner()
{
    ControlTable table;
    std::map<unsigned int, int> owners;
    int parameters = 0;
    for (int i = 0; i < ControlTable::count; ++i) {
        for (const ControlParameter &p : table.at(i)->parameters()) {
            ++owners[p.address()];
            ++parameters;
        }
    }

    QCOMPARE(parameters, 319);
    for (unsigned int address = 27; address <= 346; ++address) {
        const int expected = address == 55 ? 0 : 1;
        QVERIFY2(owners[address] == expected,
                 qPrintable(
                     QStringLiteral("address %1 has %2 owners").arg(address).arg(owners[address])));
    }
    QCOMPARE(owners.begin()->first, 27u);
    QCOMPARE(owners.rbegin()->first, 346u);
}

void TestControlTable::rangesAndInitialValuesFollowTheParameter()
{
    // Largest value each parameter takes; every range starts at 0.
    const std::map<unsigned int, int> largest = {
        {Channel, 16}, {Type, 1},  {Toggle, 1}, {Aftertouch, 1}, {Colour, 2}, {ColourF, 1},
        {CC, 127},     {CCX, 127}, {CCY, 127},  {NoteOrCC, 127}, {Min, 127},  {MinX, 127},
        {MinY, 127},   {Max, 127}, {MaxX, 127}, {MaxY, 127},
    };

    ControlTable table;
    for (int i = 0; i < ControlTable::count; ++i) {
        MidiControlModel *model = table.at(i);
        for (const ControlParameter &p : model->parameters()) {
            const bool isMax = p.id() == Max || p.id() == MaxX || p.id() == MaxY;
            QCOMPARE(int(p.value()), isMax ? 127 : 0);
            QCOMPARE(int(p.min()), 0);
            QCOMPARE(int(p.max()), largest.at(p.id()));
        }
    }
}

QTEST_GUILESS_MAIN(TestControlTable)
#include "tst_controltable.moc"
