#include "controltable.h"
#include "frontpanel.h"
#include "midicontrolitem.h"
#include "selection.h"

#include <QtTest>
#include <QtWidgets>

#include <utility>

namespace {

// The controls' names and roles as the device's front panel shows them, by index.
std::pair<QString, QAccessible::Role> expected(int control)
{
    const auto in = [control](int first, int last) { return control >= first && control <= last; };
    if (in(0, 5))
        return {QStringLiteral("S%1").arg(control + 1), QAccessible::Slider};
    if (in(6, 15))
        return {QStringLiteral("F%1").arg(control - 5), QAccessible::Button};
    if (in(16, 23))
        return {QStringLiteral("E%1").arg(control - 15), QAccessible::Dial};
    if (in(24, 29))
        return {QStringLiteral("P%1").arg(control - 23), QAccessible::Dial};
    if (in(30, 36)) {
        static const char *const names[] = {"STOP", "PLAY", "RECORD", "DOWN",
                                            "UP",   "LEFT", "RIGHT"};
        return {QLatin1String(names[control - 30]), QAccessible::Button};
    }
    if (control == 37)
        return {QStringLiteral("XY"), QAccessible::Slider};
    if (control == 38)
        return {QStringLiteral("XFADER"), QAccessible::Slider};
    return {QStringLiteral("PAD%1").arg(control - 38), QAccessible::Button};
}

} // namespace

// The front panel through QAccessible, as a screen reader's bridge reads it: the view and a
// child per control, their texts, roles and states, and the events that tell of changes.
class TestPanelAccessibility : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void viewIsAGroupOfTheControls();
    void everyControlReads_data();
    void everyControlReads();
    void descriptionsSayWhatTheControlSends_data();
    void descriptionsSayWhatTheControlSends();
    void selectedStateFollowsTheSelection_data();
    void selectedStateFollowsTheSelection();
    void pressSelects_data();
    void pressSelects();
    void focusFollowsTheKeyboard_data();
    void focusFollowsTheKeyboard();

private:
    QAccessibleInterface *view() const { return QAccessible::queryAccessibleInterface(panel); }
    QAccessibleInterface *control(int index) const { return view()->child(index); }

    ControlTable controls;
    Selection *selection = nullptr;
    FrontPanel *panel = nullptr;
};

void TestPanelAccessibility::init()
{
    selection = new Selection;
    panel = new FrontPanel;
    panel->setSelection(selection);
    panel->showPatch(controls, 1, QStringLiteral("Keys"));
    panel->move(30, 40);
    panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(panel));
    panel->clearFocus();
    QTRY_VERIFY(!panel->hasFocus());
}

void TestPanelAccessibility::cleanup()
{
    delete panel;
    delete selection;
    controls = ControlTable();
}

void TestPanelAccessibility::viewIsAGroupOfTheControls()
{
    QAccessibleInterface *iface = view();
    QVERIFY(iface);
    QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("Front panel"));
    QCOMPARE(iface->role(), QAccessible::Grouping);
    QCOMPARE(iface->childCount(), 64);
    QVERIFY(!iface->child(-1));
    QVERIFY(!iface->child(64));
    // The same interface each time it is asked for, so that a screen reader's cache holds.
    QCOMPARE(iface->child(5), iface->child(5));
    QCOMPARE(iface->indexOfChild(nullptr), -1);
    QCOMPARE(iface->indexOfChild(iface), -1);
}

void TestPanelAccessibility::everyControlReads_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("role");
    for (int i = 0; i < ControlTable::count; ++i) {
        const auto [name, role] = expected(i);
        QTest::newRow(qPrintable(name)) << i << name << int(role);
    }
}

void TestPanelAccessibility::everyControlReads()
{
    QFETCH(int, index);
    QFETCH(QString, name);
    QFETCH(int, role);

    QAccessibleInterface *iface = control(index);
    QVERIFY(iface && iface->isValid());
    QCOMPARE(iface->text(QAccessible::Name), name);
    QCOMPARE(int(iface->role()), role);
    QCOMPARE(iface->parent(), view());
    QCOMPARE(view()->indexOfChild(iface), index);
    QCOMPARE(iface->childCount(), 0);

    // The description is the tooltip's list of parameters, without the name it starts with.
    const QString description = iface->text(QAccessible::Description);
    QVERIFY(!description.isEmpty());
    QCOMPARE(name + QStringLiteral(": ") + description, panel->controlToolTip(index));

    const QAccessible::State state = iface->state();
    QVERIFY(state.selectable);
    QVERIFY(state.focusable);
    QVERIFY(!state.selected);
    QVERIFY(!state.focused);
    QVERIFY(!state.invisible);

    // On the screen where the control is drawn: its centre finds it again.
    const QRect onScreen = iface->rect();
    const QPoint drawnCentre = panel->viewport()->mapToGlobal(
        panel->mapFromScene(panel->item(index)->sceneBoundingRect().center()));
    QVERIFY2((onScreen.center() - drawnCentre).manhattanLength() <= 2,
             qPrintable(QStringLiteral("%1 vs %2,%3")
                            .arg(QVariant(onScreen).toString())
                            .arg(drawnCentre.x())
                            .arg(drawnCentre.y())));
    QCOMPARE(view()->childAt(onScreen.center().x(), onScreen.center().y()), iface);
    QVERIFY(iface->actionInterface());
    QCOMPARE(iface->actionInterface()->actionNames(),
             QStringList{QAccessibleActionInterface::pressAction()});
}

void TestPanelAccessibility::descriptionsSayWhatTheControlSends_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QList<int>>("values"); // by ParameterId, -1 leaves one as it is
    QTest::addColumn<QString>("description");

    // Channel, CC, CCX, CCY, Min, MinX, MinY, Max, MaxX, MaxY, Type, Toggle, NoteOrCC,
    // Aftertouch, Colour, ColourF
    const int _ = -1;
    QTest::newRow("PAD7, a note") << 45
                                  << QList<int>{9, _, _, _, _, _, _, _, _, _, 0, 1, 52, 1, 2, _}
                                  << QStringLiteral(
                                         "Note E2 (52), Ch 10, Toggle, Blue, Aftertouch On");
    QTest::newRow("PAD25, a controller on the global channel")
        << 63 << QList<int>{16, _, _, _, _, _, _, _, _, _, 1, 0, 20, 0, 0, _}
        << QStringLiteral("CC 20, Global, Momentary, Red, Aftertouch Off");
    QTest::newRow("E1, a range") << 16
                                 << QList<int>{1, 74, _, _, 10, _, _, 100, _, _, _, _, _, _, _, _}
                                 << QStringLiteral("CC 74, Ch 2, Min 10, Max 100");
    QTest::newRow("F10, a colour of its own")
        << 15 << QList<int>{0, _, _, _, _, _, _, _, _, _, 0, 0, 127, _, _, 1}
        << QStringLiteral("Note G8 (127), Ch 1, Momentary, Green");
    QTest::newRow("XY, both axes")
        << 37 << QList<int>{3, _, 12, 13, _, 1, 2, _, 126, 125, _, _, _, _, _, _}
        << QStringLiteral("X CC 12, Y CC 13, Ch 4, Min X 1, Max X 126, Min Y 2, Max Y 125");
}

void TestPanelAccessibility::descriptionsSayWhatTheControlSends()
{
    QFETCH(int, index);
    QFETCH(QList<int>, values);
    QFETCH(QString, description);

    for (int id = 0; id < values.size(); ++id) {
        if (values[id] >= 0)
            controls.at(index)->updateParameter(unsigned(id), uchar(values[id]));
    }
    panel->showPatch(controls, 1, QStringLiteral("Keys"));
    QCOMPARE(control(index)->text(QAccessible::Description), description);
}

void TestPanelAccessibility::selectedStateFollowsTheSelection_data()
{
    QTest::addColumn<QList<int>>("first");
    QTest::addColumn<QList<int>>("then");

    QTest::newRow("none to one") << QList<int>{} << QList<int>{45};
    QTest::newRow("one to another") << QList<int>{45} << QList<int>{0};
    QTest::newRow("overlapping, first and last") << QList<int>{0, 1, 63} << QList<int>{63, 1, 2};
    QList<int> all;
    for (int i = 0; i < ControlTable::count; ++i)
        all << i;
    QTest::newRow("all to none") << all << QList<int>{};
    QTest::newRow("none to all") << QList<int>{} << all;
}

void TestPanelAccessibility::selectedStateFollowsTheSelection()
{
    QFETCH(QList<int>, first);
    QFETCH(QList<int>, then);

    selection->set(first);
    selection->set(then);
    for (int i = 0; i < ControlTable::count; ++i)
        QCOMPARE(control(i)->state().selected, then.contains(i));
}

void TestPanelAccessibility::pressSelects_data()
{
    QTest::addColumn<bool>("multi");
    QTest::addColumn<QList<int>>("before");
    QTest::addColumn<int>("pressed");
    QTest::addColumn<QList<int>>("after");

    QTest::newRow("single: replaces") << false << QList<int>{1, 2} << 45 << QList<int>{45};
    QTest::newRow("single: again") << false << QList<int>{45} << 45 << QList<int>{45};
    QTest::newRow("multi: adds") << true << QList<int>{1} << 45 << QList<int>{1, 45};
    QTest::newRow("multi: toggles off") << true << QList<int>{1, 45} << 45 << QList<int>{1};
}

void TestPanelAccessibility::pressSelects()
{
    QFETCH(bool, multi);
    QFETCH(QList<int>, before);
    QFETCH(int, pressed);
    QFETCH(QList<int>, after);

    selection->setMode(multi ? Selection::Mode::Multi : Selection::Mode::Single);
    selection->set(before);
    control(pressed)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(selection->indices(), after);
    QCOMPARE(control(pressed)->state().selected, after.contains(pressed));
    // The keyboard goes on from the pressed control.
    QCOMPARE(panel->keyboardCursor(), pressed);
}

void TestPanelAccessibility::focusFollowsTheKeyboard_data()
{
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<int>("cursor");

    // The cursor starts on PAD1 (39).
    QTest::newRow("no key") << QList<int>{} << 39;
    QTest::newRow("right") << QList<int>{Qt::Key_Right} << 40;
    QTest::newRow("down, down") << QList<int>{Qt::Key_Down, Qt::Key_Down} << 49;
    QTest::newRow("left to P1") << QList<int>{Qt::Key_Left} << 24;
    QTest::newRow("up to F5") << QList<int>{Qt::Key_Up} << 10;
}

void TestPanelAccessibility::focusFollowsTheKeyboard()
{
    QFETCH(QList<int>, keys);
    QFETCH(int, cursor);

    QVERIFY(!view()->focusChild());
    QApplication::setActiveWindow(panel);
    panel->setFocus();
    QTRY_VERIFY(panel->hasFocus());
    for (int key : keys)
        QTest::keyClick(panel, Qt::Key(key));

    QCOMPARE(view()->focusChild(), control(cursor));
    for (int i = 0; i < ControlTable::count; ++i)
        QCOMPARE(control(i)->state().focused, i == cursor);

    panel->clearFocus();
    QTRY_VERIFY(!panel->hasFocus());
    QVERIFY(!view()->focusChild());
    QVERIFY(!control(cursor)->state().focused);
}

QTEST_MAIN(TestPanelAccessibility)
#include "tst_panelaccessibility.moc"
