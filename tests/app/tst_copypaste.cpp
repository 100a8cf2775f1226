#include "../common/laidoutpatch.h"
#include "../common/simulateddevice.h"
#include "controlcopy.h"
#include "controltable.h"
#include "editprobe.h"
#include "librarydocument.h"
#include "librarypanel.h"
#include "presetnamefield.h"

#include <QClipboard>
#include <QMimeData>
#include <QUndoStack>
#include <QtTest>
#include <QtWidgets>

using namespace editprobe;

namespace {

using Bytes = QList<QPair<int, int>>; // offset in the patch message, value

QAction *action(const MainWindow &window, const char *name)
{
    return child<QAction>(window, QLatin1String(name));
}

// PAD7 as copied in these tests: CC 74, toggle, Ch 10, aftertouch on, blue.
void setUpPad7(MainWindow &window)
{
    window.document()->edit(QStringLiteral("Set up PAD7"), [](ControlTable &table) {
        MidiControlModel &pad7 = *table.at(45);
        pad7.updateParameter(Type, 1);
        pad7.updateParameter(Toggle, 1);
        pad7.updateParameter(Channel, 9);
        pad7.updateParameter(NoteOrCC, 74);
        pad7.updateParameter(Aftertouch, 1);
        pad7.updateParameter(Colour, 2);
    });
}

QList<int> warned(const MainWindow &window)
{
    QList<int> controls;
    for (int i = 0; i < ControlTable::count; ++i) {
        if (window.frontPanel()->item(i)->hasWarning())
            controls << i;
    }
    return controls;
}

} // namespace

Q_DECLARE_METATYPE(Bytes)

class TestCopyPaste : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void copyPutsTheControlAndItsLineOnTheClipboard();
    void pasteOntoAMixedSelectionIsOneStep_data();
    void pasteOntoAMixedSelectionIsOneStep();
    void aControlsLineFromAMailPastes();
    void clipboardWithoutAControlChangesNothing_data();
    void clipboardWithoutAControlChangesNothing();
    void copyTakesOneControlAndPasteSome();
    void textFieldsKeepCopyAndPasteForTheirText_data();
    void textFieldsKeepCopyAndPasteForTheirText();
    void theLibraryListKeepsItsOwnCopy();
    void checkMarksTheControlsAndFollowsEdits();

private:
    QTemporaryDir workDir;
};

void TestCopyPaste::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(workDir.isValid());
    QVERIFY(QDir::setCurrent(workDir.path())); // log.txt goes here
}

void TestCopyPaste::init()
{
    QGuiApplication::clipboard()->clear();
}

void TestCopyPaste::copyPutsTheControlAndItsLineOnTheClipboard()
{
    MainWindow window(noDevice());
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    setUpPad7(window);
    select(window, {45});
    window.frontPanel()->setFocus();
    QCOMPARE(action(window, "actionCopy")->shortcut(), QKeySequence(QKeySequence::Copy));
    QTest::keySequence(&window, QKeySequence::Copy);

    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    QVERIFY(data);
    QCOMPARE(data->text(),
             QStringLiteral("PAD7    channel=10 type=CC toggle=Toggle noteorcc=74 "
                            "aftertouch=On colour=Blue\n"));
    QVERIFY(data->hasFormat(QLatin1String(ControlCopy::mimeType)));
    QCOMPARE(statusText(window), QStringLiteral("Copied PAD7"));
}

void TestCopyPaste::pasteOntoAMixedSelectionIsOneStep_data()
{
    QTest::addColumn<bool>("keepNumbers");
    QTest::addColumn<Bytes>("written"); // every byte of the patch that changes
    QTest::addColumn<QString>("stepText");
    QTest::addColumn<QString>("status");

    // PAD7's Type, Toggle, Channel, Note/CC, Aftertouch and Colour onto PAD1 (from byte 63)
    // and F1 (from 217, without a colour of pads), its channel alone onto E1 (291), S1 (27) and
    // the X-Y pad, whose channel goes to both of its axes (55 and 59).
    QTest::newRow("Paste") << false << Bytes{{63, 1},  {64, 1},  {65, 9},  {66, 74}, {67, 1},
                                             {68, 2},  {217, 1}, {218, 1}, {219, 9}, {220, 74},
                                             {291, 9}, {27, 9},  {55, 9},  {59, 9}}
                           << "Paste PAD7 onto 5 controls"
                           << "Pasted PAD7 onto 5 controls";
    QTest::newRow("Paste All but Note/CC")
        << true << Bytes{{63, 1},  {64, 1},  {65, 9},  {67, 1}, {68, 2}, {217, 1},
                         {218, 1}, {219, 9}, {291, 9}, {27, 9}, {55, 9}, {59, 9}}
        << "Paste PAD7 but Note/CC onto 5 controls"
        << "Pasted PAD7 onto 5 controls, each keeping its note or CC";
}

void TestCopyPaste::pasteOntoAMixedSelectionIsOneStep()
{
    QFETCH(bool, keepNumbers);
    QFETCH(Bytes, written);
    QFETCH(QString, stepText);
    QFETCH(QString, status);
    MainWindow window(noDevice());
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    setUpPad7(window);
    select(window, {45});
    action(window, "actionCopy")->trigger();

    // Every target holds a value of its own in the bytes that the paste writes, the note and
    // CC numbers included.
    window.document()->edit(QStringLiteral("Set up the targets"), [](ControlTable &table) {
        table.at(39)->updateParameter(NoteOrCC, 40);
        table.at(6)->updateParameter(NoteOrCC, 41);
        table.at(6)->updateParameter(ColourF, 1);
        table.at(16)->updateParameter(CC, 42);
        table.at(0)->updateParameter(Max, 99);
        table.at(37)->updateParameter(CCX, 43);
    });
    const QByteArray before = type1(window);
    QByteArray expected = before;
    for (const auto &[offset, value] : written)
        expected[offset] = char(value);
    const int steps = window.document()->undoStack()->count();

    select(window, {39, 16, 37, 6, 0});
    window.frontPanel()->setFocus();
    QTest::keySequence(&window,
                       keepNumbers ? QKeySequence(QStringLiteral("Ctrl+Shift+V"))
                                   : QKeySequence(QKeySequence::Paste));
    QCOMPARE(type1(window).toHex(' '), expected.toHex(' '));
    QCOMPARE(window.document()->undoStack()->count(), steps + 1);
    QCOMPARE(window.document()->undoStack()->text(steps), stepText);
    QCOMPARE(statusText(window), status);
    // The pane shows what the paste set on the selection: all five on Ch 10.
    QCOMPARE(child<QComboBox>(window, QStringLiteral("comboBoxChannel"))->currentText(),
             QStringLiteral("Ch 10"));

    QTest::keySequence(&window, QKeySequence::Undo);
    QCOMPARE(type1(window).toHex(' '), before.toHex(' '));
    QTest::keySequence(&window, QKeySequence::Redo);
    QCOMPARE(type1(window).toHex(' '), expected.toHex(' '));
}

// Text written as "vellichord show" prints a control, here only some of its parameters.
void TestCopyPaste::aControlsLineFromAMailPastes()
{
    MainWindow window(noDevice());
    const QByteArray before = type1(window);
    QGuiApplication::clipboard()->setText(QStringLiteral("PAD7 channel=10 colour=Green\n"));
    select(window, {39, 40});
    action(window, "actionPaste")->trigger();
    QByteArray expected = before;
    for (int offset : {65, 71})
        expected[offset] = 9;
    for (int offset : {68, 74})
        expected[offset] = 1;
    QCOMPARE(type1(window).toHex(' '), expected.toHex(' '));
    QCOMPARE(statusText(window), QStringLiteral("Pasted PAD7 onto 2 controls"));
}

void TestCopyPaste::clipboardWithoutAControlChangesNothing_data()
{
    QTest::addColumn<QString>("text"); // empty: nothing on the clipboard
    QTest::addColumn<QString>("status");
    const QString foreign = QStringLiteral(
        "Nothing pasted: the clipboard's text is no control copied from the editor");
    QTest::newRow("empty clipboard") << ""
                                     << "Nothing pasted: the clipboard holds no control";
    QTest::newRow("a word") << "Vellichord" << foreign;
    QTest::newRow("a control's line with a bad value") << "PAD7 colour=Purple" << foreign;
    QTest::newRow("the show output of two controls")
        << "S1      channel=1 cc=0 min=0 max=127\nS2      channel=1 cc=0 min=0 max=127" << foreign;
}

void TestCopyPaste::clipboardWithoutAControlChangesNothing()
{
    QFETCH(QString, text);
    QFETCH(QString, status);
    MainWindow window(noDevice());
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(text);
    const QByteArray before = type1(window);
    const int steps = window.document()->undoStack()->count();
    select(window, {39, 16});
    action(window, "actionPaste")->trigger();
    QCOMPARE(type1(window), before);
    QCOMPARE(window.document()->undoStack()->count(), steps);
    QCOMPARE(statusText(window), status);
}

void TestCopyPaste::copyTakesOneControlAndPasteSome()
{
    MainWindow window(noDevice());
    QAction *copy = action(window, "actionCopy");
    QAction *paste = action(window, "actionPaste");
    QAction *pasteKeepingNumbers = action(window, "actionPasteKeepNumbers");
    const auto enabled = [&] {
        return QList<bool>{copy->isEnabled(), paste->isEnabled(), pasteKeepingNumbers->isEnabled()};
    };
    select(window, {});
    QCOMPARE(enabled(), (QList<bool>{false, false, false}));
    select(window, {45});
    QCOMPARE(enabled(), (QList<bool>{true, true, true}));
    select(window, {45, 46});
    QCOMPARE(enabled(), (QList<bool>{false, true, true}));
    // Copy called all the same says why, and the clipboard stays as it was.
    QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
    copy->setEnabled(true);
    copy->trigger();
    QCOMPARE(statusText(window), QStringLiteral("Copy takes one control; 2 are selected"));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("kept"));
}

void TestCopyPaste::textFieldsKeepCopyAndPasteForTheirText_data()
{
    QTest::addColumn<int>("control");
    QTest::addColumn<QString>("field"); // empty: the preset name
    QTest::addColumn<QString>("copied");
    QTest::addColumn<QString>("pasted");
    QTest::newRow("preset name") << 45 << ""
                                 << "tarvelvellichord"
                                 << "Live";
    QTest::newRow("spin box of a slider") << 0 << "spinMax"
                                          << "127"
                                          << "99";
    QTest::newRow("spin box of the X-Y pad") << 37 << "spinMinY"
                                             << "0"
                                             << "12";
}

void TestCopyPaste::textFieldsKeepCopyAndPasteForTheirText()
{
    QFETCH(int, control);
    QFETCH(QString, field);
    QFETCH(QString, copied);
    QFETCH(QString, pasted);
    MainWindow window(noDevice());
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    select(window, {control});
    QWidget *editor = field.isEmpty()
        ? static_cast<QWidget *>(window.findChild<PresetNameField *>()->lineEdit())
        : child<QAbstractSpinBox>(window, field);
    editor->setFocus();
    QVERIFY(editor->hasFocus());
    QSignalSpy copies(action(window, "actionCopy"), &QAction::triggered);
    QSignalSpy pastes(action(window, "actionPaste"), &QAction::triggered);
    const auto text = [editor] {
        if (auto *line = qobject_cast<QLineEdit *>(editor))
            return line->text();
        return static_cast<QAbstractSpinBox *>(editor)->text();
    };
    const auto selectAll = [editor] {
        if (auto *line = qobject_cast<QLineEdit *>(editor))
            line->selectAll();
        else
            static_cast<QAbstractSpinBox *>(editor)->selectAll();
    };

    selectAll();
    QTest::keySequence(editor, QKeySequence::Copy);
    QCOMPARE(QGuiApplication::clipboard()->text(), copied);
    QVERIFY(
        !QGuiApplication::clipboard()->mimeData()->hasFormat(QLatin1String(ControlCopy::mimeType)));

    QGuiApplication::clipboard()->setText(pasted);
    selectAll();
    QTest::keySequence(editor, QKeySequence::Paste);
    QCOMPARE(text(), pasted);
    QCOMPARE(copies.count(), 0);
    QCOMPARE(pastes.count(), 0);
}

// Ctrl+C in the library's list copies its preset, not the selected control.
void TestCopyPaste::theLibraryListKeepsItsOwnCopy()
{
    MainWindow window(noDevice());
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    window.libraryDock()->show();
    QVERIFY(window.library()->store(3));
    select(window, {45});
    QListView *list = window.libraryPanel()->view();
    list->setCurrentIndex(list->model()->index(3, 0));
    list->setFocus();
    QVERIFY(list->hasFocus());
    QSignalSpy ours(action(window, "actionCopy"), &QAction::triggered);
    QSignalSpy library(
        window.libraryPanel()->findChild<QAction *>(QStringLiteral("actionLibraryCopy")),
        &QAction::triggered);
    QTest::keySequence(list, QKeySequence::Copy);
    QCOMPARE(library.count(), 1);
    QCOMPARE(ours.count(), 0);
    QVERIFY(QGuiApplication::clipboard()->mimeData()->hasFormat(
        QLatin1String(LibraryPanel::patchMimeType)));

    // Back on the picture, the keys are the editor's.
    window.frontPanel()->setFocus();
    QTest::keySequence(&window, QKeySequence::Copy);
    QCOMPARE(ours.count(), 1);
    QCOMPARE(library.count(), 1);
}

void TestCopyPaste::checkMarksTheControlsAndFollowsEdits()
{
    MainWindow window(noDevice());
    window.document()->edit(QStringLiteral("Lay out"), [](ControlTable &table) {
        layOut(table);
        table.at(40)->updateParameter(NoteOrCC, 36); // PAD2 on PAD1's note
        table.at(16)->updateParameter(CC, 0);        // E1 on bank select
    });
    // No marks before the check runs.
    QCOMPARE(warned(window), QList<int>());

    action(window, "actionCheck")->trigger();
    QCOMPARE(statusText(window),
             QStringLiteral("Check: 2 findings, marked on the controls; their tooltips say why"));
    QCOMPARE(warned(window), (QList<int>{16, 39, 40}));
    QVERIFY2(window.frontPanel()->controlToolTip(40).endsWith(
                 QStringLiteral("\n\u26A0 PAD1 and PAD2 both send Note 36 on Ch 1")),
             qPrintable(window.frontPanel()->controlToolTip(40)));
    QVERIFY(window.frontPanel()->controlToolTip(16).endsWith(
        QStringLiteral("\n\u26A0 E1 sends CC 0, which DAWs and synths reserve for bank select")));
    QVERIFY(!window.frontPanel()->controlToolTip(41).contains(QChar(0x26A0)));

    // The marks follow edits, undo and redo.
    window.document()->applyEdit({40}, NoteOrCC, 37);
    QCOMPARE(warned(window), QList<int>{16});
    QVERIFY(!window.frontPanel()->controlToolTip(40).contains(QChar(0x26A0)));
    window.document()->undoStack()->undo();
    QCOMPARE(warned(window), (QList<int>{16, 39, 40}));
    window.document()->applyEdit({16}, CC, 7);
    QCOMPARE(warned(window), (QList<int>{39, 40}));

    window.document()->applyEdit({40}, NoteOrCC, 37);
    action(window, "actionCheck")->trigger();
    QCOMPARE(warned(window), QList<int>());
    QCOMPARE(statusText(window),
             QStringLiteral("Check: no two controls send the same note or CC "
                            "on one channel, and none sends a reserved CC"));
}

QTEST_MAIN(TestCopyPaste)

#include "tst_copypaste.moc"
