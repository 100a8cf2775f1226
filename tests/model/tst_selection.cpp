#include "selection.h"

#include <QSignalSpy>
#include <QtTest>

// Steps on a selection: "+n" selects, "-n" deselects, "~n" toggles, "=a,b,c" sets, "0" clears.
static void apply(Selection &selection, const QString &steps)
{
    for (const QString &step : steps.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString rest = step.mid(1);
        switch (step.at(0).toLatin1()) {
        case '+':
            selection.select(rest.toInt());
            break;
        case '-':
            selection.deselect(rest.toInt());
            break;
        case '~':
            selection.toggle(rest.toInt());
            break;
        case '=': {
            QList<int> controls;
            for (const QString &n : rest.split(QLatin1Char(','), Qt::SkipEmptyParts))
                controls << n.toInt();
            selection.set(controls);
            break;
        }
        default:
            selection.clear();
        }
    }
}

class TestSelection : public QObject
{
    Q_OBJECT

private slots:
    void keepsOrderWithoutRepeats_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<int>("changes");

        QTest::newRow("in order of selection") << "+5 +2 +63" << QList<int>{5, 2, 63} << 3;
        QTest::newRow("a repeat keeps its place") << "+5 +2 +5" << QList<int>{5, 2} << 2;
        QTest::newRow("outside 0..63 ignored") << "+64 +-1 +0" << QList<int>{0} << 1;
        QTest::newRow("deselect unselected is no change") << "+3 -4" << QList<int>{3} << 1;
        QTest::newRow("toggle twice") << "~7 ~8 ~7" << QList<int>{8} << 3;
        QTest::newRow("set drops repeats and strays")
            << "=9,1,9,70,-2,4" << QList<int>{9, 1, 4} << 1;
        QTest::newRow("set to the same is no change") << "+1 +2 =1,2" << QList<int>{1, 2} << 2;
        QTest::newRow("set reorders") << "+1 +2 =2,1" << QList<int>{2, 1} << 3;
        QTest::newRow("clear") << "+1 +2 0 0" << QList<int>{} << 3;
    }

    void keepsOrderWithoutRepeats()
    {
        QFETCH(QString, steps);
        QFETCH(QList<int>, selected);
        QFETCH(int, changes);

        Selection selection;
        QSignalSpy changed(&selection, &Selection::changed);
        apply(selection, steps);
        QCOMPARE(selection.indices(), selected);
        QCOMPARE(changed.count(), changes);
        QCOMPARE(selection.isEmpty(), selected.isEmpty());
    }

    void modeChangesAreSignalledOnce()
    {
        Selection selection;
        QSignalSpy modeChanged(&selection, &Selection::modeChanged);
        QVERIFY(!selection.isMulti());
        selection.setMode(Selection::Mode::Multi);
        selection.setMode(Selection::Mode::Multi);
        QVERIFY(selection.isMulti());
        QCOMPARE(modeChanged.count(), 1);
    }
};

QTEST_GUILESS_MAIN(TestSelection)
#include "tst_selection.moc"
