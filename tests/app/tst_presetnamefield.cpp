#include "presetnamefield.h"

#include <QtTest>
#include <QtWidgets>

class TestPresetNameField : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void editsAreFittedAndReported_data();
    void editsAreFittedAndReported();
    void shownNameIsKeptAsItIs();
    void enterFinishesTheEdit();
    void screenReadersReadWhatTheFieldIsFor();

private:
    QLineEdit *lineEdit() const { return field->findChild<QLineEdit *>("lineEditPresetName"); }
    QString count() const { return field->findChild<QLabel *>("labelPresetNameCount")->text(); }

    std::unique_ptr<PresetNameField> field;
};

void TestPresetNameField::init()
{
    field = std::make_unique<PresetNameField>();
    field->show();
}

void TestPresetNameField::cleanup()
{
    field.reset();
}

void TestPresetNameField::editsAreFittedAndReported_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<bool>("paste"); // else typed key by key
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QStringList>("messages");

    const QString ascii = QStringLiteral(
        "The Vellichord stores only printable ASCII characters in a preset name");
    QTest::newRow("typed, all kept") << "" << false << "Pad ~1"
                                     << "Pad ~1" << QStringList();
    QTest::newRow("typed accent and CJK") << "" << false << "e\u00e9\u65e5"
                                          << "e" << QStringList({ascii, ascii});
    QTest::newRow("typed 17th and 18th")
        << "abcdefghijklmno" << false << "pqr"
        << "abcdefghijklmnop"
        << QStringList({"A preset name holds at most 16 characters",
                        "A preset name holds at most 16 characters"});
    QTest::newRow("pasted, all kept") << "ab" << true << "cd"
                                      << "abcd" << QStringList();
    QTest::newRow("pasted DEL and a character outside the basic plane")
        << "" << true << "x\x7f\U0001F3B9y"
        << "xy" << QStringList({"Dropped from the preset name: U+007f, \U0001F3B9"});
    QTest::newRow("pasted 18 characters")
        << "" << true << "0123456789abcdefgh"
        << "0123456789abcdef"
        << QStringList({"Dropped from the preset name: \"gh\" past 16 characters"});
}

void TestPresetNameField::editsAreFittedAndReported()
{
    QFETCH(QString, before);
    QFETCH(bool, paste);
    QFETCH(QString, input);
    QFETCH(QString, after);
    QFETCH(QStringList, messages);

    field->showName(before);
    lineEdit()->end(false);
    QSignalSpy renamed(field.get(), &PresetNameField::renamed);
    QSignalSpy reported(field.get(), &PresetNameField::statusMessage);
    if (paste) {
        QApplication::clipboard()->setText(input);
        lineEdit()->paste();
    } else {
        for (const QChar c : input) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(lineEdit(), &press);
        }
    }
    QCOMPARE(field->name(), after);
    QCOMPARE(count(), QStringLiteral("%1/16").arg(after.size()));
    QStringList said;
    for (const QList<QVariant> &arguments : qAsConst(reported))
        said << arguments.at(0).toString();
    QCOMPARE(said, messages);
    // Each change that kept something is reported, the last with the whole name.
    QCOMPARE(renamed.isEmpty(), before == after);
    if (!renamed.isEmpty())
        QCOMPARE(renamed.last().at(0).toString(), after);
}

void TestPresetNameField::shownNameIsKeptAsItIs()
{
    QSignalSpy renamed(field.get(), &PresetNameField::renamed);
    QSignalSpy reported(field.get(), &PresetNameField::statusMessage);
    // A loaded patch may hold what typing could not give.
    const QString name = QStringLiteral("Caf\u00e9 0123456789abcdef");
    field->showName(name);
    QCOMPARE(field->name(), name);
    QCOMPARE(count(), QStringLiteral("21/16"));
    field->showName(QString());
    QCOMPARE(count(), QStringLiteral("0/16"));
    QVERIFY(renamed.isEmpty());
    QVERIFY(reported.isEmpty());
}

void TestPresetNameField::enterFinishesTheEdit()
{
    QSignalSpy finished(field.get(), &PresetNameField::editingFinished);
    lineEdit()->setFocus();
    QTest::keyClicks(lineEdit(), QStringLiteral("Lead"));
    QCOMPARE(finished.count(), 0);
    QTest::keyClick(lineEdit(), Qt::Key_Return);
    QCOMPARE(finished.count(), 1);
}

void TestPresetNameField::screenReadersReadWhatTheFieldIsFor()
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(lineEdit());
    QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("Preset name"));
    field->showName(QStringLiteral("Kit"));
    QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("Preset name"));
    QCOMPARE(iface->text(QAccessible::Value), QStringLiteral("Kit"));
}

QTEST_MAIN(TestPresetNameField)
#include "tst_presetnamefield.moc"
