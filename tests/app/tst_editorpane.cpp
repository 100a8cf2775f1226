#include "../common/simulateddevice.h"
#include "../common/tracecapture.h"
#include "controllernamefile.h"
#include "controlsummary.h"
#include "controltable.h"
#include "editorpane.h"
#include "frontpanel.h"
#include "mainwindow.h"
#include "midicontrolitem.h"
#include "midicontroller.h"
#include "patchdocument.h"
#include "selection.h"

#include <QtTest>
#include <QtWidgets>

namespace {

struct Change
{
    int control;
    ParameterId id;
    int value;
};

constexpr int pad1 = 39;
constexpr int pad2 = 40;
constexpr int pad3 = 41;
constexpr int knobE1 = 16;
constexpr int knobE2 = 17;

// The editors in ParameterId order.
const char *const editorNames[] = {
    "comboBoxChannel",  "comboBoxCC",         "comboBoxCCX",    "comboBoxCCY",
    "spinMin",          "spinMinX",           "spinMinY",       "spinMax",
    "spinMaxX",         "spinMaxY",           "comboBoxType",   "comboBoxToggle",
    "comboBoxNoteOrCC", "comboBoxAftertouch", "comboBoxColour", "comboBoxColourF"};
const char *const labelNames[] = {
    "labelChannel", "labelCC",         "labelCCX",    "labelCCY",     "labelMin",  "labelMinX",
    "labelMinY",    "labelMax",        "labelMaxX",   "labelMaxY",    "labelType", "labelMode",
    "labelNoteCC",  "labelAftertouch", "labelColour", "labelColour_2"};

// The controller names as the editor reads them from its name file.
QStringList controllerNames()
{
    QFile file(findControllerNameFile());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList names = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    if (names.last().isEmpty())
        names.removeLast();
    return names;
}

QStringList itemsOf(const QComboBox *box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

} // namespace

Q_DECLARE_METATYPE(QList<Change>)
Q_DECLARE_METATYPE(ParameterId)

class TestEditorPane : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<ParameterId>(); }
    void init();
    void cleanup();

    // What is shown
    void nothingSelectedHidesEverything();
    void onePadShowsItsSixRows();
    void typeSwitchesTheNumberNames();
    void padThenKnobShowsTheUnionWithTheKnobsValues();
    void everyHolderIsComparedNotOnlyNeighbours();
    void mixedSelectionShowsWhatItsControlsHave_data();
    void mixedSelectionShowsWhatItsControlsHave();
    void mixedTypesShowControllerNames();
    void noteOrCCBoxShowsTheMarkerWhenNumbersDiffer();

    // The pane by itself
    void editsLeaveAsOneEditedSignal_data();
    void editsLeaveAsOneEditedSignal();
    void showingNeverEmitsEdited();
    void numberPastTheMaximumIsReported_data();
    void numberPastTheMaximumIsReported();
    void enterGoesToTheFirstShownEditor_data();
    void enterGoesToTheFirstShownEditor();
    void editorsRunTopToBottom();
    void rowsNameTheGivenControllers();
    void editorsAreNamedByTheirCaptions_data();
    void editorsAreNamedByTheirCaptions();

    // Editing
    void choiceOnMixedChannelsSetsAllAndDropsTheMarker();
    void steppingMixedMaxSetsBoth();
    void editOnMixedSelectionReachesItsHoldersOnly_data();
    void editOnMixedSelectionReachesItsHoldersOnly();
    void typedValueReachesModelsWhenFinished();
    void valueAboveTheMaximumIsStoredAsTheMaximum();
    void typedNumberPastTheMaximumGivesTheMaximum_data();
    void typedNumberPastTheMaximumGivesTheMaximum();
    void programChangesNeverReachTheUpdateSlots();
    void appliedPatchClearsTheSelection();

private:
    // Tests of the pane by itself find its widgets in the pane, the others in the window.
    QWidget *root() const { return pane ? static_cast<QWidget *>(pane.get()) : window.get(); }
    QWidget *editor(int id) const { return root()->findChild<QWidget *>(editorNames[id]); }
    QWidget *label(int id) const { return root()->findChild<QWidget *>(labelNames[id]); }
    QComboBox *combo(const char *name) const { return root()->findChild<QComboBox *>(name); }
    QSpinBox *spin(const char *name) const { return root()->findChild<QSpinBox *>(name); }
    MidiControlModel *model(int index) const
    {
        return pane ? table->at(index) : window->getMidiController()->getModels()->at(index);
    }
    // A pane of its own, without a window, showing the controls of table.
    void openPane(const QStringList &names = controllerNames())
    {
        window.reset();
        table = std::make_unique<ControlTable>();
        pane = std::make_unique<EditorPane>(names, ControlSummary::noteEntries());
        pane->show();
    }
    // Adds the control to the pane's selection and shows it, as the window does.
    void paneSelect(int index)
    {
        if (!paneSelection.contains(index))
            paneSelection << index;
        pane->show(paneSelection, *table);
    }
    void paneDeselect(int index)
    {
        paneSelection.removeAll(index);
        pane->show(paneSelection, *table);
    }
    unsigned char value(int index, ParameterId id) const
    {
        unsigned char v = 0xEE;
        model(index)->getValue(id, &v);
        return v;
    }
    // The ParameterIds whose editor and label are shown and enabled. A row whose editor, label
    // and enabled state disagree appears as -1 - id, so that no comparison passes.
    QList<int> shownIds() const;
    QByteArray patch() const
    {
        return QByteArray(
            reinterpret_cast<const char *>(window->getMidiController()->getType1Sysex()), 348);
    }
    void apply(const QList<Change> &changes)
    {
        for (const Change &change : changes)
            model(change.control)->updateParameter(change.id, change.value);
    }

    std::unique_ptr<MainWindow> window;
    std::unique_ptr<ControlTable> table;
    std::unique_ptr<EditorPane> pane;
    QList<int> paneSelection;
};

QList<int> TestEditorPane::shownIds() const
{
    QList<int> shown;
    for (int id = 0; id < 16; ++id) {
        const bool visible = !editor(id)->isHidden();
        if (visible != !label(id)->isHidden() || visible != editor(id)->isEnabled())
            shown << -1 - id;
        else if (visible)
            shown << id;
    }
    return shown;
}

void TestEditorPane::init()
{
    window = std::make_unique<MainWindow>(noDevice());
    window->show();
}

void TestEditorPane::cleanup()
{
    pane.reset();
    table.reset();
    paneSelection.clear();
    window.reset();
}

void TestEditorPane::nothingSelectedHidesEverything()
{
    QCOMPARE(shownIds(), QList<int>());
    for (int id = 0; id < 16; ++id) {
        QVERIFY2(!editor(id)->isEnabled(), editorNames[id]);
        QVERIFY2(label(id)->isHidden(), labelNames[id]);
    }
    // The Note/CC box starts with the note names under "Note".
    QCOMPARE(combo("comboBoxNoteOrCC")->count(), 128);
    QCOMPARE(window->findChild<QLabel *>("labelNoteCC")->text(), QStringLiteral("Note"));

    window->selection()->select(pad1);
    window->selection()->select(knobE1);
    window->selection()->deselect(pad1);
    window->selection()->deselect(knobE1);
    QCOMPARE(shownIds(), QList<int>());
}

void TestEditorPane::onePadShowsItsSixRows()
{
    model(pad1)->updateParameter(Channel, 3);
    model(pad1)->updateParameter(NoteOrCC, 60);
    model(pad1)->updateParameter(Colour, 2);
    model(pad1)->updateParameter(Toggle, 1);
    window->selection()->select(pad1);

    QCOMPARE(shownIds(), QList<int>({Channel, Type, Toggle, NoteOrCC, Aftertouch, Colour}));
    QCOMPARE(combo("comboBoxChannel")->currentText(), QStringLiteral("Ch 4"));
    QCOMPARE(combo("comboBoxType")->currentText(), QStringLiteral("Note"));
    QCOMPARE(combo("comboBoxToggle")->currentText(), QStringLiteral("Toggle"));
    QCOMPARE(combo("comboBoxColour")->currentText(), QStringLiteral("Blue"));
    QCOMPARE(combo("comboBoxAftertouch")->currentText(), QStringLiteral("Off"));
    QCOMPARE(window->findChild<QLabel *>("labelNoteCC")->text(), QStringLiteral("Note"));
    QComboBox *number = combo("comboBoxNoteOrCC");
    QCOMPARE(number->count(), 128);
    // Each note entry carries its number first.
    QCOMPARE(number->itemText(0), QStringLiteral("0 C-2"));
    QCOMPARE(number->itemText(13), QStringLiteral("13 C#-1"));
    QCOMPARE(number->itemText(127), QStringLiteral("127 G8"));
    QCOMPARE(number->currentText(), QStringLiteral("60 C3"));

    // Selecting it again changes nothing.
    window->selection()->select(pad1);
    QCOMPARE(window->selection()->size(), 1);
}

void TestEditorPane::typeSwitchesTheNumberNames()
{
    model(pad1)->updateParameter(NoteOrCC, 64);
    window->selection()->select(pad1);
    QComboBox *type = combo("comboBoxType");
    QComboBox *number = combo("comboBoxNoteOrCC");
    auto *caption = window->findChild<QLabel *>("labelNoteCC");

    QTest::keyClick(type, Qt::Key_Down); // Note -> CC, as the user does
    QCOMPARE(int(value(pad1, Type)), 1);
    QCOMPARE(caption->text(), QStringLiteral("CC"));
    QCOMPARE(number->count(), 128);
    QCOMPARE(number->currentText(), QStringLiteral("64 Sustain Pedal"));
    QCOMPARE(int(value(pad1, NoteOrCC)), 64);

    QTest::keyClick(type, Qt::Key_Up);
    QCOMPARE(int(value(pad1, Type)), 0);
    QCOMPARE(caption->text(), QStringLiteral("Note"));
    QCOMPARE(number->currentText(), QStringLiteral("64 E3"));
}

void TestEditorPane::padThenKnobShowsTheUnionWithTheKnobsValues()
{
    openPane();
    model(knobE1)->updateParameter(CC, 7);
    model(knobE1)->updateParameter(Min, 10);
    model(knobE1)->updateParameter(Max, 90);
    model(pad1)->updateParameter(Channel, 5);
    model(knobE1)->updateParameter(Channel, 5);
    paneSelect(pad1);
    paneSelect(knobE1);

    QCOMPARE(shownIds(),
             QList<int>({Channel, CC, Min, Max, Type, Toggle, NoteOrCC, Aftertouch, Colour}));
    // The pad comes first and has no CC, Min or Max: the knob's values are shown.
    QCOMPARE(combo("comboBoxCC")->currentIndex(), 7);
    QCOMPARE(spin("spinMin")->value(), 10);
    QCOMPARE(spin("spinMax")->value(), 90);
    QCOMPARE(spin("spinMax")->text(), QStringLiteral("90"));
    QCOMPARE(combo("comboBoxChannel")->currentText(), QStringLiteral("Ch 6"));
    for (const char *name : {"comboBoxChannel", "comboBoxCC", "comboBoxType", "comboBoxColour"})
        QVERIFY2(!itemsOf(combo(name)).contains(QStringLiteral("<multi>")), name);
}

void TestEditorPane::everyHolderIsComparedNotOnlyNeighbours()
{
    openPane();
    model(pad1)->updateParameter(Type, 0);
    model(pad3)->updateParameter(Type, 1);
    paneSelect(pad1);
    paneSelect(knobE1);
    paneSelect(pad3);
    QCOMPARE(combo("comboBoxType")->currentText(), QStringLiteral("<multi>"));
    QCOMPARE(combo("comboBoxType")->count(), 3);

    // Without the knob between them, the same.
    paneDeselect(knobE1);
    QCOMPARE(combo("comboBoxType")->currentText(), QStringLiteral("<multi>"));
    QCOMPARE(combo("comboBoxType")->count(), 3);
}

void TestEditorPane::mixedSelectionShowsWhatItsControlsHave_data()
{
    QTest::addColumn<QList<int>>("controls"); // in order of selection
    QTest::addColumn<QList<Change>>("values");
    QTest::addColumn<QString>("editor");
    QTest::addColumn<QString>("shown");

    const int pad10 = 48;
    const int knobE5 = 20;
    QTest::newRow("pad 10 and E5: E5's Max")
        << QList<int>{pad10, knobE5} << QList<Change>{} << "spinMax"
        << "127";
    QTest::newRow("knob first, then pad: the same")
        << QList<int>{knobE1, pad1} << QList<Change>{{knobE1, Max, 90}} << "spinMax"
        << "90";
    QTest::newRow("pad first: the knob's controller")
        << QList<int>{pad1, knobE1} << QList<Change>{{knobE1, CC, 7}} << "comboBoxCC"
        << "7 Volume";
    QTest::newRow("knob first: the pad's note")
        << QList<int>{knobE1, pad1} << QList<Change>{{pad1, NoteOrCC, 60}} << "comboBoxNoteOrCC"
        << "60 C3";
    QTest::newRow("pad, knob, pad: Types differ")
        << QList<int>{pad1, knobE1, pad3} << QList<Change>{{pad1, Type, 0}, {pad3, Type, 1}}
        << "comboBoxType"
        << "<multi>";
    QTest::newRow("pad, knob, pad: Types agree")
        << QList<int>{pad1, knobE1, pad3} << QList<Change>{{pad1, Type, 1}, {pad3, Type, 1}}
        << "comboBoxType"
        << "CC";
    QTest::newRow("knob, pad, knob: Max differs")
        << QList<int>{knobE1, pad1, knobE2} << QList<Change>{{knobE1, Max, 90}, {knobE2, Max, 80}}
        << "spinMax"
        << "<multi>";
    QTest::newRow("knob, pad, knob: Max agrees")
        << QList<int>{knobE1, pad1, knobE2} << QList<Change>{{knobE1, Max, 90}, {knobE2, Max, 90}}
        << "spinMax"
        << "90";
    QTest::newRow("first and last of four differ") << QList<int>{pad1, pad2, pad3, 42}
                                                   << QList<Change>{{pad1, Channel, 1},
                                                                    {pad2, Channel, 1},
                                                                    {pad3, Channel, 1},
                                                                    {42, Channel, 2}}
                                                   << "comboBoxChannel"
                                                   << "<multi>";
}

void TestEditorPane::mixedSelectionShowsWhatItsControlsHave()
{
    QFETCH(QList<int>, controls);
    QFETCH(QList<Change>, values);
    QFETCH(QString, editor);
    QFETCH(QString, shown);

    openPane();
    apply(values);
    for (const int control : controls)
        paneSelect(control);
    QWidget *widget = pane->findChild<QWidget *>(editor);
    QVERIFY(widget->isEnabled() && !widget->isHidden());
    if (auto *box = qobject_cast<QComboBox *>(widget))
        QCOMPARE(box->currentText(), shown);
    else
        QCOMPARE(qobject_cast<QSpinBox *>(widget)->text(), shown);
}

void TestEditorPane::mixedTypesShowControllerNames()
{
    openPane();
    model(pad2)->updateParameter(Type, 1);
    paneSelect(pad1);
    paneSelect(pad2);
    QCOMPARE(combo("comboBoxType")->currentText(), QStringLiteral("<multi>"));
    // The numbers are notes for one pad and controllers for the other.
    QCOMPARE(pane->findChild<QLabel *>("labelNoteCC")->text(), QStringLiteral("Note/CC"));
    QCOMPARE(combo("comboBoxNoteOrCC")->itemText(7), QStringLiteral("7 Volume"));
}

void TestEditorPane::noteOrCCBoxShowsTheMarkerWhenNumbersDiffer()
{
    // Notes, then controller names after a change of Type: the marker stays, never a blank box.
    model(pad1)->updateParameter(NoteOrCC, 36);
    model(pad2)->updateParameter(NoteOrCC, 37);
    window->selection()->select(pad1);
    window->selection()->select(pad2);
    QComboBox *number = combo("comboBoxNoteOrCC");
    QCOMPARE(number->count(), 129);
    QCOMPARE(number->currentText(), QStringLiteral("<multi>"));
    combo("comboBoxType")->setCurrentIndex(1);
    QCOMPARE(number->count(), 129);
    QCOMPARE(number->itemText(7), QStringLiteral("7 Volume"));
    QCOMPARE(number->currentText(), QStringLiteral("<multi>"));
    QCOMPARE(int(value(pad1, NoteOrCC)), 36);
    QCOMPARE(int(value(pad2, NoteOrCC)), 37);

    number->setCurrentIndex(48); // the user's choice
    QCOMPARE(int(value(pad1, NoteOrCC)), 48);
    QCOMPARE(int(value(pad2, NoteOrCC)), 48);
    QCOMPARE(number->count(), 128);
    QCOMPARE(number->currentText(), QStringLiteral("48 General Purpose 1 LSB"));
}

void TestEditorPane::choiceOnMixedChannelsSetsAllAndDropsTheMarker()
{
    model(pad1)->updateParameter(Channel, 0);
    model(pad2)->updateParameter(Channel, 9);
    window->selection()->select(pad1);
    window->selection()->select(pad2);
    QComboBox *channel = combo("comboBoxChannel");
    QCOMPARE(channel->count(), 18);
    QCOMPARE(channel->itemText(17), QStringLiteral("<multi>"));
    QCOMPARE(channel->currentIndex(), 17);

    channel->setCurrentIndex(channel->findText(QStringLiteral("Ch 5")));
    QCOMPARE(int(value(pad1, Channel)), 4);
    QCOMPARE(int(value(pad2, Channel)), 4);
    QCOMPARE(channel->count(), 17);
    QCOMPARE(channel->currentText(), QStringLiteral("Ch 5"));
    QVERIFY(!channel->isHidden() && channel->isEnabled());

    channel->setCurrentIndex(16);
    QCOMPARE(int(value(pad2, Channel)), 16); // "Global"
}

void TestEditorPane::steppingMixedMaxSetsBoth()
{
    model(knobE1)->updateParameter(Max, 100);
    model(knobE2)->updateParameter(Max, 90);
    window->selection()->select(knobE1);
    window->selection()->select(knobE2);
    QSpinBox *max = spin("spinMax");
    QCOMPARE(max->text(), QStringLiteral("<multi>"));
    QCOMPARE(max->value(), -1);
    QCOMPARE(max->minimum(), -1);
    // Min agrees.
    QCOMPARE(spin("spinMin")->text(), QStringLiteral("0"));

    QTest::keyClick(max, Qt::Key_Up);
    QCOMPARE(int(value(knobE1, Max)), 0);
    QCOMPARE(int(value(knobE2, Max)), 0);
    QCOMPARE(max->minimum(), 0);
    QCOMPARE(max->specialValueText(), QString());
    QTest::keyClick(max, Qt::Key_Up);
    QCOMPARE(int(value(knobE1, Max)), 1);
    QCOMPARE(int(value(knobE2, Max)), 1);
}

void TestEditorPane::editOnMixedSelectionReachesItsHoldersOnly_data()
{
    QTest::addColumn<QList<int>>("controls");
    QTest::addColumn<QList<Change>>("values");
    QTest::addColumn<QString>("editor");
    QTest::addColumn<int>("key");    // pressed on a spin box
    QTest::addColumn<int>("choice"); // chosen in a combo box
    QTest::addColumn<QList<Change>>("changes");

    const int pad10 = 48;
    const int knobE5 = 20;
    QTest::newRow("pad 10 and E5: one step down from E5's Max")
        << QList<int>{pad10, knobE5} << QList<Change>{{knobE5, Max, 100}} << "spinMax"
        << int(Qt::Key_Down) << -1 << QList<Change>{{knobE5, Max, 99}};
    QTest::newRow("knob, pad, knob with different Max: a step sets both knobs")
        << QList<int>{knobE1, pad1, knobE2} << QList<Change>{{knobE1, Max, 90}, {knobE2, Max, 80}}
        << "spinMax" << int(Qt::Key_Up) << -1 << QList<Change>{{knobE1, Max, 0}, {knobE2, Max, 0}};
    QTest::newRow("pad, knob, pad with different Types: Note for both pads")
        << QList<int>{pad1, knobE1, pad3} << QList<Change>{{pad1, Type, 0}, {pad3, Type, 1}}
        << "comboBoxType" << 0 << 0 << QList<Change>{{pad3, Type, 0}};
    QTest::newRow("knob and pad: Ch 3 for both")
        << QList<int>{knobE1, pad1} << QList<Change>{{knobE1, Channel, 5}, {pad1, Channel, 9}}
        << "comboBoxChannel" << 0 << 2 << QList<Change>{{knobE1, Channel, 2}, {pad1, Channel, 2}};
}

void TestEditorPane::editOnMixedSelectionReachesItsHoldersOnly()
{
    QFETCH(QList<int>, controls);
    QFETCH(QList<Change>, values);
    QFETCH(QString, editor);
    QFETCH(int, key);
    QFETCH(int, choice);
    QFETCH(QList<Change>, changes);

    apply(values);
    for (const int control : controls)
        window->frontPanel()->item(control)->setSelected(true);
    QByteArray expected = patch();
    for (const Change &change : changes)
        expected[int(model(change.control)->getParameter(change.id)->address())] = char(
            change.value);

    QWidget *widget = window->findChild<QWidget *>(editor);
    if (auto *box = qobject_cast<QComboBox *>(widget))
        box->setCurrentIndex(choice); // as the user picks it
    else
        QTest::keyClick(widget, Qt::Key(key));
    QCOMPARE(patch(), expected);
}

void TestEditorPane::typedValueReachesModelsWhenFinished()
{
    window->selection()->select(knobE1);
    window->selection()->select(knobE2);
    QSpinBox *min = spin("spinMin");
    min->setFocus();
    min->selectAll();
    QTest::keyClicks(min, QStringLiteral("42"));
    QCOMPARE(int(value(knobE1, Min)), 0); // not yet: the edit is not finished
    QTest::keyClick(min, Qt::Key_Return);
    QCOMPARE(int(value(knobE1, Min)), 42);
    QCOMPARE(int(value(knobE2, Min)), 42);
}

void TestEditorPane::valueAboveTheMaximumIsStoredAsTheMaximum()
{
    window->selection()->select(pad1);
    window->selection()->select(knobE1);
    auto *pane = window->findChild<EditorPane *>();
    QVERIFY(pane);
    emit pane->edited(Max, 300); // beyond what a byte holds
    QCOMPARE(int(value(knobE1, Max)), 127);
    emit pane->edited(Max, -1);
    QCOMPARE(int(value(knobE1, Max)), 0);
    emit pane->edited(Colour, 7);
    QCOMPARE(int(value(pad1, Colour)), 2);
    QVERIFY(!model(knobE1)->getParameter(Colour));
}

void TestEditorPane::typedNumberPastTheMaximumGivesTheMaximum_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("finish"); // the key that ends the edit
    QTest::addColumn<bool>("mixed"); // E1 and E2 differ, the box showing the marker
    QTest::addColumn<int>("stored");

    QTest::newRow("200, Enter") << "200" << int(Qt::Key_Return) << false << 127;
    QTest::newRow("one past, Enter") << "128" << int(Qt::Key_Return) << false << 127;
    QTest::newRow("the maximum") << "127" << int(Qt::Key_Return) << false << 127;
    QTest::newRow("in range") << "99" << int(Qt::Key_Return) << false << 99;
    QTest::newRow("four digits, keypad Enter") << "1270" << int(Qt::Key_Enter) << false << 127;
    QTest::newRow("200 over <multi>") << "200" << int(Qt::Key_Return) << true << 127;
}

void TestEditorPane::typedNumberPastTheMaximumGivesTheMaximum()
{
    QFETCH(QString, typed);
    QFETCH(int, finish);
    QFETCH(bool, mixed);
    QFETCH(int, stored);
    model(knobE1)->updateParameter(Max, 50);
    model(knobE2)->updateParameter(Max, mixed ? 60 : 50);
    window->selection()->select(knobE1);
    window->selection()->select(knobE2);
    QSpinBox *max = spin("spinMax");
    window->showStatusMessage(QStringLiteral("Ready"));
    max->setFocus();
    max->selectAll();
    QTest::keyClicks(max, typed);
    QTest::keyClick(max, Qt::Key(finish));
    QCOMPARE(int(value(knobE1, Max)), stored);
    QCOMPARE(int(value(knobE2, Max)), stored);
    QCOMPARE(max->text(), QString::number(stored));
    const QString hint = typed.toInt() > 127
        ? QStringLiteral("Max: %1 is out of range (allowed: 0..127); 127 is set").arg(typed)
        : QStringLiteral("Ready");
    QCOMPARE(window->findChild<QStatusBar *>(QStringLiteral("statusBar"))->currentMessage(), hint);
}

void TestEditorPane::programChangesNeverReachTheUpdateSlots()
{
    model(pad1)->updateParameter(Channel, 1);
    model(pad2)->updateParameter(Channel, 2);
    model(pad2)->updateParameter(Type, 1);
    model(knobE1)->updateParameter(Max, 5);
    const QByteArray before(
        reinterpret_cast<const char *>(window->getMidiController()->getType1Sysex()), 348);

    TraceCapture traces;
    for (int index : {pad1, knobE1, pad2, 37, 6, 30, 0})
        window->selection()->select(index);
    for (int index : {knobE1, pad1, 37})
        window->selection()->deselect(index);
    window->selection()->select(knobE2);
    window->selection()->clear();
    window->selection()->select(pad2);
    emit window->document()->patchChanged(PatchDocument::Replacement::Arrived);

    for (const QString &line : traces.lines())
        QVERIFY2(!line.startsWith(QStringLiteral("prop ")), qPrintable(line));
    QCOMPARE(QByteArray(
                 reinterpret_cast<const char *>(window->getMidiController()->getType1Sysex()), 348),
             before);
}

void TestEditorPane::appliedPatchClearsTheSelection()
{
    window->selection()->select(pad1);
    window->selection()->select(knobE1);
    QByteArray patch = SimulatedDevice().patchMessage();
    QVERIFY(window->getMidiController()->parseType2Message(patch));
    QVERIFY(window->selection()->isEmpty());
    QCOMPARE(shownIds(), QList<int>());
}

void TestEditorPane::editsLeaveAsOneEditedSignal_data()
{
    QTest::addColumn<QList<int>>("controls");
    QTest::addColumn<QList<Change>>("values");
    QTest::addColumn<QString>("editor");
    QTest::addColumn<int>("key");    // pressed on a spin box
    QTest::addColumn<int>("choice"); // chosen in a combo box
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("value");

    QTest::newRow("channel") << QList<int>{pad1} << QList<Change>{} << "comboBoxChannel" << 0 << 16
                             << int(Channel) << 16;
    QTest::newRow("first colour") << QList<int>{pad1} << QList<Change>{{pad1, Colour, 2}}
                                  << "comboBoxColour" << 0 << 0 << int(Colour) << 0;
    QTest::newRow("last note") << QList<int>{pad1} << QList<Change>{} << "comboBoxNoteOrCC" << 0
                               << 127 << int(NoteOrCC) << 127;
    QTest::newRow("type over <multi>") << QList<int>{pad1, pad2} << QList<Change>{{pad2, Type, 1}}
                                       << "comboBoxType" << 0 << 1 << int(Type) << 1;
    QTest::newRow("max, one down") << QList<int>{knobE1} << QList<Change>{} << "spinMax"
                                   << int(Qt::Key_Down) << -1 << int(Max) << 126;
    QTest::newRow("max at the top, up")
        << QList<int>{knobE1} << QList<Change>{} << "spinMax" << int(Qt::Key_Up) << -1 << -1 << -1;
    QTest::newRow("min Y, up") << QList<int>{37} << QList<Change>{} << "spinMinY" << int(Qt::Key_Up)
                               << -1 << int(MinY) << 1;
    QTest::newRow("min of two knobs that differ, up")
        << QList<int>{knobE1, knobE2} << QList<Change>{{knobE2, Min, 9}} << "spinMin"
        << int(Qt::Key_Up) << -1 << int(Min) << 0;
}

void TestEditorPane::editsLeaveAsOneEditedSignal()
{
    QFETCH(QList<int>, controls);
    QFETCH(QList<Change>, values);
    QFETCH(QString, editor);
    QFETCH(int, key);
    QFETCH(int, choice);
    QFETCH(int, id);
    QFETCH(int, value);

    openPane();
    apply(values);
    for (const int control : controls)
        paneSelect(control);
    QSignalSpy edited(pane.get(), &EditorPane::edited);
    QWidget *widget = pane->findChild<QWidget *>(editor);
    QVERIFY(widget && widget->isEnabled());
    if (auto *box = qobject_cast<QComboBox *>(widget))
        box->setCurrentIndex(choice);
    else
        QTest::keyClick(widget, Qt::Key(key));
    if (id < 0) {
        QCOMPARE(edited.count(), 0);
        return;
    }
    QCOMPARE(edited.count(), 1);
    QCOMPARE(edited.at(0).at(0).value<ParameterId>(), ParameterId(id));
    QCOMPARE(edited.at(0).at(1).toInt(), value);
    // The edited box shows the value, no longer the marker of differing values.
    if (auto *box = qobject_cast<QComboBox *>(widget)) {
        QCOMPARE(box->currentIndex(), value);
        QVERIFY(!itemsOf(box).contains(QStringLiteral("<multi>")));
    } else {
        QCOMPARE(qobject_cast<QSpinBox *>(widget)->text(), QString::number(value));
    }
}

void TestEditorPane::showingNeverEmitsEdited()
{
    openPane();
    model(pad1)->updateParameter(Channel, 3);
    model(pad2)->updateParameter(Type, 1);
    model(knobE1)->updateParameter(Max, 5);
    QSignalSpy edited(pane.get(), &EditorPane::edited);
    for (int index : {pad1, knobE1, pad2, 37, 6, 30, 0})
        paneSelect(index);
    for (int index : {knobE1, pad1, 37, pad2, 6, 30, 0})
        paneDeselect(index);
    paneSelect(pad2);
    QCOMPARE(edited.count(), 0);
}

void TestEditorPane::numberPastTheMaximumIsReported_data()
{
    QTest::addColumn<QString>("editor");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message"); // empty: none

    QTest::newRow("Min X") << "spinMinX"
                           << "300"
                           << "Min X: 300 is out of range (allowed: 0..127); 127 is set";
    QTest::newRow("Min Y, nine digits")
        << "spinMinY"
        << "999999999"
        << "Min Y: 999999999 is out of range (allowed: 0..127); 127 is set";
    QTest::newRow("in range") << "spinMinX"
                              << "127"
                              << "";
}

void TestEditorPane::numberPastTheMaximumIsReported()
{
    QFETCH(QString, editor);
    QFETCH(QString, typed);
    QFETCH(QString, message);

    openPane();
    paneSelect(37); // the X-Y pad
    QSignalSpy messages(pane.get(), &EditorPane::statusMessage);
    QSignalSpy edited(pane.get(), &EditorPane::edited);
    QSpinBox *box = spin(qPrintable(editor));
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, typed);
    QCOMPARE(edited.count(), 0); // not before the edit is finished
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(messages.count(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QCOMPARE(messages.at(0).at(0).toString(), message);
    QCOMPARE(edited.count(), 1);
    QCOMPARE(edited.at(0).at(1).toInt(), 127);
}

void TestEditorPane::enterGoesToTheFirstShownEditor_data()
{
    QTest::addColumn<QList<int>>("controls");
    QTest::addColumn<QString>("editor"); // empty: none takes the keyboard

    QTest::newRow("nothing") << QList<int>{} << "";
    QTest::newRow("pad") << QList<int>{pad1} << "comboBoxType";
    QTest::newRow("knob") << QList<int>{knobE1} << "comboBoxChannel";
    QTest::newRow("X-Y pad") << QList<int>{37} << "comboBoxChannel";
    QTest::newRow("knob, then pad") << QList<int>{knobE1, pad1} << "comboBoxType";
    QTest::newRow("F1") << QList<int>{6} << "comboBoxType";
}

void TestEditorPane::enterGoesToTheFirstShownEditor()
{
    QFETCH(QList<int>, controls);
    QFETCH(QString, editor);

    openPane();
    QVERIFY(QTest::qWaitForWindowActive(pane.get()));
    for (const int control : controls)
        paneSelect(control);
    QWidget *before = QApplication::focusWidget();
    QCOMPARE(pane->focusFirstEditor(), !editor.isEmpty());
    if (editor.isEmpty())
        QCOMPARE(QApplication::focusWidget(), before);
    else
        QTRY_COMPARE(QApplication::focusWidget(), pane->findChild<QWidget *>(editor));
}

void TestEditorPane::editorsRunTopToBottom()
{
    openPane();
    for (int i = 0; i < ControlTable::count; ++i)
        paneSelect(i);
    const QList<QWidget *> editors = pane->editors();
    QCOMPARE(editors.size(), 16);
    QSet<QWidget *> distinct;
    int previous = -1;
    for (QWidget *editor : editors) {
        QVERIFY2(editor->isVisible(), qPrintable(editor->objectName()));
        const int top = editor->mapTo(pane.get(), QPoint(0, 0)).y();
        QVERIFY2(top > previous, qPrintable(editor->objectName()));
        previous = top;
        distinct << editor;
    }
    QCOMPARE(distinct.size(), 16);
}

void TestEditorPane::editorsAreNamedByTheirCaptions_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("type"); // of the pad shown; -1 shows the XY pad, -2 knob E1
    QTest::addColumn<QString>("caption");

    QTest::newRow("Channel") << int(Channel) << 0 << QStringLiteral("Channel");
    QTest::newRow("CC") << int(CC) << -2 << QStringLiteral("CC");
    QTest::newRow("CC X") << int(CCX) << -1 << QStringLiteral("CC X");
    QTest::newRow("CC Y") << int(CCY) << -1 << QStringLiteral("CC Y");
    QTest::newRow("Min") << int(Min) << -2 << QStringLiteral("Min");
    QTest::newRow("Min X") << int(MinX) << -1 << QStringLiteral("Min X");
    QTest::newRow("Min Y") << int(MinY) << -1 << QStringLiteral("Min Y");
    QTest::newRow("Max") << int(Max) << -2 << QStringLiteral("Max");
    QTest::newRow("Max X") << int(MaxX) << -1 << QStringLiteral("Max X");
    QTest::newRow("Max Y") << int(MaxY) << -1 << QStringLiteral("Max Y");
    QTest::newRow("Type") << int(Type) << 0 << QStringLiteral("Type");
    QTest::newRow("Mode") << int(Toggle) << 0 << QStringLiteral("Mode");
    QTest::newRow("Note of a note pad") << int(NoteOrCC) << 0 << QStringLiteral("Note");
    QTest::newRow("CC of a controller pad") << int(NoteOrCC) << 1 << QStringLiteral("CC");
    QTest::newRow("Aftertouch") << int(Aftertouch) << 0 << QStringLiteral("Aftertouch");
    QTest::newRow("Color") << int(Colour) << 0 << QStringLiteral("Color");
    QTest::newRow("Color Fn") << int(ColourF) << 6 << QStringLiteral("Color Fn");
}

// A screen reader names each editor by the caption beside it, as that caption reads now (the
// label relation, which Orca reads).
void TestEditorPane::editorsAreNamedByTheirCaptions()
{
    QFETCH(int, id);
    QFETCH(int, type);
    QFETCH(QString, caption);

    int shown = pad1;
    if (type == -1)
        shown = 37;
    else if (type == -2)
        shown = knobE1;
    else if (type == 6)
        shown = 6; // F1
    else
        model(pad1)->updateParameter(Type, uchar(type));
    window->selection()->select(shown);

    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(editor(id));
    QVERIFY(iface);
    const auto labels = iface->relations(QAccessible::Label);
    QCOMPARE(labels.size(), 1);
    QCOMPARE(labels.first().first->text(QAccessible::Name), caption);
    // A spin box takes the caption as its name too; a combo box's name on Linux is its value,
    // which a screen reader reads after the caption.
    if (qobject_cast<QSpinBox *>(editor(id)))
        QCOMPARE(iface->text(QAccessible::Name), caption);
}

void TestEditorPane::rowsNameTheGivenControllers()
{
    // A name file of three lines: controllers past them have no name to show.
    openPane({QStringLiteral("Zero"), QStringLiteral("One"), QStringLiteral("Two")});
    model(knobE1)->updateParameter(CC, 2);
    model(pad1)->updateParameter(Type, 1);
    model(pad1)->updateParameter(NoteOrCC, 1);
    paneSelect(knobE1);
    QCOMPARE(itemsOf(combo("comboBoxCC")), QStringList({"Zero", "One", "Two"}));
    QCOMPARE(combo("comboBoxCC")->currentText(), QStringLiteral("Two"));
    paneDeselect(knobE1);
    paneSelect(pad1);
    QCOMPARE(pane->findChild<QLabel *>("labelNoteCC")->text(), QStringLiteral("CC"));
    QCOMPARE(combo("comboBoxNoteOrCC")->currentText(), QStringLiteral("One"));
    // Type Note: the note names.
    combo("comboBoxType")->setCurrentIndex(0);
    QCOMPARE(pane->findChild<QLabel *>("labelNoteCC")->text(), QStringLiteral("Note"));
    QCOMPARE(combo("comboBoxNoteOrCC")->count(), 128);
    QCOMPARE(combo("comboBoxNoteOrCC")->currentText(), QStringLiteral("1 C#-2"));
    // A note past the three names is chosen and shown all the same.
    combo("comboBoxNoteOrCC")->setCurrentIndex(60);
    QCOMPARE(combo("comboBoxNoteOrCC")->currentText(), QStringLiteral("60 C3"));
}

QTEST_MAIN(TestEditorPane)
#include "tst_editorpane.moc"
