#include "../common/filedialog.h"
#include "../common/files.h"
#include "../common/simulateddevice.h"
#include "../common/viewinput.h"
#include "editprobe.h"
#include "parameterinfo.h"

#include <QUndoStack>

using namespace editprobe;

// Every change of the patch is one undo step; undo and redo give back the exact bytes and
// never reach the device.
class TestUndo : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void mixedSequenceUndoesAndRedoesByteForByte();
    void stepTextsNameTheChange_data();
    void stepTextsNameTheChange();
    void typingIsOneStepPerBurst();
    void undoKeepsTheSelectionAndShowsTheValues();
    void theOldestStepsGoBeyondTheLimit();

private:
    QTemporaryDir workDir;
};

void TestUndo::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(workDir.isValid());
    QVERIFY(QDir::setCurrent(workDir.path())); // log.txt goes here
}

void TestUndo::mixedSequenceUndoesAndRedoesByteForByte()
{
    SimulatedDevice *device = nullptr;
    MainWindow window(plug(device));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE(statusText(window), QStringLiteral("Patch uploaded."));
    QUndoStack *stack = window.document()->undoStack();
    QCOMPARE(stack->count(), 1);
    QCOMPARE(stack->text(0), QStringLiteral("Patch from Vellichord"));
    QList<QByteArray> states = {type1(window)};
    QStringList texts;
    auto step = [&](const QString &text) {
        states << type1(window);
        texts << text;
    };

    select(window, {16, 17, 18});
    child<QComboBox>(window, QStringLiteral("comboBoxChannel"))->setCurrentIndex(11);
    step(QStringLiteral("Set Channel on 3 controls"));

    const MidiControlModel *pad7 = window.getMidiController()->getModels()->at(45);
    unsigned char colour = 0;
    QVERIFY(pad7->getValue(Colour, &colour));
    const QString other = ParameterInfo::colourNames().at((colour + 1) % 3);
    viewinput::chooseFromMenuOf(window, 45, QStringLiteral("Color"), other);
    QTRY_COMPARE(stack->count(), 3);
    step(QStringLiteral("Set Color of PAD7"));

    auto *name = child<QLineEdit>(window, QStringLiteral("lineEditPresetName"));
    name->setFocus();
    name->selectAll();
    QTest::keyClicks(name, QStringLiteral("undo me"));
    QTest::keyClick(name, Qt::Key_Return);
    step(QStringLiteral("Rename preset"));

    QByteArray file = SimulatedDevice::ownPatch();
    file[6] = 0x61;
    file[int(pad7->getParameter(Colour)->address())] = char(colour);
    file.replace(11, 16, QByteArray("from a file\0\0\0\0\0", 16));
    const QString path = workDir.filePath(QStringLiteral("step.syx"));
    QVERIFY(writeFile(path, file));
    answerFileDialog(path);
    press(window, "buttonLoadSysex");
    QCOMPARE(statusText(window), QStringLiteral("Settings File Loaded"));
    step(QStringLiteral("Load patch file"));

    // The device sends a patch of its own over the unsent file: it is kept aside until
    // Revert to Device Patch takes it.
    QByteArray own = SimulatedDevice::ownPatch();
    own[int(window.getMidiController()->getModels()->at(0)->getParameter(Max)->address())] = 3;
    device->send(own);
    QTRY_COMPARE(statusText(window),
                 QStringLiteral("The Vellichord's patch changed; your unsent changes are kept. "
                                "Upload takes the device's patch."));
    QCOMPARE(type1(window), states.last());
    window.findChild<QAction *>(QStringLiteral("actionRevert"))->trigger();
    step(QStringLiteral("Revert to Device Patch"));

    QCOMPARE(stack->count(), states.size());
    for (int i = 0; i < texts.size(); ++i)
        QCOMPARE(stack->text(i + 1), texts.at(i));
    for (int i = 1; i < states.size(); ++i)
        QVERIFY2(states.at(i) != states.at(i - 1), qPrintable(texts.at(i - 1)));

    const QList<QByteArray> sent = device->received;
    for (int i = states.size() - 2; i >= 0; --i) {
        stack->undo();
        QCOMPARE(type1(window).toHex(' '), states.at(i).toHex(' '));
    }
    // One more takes back the start-up answer, to the editor's own defaults.
    stack->undo();
    QVERIFY(!stack->canUndo());
    QCOMPARE(type1(window), type1(MainWindow(noDevice())));
    stack->redo();
    for (int i = 1; i < states.size(); ++i) {
        stack->redo();
        QCOMPARE(type1(window).toHex(' '), states.at(i).toHex(' '));
    }
    QCoreApplication::processEvents();
    QCOMPARE(device->received, sent);
    QCOMPARE(name->text(), QString::fromLatin1(SimulatedDevice::name));
}

void TestUndo::stepTextsNameTheChange_data()
{
    QTest::addColumn<QList<int>>("controls");
    QTest::addColumn<QString>("editor");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("one pad's colour")
        << QList<int>{45} << "comboBoxColour" << 2 << "Set Color of PAD7";
    QTest::newRow("three knobs' channel")
        << QList<int>{16, 17, 18} << "comboBoxChannel" << 5 << "Set Channel on 3 controls";
    QTest::newRow("a slider's maximum") << QList<int>{0} << "spinMax" << 100 << "Set Max of S1";
    QTest::newRow("a knob and a pad, channel")
        << QList<int>{16, 45} << "comboBoxChannel" << 3 << "Set Channel on 2 controls";
    QTest::newRow("colour of pads and a knob without one")
        << QList<int>{16, 39, 40} << "comboBoxColour" << 2 << "Set Color on 2 controls";
}

void TestUndo::stepTextsNameTheChange()
{
    QFETCH(QList<int>, controls);
    QFETCH(QString, editor);
    QFETCH(int, value);
    QFETCH(QString, text);

    MainWindow window(noDevice());
    select(window, controls);
    QWidget *box = child<QWidget>(window, editor);
    if (auto *combo = qobject_cast<QComboBox *>(box))
        combo->setCurrentIndex(value);
    else
        static_cast<QSpinBox *>(box)->setValue(value);
    QCOMPARE(window.document()->undoStack()->count(), 1);
    QCOMPARE(window.document()->undoStack()->undoText(), text);
}

void TestUndo::typingIsOneStepPerBurst()
{
    MainWindow window(noDevice());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QUndoStack *stack = window.document()->undoStack();
    auto *name = child<QLineEdit>(window, QStringLiteral("lineEditPresetName"));
    const QString start = name->text();
    name->setFocus();
    name->end(false);

    name->clear();
    QCOMPARE(stack->count(), 1);
    QTest::keyClicks(name, QStringLiteral("abc"));
    QCOMPARE(stack->count(), 1);
    QTest::keyClick(name, Qt::Key_Return); // ends the burst
    // Typed and taken back within one burst: nothing more to undo.
    QTest::keyClick(name, Qt::Key_X);
    QCOMPARE(stack->count(), 2);
    QTest::keyClick(name, Qt::Key_Backspace);
    QCOMPARE(stack->count(), 1);
    QTest::keyClicks(name, QStringLiteral("de"));
    QCOMPARE(stack->count(), 2);
    QCOMPARE(stack->text(1), QStringLiteral("Rename preset"));

    stack->undo();
    QCOMPARE(name->text(), QStringLiteral("abc"));
    QCOMPARE(window.getMidiController()->getPresetName(), QStringLiteral("abc"));
    stack->undo();
    QCOMPARE(name->text(), start);
    stack->redo();
    stack->redo();
    QCOMPARE(window.getMidiController()->getPresetName(), QStringLiteral("abcde"));
}

void TestUndo::undoKeepsTheSelectionAndShowsTheValues()
{
    MainWindow window(noDevice());
    select(window, {16, 17, 18});
    auto *channel = child<QComboBox>(window, QStringLiteral("comboBoxChannel"));
    const int before = channel->currentIndex();
    channel->setCurrentIndex(before + 4);
    window.frontPanel()->item(17)->setSelected(false);
    channel->setCurrentIndex(before + 6); // E1 and E3 only: the pane now shows "<multi>"

    window.document()->undoStack()->undo();
    QCOMPARE(channel->currentIndex(), before + 4);
    window.document()->undoStack()->undo();
    QCOMPARE(channel->currentIndex(), before);
    QCOMPARE(window.selection()->size(), 2);
    QVERIFY(window.frontPanel()->item(16)->isSelected()
            && window.frontPanel()->item(18)->isSelected());
    window.document()->undoStack()->redo();
    window.document()->undoStack()->redo();
    select(window, {16, 17, 18});
    QCOMPARE(channel->currentText(), QStringLiteral("<multi>"));
}

void TestUndo::theOldestStepsGoBeyondTheLimit()
{
    MainWindow window(noDevice());
    QUndoStack *stack = window.document()->undoStack();
    QCOMPARE(stack->undoLimit(), PatchDocument::undoLimit);
    // The window's edits past a limit are tried on a short stack: a thousand of them take
    // longer than a test may under the sanitizers.
    QCOMPARE(stack->count(), 0);
    const int limit = 5;
    stack->setUndoLimit(limit);
    auto *name = child<QLineEdit>(window, QStringLiteral("lineEditPresetName"));
    for (int i = 0; i < limit + 2; ++i) {
        name->setText(QString::number(i));
        emit name->editingFinished();
    }
    QCOMPARE(stack->count(), limit);
    while (stack->canUndo())
        stack->undo();
    QCOMPARE(window.getMidiController()->getPresetName(), QStringLiteral("1"));
    QCOMPARE(name->text(), QStringLiteral("1"));
}

QTEST_MAIN(TestUndo)
#include "tst_undo.moc"
