#include "../common/files.h"
#include "../common/simulateddevice.h"
#include "../common/tracecapture.h"
#include "../common/viewinput.h"
#include "frontpanel.h"
#include "mainwindow.h"
#include "midicontrolitem.h"
#include "midicontroller.h"
#include "patchlayout.h"
#include "selection.h"

#include <QtTest>

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
#include <QTextCodec>
#endif
#include <QtWidgets>

#include <algorithm>

namespace {

struct Setting
{
    int control;
    ParameterId id;
    int value;
};

} // namespace

Q_DECLARE_METATYPE(QList<Setting>)

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
    void menuTakesTheLastOfTwins();
    void menuChoiceSetsOnlyItsParameter_data();
    void menuChoiceSetsOnlyItsParameter();
    void namesAreListedAsWritten_data();
    void namesAreListedAsWritten();
    void onlyTheHeadOfAHugeFileIsRead();
    void overlongNameWidensTheWindowOnlySoFar();

private:
    static QString namesPath()
    {
        return QCoreApplication::applicationDirPath() + QStringLiteral("/Midi-CC-list.txt");
    }
    static MidiControlModel *model(MainWindow &window, int index)
    {
        return window.getMidiController()->getModels()->at(index);
    }
    static QStringList itemsOf(const QComboBox *box)
    {
        QStringList items;
        for (int i = 0; i < box->count(); ++i)
            items << box->itemText(i);
        return items;
    }
    // The entries of a control's "CC" submenu: their texts and their tooltips.
    static QPair<QStringList, QStringList> ccEntriesOf(MainWindow &window, int control)
    {
        QPair<QStringList, QStringList> entries;
        viewinput::onNextMenu([&entries](QMenu *menu) {
            if (QAction *submenu = viewinput::actionNamed(menu, QStringLiteral("CC"))) {
                for (const QAction *entry : submenu->menu()->actions()) {
                    entries.first << entry->text();
                    entries.second << entry->toolTip();
                }
            }
            viewinput::dismiss(menu);
        });
        viewinput::clickControl(window, control, Qt::RightButton);
        return entries;
    }
    // How a menu shows a name: at most 64 characters, the last an ellipsis if it was cut.
    static QString shownInMenu(const QString &name)
    {
        return name.size() > 64 ? name.left(63) + QChar(0x2026) : name;
    }
};

void TestCCNameFile::cleanup()
{
    QFile::remove(namesPath());
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QTextCodec::setCodecForLocale(nullptr);
#endif
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
    window.selection()->select(16);
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
    window.selection()->select(39);
    window.selection()->select(16);
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
    window.selection()->select(16);
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
    window.selection()->select(39);
    auto *number = window.findChild<QComboBox *>(QStringLiteral("comboBoxNoteOrCC"));
    QCOMPARE(number->count(), 128);
    QCOMPARE(number->currentText(), QStringLiteral("60 C3"));

    number->setCurrentIndex(62);
    QCOMPARE(number->currentText(), QStringLiteral("62 D3"));
    unsigned char value = 0;
    QVERIFY(model(window, 39)->getValue(NoteOrCC, &value));
    QCOMPARE(int(value), 62);
}

void TestCCNameFile::menuTakesTheLastOfTwins()
{
    QByteArray names;
    for (int line = 0; line < 300; ++line)
        names += (line == 3 || line == 9 ? QByteArray("Twin") : QByteArray::number(line)) + '\n';
    QVERIFY(writeFile(namesPath(), names));
    MainWindow window(noDevice());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.frontPanel()->item(0)->setSelected(true);

    unsigned char value = 0;
    viewinput::chooseFromMenuOf(window, 0, QStringLiteral("CC"), QStringLiteral("Twin"));
    QVERIFY(model(window, 0)->getValue(CC, &value));
    QCOMPARE(int(value), 9);

    // Controller numbers end at 127, and so does the list.
    viewinput::chooseFromMenuOf(window, 0, QStringLiteral("CC"), QStringLiteral("127"));
    QVERIFY(model(window, 0)->getValue(CC, &value));
    QCOMPARE(int(value), 127);
    QVERIFY(!ccEntriesOf(window, 0).first.contains(QStringLiteral("128")));
}

void TestCCNameFile::menuChoiceSetsOnlyItsParameter_data()
{
    QTest::addColumn<QList<Setting>>("start");
    QTest::addColumn<int>("clicked");
    QTest::addColumn<QString>("submenu");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QList<Setting>>("changes");

    // PAD1 and F1 in CC mode, where controller names are the pad's number names.
    const QList<Setting> ccMode{{39, Type, 1}, {39, NoteOrCC, 7}, {6, Type, 1}, {6, NoteOrCC, 7}};
    const QList<Setting> noteMode{{39, Type, 0}, {39, NoteOrCC, 36}};
    QTest::newRow("Channel") << ccMode << 39 << "Channel"
                             << "Ch 5" << QList<Setting>{{39, Channel, 4}};
    QTest::newRow("Type") << noteMode << 39 << "Type"
                          << "CC" << QList<Setting>{{39, Type, 1}};
    QTest::newRow("Mode") << ccMode << 39 << "Mode"
                          << "Toggle" << QList<Setting>{{39, Toggle, 1}};
    QTest::newRow("Color") << ccMode << 39 << "Color"
                           << "Blue" << QList<Setting>{{39, Colour, 2}};
    QTest::newRow("Color Fn") << ccMode << 6 << "Color Fn"
                              << "Green" << QList<Setting>{{6, ColourF, 1}};
    QTest::newRow("Aftertouch") << ccMode << 39 << "Aftertouch"
                                << "On" << QList<Setting>{{39, Aftertouch, 1}};
    QTest::newRow("CC of a pad") << ccMode << 39 << "CC"
                                 << "Blue" << QList<Setting>{{39, NoteOrCC, 42}};
    QTest::newRow("CC of a knob") << ccMode << 16 << "CC"
                                  << "Ch 5" << QList<Setting>{{16, CC, 43}};
    QTest::newRow("CC X") << ccMode << 37 << "CC X"
                          << "Toggle" << QList<Setting>{{37, CCX, 45}};
    QTest::newRow("CC Y") << ccMode << 37 << "CC Y"
                          << "On" << QList<Setting>{{37, CCY, 47}};
    QTest::newRow("Note") << noteMode << 39 << "Note"
                          << "60 C3" << QList<Setting>{{39, NoteOrCC, 60}};
}

// Controller names that read like the entries of other submenus: a choice sets its own
// parameter, never one whose names hold the same text.
void TestCCNameFile::menuChoiceSetsOnlyItsParameter()
{
    QFETCH(QList<Setting>, start);
    QFETCH(int, clicked);
    QFETCH(QString, submenu);
    QFETCH(QString, entry);
    QFETCH(QList<Setting>, changes);

    const QMap<int, QByteArray> lookalikes{{42, "Blue"},   {43, "Ch 5"},  {44, "CC"},
                                           {45, "Toggle"}, {46, "Green"}, {47, "On"}};
    QByteArray names;
    for (int line = 0; line < 128; ++line)
        names += lookalikes.value(line, QByteArray::number(line)) + '\n';
    QVERIFY(writeFile(namesPath(), names));
    MainWindow window(noDevice());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    for (const Setting &setting : start)
        model(window, setting.control)->updateParameter(setting.id, setting.value);
    window.selection()->select(clicked);

    const auto message = [&window] {
        return QByteArray(
            reinterpret_cast<const char *>(window.getMidiController()->getType1Sysex()),
            int(PatchLayout::length));
    };
    QByteArray expected = message();
    for (const Setting &change : changes) {
        const int address = int(model(window, change.control)->getParameter(change.id)->address());
        QVERIFY(expected.at(address) != char(change.value));
        expected[address] = char(change.value);
    }

    viewinput::chooseFromMenuOf(window, clicked, submenu, entry);
    QCOMPARE(message(), expected);
}

void TestCCNameFile::namesAreListedAsWritten_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QStringList>("names");

    QStringList many;
    for (int line = 0; line < 300; ++line)
        many << QStringLiteral("Name %1").arg(line);
    const QString veryLong(100000, QLatin1Char('x'));
    const QString ellipsis(QChar(0x2026));
    const QStringList international = {QStringLiteral("Lautst\u00e4rke"),
                                       QStringLiteral("\u97f3\u91cf"), QStringLiteral("\u03a9")};

    QTest::newRow("empty file") << QByteArray() << QStringList();
    QTest::newRow("one line") << QByteArray("Cutoff\n") << QStringList{"Cutoff"};
    QTest::newRow("300 lines: the first 128")
        << (many.join(QLatin1Char('\n')) + QLatin1Char('\n')).toLatin1()
        << QStringList(many.mid(0, 128));
    QTest::newRow("100 000 characters: cut to 64")
        << (veryLong + QStringLiteral("\nshort")).toLatin1()
        << QStringList{veryLong.left(64) + ellipsis, "short"};
    QTest::newRow("65 characters and 64")
        << QByteArray(65, 'a') + '\n' + QByteArray(64, 'b')
        << QStringList{QString(64, QLatin1Char('a')) + ellipsis, QString(64, QLatin1Char('b'))};
    QTest::newRow("& as written") << QByteArray("Bass & Drums\n") << QStringList{"Bass & Drums"};
    QTest::newRow("UTF-8") << international.join(QLatin1Char('\n')).toUtf8() << international;
    QTest::newRow("UTF-8 with byte order mark")
        << QByteArray("\xEF\xBB\xBF") + international.join(QLatin1Char('\n')).toUtf8()
        << international;
    // Older files written in the system's own 8-bit encoding still read as before.
    QTest::newRow("8-bit") << QByteArray(
        "Lautst\xE4rke\nGr\xF6\xDF"
        "e\n") << QStringList{QStringLiteral("Lautst\u00e4rke"), QStringLiteral("Gr\u00f6\u00dfe")};
}

void TestCCNameFile::namesAreListedAsWritten()
{
    QFETCH(QByteArray, contents);
    QFETCH(QStringList, names);

    // The file's encoding must not depend on the process's locale (LANG=C and the like); Qt 6
    // takes the locale's encoding to be UTF-8 whatever it is.
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("ISO-8859-1"));
#endif
    QVERIFY(writeFile(namesPath(), contents));
    MainWindow window(noDevice());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    // A knob: its controller box lists the names and shows its number's name, or none.
    MidiControlModel *knob = model(window, 16);
    knob->updateParameter(CC, 1);
    window.frontPanel()->item(16)->setSelected(true);
    auto *cc = window.findChild<QComboBox *>(QStringLiteral("comboBoxCC"));
    QStringList listed;
    for (int i = 0; i < cc->count(); ++i)
        listed << cc->itemText(i);
    QCOMPARE(listed, names);
    QCOMPARE(cc->currentIndex(), names.size() > 1 ? 1 : -1);

    // The context menu offers the same names, cut short where they are long and whole in
    // their tooltips; a choice sets its position.
    const auto [texts, tooltips] = ccEntriesOf(window, 16);
    QCOMPARE(tooltips, names);
    QStringList shown;
    for (const QString &name : names)
        shown << QString(shownInMenu(name)).replace(QLatin1Char('&'), QStringLiteral("&&"));
    QCOMPARE(texts, shown);
    unsigned char value = 0;
    if (!names.isEmpty()) {
        viewinput::chooseFromMenuOf(window, 16, QStringLiteral("CC"), shown.first());
        QVERIFY(knob->getValue(CC, &value));
        QCOMPARE(int(value), 0);
        viewinput::chooseFromMenuOf(window, 16, QStringLiteral("CC"), shown.last());
        QVERIFY(knob->getValue(CC, &value));
        QCOMPARE(int(value), int(names.size()) - 1);
    }

    // A pad sending controller changes lists the names for its number; one sending notes
    // lists the 128 note names.
    window.selection()->clear();
    MidiControlModel *pad = model(window, 39);
    pad->updateParameter(Type, 1);
    window.frontPanel()->item(39)->setSelected(true);
    auto *number = window.findChild<QComboBox *>(QStringLiteral("comboBoxNoteOrCC"));
    QCOMPARE(number->count(), names.size());
    auto *type = window.findChild<QComboBox *>(QStringLiteral("comboBoxType"));
    type->setCurrentIndex(0);
    QCOMPARE(number->count(), 128);
    QCOMPARE(number->itemText(60), QStringLiteral("60 C3"));
}

void TestCCNameFile::onlyTheHeadOfAHugeFileIsRead()
{
    // A million lines; among the first 128 a line of 400 KB, one of 101 characters mostly of
    // four bytes (cut inside one, which must not make the file look like another encoding)
    // and one of 64 two-byte characters, which fits.
    const QString clef = QStringLiteral("\U0001D11E");
    const QString ae = QStringLiteral("\u00e4");
    QByteArray contents;
    contents.reserve(8 << 20);
    QStringList expected;
    qint64 headBytes = 0;
    for (int line = 0; line < 1000000; ++line) {
        QByteArray text = "Name " + QByteArray::number(line);
        QString name = QString::fromLatin1(text);
        if (line == 5) {
            text = QByteArray(400 * 1024, 'y');
            name = QString(64, QLatin1Char('y')) + QChar(0x2026);
        } else if (line == 6) {
            text = "a" + clef.repeated(100).toUtf8();       // a clef split at byte 256
            name = "a" + clef.repeated(31) + QChar(0x2026); // no half clef

        } else if (line == 7) {
            text = ae.repeated(64).toUtf8();
            name = ae.repeated(64);
        }
        contents += text + '\n';
        if (line < 128) {
            expected << name;
            headBytes = contents.size();
        }
    }
    QVERIFY(writeFile(namesPath(), contents));

    TraceCapture traces;
    MainWindow window(noDevice());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(traces.contains(
        QStringLiteral("Midi-CC-list.txt: read 128 names; left out %1 bytes after line 128 and "
                       "the characters past 64 of 2 longer lines")
            .arg(contents.size() - headBytes)));

    window.frontPanel()->item(16)->setSelected(true);
    QCOMPARE(itemsOf(window.findChild<QComboBox *>(QStringLiteral("comboBoxCC"))), expected);
    const auto [texts, tooltips] = ccEntriesOf(window, 16);
    QCOMPARE(tooltips, expected);
    QCOMPARE(texts.size(), 128);
    QCOMPARE(texts.at(5), QString(63, QLatin1Char('y')) + QChar(0x2026));
    QCOMPARE(texts.at(7), ae.repeated(64));
    QCOMPARE(texts.at(127), QStringLiteral("Name 127"));
}

void TestCCNameFile::overlongNameWidensTheWindowOnlySoFar()
{
    QVERIFY(QFile::copy(QStringLiteral(VELLICHORD_CC_NAMES), namesPath()));
    int shippedWidth = 0;
    {
        MainWindow window(noDevice());
        shippedWidth = window.width();
    }

    QFile::remove(namesPath());
    QStringList names = {QString(300, QLatin1Char('W'))};
    for (int number = 1; number < 128; ++number)
        names << QString::number(number);
    QVERIFY(writeFile(namesPath(), names.join(QLatin1Char('\n')).toUtf8()));
    MainWindow window(noDevice());
    QCOMPARE(window.findChild<QComboBox *>(QStringLiteral("comboBoxCC"))->itemText(0),
             QString(64, QLatin1Char('W')) + QChar(0x2026));
    const int averageChar = window.fontMetrics().averageCharWidth();
    QVERIFY2(window.width() < shippedWidth + 30 * averageChar,
             qPrintable(QStringLiteral("%1 against %2").arg(window.width()).arg(shippedWidth)));
}

QTEST_MAIN(TestCCNameFile)
#include "tst_ccnamefile.moc"
