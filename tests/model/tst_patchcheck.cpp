#include "../common/laidoutpatch.h"
#include "controltable.h"
#include "patchcheck.h"

#include <QtTest>

#include <tuple>

namespace {

using Edit = std::tuple<int, ParameterId, int>; // control, parameter, value
using Edits = QList<Edit>;
using ControlLists = QList<QList<int>>;

QList<PatchCheck::Finding> check(const Edits &edits)
{
    ControlTable table;
    layOut(table);
    for (const auto &[control, id, value] : edits)
        table.at(control)->updateParameter(id, static_cast<unsigned char>(value));
    return PatchCheck::run(table);
}

QString reserved(const QString &sender, int cc, const QString &use)
{
    return QStringLiteral("%1 sends CC %2, which DAWs and synths reserve for %3")
        .arg(sender)
        .arg(cc)
        .arg(use);
}

} // namespace

Q_DECLARE_METATYPE(Edits)
Q_DECLARE_METATYPE(ControlLists)

class TestPatchCheck : public QObject
{
    Q_OBJECT

private slots:
    void findings_data();
    void findings();
    void reservedControllers_data();
    void reservedControllers();
    void factoryPatchSendsEverythingOnOneNoteAndCC0();
};

void TestPatchCheck::findings_data()
{
    QTest::addColumn<Edits>("edits"); // of a laid-out patch
    QTest::addColumn<QStringList>("reasons");
    QTest::addColumn<ControlLists>("controls");

    QTest::newRow("laid out") << Edits{} << QStringList() << ControlLists();
    QTest::newRow("two pads on one note")
        << Edits{{40, NoteOrCC, 36}} << QStringList{"PAD1 and PAD2 both send Note 36 on Ch 1"}
        << ControlLists{{39, 40}};
    QTest::newRow("one note on two channels")
        << Edits{{40, NoteOrCC, 36}, {40, Channel, 1}} << QStringList() << ControlLists();
    QTest::newRow("a note and a CC of one number")
        << Edits{{40, Type, 1}, {40, NoteOrCC, 36}} << QStringList() << ControlLists();
    QTest::newRow("a pad in CC mode and a slider")
        << Edits{{40, Type, 1}, {40, NoteOrCC, 40}}
        << QStringList{"S1 and PAD2 both send CC 40 on Ch 1"} << ControlLists{{0, 40}};
    QTest::newRow("two buttons in CC mode")
        << Edits{{6, Type, 1}, {30, Type, 1}, {30, NoteOrCC, 70}}
        << QStringList{"F1 and STOP both send CC 70 on Ch 1"} << ControlLists{{6, 30}};
    QTest::newRow("three controls")
        << Edits{{16, CC, 40}, {38, CC, 40}}
        << QStringList{"S1, E1 and XFADER all send CC 40 on Ch 1"} << ControlLists{{0, 16, 38}};
    QTest::newRow("the X-Y pad's axes on one CC")
        << Edits{{37, CCY, 61}} << QStringList{"XY X and XY Y both send CC 61 on Ch 1"}
        << ControlLists{{37}};
    QTest::newRow("an X-Y axis and a knob")
        << Edits{{37, CCX, 46}} << QStringList{"E1 and XY X both send CC 46 on Ch 1"}
        << ControlLists{{16, 37}};
    QTest::newRow("the X-Y pad on another channel")
        << Edits{{37, CCX, 46}, {37, Channel, 3}} << QStringList() << ControlLists();
    QTest::newRow("Global beside Ch 1")
        << Edits{{40, NoteOrCC, 36}, {40, Channel, 16}} << QStringList() << ControlLists();
    QTest::newRow("both on Global")
        << Edits{{39, Channel, 16}, {40, Channel, 16}, {40, NoteOrCC, 36}}
        << QStringList{"PAD1 and PAD2 both send Note 36 on the global channel"}
        << ControlLists{{39, 40}};
    QTest::newRow("a pad on note 0 sends no controller")
        << Edits{{39, NoteOrCC, 0}} << QStringList() << ControlLists();
    QTest::newRow("a pad in CC mode on a reserved number")
        << Edits{{39, Type, 1}, {39, NoteOrCC, 123}}
        << QStringList{reserved("PAD1", 123, "channel mode messages")} << ControlLists{{39}};
    QTest::newRow("the X-Y pad's Y axis on a reserved number")
        << Edits{{37, CCY, 121}} << QStringList{reserved("XY Y", 121, "channel mode messages")}
        << ControlLists{{37}};
    QTest::newRow("two controls on a reserved number: shared first")
        << Edits{{16, CC, 0}, {0, CC, 0}}
        << QStringList{"S1 and E1 both send CC 0 on Ch 1", reserved("S1", 0, "bank select"),
                       reserved("E1", 0, "bank select")}
        << ControlLists{{0, 16}, {0}, {16}};
    QTest::newRow("two groups, in the order of their first control")
        << Edits{{63, NoteOrCC, 80}, {29, CC, 41}}
        << QStringList{"S2 and P6 both send CC 41 on Ch 1",
                       "STOP and PAD25 both send Note 80 on Ch 1"}
        << ControlLists{{1, 29}, {30, 63}};
}

void TestPatchCheck::findings()
{
    QFETCH(Edits, edits);
    QFETCH(QStringList, reasons);
    QFETCH(ControlLists, controls);
    const QList<PatchCheck::Finding> found = check(edits);
    QStringList foundReasons;
    ControlLists foundControls;
    for (const PatchCheck::Finding &finding : found) {
        foundReasons << finding.reason;
        foundControls << finding.controls;
    }
    QCOMPARE(foundReasons, reasons);
    QCOMPARE(foundControls, controls);
}

void TestPatchCheck::reservedControllers_data()
{
    QTest::addColumn<int>("cc");
    QTest::addColumn<QString>("use"); // empty: free

    const QString bank = QStringLiteral("bank select");
    const QString numbers = QStringLiteral("parameter numbers (RPN and NRPN)");
    const QString mode = QStringLiteral("channel mode messages");
    const QList<std::pair<int, QString>> rows = {
        {0, bank},      {32, bank},     {6, numbers}, {38, numbers}, {98, numbers}, {99, numbers},
        {100, numbers}, {101, numbers}, {120, mode},  {123, mode},   {127, mode},   {1, {}},
        {5, {}},        {7, {}},        {31, {}},     {33, {}},      {37, {}},      {39, {}},
        {97, {}},       {102, {}},      {119, {}}};
    for (const auto &[cc, use] : rows)
        QTest::addRow("CC %d", cc) << cc << use;
}

// Each number on a knob: the knob alone is named, with what the number is for.
void TestPatchCheck::reservedControllers()
{
    QFETCH(int, cc);
    QFETCH(QString, use);
    QCOMPARE(PatchCheck::reservedFor(cc), use);
    const QList<PatchCheck::Finding> found = check({{24, CC, cc}});
    if (use.isEmpty()) {
        QCOMPARE(found.size(), 0);
        return;
    }
    QCOMPARE(found.size(), 1);
    QCOMPARE(found[0].reason, reserved(QStringLiteral("P1"), cc, use));
    QCOMPARE(found[0].controls, QList<int>{24});
}

// The factory patch sends CC 0 from every slider, knob and X-Y axis and note 0 from every
// button and pad, all on channel 1.
void TestPatchCheck::factoryPatchSendsEverythingOnOneNoteAndCC0()
{
    const QList<PatchCheck::Finding> found = PatchCheck::run(ControlTable());
    QList<int> continuous;
    for (int i : {0, 1, 2, 3, 4, 5, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 37, 38})
        continuous << i;
    QList<int> buttonsAndPads;
    for (int i = 6; i < 64; ++i) {
        if (!continuous.contains(i) && !(i >= 16 && i <= 29))
            buttonsAndPads << i;
    }
    QCOMPARE(found.size(), 2 + 23);
    QCOMPARE(found[0].controls, continuous);
    QVERIFY(found[0].reason.endsWith(QLatin1String("XY X, XY Y and XFADER all send CC 0 on Ch 1")));
    QCOMPARE(found[1].controls, buttonsAndPads);
    QVERIFY(found[1].reason.endsWith(QLatin1String("PAD25 all send Note 0 on Ch 1")));
    QCOMPARE(PatchCheck::reasonsFor(found, 37),
             (QStringList{found[0].reason, reserved("XY X", 0, "bank select"),
                          reserved("XY Y", 0, "bank select")}));
    QCOMPARE(PatchCheck::reasonsFor(found, 63), QStringList{found[1].reason});
}

QTEST_GUILESS_MAIN(TestPatchCheck)

#include "tst_patchcheck.moc"
