#include "controlsummary.h"
#include "controltable.h"
#include "frontpanel.h"
#include "midicontrolitem.h"
#include "paneldisplay.h"
#include "selection.h"

#include <QtTest>
#include <QtWidgets>

// The panel on its own, without a window: its items and the Selection agree whichever of the
// two changes, and it draws what it is shown.
class TestFrontPanel : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void selectionIsDrawn_data();
    void selectionIsDrawn();
    void itemsFillTheSelectionInOrder_data();
    void itemsFillTheSelectionInOrder();
    void displayShowsTheOneSelectedControl();
    void unsentMarksExactlyThoseGiven();

private:
    QList<int> drawn() const
    {
        QList<int> indices;
        for (int i = 0; i < ControlTable::count; ++i) {
            if (panel->item(i)->isSelected())
                indices << i;
        }
        return indices;
    }

    Selection *selection = nullptr;
    FrontPanel *panel = nullptr;
    ControlTable controls;
};

void TestFrontPanel::init()
{
    selection = new Selection;
    panel = new FrontPanel;
    panel->setSelection(selection);
    panel->showPatch(controls, 3, QStringLiteral("Keys"));
}

void TestFrontPanel::cleanup()
{
    delete panel;
    delete selection;
}

void TestFrontPanel::selectionIsDrawn_data()
{
    QTest::addColumn<QList<int>>("first");
    QTest::addColumn<QList<int>>("then");

    QTest::newRow("none to some") << QList<int>{} << QList<int>{39, 0, 63};
    QTest::newRow("some to none") << QList<int>{5, 6} << QList<int>{};
    QTest::newRow("overlapping") << QList<int>{1, 2, 3} << QList<int>{3, 4};
    QTest::newRow("all") << QList<int>{} << [] {
        QList<int> all;
        for (int i = 0; i < ControlTable::count; ++i)
            all << i;
        return all;
    }();
}

void TestFrontPanel::selectionIsDrawn()
{
    QFETCH(QList<int>, first);
    QFETCH(QList<int>, then);

    selection->set(first);
    selection->set(then);
    QList<int> sorted = then;
    std::sort(sorted.begin(), sorted.end());
    QCOMPARE(drawn(), sorted);
    // Drawing the change put nothing back into the selection.
    QCOMPARE(selection->indices(), then);
}

void TestFrontPanel::itemsFillTheSelectionInOrder_data()
{
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QList<int>>("deselected");
    QTest::addColumn<QList<int>>("expected");

    QTest::newRow("order of selection")
        << QList<int>{45, 2, 30} << QList<int>{} << QList<int>{45, 2, 30};
    QTest::newRow("twice selected keeps its place")
        << QList<int>{7, 8, 7} << QList<int>{} << QList<int>{7, 8};
    QTest::newRow("deselected leaves")
        << QList<int>{0, 63, 1} << QList<int>{63} << QList<int>{0, 1};
}

void TestFrontPanel::itemsFillTheSelectionInOrder()
{
    QFETCH(QList<int>, selected);
    QFETCH(QList<int>, deselected);
    QFETCH(QList<int>, expected);

    for (int i : selected)
        panel->item(i)->setSelected(true);
    for (int i : deselected)
        panel->item(i)->setSelected(false);
    QCOMPARE(selection->indices(), expected);
}

void TestFrontPanel::displayShowsTheOneSelectedControl()
{
    PanelDisplay *display = panel->display();
    QCOMPARE(display->presetLine(), ControlSummary::displayPreset(3));
    QCOMPARE(display->nameLine(), QStringLiteral("Keys"));
    QCOMPARE(display->controlLine(), QString());

    selection->select(16);
    QCOMPARE(display->controlLine(), ControlSummary::displayControl(controls.at(16)));
    QVERIFY(!display->controlLine().isEmpty());
    selection->select(39);
    QCOMPARE(display->controlLine(), QString());
    selection->deselect(16);
    QCOMPARE(display->controlLine(), ControlSummary::displayControl(controls.at(39)));

    panel->setNoDeviceFound(true);
    QCOMPARE(display->nameLine(), QStringLiteral("No Vellichord found"));
    panel->setNoDeviceFound(false);
    QCOMPARE(display->nameLine(), QStringLiteral("Keys"));
}

void TestFrontPanel::unsentMarksExactlyThoseGiven()
{
    panel->setUnsent({0, 39, 63});
    panel->setUnsent({39, 40});
    for (int i = 0; i < ControlTable::count; ++i)
        QCOMPARE(panel->item(i)->isUnsent(), i == 39 || i == 40);
}

QTEST_MAIN(TestFrontPanel)
#include "tst_frontpanel.moc"
