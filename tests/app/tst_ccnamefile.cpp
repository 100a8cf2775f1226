#include "../common/files.h"
#include "../common/simulateddevice.h"
#include "../common/tracecapture.h"
#include "../common/viewinput.h"
#include "mainwindow.h"
#include "midicontrolitem.h"
#include "midicontroller.h"

#include <QtTest>
#include <QtWidgets>

// This test has a folder to itself: it writes the controller-name file beside its executable,
// where the editor looks for it.
class TestCCNameFile : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void shippedFileNamesEachControllerOnce();
    void editorOffersTheShippedNames();
    void missingFileLeavesNameListsEmpty();
    void lineEndsAreDropped();
    void shortFileStillShowsTheNoteOfAPad();
    void menuTakesTheLastOfTwinsAndPinsLatePositions();

private:
    static QString namesPath()
    {
        return QCoreApplication::applicationDirPath() + QStringLiteral("/Midi-CC-list.txt");
    }
    static MidiControlModel *model(MainWindow &window, int index)
    {
        return window.getMidiController()->getModels()->at(index);
    }
};

void TestCCNameFile::cleanup()
{
    QFile::remove(namesPath());
}

void TestCCNameFile::shippedFileNamesEachControllerOnce()
{
    const QStringList lines = QString::fromLatin1(readFile(VELLICHORD_CC_NAMES))
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 128);
    // Each name starts with its number, so no two names are alike.
    for (int number = 0; number < 128; ++number) {
        QVERIFY2(lines[number].startsWith(QString::number(number) + QLatin1Char(' ')),
                 qPrintable(lines[number]));
        QVERIFY(lines[number].size() > 2 + QString::number(number).size());
        QVERIFY(!lines[number].contains(QLatin1Char('\r')));
    }
    QCOMPARE(QSet<QString>(lines.begin(), lines.end()).size(), 128);
    QCOMPARE(lines[7], QStringLiteral("7 Volume"));
    QCOMPARE(lines[64], QStringLiteral("64 Sustain Pedal"));
    QCOMPARE(lines[20], QStringLiteral("20 Undefined"));
}

void TestCCNameFile::editorOffersTheShippedNames()
{
    QVERIFY(QFile::copy(VELLICHORD_CC_NAMES, namesPath()));
    MainWindow window(noDevice());
    model(window, 16)->updateParameter(CC, 74);
    window.selectModel(model(window, 16));
    auto *cc = window.findChild<QComboBox *>(QStringLiteral("comboBoxCC"));
    QCOMPARE(cc->count(), 128);
    QCOMPARE(cc->currentText(), QStringLiteral("74 Brightness"));
}

void TestCCNameFile::missingFileLeavesNameListsEmpty()
{
    TraceCapture traces;
    MainWindow window(noDevice());
    QVERIFY(traces.contains(QStringLiteral("Couldn't find file ") + namesPath()));

    auto *cc = window.findChild<QComboBox *>(QStringLiteral("comboBoxCC"));
    auto *number = window.findChild<QComboBox *>(QStringLiteral("comboBoxNoteOrCC"));
    window.selectModel(model(window, 39));
    window.selectModel(model(window, 16));
    QCOMPARE(cc->count(), 0);
    QCOMPARE(number->count(), 0);
    QVERIFY(!cc->isHidden() && !number->isHidden());

    // The other parameters are still edited.
    auto *channel = window.findChild<QComboBox *>(QStringLiteral("comboBoxChannel"));
    channel->setCurrentIndex(2);
    auto *max = window.findChild<QSpinBox *>(QStringLiteral("spinMax"));
    max->setValue(64);
    unsigned char value = 0;
    QVERIFY(model(window, 39)->getValue(Channel, &value));
    QCOMPARE(int(value), 2);
    QVERIFY(model(window, 16)->getValue(Max, &value));
    QCOMPARE(int(value), 64);
}

void TestCCNameFile::lineEndsAreDropped()
{
    QVERIFY(writeFile(namesPath(), "0 First\r\n1 Second\r\n\r\n3  spaced \n4 last"));
    MainWindow window(noDevice());
    window.selectModel(model(window, 16));
    auto *cc = window.findChild<QComboBox *>(QStringLiteral("comboBoxCC"));
    QCOMPARE(cc->count(), 5);
    QCOMPARE(cc->itemText(0), QStringLiteral("0 First"));
    QCOMPARE(cc->itemText(1), QStringLiteral("1 Second"));
    QCOMPARE(cc->itemText(2), QString());
    QCOMPARE(cc->itemText(3), QStringLiteral("3  spaced "));
    QCOMPARE(cc->itemText(4), QStringLiteral("4 last"));
}

void TestCCNameFile::shortFileStillShowsTheNoteOfAPad()
{
    // With fewer names than notes, a pad's note must not vanish on the way through the
    // controller names.
    QVERIFY(writeFile(namesPath(), "0 Only\n"));
    MainWindow window(noDevice());
    model(window, 39)->updateParameter(NoteOrCC, 60);
    window.selectModel(model(window, 39));
    auto *number = window.findChild<QComboBox *>(QStringLiteral("comboBoxNoteOrCC"));
    QCOMPARE(number->count(), 128);
    QCOMPARE(number->currentText(), QStringLiteral("C3"));

    number->setCurrentIndex(62);
    QCOMPARE(number->currentText(), QStringLiteral("D3"));
    unsigned char value = 0;
    QVERIFY(model(window, 39)->getValue(NoteOrCC, &value));
    QCOMPARE(int(value), 62);
}

void TestCCNameFile::menuTakesTheLastOfTwinsAndPinsLatePositions()
{
    QByteArray names;
    for (int line = 0; line < 300; ++line)
        names += (line == 3 || line == 9 ? QByteArray("Twin") : QByteArray::number(line)) + '\n';
    QVERIFY(writeFile(namesPath(), names));
    MainWindow window(noDevice());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.getItem(0)->setSelected(true);

    unsigned char value = 0;
    viewinput::chooseFromMenuOf(window, 0, QStringLiteral("CC"), QStringLiteral("Twin"));
    QVERIFY(model(window, 0)->getValue(CC, &value));
    QCOMPARE(int(value), 9);

    // Position 299 is past what a byte holds: the highest value, not 299 - 256.
    viewinput::chooseFromMenuOf(window, 0, QStringLiteral("CC"), QStringLiteral("299"));
    QVERIFY(model(window, 0)->getValue(CC, &value));
    QCOMPARE(int(value), 127);
}

QTEST_MAIN(TestCCNameFile)
#include "tst_ccnamefile.moc"
