#include "../common/simulateddevice.h"
#include "controlsummary.h"
#include "controltable.h"
#include "editprobe.h"
#include "numberingplan.h"

#include <QUndoStack>
#include <QtTest>
#include <QtWidgets>

using Numbering::Order;

namespace {

QList<int> range(int first, int last)
{
    QList<int> indices;
    for (int i = first; i <= last; ++i)
        indices << i;
    return indices;
}

// The pads in rows from the bottom, as drum pads are numbered: 59..63, 54..58, ... 39..43.
QList<int> padsFromTheBottom()
{
    QList<int> indices;
    for (int row = 4; row >= 0; --row)
        indices << range(39 + 5 * row, 43 + 5 * row);
    return indices;
}

// Fills the next numbering dialog, presses OK and hands it to then, which must close it if it
// stayed open; without then, a dialog that stayed open is cancelled.
void answerNumbering(const QString &start, int step, int order,
                     std::function<void(QDialog *)> then = {},
                     std::function<void(QDialog *)> beforeOk = {})
{
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [=] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog || dialog->objectName() != QLatin1String("numberingDialog"))
            return;
        timer->stop();
        timer->deleteLater();
        dialog->findChild<QLineEdit *>(QStringLiteral("lineEditStart"))->setText(start);
        dialog->findChild<QSpinBox *>(QStringLiteral("spinStep"))->setValue(step);
        dialog->findChild<QComboBox *>(QStringLiteral("comboBoxOrder"))->setCurrentIndex(order);
        if (beforeOk)
            beforeOk(dialog);
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        if (then)
            then(dialog);
        else if (dialog->isVisible())
            dialog->reject(); // refused: the test sees nothing changed
    });
    timer->start(10);
}

QAction *numberAction(const MainWindow &window)
{
    return window.findChild<QAction *>(QStringLiteral("actionNumberSelected"));
}

} // namespace

class TestNumbering : public QObject
{
    Q_OBJECT

private slots:
    void arrange_data();
    void arrange();
    void plan_data();
    void plan();
    void dialogNumbersTheSelectionAsOneStep_data();
    void dialogNumbersTheSelectionAsOneStep();
    void valuesPast127AreRefusedBeforeAnyChange_data();
    void valuesPast127AreRefusedBeforeAnyChange();
};

void TestNumbering::arrange_data()
{
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<int>("order");
    QTest::addColumn<QList<int>>("arranged");

    const QList<int> scattered = {63, 39, 51, 43, 59};
    QTest::newRow("selection order kept") << scattered << int(Order::Selection) << scattered;
    QTest::newRow("from the top") << scattered << int(Order::RowsFromTop)
                                  << QList<int>{39, 43, 51, 59, 63};
    QTest::newRow("from the bottom")
        << scattered << int(Order::RowsFromBottom) << QList<int>{59, 63, 51, 39, 43};
    QList<int> reversed = range(39, 63);
    std::reverse(reversed.begin(), reversed.end());
    QTest::newRow("whole grid from the top")
        << reversed << int(Order::RowsFromTop) << range(39, 63);
    QTest::newRow("whole grid from the bottom")
        << range(39, 63) << int(Order::RowsFromBottom) << padsFromTheBottom();
    // P1 lies a few pixels lower than the first pad row, but beside it.
    QTest::newRow("knob beside a pad row")
        << QList<int>{41, 24, 40, 39} << int(Order::RowsFromTop) << QList<int>{24, 39, 40, 41};
    QTest::newRow("two rows of buttons")
        << QList<int>{13, 12, 11, 10, 9, 8, 7, 6} << int(Order::RowsFromTop) << range(6, 13);
    QTest::newRow("repeats and unknown indices dropped")
        << QList<int>{40, 40, 64, -1, 39} << int(Order::Selection) << QList<int>{40, 39};
}

void TestNumbering::arrange()
{
    QFETCH(QList<int>, selected);
    QFETCH(int, order);
    QFETCH(QList<int>, arranged);
    QCOMPARE(Numbering::arrange(selected, Order(order)), arranged);
}

void TestNumbering::plan_data()
{
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("step");
    QTest::addColumn<QList<int>>("values"); // by control in the order given; empty: refused
    QTest::addColumn<QString>("problem");   // a part of the refusal

    QTest::newRow("pads and a knob")
        << QList<int>{39, 16, 40} << 36 << 1 << QList<int>{36, 37, 38} << QString();
    QTest::newRow("step of 2") << QList<int>{39, 40, 41} << 60 << 2 << QList<int>{60, 62, 64}
                               << QString();
    QTest::newRow("reaches 127 exactly")
        << QList<int>{39, 40} << 126 << 1 << QList<int>{126, 127} << QString();
    QTest::newRow("X-Y pad takes no number")
        << QList<int>{39, 37, 40} << 10 << 1 << QList<int>{10, 11} << QString();
    QTest::newRow("one past 127") << QList<int>{39, 40, 41} << 126 << 1 << QList<int>{}
                                  << "PAD3 would get number 128";
    QTest::newRow("below 0") << QList<int>{39, 40} << 0 << -1 << QList<int>{}
                             << "PAD2 would get number -1";
    QTest::newRow("only the X-Y pad")
        << QList<int>{37} << 0 << 1 << QList<int>{} << "None of the selected controls";
}

void TestNumbering::plan()
{
    QFETCH(QList<int>, selected);
    QFETCH(int, start);
    QFETCH(int, step);
    QFETCH(QList<int>, values);
    QFETCH(QString, problem);

    const ControlTable table;
    const Numbering::Plan plan = Numbering::plan(table, selected, start, step, Order::Selection);
    QVERIFY2(plan.problem.contains(problem), qPrintable(plan.problem));
    QCOMPARE(plan.problem.isEmpty(), problem.isEmpty());
    QList<int> planned;
    for (const Numbering::Assignment &a : plan.assignments) {
        planned << a.value;
        const bool hasNumber = table.at(a.control)->getValue(NoteOrCC, nullptr);
        QCOMPARE(a.id, hasNumber ? NoteOrCC : CC);
    }
    QCOMPARE(planned, values);
}

void TestNumbering::dialogNumbersTheSelectionAsOneStep_data()
{
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QString>("start");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("order");
    QTest::addColumn<QList<int>>("numbered"); // the controls that get start, start + step, ...

    QList<int> backwards = range(39, 63);
    std::reverse(backwards.begin(), backwards.end());
    QTest::newRow("selection order, note name")
        << QList<int>{45, 39, 16} << "C1" << 1 << int(Order::Selection) << QList<int>{45, 39, 16};
    QTest::newRow("rows from the top, number")
        << backwards << "0" << 1 << int(Order::RowsFromTop) << range(39, 63);
    QTest::newRow("rows from the bottom, step 3")
        << range(39, 63) << "36 C1" << 3 << int(Order::RowsFromBottom) << padsFromTheBottom();
}

void TestNumbering::dialogNumbersTheSelectionAsOneStep()
{
    QFETCH(QList<int>, selected);
    QFETCH(QString, start);
    QFETCH(int, step);
    QFETCH(int, order);
    QFETCH(QList<int>, numbered);

    MainWindow window(noDevice());
    const ControlTable &table = *window.getMidiController()->getModels();
    editprobe::select(window, selected);
    const QByteArray before = editprobe::type1(window);
    const int steps = window.document()->undoStack()->count();

    // Every other byte stays as it was.
    QByteArray expected = before;
    int value = ControlSummary::parseNote(start).value();
    for (int control : numbered) {
        const MidiControlModel *model = table.at(control);
        const ControlParameter *p = model->getParameter(NoteOrCC);
        if (!p)
            p = model->getParameter(CC);
        expected[int(p->address())] = char(value);
        value += step;
    }

    answerNumbering(start, step, order);
    numberAction(window)->trigger();
    QCOMPARE(editprobe::type1(window), expected);
    QCOMPARE(window.document()->undoStack()->count(), steps + 1);
    QCOMPARE(window.document()->undoStack()->text(steps),
             QStringLiteral("Number %1 controls").arg(numbered.size()));

    window.document()->undoStack()->undo();
    QCOMPARE(editprobe::type1(window), before);
    window.document()->undoStack()->redo();
    QCOMPARE(editprobe::type1(window), expected);
}

void TestNumbering::valuesPast127AreRefusedBeforeAnyChange_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("message");

    QTest::newRow("start runs past 127")
        << "120" << 1 << "PAD9 would get number 128, outside 0 to 127. Nothing was changed";
    QTest::newRow("step runs past 127")
        << "C3" << 10 << "PAD8 would get number 130, outside 0 to 127. Nothing was changed";
    QTest::newRow("start past 127") << "128" << 1 << "The start must be a number from 0 to 127";
    QTest::newRow("start not a note") << "H2" << 1 << "The start must be a number from 0 to 127";
}

void TestNumbering::valuesPast127AreRefusedBeforeAnyChange()
{
    QFETCH(QString, start);
    QFETCH(int, step);
    QFETCH(QString, message);

    MainWindow window(noDevice());
    editprobe::select(window, range(39, 63));
    const QByteArray before = editprobe::type1(window);
    const int steps = window.document()->undoStack()->count();

    QString shown;
    bool stayedOpen = false;
    // The fields and the dialog keep their places and sizes when the refusal shows.
    const auto places = [](QDialog *dialog) {
        QList<QRect> found{dialog->rect()};
        for (QWidget *field : dialog->findChildren<QWidget *>(
                 QRegularExpression(QStringLiteral("^(lineEditStart|spinStep|comboBoxOrder)$"))))
            found << field->geometry();
        return found;
    };
    QList<QRect> placesBefore;
    QList<QRect> placesAfter;
    answerNumbering(
        start, step, int(Order::RowsFromTop),
        [&](QDialog *dialog) {
            auto *problem = dialog->findChild<QLabel *>(QStringLiteral("labelProblem"));
            stayedOpen = dialog->isVisible();
            shown = problem->isVisibleTo(dialog) ? problem->text() : QString();
            QCoreApplication::processEvents(); // the layout follows what has changed
            placesAfter = places(dialog);
            dialog->reject();
        },
        [&](QDialog *dialog) { placesBefore = places(dialog); });
    numberAction(window)->trigger();

    QVERIFY(stayedOpen);
    QVERIFY2(shown.startsWith(message), qPrintable(shown));
    QCOMPARE(placesBefore.size(), 4);
    QCOMPARE(placesAfter, placesBefore);
    QCOMPARE(editprobe::type1(window), before);
    QCOMPARE(window.document()->undoStack()->count(), steps);
}

QTEST_MAIN(TestNumbering)
#include "tst_numbering.moc"
