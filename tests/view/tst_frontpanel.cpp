#include "../common/viewinput.h"
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
    void onlyChangedControlsAreDrawnAgain_data();
    void onlyChangedControlsAreDrawnAgain();
    void everyItemRightAfterASeries_data();
    void everyItemRightAfterASeries();
    void toolTipIsBuiltWhenAskedFor_data();
    void toolTipIsBuiltWhenAskedFor();

private:
    // Changes the table as a data row of the drawing tests says: the first parameter other
    // than the channel moves on by one step (wrapping) on each control of stepped, and the
    // controls of rechannelled go to channel 3.
    void change(const QList<int> &stepped, const QList<int> &rechannelled)
    {
        for (int i : stepped) {
            for (const ControlParameter &p : controls.at(i)->parameters()) {
                if (p.id() != Channel) {
                    const int next = p.value() < p.max() ? p.value() + 1 : p.min();
                    controls.at(i)->updateParameter(p.id(), uchar(next));
                    break;
                }
            }
        }
        for (int i : rechannelled)
            controls.at(i)->updateParameter(Channel, 2);
    }
    // What a panel shows for control i when it is shown the table afresh.
    static QString drawnAfresh(const FrontPanel &fresh, int i)
    {
        const MidiControlItem *item = fresh.item(i);
        return QStringLiteral("%1|%2|%3")
            .arg(item->assignment(), item->ledColour().name(), fresh.controlToolTip(i));
    }

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

namespace {

QList<int> range(int first, int last)
{
    QList<int> indices;
    for (int i = first; i <= last; ++i)
        indices << i;
    return indices;
}

} // namespace

void TestFrontPanel::onlyChangedControlsAreDrawnAgain_data()
{
    QTest::addColumn<QList<int>>("stepped");
    QTest::addColumn<QList<int>>("rechannelled");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("number");
    QTest::addColumn<QList<int>>("redrawn");

    QTest::newRow("one control") << QList<int>{45} << QList<int>{} << QStringLiteral("Keys") << 3
                                 << QList<int>{45};
    QTest::newRow("first and last")
        << QList<int>{0, 63} << QList<int>{} << QStringLiteral("Keys") << 3 << QList<int>{0, 63};
    QTest::newRow("all controls") << range(0, 63) << QList<int>{} << QStringLiteral("Keys") << 3
                                  << range(0, 63);
    QTest::newRow("channel of a few")
        << QList<int>{} << QList<int>{16, 37} << QStringLiteral("Keys") << 3 << QList<int>{16, 37};
    // The channel most controls use moves: every assignment may gain or lose its channel.
    QTest::newRow("common channel moves")
        << QList<int>{} << range(0, 32) << QStringLiteral("Keys") << 3 << range(0, 63);
    QTest::newRow("name only") << QList<int>{} << QList<int>{} << QStringLiteral("Drums") << 3
                               << QList<int>{};
    QTest::newRow("number only") << QList<int>{} << QList<int>{} << QStringLiteral("Keys") << 19
                                 << QList<int>{};
    QTest::newRow("same patch twice")
        << QList<int>{} << QList<int>{} << QStringLiteral("Keys") << 3 << QList<int>{};
}

void TestFrontPanel::onlyChangedControlsAreDrawnAgain()
{
    QFETCH(QList<int>, stepped);
    QFETCH(QList<int>, rechannelled);
    QFETCH(QString, name);
    QFETCH(int, number);
    QFETCH(QList<int>, redrawn);

    // A mark on every item that only drawing it again replaces.
    const QString stale = QStringLiteral("stale");
    for (int i = 0; i < ControlTable::count; ++i)
        panel->item(i)->setAssignment(stale);
    change(stepped, rechannelled);
    panel->showPatch(controls, number, name);

    FrontPanel fresh;
    fresh.showPatch(controls, number, name);
    for (int i = 0; i < ControlTable::count; ++i) {
        const QString expected = redrawn.contains(i) ? fresh.item(i)->assignment() : stale;
        QCOMPARE(panel->item(i)->assignment(), expected);
    }
    QCOMPARE(panel->display()->nameLine(), name);
    QCOMPARE(panel->display()->presetLine(), ControlSummary::displayPreset(number));
}

void TestFrontPanel::everyItemRightAfterASeries_data()
{
    onlyChangedControlsAreDrawnAgain_data();
}

// Each row's change made three times over, with the selected control on the display: after
// each patch the panel shows what a panel shown only that patch shows.
void TestFrontPanel::everyItemRightAfterASeries()
{
    QFETCH(QList<int>, stepped);
    QFETCH(QList<int>, rechannelled);
    QFETCH(QString, name);
    QFETCH(int, number);

    selection->select(stepped.isEmpty() ? 37 : stepped.last());
    for (int round = 0; round < 3; ++round) {
        change(stepped, rechannelled);
        panel->showPatch(controls, number, name);
        FrontPanel fresh;
        Selection freshSelection;
        fresh.setSelection(&freshSelection);
        freshSelection.set(selection->indices());
        fresh.showPatch(controls, number, name);
        for (int i = 0; i < ControlTable::count; ++i) {
            QCOMPARE(drawnAfresh(*panel, i), drawnAfresh(fresh, i));
            QCOMPARE(panel->item(i)->getModel(), controls.at(i));
            // Nothing is built for a tooltip before one is asked for.
            QVERIFY(panel->item(i)->toolTip().isEmpty());
        }
        QCOMPARE(panel->display()->presetLine(), fresh.display()->presetLine());
        QCOMPARE(panel->display()->nameLine(), name);
        QCOMPARE(panel->display()->controlLine(), fresh.display()->controlLine());
        QVERIFY(!panel->display()->controlLine().isEmpty());
    }
}

void TestFrontPanel::toolTipIsBuiltWhenAskedFor_data()
{
    QTest::addColumn<QPointF>("at");
    QTest::addColumn<int>("control");

    QTest::newRow("pad 7") << viewinput::centreOf(45) << 45;
    QTest::newRow("knob E1") << viewinput::centreOf(16) << 16;
    QTest::newRow("X-Y pad") << viewinput::centreOf(37) << 37;
    QTest::newRow("crossfader's corner")
        << QPointF(controlRects.at(38).bottomRight()) - QPointF(1, 1) << 38;
    QTest::newRow("bare picture") << QPointF(2, 2) << -1;
}

void TestFrontPanel::toolTipIsBuiltWhenAskedFor()
{
    QFETCH(QPointF, at);
    QFETCH(int, control);

    panel->resize(panelWidth + 10, panelHeight + 10);
    panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(panel));
    const QStringList names = {QStringLiteral("Bank Select"), QStringLiteral("Modulation")};
    panel->setControllerNames(names);
    // Changed after the patch was shown and never shown again: the tooltip still tells it.
    if (control >= 0) {
        controls.at(control)->updateParameter(Channel, 9);
        controls.at(control)->updateParameter(CC, 1);
        controls.at(control)->updateParameter(NoteOrCC, 1);
    }
    const QString expected = control < 0
        ? QString()
        : ControlSummary::details(control, *controls.at(control), names);
    QCOMPARE(viewinput::toolTipAt(panel, at), expected);
    if (control >= 0)
        QVERIFY(expected.contains(QStringLiteral("Ch 10")));
}

QTEST_MAIN(TestFrontPanel)
#include "tst_frontpanel.moc"
