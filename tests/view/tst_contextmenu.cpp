#include "../common/simulateddevice.h"
#include "../common/tracecapture.h"
#include "../common/viewinput.h"
#include "contextmenu.h"
#include "controltable.h"
#include "frontpanel.h"
#include "mainwindow.h"
#include "midicontrolitem.h"
#include "midicontroller.h"
#include "patchlayout.h"
#include "selection.h"

#include <QtTest>
#include <QtWidgets>

#include <algorithm>
#include <memory>

using namespace viewinput;

namespace {

struct Change
{
    int control;
    ParameterId id;
    int value;
};

} // namespace

Q_DECLARE_METATYPE(QList<Change>)
Q_DECLARE_METATYPE(QList<ParameterId>)

class TestContextMenu : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void submenusFitTheControl_data();
    void submenusFitTheControl();
    void numberSubmenuFollowsTheType();
    void currentValueIsChecked_data();
    void currentValueIsChecked();

    void choiceAppliesToTheSelection_data();
    void choiceAppliesToTheSelection();
    void rightClickActsOnTheClickedControl_data();
    void rightClickActsOnTheClickedControl();
    void laterEditsReachOnlyTheDrawnSelection();
    void dismissedMenuChangesNothing();
    void paneShowsTheChosenValue();
    void entriesHoldWhatTheySet_data();
    void entriesHoldWhatTheySet();

private:
    MidiControlModel *model(int index) const
    {
        return window->getMidiController()->getModels()->at(index);
    }
    QByteArray patch() const
    {
        return QByteArray(
            reinterpret_cast<const char *>(window->getMidiController()->getType1Sysex()),
            int(PatchLayout::length));
    }
    // The submenu titles of the menu that a right click on control opens.
    QStringList menuOf(int control);
    // The patch as it was, with changes made.
    QByteArray changed(QByteArray patch, const QList<Change> &changes) const
    {
        for (const Change &change : changes)
            patch[int(model(change.control)->getParameter(change.id)->address())] = char(
                change.value);
        return patch;
    }
    // The control indices of the selected models, sorted; fails unless they are exactly the
    // controls drawn selected.
    QList<int> selection() const;

    std::unique_ptr<MainWindow> window;
};

void TestContextMenu::init()
{
    window = std::make_unique<MainWindow>(noDevice());
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

QList<int> TestContextMenu::selection() const
{
    QList<int> listed;
    QList<int> drawn;
    for (int i = 0; i < 64; ++i) {
        if (window->selection()->contains(i))
            listed << i;
        if (window->frontPanel()->item(i)->isSelected())
            drawn << i;
    }
    if (listed != drawn || listed.size() != window->selection()->size()) {
        qWarning() << "listed" << listed << "drawn" << drawn;
        return {-1};
    }
    return listed;
}

// Reports each byte that differs before comparing the whole message.
#define COMPARE_PATCH(actual, expected)                                                            \
    do {                                                                                           \
        const QByteArray a = (actual), e = (expected);                                             \
        for (int i = 0; i < std::min(a.size(), e.size()); ++i) {                                   \
            if (a[i] != e[i])                                                                      \
                qWarning("byte %d: expected %d, got %d", i, int(e.at(i)), int(a.at(i)));           \
        }                                                                                          \
        QCOMPARE(a, e);                                                                            \
    } while (false)

QStringList TestContextMenu::menuOf(int control)
{
    QStringList shown;
    onNextMenu([&shown](QMenu *menu) {
        shown = titles(menu);
        dismiss(menu);
    });
    clickControl(*window, control, Qt::RightButton);
    return shown;
}

void TestContextMenu::submenusFitTheControl_data()
{
    QTest::addColumn<int>("control");
    QTest::addColumn<QStringList>("expected");

    const QStringList plain{"Channel", "CC"};
    QTest::newRow("slider S1") << 0 << plain;
    QTest::newRow("slider S6") << 5 << plain;
    QTest::newRow("knob E1") << 16 << plain;
    QTest::newRow("crossfader") << 38 << plain;
    QTest::newRow("X-Y pad") << 37 << QStringList{"Channel", "CC X", "CC Y"};
    QTest::newRow("pad") << 39
                         << QStringList{"Type", "Note", "Mode", "Channel", "Color", "Aftertouch"};
    QTest::newRow("function button F1")
        << 6 << QStringList{"Type", "Note", "Mode", "Channel", "Color Fn"};
    QTest::newRow("STOP/CANCEL") << 30 << QStringList{"Type", "Note", "Mode", "Channel"};
}

void TestContextMenu::submenusFitTheControl()
{
    QFETCH(int, control);
    QFETCH(QStringList, expected);
    model(control)->updateParameter(Type, 0);
    QCOMPARE(menuOf(control), expected);
}

void TestContextMenu::numberSubmenuFollowsTheType()
{
    QStringList entries;
    QString title;
    const auto capture = [&](QMenu *menu) {
        QMenu *number = menu->actions().at(1)->menu();
        title = number->title();
        entries = titles(number);
        dismiss(menu);
    };

    model(39)->updateParameter(Type, 1);
    onNextMenu(capture);
    clickControl(*window, 39, Qt::RightButton);
    QCOMPARE(title, QStringLiteral("CC"));
    QCOMPARE(entries.size(), 128);
    QCOMPARE(entries.at(74), QStringLiteral("74 Brightness"));

    model(39)->updateParameter(Type, 0);
    onNextMenu(capture);
    clickControl(*window, 39, Qt::RightButton);
    QCOMPARE(title, QStringLiteral("Note"));
    QCOMPARE(entries.size(), 128);
    QCOMPARE(entries.first(), QStringLiteral("0 C-2"));
    QCOMPARE(entries.at(60), QStringLiteral("60 C3"));
}

void TestContextMenu::currentValueIsChecked_data()
{
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QList<Change>>("values");
    QTest::addColumn<int>("clicked");
    QTest::addColumn<QString>("submenu");
    QTest::addColumn<QString>("checked"); // empty: no entry checked

    QTest::newRow("one pad's channel")
        << QList<int>{39} << QList<Change>{{39, Channel, 3}} << 39 << "Channel"
        << "Ch 4";
    QTest::newRow("two pads disagree")
        << QList<int>{39, 40} << QList<Change>{{39, Channel, 3}, {40, Channel, 5}} << 39
        << "Channel" << QString();
    QTest::newRow("pad and knob agree on Global")
        << QList<int>{39, 16} << QList<Change>{{39, Channel, 16}, {16, Channel, 16}} << 16
        << "Channel"
        << "Global";
    QTest::newRow("colour of the pad only")
        << QList<int>{6, 39} << QList<Change>{{39, Colour, 2}} << 39 << "Color"
        << "Blue";
    QTest::newRow("note of a pad")
        << QList<int>{39} << QList<Change>{{39, Type, 0}, {39, NoteOrCC, 60}} << 39 << "Note"
        << "60 C3";
    QTest::newRow("pad's controller and knob's agree")
        << QList<int>{39, 16} << QList<Change>{{39, Type, 1}, {39, NoteOrCC, 74}, {16, CC, 74}}
        << 39 << "CC"
        << "74 Brightness";
    QTest::newRow("pad's controller and knob's differ")
        << QList<int>{39, 16} << QList<Change>{{39, Type, 1}, {39, NoteOrCC, 74}, {16, CC, 7}} << 39
        << "CC" << QString();
    QTest::newRow("knob's controller, pad's note apart")
        << QList<int>{39, 16} << QList<Change>{{39, Type, 1}, {39, NoteOrCC, 74}, {16, CC, 7}} << 16
        << "CC"
        << "7 Volume";
    QTest::newRow("types differ") << QList<int>{39, 40, 6}
                                  << QList<Change>{{39, Type, 0}, {40, Type, 0}, {6, Type, 1}} << 39
                                  << "Type" << QString();
    QTest::newRow("X-Y pad's CCY") << QList<int>{37} << QList<Change>{{37, CCY, 1}} << 37 << "CC Y"
                                   << "1 Modulation Wheel";
}

void TestContextMenu::currentValueIsChecked()
{
    QFETCH(QList<int>, selected);
    QFETCH(QList<Change>, values);
    QFETCH(int, clicked);
    QFETCH(QString, submenu);
    QFETCH(QString, checked);

    for (const Change &change : values)
        model(change.control)->updateParameter(change.id, change.value);
    for (const int i : selected)
        window->frontPanel()->item(i)->setSelected(true);

    QStringList checkedEntries;
    int entries = 0;
    bool allCheckable = true;
    onNextMenu([&](QMenu *menu) {
        if (QAction *sub = actionNamed(menu, submenu)) {
            for (QAction *entry : sub->menu()->actions()) {
                ++entries;
                allCheckable = allCheckable && entry->isCheckable();
                if (entry->isChecked())
                    checkedEntries << entry->text();
            }
        }
        dismiss(menu);
    });
    clickControl(*window, clicked, Qt::RightButton);
    QVERIFY(entries > 0);
    QVERIFY(allCheckable);
    QCOMPARE(checkedEntries, checked.isEmpty() ? QStringList() : QStringList{checked});
}

void TestContextMenu::choiceAppliesToTheSelection_data()
{
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<int>("clicked");
    QTest::addColumn<QString>("submenu");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QList<Change>>("changes");

    QTest::newRow("Global on two pads")
        << QList<int>{39, 40} << 39 << "Channel"
        << "Global" << QList<Change>{{39, Channel, 16}, {40, Channel, 16}};
    QTest::newRow("Blue on a pad and F1") << QList<int>{39, 6} << 39 << "Color"
                                          << "Blue" << QList<Change>{{39, Colour, 2}};
    QTest::newRow("nothing selected: the clicked control")
        << QList<int>{} << 41 << "Channel"
        << "Ch 5" << QList<Change>{{41, Channel, 4}};
    QTest::newRow("unselected control clicked: it alone")
        << QList<int>{16, 17} << 0 << "Channel"
        << "Ch 3" << QList<Change>{{0, Channel, 2}};
    QTest::newRow("controller name from a pad's CC submenu")
        << QList<int>{16, 40, 0, 39} << 39 << "CC"
        << "74 Brightness"
        << QList<Change>{{16, CC, 74}, {40, NoteOrCC, 74}, {0, CC, 74}, {39, NoteOrCC, 74}};
    QTest::newRow("controller name from a knob's CC submenu: CC only")
        << QList<int>{16, 40} << 16 << "CC"
        << "7 Volume" << QList<Change>{{16, CC, 7}};
    QTest::newRow("note name: NoteOrCC only")
        << QList<int>{39, 16, 40} << 39 << "Note"
        << "60 C3" << QList<Change>{{39, NoteOrCC, 60}, {40, NoteOrCC, 60}};
    QTest::newRow("X-Y pad axes") << QList<int>{37} << 37 << "CC Y"
                                  << "1 Modulation Wheel" << QList<Change>{{37, CCY, 1}};
    QTest::newRow("Color Fn on buttons only")
        << QList<int>{6, 7, 39} << 6 << "Color Fn"
        << "Green" << QList<Change>{{6, ColourF, 1}, {7, ColourF, 1}};
    QTest::newRow("Type then number names of the new type") << QList<int>{39} << 39 << "Type"
                                                            << "CC" << QList<Change>{{39, Type, 1}};
    QTest::newRow("Mode") << QList<int>{45, 30} << 45 << "Mode"
                          << "Toggle" << QList<Change>{{45, Toggle, 1}, {30, Toggle, 1}};
    QTest::newRow("Aftertouch") << QList<int>{45, 46} << 45 << "Aftertouch"
                                << "On" << QList<Change>{{45, Aftertouch, 1}, {46, Aftertouch, 1}};
}

void TestContextMenu::choiceAppliesToTheSelection()
{
    QFETCH(QList<int>, selected);
    QFETCH(int, clicked);
    QFETCH(QString, submenu);
    QFETCH(QString, entry);
    QFETCH(QList<Change>, changes);

    // Known starting values that no choice below produces.
    for (const int i : {0, 6, 7, 16, 17, 30, 37, 39, 40, 41, 45, 46})
        model(i)->updateParameter(Channel, 9);
    for (const int i : {39, 40, 6, 7})
        model(i)->updateParameter(Type, 0);
    for (const int i : {39, 40})
        model(i)->updateParameter(NoteOrCC, 36);
    model(39)->updateParameter(Type, submenu == QLatin1String("CC") ? 1 : 0);

    for (const int i : selected)
        window->frontPanel()->item(i)->setSelected(true);
    const QByteArray before = patch();

    chooseFromMenuOf(*window, clicked, submenu, entry);

    COMPARE_PATCH(patch(), changed(before, changes));
    // The clicked control is selected afterwards, drawn and listed.
    QVERIFY(selection().contains(clicked));
}

void TestContextMenu::rightClickActsOnTheClickedControl_data()
{
    QTest::addColumn<bool>("multi");
    QTest::addColumn<QList<int>>("selected"); // by clicks, Ctrl-clicks after the first
    QTest::addColumn<int>("clicked");
    QTest::addColumn<QString>("submenu");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QList<Change>>("changes");
    QTest::addColumn<QList<int>>("after");

    for (const bool multi : {false, true}) {
        const char *mode = multi ? "Select Multi: " : "Select Single: ";
        const auto row = [mode](const char *name) -> QTestData & {
            return QTest::newRow(qPrintable(QLatin1String(mode) + QLatin1String(name)));
        };
        row("E1 selected, pad 6 clicked")
            << multi << QList<int>{16} << 44 << "Channel"
            << "Ch 5" << QList<Change>{{44, Channel, 4}} << QList<int>{44};
        row("nothing selected") << multi << QList<int>{} << 16 << "Channel"
                                << "Ch 2" << QList<Change>{{16, Channel, 1}} << QList<int>{16};
        row("three selected, one of them clicked")
            << multi << QList<int>{39, 45, 16} << 45 << "Channel"
            << "Global" << QList<Change>{{39, Channel, 16}, {45, Channel, 16}, {16, Channel, 16}}
            << QList<int>{16, 39, 45};
        row("two selected, a third clicked")
            << multi << QList<int>{39, 45} << 46 << "Aftertouch"
            << "On" << QList<Change>{{46, Aftertouch, 1}} << QList<int>{46};
        row("pads selected, one's note chosen")
            << multi << QList<int>{39, 40, 16} << 40 << "Note"
            << "60 C3" << QList<Change>{{39, NoteOrCC, 60}, {40, NoteOrCC, 60}}
            << QList<int>{16, 39, 40};
    }
}

void TestContextMenu::rightClickActsOnTheClickedControl()
{
    QFETCH(bool, multi);
    QFETCH(QList<int>, selected);
    QFETCH(int, clicked);
    QFETCH(QString, submenu);
    QFETCH(QString, entry);
    QFETCH(QList<Change>, changes);
    QFETCH(QList<int>, after);

    for (int i = 0; i < selected.size(); ++i)
        clickControl(*window, selected[i], Qt::LeftButton,
                     i == 0 ? Qt::NoModifier : Qt::ControlModifier);
    std::sort(selected.begin(), selected.end());
    QCOMPARE(selection(), selected);
    if (multi)
        window->selection()->setMode(Selection::Mode::Multi);
    const QByteArray before = patch();

    chooseFromMenuOf(*window, clicked, submenu, entry);
    COMPARE_PATCH(patch(), changed(before, changes));
    QCOMPARE(selection(), after);

    // The button's release, which the menu may have taken, changes nothing.
    QTest::mouseRelease(view(*window)->viewport(), Qt::RightButton, Qt::NoModifier,
                        toViewport(*window, centreOf(clicked)));
    QCOMPARE(selection(), after);
    COMPARE_PATCH(patch(), changed(before, changes));
}

void TestContextMenu::laterEditsReachOnlyTheDrawnSelection()
{
    // Click E1, right-click pad 6 for channel 5, click E4 and set its channel in the pane.
    const QByteArray before = patch();
    clickControl(*window, 16);
    QCOMPARE(selection(), QList<int>{16});
    chooseFromMenuOf(*window, 44, QStringLiteral("Channel"), QStringLiteral("Ch 5"));
    QCOMPARE(selection(), QList<int>{44});
    clickControl(*window, 19);
    QCOMPARE(selection(), QList<int>{19});
    auto *channel = window->findChild<QComboBox *>(QStringLiteral("comboBoxChannel"));
    channel->setCurrentIndex(6);
    COMPARE_PATCH(patch(), changed(before, {{44, Channel, 4}, {19, Channel, 6}}));

    // A click beside the controls leaves nothing selected, listed or drawn.
    click(*window, QPointF(20, 520));
    QCOMPARE(selection(), QList<int>{});
    QVERIFY(window->selection()->isEmpty());
}

void TestContextMenu::dismissedMenuChangesNothing()
{
    window->frontPanel()->item(39)->setSelected(true);
    window->frontPanel()->item(40)->setSelected(true);
    const QByteArray before = patch();
    chooseFromMenuOf(*window, 39);
    QCOMPARE(patch(), before);
}

void TestContextMenu::paneShowsTheChosenValue()
{
    auto *channel = window->findChild<QComboBox *>(QStringLiteral("comboBoxChannel"));
    clickControl(*window, 39);
    chooseFromMenuOf(*window, 39, QStringLiteral("Channel"), QStringLiteral("Ch 12"));
    QCOMPARE(channel->currentText(), QStringLiteral("Ch 12"));
}

QTEST_MAIN(TestContextMenu)
void TestContextMenu::entriesHoldWhatTheySet_data()
{
    QTest::addColumn<int>("control");
    QTest::addColumn<int>("type"); // -1: the control has none
    QTest::addColumn<QString>("submenu");
    QTest::addColumn<QList<ParameterId>>("ids");
    QTest::addColumn<int>("entries");

    QTest::newRow("pad's channel") << 39 << 0 << "Channel" << QList<ParameterId>{Channel} << 17;
    QTest::newRow("pad's note") << 39 << 0 << "Note" << QList<ParameterId>{NoteOrCC} << 128;
    QTest::newRow("pad's CC, with the knobs'")
        << 39 << 1 << "CC" << QList<ParameterId>{NoteOrCC, CC} << 4;
    QTest::newRow("knob's CC") << 16 << -1 << "CC" << QList<ParameterId>{CC} << 4;
    QTest::newRow("X-Y pad's CC X") << 37 << -1 << "CC X" << QList<ParameterId>{CCX} << 4;
    QTest::newRow("X-Y pad's CC Y") << 37 << -1 << "CC Y" << QList<ParameterId>{CCY} << 4;
    QTest::newRow("F1's Color Fn") << 6 << 1 << "Color Fn" << QList<ParameterId>{ColourF} << 2;
    QTest::newRow("pad's Color") << 39 << 1 << "Color" << QList<ParameterId>{Colour} << 3;
    QTest::newRow("pad's Type") << 39 << 1 << "Type" << QList<ParameterId>{Type} << 2;
    QTest::newRow("pad's Mode") << 39 << 1 << "Mode" << QList<ParameterId>{Toggle} << 2;
    QTest::newRow("pad's Aftertouch")
        << 39 << 1 << "Aftertouch" << QList<ParameterId>{Aftertouch} << 2;
}

// Each entry holds the parameters it sets and its own position as the value; of two equal
// names both set the later position.
void TestContextMenu::entriesHoldWhatTheySet()
{
    QFETCH(int, control);
    QFETCH(int, type);
    QFETCH(QString, submenu);
    QFETCH(QList<ParameterId>, ids);
    QFETCH(int, entries);

    ControlTable controls;
    if (type >= 0)
        controls.at(control)->updateParameter(Type, static_cast<unsigned char>(type));
    const QStringList controllerNames{"0 Bank", "Twin", "2 Breath", "Twin"};
    QStringList noteNames;
    for (int note = 0; note < 128; ++note)
        noteNames << QString::number(note);
    ContextMenu contextMenu(controllerNames, noteNames);
    const std::unique_ptr<QMenu> menu(contextMenu.build(*controls.at(control), {}));
    QAction *titled = actionNamed(menu.get(), submenu);
    QVERIFY(titled && titled->menu());
    const QList<QAction *> actions = titled->menu()->actions();
    QCOMPARE(actions.size(), entries);
    const bool twins = entries == controllerNames.size();
    for (int i = 0; i < actions.size(); ++i) {
        const std::optional<ParameterChoice> choice = ContextMenu::choiceOf(actions.at(i));
        QVERIFY(choice);
        QCOMPARE(choice->ids, ids);
        QCOMPARE(choice->value, twins && (i == 1 || i == 3) ? 3 : i);
    }
}

#include "tst_contextmenu.moc"
