#include "closeonsignal.h"

#include <QtTest>
#include <QtWidgets>

#include <csignal>

// The editor's window closes through its close event when the process is asked to end.
class TestCloseOnSignal : public QObject
{
    Q_OBJECT

private slots:
    void signalClosesTheWindow_data();
    void signalClosesTheWindow();
    void windowThatStaysOpenIsAskedAgain();
    void openDialogEndsUnanswered();
};

namespace {

class Window : public QWidget
{
public:
    int closeEvents = 0;
    bool refuse = false;

protected:
    void closeEvent(QCloseEvent *event) override
    {
        ++closeEvents;
        if (refuse)
            event->ignore();
        else
            QWidget::closeEvent(event);
    }
};

} // namespace

void TestCloseOnSignal::signalClosesTheWindow_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM (kill, logging out)") << SIGTERM;
    QTest::newRow("SIGINT (Ctrl-C)") << SIGINT;
    QTest::newRow("SIGHUP (terminal closed)") << SIGHUP;
}

void TestCloseOnSignal::signalClosesTheWindow()
{
    QFETCH(int, signal);
    Window window;
    window.show();
    closeOnSignal(&window);
    QCOMPARE(std::raise(signal), 0);
    QTRY_VERIFY(!window.isVisible());
    QCOMPARE(window.closeEvents, 1);
}

void TestCloseOnSignal::windowThatStaysOpenIsAskedAgain()
{
    Window window;
    window.refuse = true;
    window.show();
    closeOnSignal(&window);
    QCOMPARE(std::raise(SIGTERM), 0);
    QTRY_COMPARE(window.closeEvents, 1);
    QVERIFY(window.isVisible());

    // Asked again, it closes.
    window.refuse = false;
    QCOMPARE(std::raise(SIGTERM), 0);
    QTRY_VERIFY(!window.isVisible());
    QCOMPARE(window.closeEvents, 2);
}

void TestCloseOnSignal::openDialogEndsUnanswered()
{
    // Nobody may be there to answer it, and its own event loop would hold the close.
    Window window;
    window.show();
    bool closed = false;
    closeOnSignal(&window, [&] { closed = window.close(); });
    QDialog dialog(&window);
    int result = -1;
    bool shown = false;
    QTimer::singleShot(0, &dialog, [&] {
        // Comes once the dialog's own event loop runs.
        QTimer::singleShot(0, [&] {
            shown = dialog.isVisible();
            std::raise(SIGTERM);
        });
        result = dialog.exec();
    });
    QTRY_COMPARE(result, int(QDialog::Rejected));
    QVERIFY(shown);
    QVERIFY(closed);
    QVERIFY(!window.isVisible());
}

QTEST_MAIN(TestCloseOnSignal)
#include "tst_closeonsignal.moc"
