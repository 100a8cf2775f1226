#include "controltable.h"
#include "patchcompare.h"
#include "patchlayout.h"

#include <QtTest>

using Difference = QPair<int, int>; // control, parameter id

class TestPatchCompare : public QObject
{
    Q_OBJECT

private slots:
    // Bytes changed at the given offsets of a message; what the comparison finds.
    void onlyParameterBytesCount_data()
    {
        QTest::addColumn<QList<int>>("offsets");
        QTest::addColumn<QList<Difference>>("differences");

        const ControlTable table;
        const auto at = [&table](int control, ParameterId id) {
            return int(table.at(control)->getParameter(id)->address());
        };
        QTest::newRow("nothing") << QList<int>{} << QList<Difference>{};
        QTest::newRow("name and preset number")
            << QList<int>{int(PatchLayout::presetNoOffset), int(PatchLayout::nameOffset)}
            << QList<Difference>{};
        QTest::newRow("the X-Y pad's second channel byte")
            << QList<int>{int(ControlTable::xyPadXChannelAddress)} << QList<Difference>{};
        QTest::newRow("the X-Y pad's channel")
            << QList<int>{at(37, Channel)} << QList<Difference>{{37, Channel}};
        QTest::newRow("by control, then by id, whatever the byte order")
            << QList<int>{at(63, Colour), at(0, Max), at(39, Type), at(0, Channel)}
            << QList<Difference>{{0, Channel}, {0, Max}, {39, Type}, {63, Colour}};
        QTest::newRow("a function button's colour")
            << QList<int>{at(15, ColourF)} << QList<Difference>{{15, ColourF}};
    }

    void onlyParameterBytesCount()
    {
        QFETCH(QList<int>, offsets);
        QFETCH(QList<Difference>, differences);

        const ControlTable table;
        const QByteArray a(int(PatchLayout::length), '\x01');
        QByteArray b = a;
        for (int offset : offsets)
            b[offset] = '\x02';
        QList<Difference> found;
        QList<int> controls;
        for (const ParameterDifference &d : parameterDifferences(table, a, b)) {
            QCOMPARE(int(d.address), int(table.at(d.control)->getParameter(d.id)->address()));
            found << Difference(d.control, int(d.id));
            if (!controls.contains(d.control))
                controls << d.control;
        }
        QCOMPARE(found, differences);
        QCOMPARE(changedControls(table, a, b), controls);
        // Either way round, the same.
        QCOMPARE(changedControls(table, b, a), controls);
    }

    void shortMessagesCompareWhatTheyHold()
    {
        const ControlTable table;
        QByteArray a(int(PatchLayout::length), '\0');
        QByteArray b = a;
        const int pad25Colour = int(table.at(63)->getParameter(Colour)->address());
        b[pad25Colour] = '\x02';
        QCOMPARE(changedControls(table, a, b), QList<int>{63});
        QCOMPARE(changedControls(table, a.left(pad25Colour), b), QList<int>{});
        QCOMPARE(changedControls(table, QByteArray(), b), QList<int>{});
    }
};

QTEST_GUILESS_MAIN(TestPatchCompare)
#include "tst_patchcompare.moc"
