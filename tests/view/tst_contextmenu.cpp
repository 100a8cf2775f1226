#include "../common/simulateddevice.h"
#include "../common/tracecapture.h"
#include "../common/viewinput.h"
#include "mainwindow.h"
#include "midicontrolitem.h"
#include "midicontroller.h"
#include "patchlayout.h"

#include <QtTest>
#include <QtWidgets>

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

class TestContextMenu : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void submenusFitTheControl_data();
    void submenusFitTheControl();
    void numberSubmenuFollowsTheType();
    void noEntryIsCheckable();

    void choiceAppliesToTheSelection_data();
    void choiceAppliesToTheSelection();
    void dismissedMenuChangesNothing();
    void paneShowsTheChosenValue();

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

    std::unique_ptr<MainWindow> window;
};

void TestContextMenu::init()
{
    window = std::make_unique<MainWindow>(noDevice());
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

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
    QTest::newRow("X-Y pad") << 37 << QStringList{"Channel", "CCX", "CCY"};
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
    QCOMPARE(entries.first(), QStringLiteral("C-2"));
    QCOMPARE(entries.at(60), QStringLiteral("C3"));
}

void TestContextMenu::noEntryIsCheckable()
{
    for (const int control : {39, 37, 6, 0}) {
        int entries = 0;
        onNextMenu([&entries](QMenu *menu) {
            for (QAction *submenu : menu->actions()) {
                QVERIFY(submenu->menu());
                for (QAction *entry : submenu->menu()->actions()) {
                    QVERIFY(!entry->isCheckable());
                    QVERIFY(!entry->isChecked());
                    ++entries;
                }
            }
            dismiss(menu);
        });
        clickControl(*window, control, Qt::RightButton);
        QVERIFY(entries > 0);
    }
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
    QTest::newRow("nothing selected") << QList<int>{} << 41 << "Channel"
                                      << "Ch 5" << QList<Change>{};
    QTest::newRow("unselected control clicked: the selection changes")
        << QList<int>{16, 17} << 0 << "Channel"
        << "Ch 3" << QList<Change>{{16, Channel, 2}, {17, Channel, 2}};
    QTest::newRow("controller name from a pad's CC submenu")
        << QList<int>{16, 40, 0, 39} << 39 << "CC"
        << "74 Brightness"
        << QList<Change>{{16, CC, 74}, {40, NoteOrCC, 74}, {0, CC, 74}, {39, NoteOrCC, 74}};
    QTest::newRow("controller name from a knob's CC submenu: CC only")
        << QList<int>{16, 40} << 16 << "CC"
        << "7 Volume" << QList<Change>{{16, CC, 7}};
    QTest::newRow("note name: NoteOrCC only")
        << QList<int>{39, 16, 40} << 39 << "Note"
        << "C3" << QList<Change>{{39, NoteOrCC, 60}, {40, NoteOrCC, 60}};
    QTest::newRow("X-Y pad axes") << QList<int>{37} << 37 << "CCY"
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
        window->getItem(i)->setSelected(true);
    const QByteArray before = patch();

    chooseFromMenuOf(*window, clicked, submenu, entry);

    QByteArray expected = before;
    for (const Change &change : changes) {
        const unsigned int address = model(change.control)->getParameter(change.id)->address();
        expected[int(address)] = char(change.value);
    }
    if (expected != patch()) {
        const QByteArray after = patch();
        for (int i = 0; i < after.size(); ++i) {
            if (after[i] != expected[i])
                qWarning("byte %d: expected %d, got %d", i, int(expected.at(i)), int(after.at(i)));
        }
        QFAIL("the patch changed otherwise than expected");
    }
    // The clicked control's model is listed afterwards.
    QVERIFY(window->getSelectedModels().contains(model(clicked)));
}

void TestContextMenu::dismissedMenuChangesNothing()
{
    window->getItem(39)->setSelected(true);
    window->getItem(40)->setSelected(true);
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
#include "tst_contextmenu.moc"
