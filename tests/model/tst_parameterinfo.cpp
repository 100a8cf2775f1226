#include "controltable.h"
#include "parameterinfo.h"

#include <QtTest>

#include <optional>

class TestParameterInfo : public QObject
{
    Q_OBJECT

private slots:
    // The table and the controls agree: every control has exactly the parameters its kind
    // has, each with the table's range and starting value.
    void everyControlHasWhatItsKindHas()
    {
        const ControlTable table;
        for (int i = 0; i < ControlTable::count; ++i) {
            const ParameterInfo::Kind kind = ControlTable::kindOf(i);
            for (const ParameterInfo::Info &info : ParameterInfo::all()) {
                const ControlParameter *p = table.at(i)->getParameter(info.id);
                QCOMPARE(p != nullptr, info.kinds.contains(kind));
                if (!p)
                    continue;
                QCOMPARE(int(p->min()), int(info.min));
                QCOMPARE(int(p->max()), int(info.max));
                QCOMPARE(int(p->value()), int(info.initial));
            }
        }
    }

    void namedValuesCoverTheRange()
    {
        for (const ParameterInfo::Info &info : ParameterInfo::all()) {
            const QStringList names = ParameterInfo::valueNames(info.id);
            if (info.values == ParameterInfo::Values::Named
                || info.values == ParameterInfo::Values::Channel)
                QCOMPARE(names.size(), info.max + 1);
            else
                QVERIFY2(names.isEmpty(), info.name);
        }
    }

    void valueNamesFollowTheType_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<bool>("isNote");
        QTest::addColumn<QString>("first");

        QTest::newRow("channel") << int(Channel) << false << "Ch 1";
        QTest::newRow("controller") << int(CC) << false << "cc0";
        QTest::newRow("note or controller, CC") << int(NoteOrCC) << false << "cc0";
        QTest::newRow("note or controller, Note") << int(NoteOrCC) << true << "C-2";
        QTest::newRow("range") << int(MinX) << true << QString();
    }

    void valueNamesFollowTheType()
    {
        QFETCH(int, id);
        QFETCH(bool, isNote);
        QFETCH(QString, first);
        const QStringList names = ParameterInfo::valueNames(ParameterId(id), {"cc0", "cc1"},
                                                            {"C-2", "C#-2"}, isNote);
        QCOMPARE(names.value(0), first);
    }

    void namesAsTyped_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("id"); // -1: none

        QTest::newRow("name") << "noteorcc" << int(NoteOrCC);
        QTest::newRow("caption with slash") << "Note/CC" << int(NoteOrCC);
        QTest::newRow("alias") << "note" << int(NoteOrCC);
        QTest::newRow("caption for toggle") << "Mode" << int(Toggle);
        QTest::newRow("own name for toggle") << "TOGGLE" << int(Toggle);
        QTest::newRow("caption with space") << "Color Fn" << int(ColourF);
        QTest::newRow("caption, lower case, hyphen") << "color-fn" << int(ColourF);
        QTest::newRow("British spelling") << "colour" << int(Colour);
        QTest::newRow("American spelling") << "color" << int(Colour);
        QTest::newRow("axis caption") << "cc y" << int(CCY);
        QTest::newRow("short channel") << "ch" << int(Channel);
        QTest::newRow("nothing") << "" << -1;
        QTest::newRow("spaces only") << "  " << -1;
        QTest::newRow("unknown") << "velocity" << -1;
        QTest::newRow("caption cut short") << "colo" << -1;
    }

    void namesAsTyped()
    {
        QFETCH(QString, text);
        QFETCH(int, id);
        const std::optional<ParameterId> found = ParameterInfo::fromName(text);
        QCOMPARE(found ? int(*found) : -1, id);
    }

    void noteOrCcRowReadsAsTheTypes()
    {
        QCOMPARE(ParameterInfo::noteOrCcCaption(true), QStringLiteral("Note"));
        QCOMPARE(ParameterInfo::noteOrCcCaption(false), QStringLiteral("CC"));
        QCOMPARE(ParameterInfo::noteOrCcCaption(std::nullopt), QStringLiteral("Note/CC"));
    }
    void channelNamesEndWithGlobal()
    {
        const QStringList names = ParameterInfo::channelNames();
        QCOMPARE(names.size(), 17);
        QCOMPARE(names.first(), QStringLiteral("Ch 1"));
        QCOMPARE(names.at(9), QStringLiteral("Ch 10"));
        QCOMPARE(names.at(15), QStringLiteral("Ch 16"));
        QCOMPARE(names.last(), QStringLiteral("Global"));
        QCOMPARE(ParameterInfo::colourNames().size(), 3);
        QCOMPARE(ParameterInfo::colourFnNames().size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestParameterInfo)
#include "tst_parameterinfo.moc"
