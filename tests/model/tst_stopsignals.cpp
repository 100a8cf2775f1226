#include "stopsignals.h"

#include <QSignalSpy>
#include <QtTest>

#include <csignal>

// SIGINT, SIGTERM and SIGHUP arrive as a Qt signal on the event loop; the handlers found
// before are back afterwards.
class TestStopSignals : public QObject
{
    Q_OBJECT

private slots:
    void signalArrivesOnTheEventLoop_data();
    void signalArrivesOnTheEventLoop();
    void everySignalIsReceived();
    void latestGetsThemAndEarlierTakesThemBack();
    void handlersFoundAreRestored_data();
    void handlersFoundAreRestored();
};

namespace {

volatile std::sig_atomic_t earlierHandlerCalls = 0;

void earlierHandler(int)
{
    earlierHandlerCalls = earlierHandlerCalls + 1;
}

} // namespace

void TestStopSignals::signalArrivesOnTheEventLoop_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM (kill, logging out)") << SIGTERM;
    QTest::newRow("SIGINT (Ctrl-C)") << SIGINT;
    QTest::newRow("SIGHUP (terminal closed)") << SIGHUP;
}

void TestStopSignals::signalArrivesOnTheEventLoop()
{
    QFETCH(int, signal);
    StopSignals stopSignals;
    QVERIFY(stopSignals.isActive());
    QSignalSpy received(&stopSignals, &StopSignals::received);
    QCOMPARE(std::raise(signal), 0);
    // Not from inside the handler: only once the event loop runs.
    QCOMPARE(received.count(), 0);
    QVERIFY(received.wait());
    QCOMPARE(received.count(), 1);
    QCOMPARE(received.at(0).at(0).toInt(), signal);
}

void TestStopSignals::everySignalIsReceived()
{
    // A second Ctrl-C after one that was not acted on is heard too.
    StopSignals stopSignals;
    QSignalSpy received(&stopSignals, &StopSignals::received);
    QCOMPARE(std::raise(SIGTERM), 0);
    QVERIFY(received.wait());
    QCOMPARE(std::raise(SIGINT), 0);
    QTRY_COMPARE(received.count(), 2);
    QCOMPARE(received.at(1).at(0).toInt(), int(SIGINT));
}

void TestStopSignals::latestGetsThemAndEarlierTakesThemBack()
{
    StopSignals earlier;
    QSignalSpy toEarlier(&earlier, &StopSignals::received);
    {
        StopSignals later;
        QSignalSpy toLater(&later, &StopSignals::received);
        QCOMPARE(std::raise(SIGTERM), 0);
        QVERIFY(toLater.wait());
        QCOMPARE(toEarlier.count(), 0);
    }
    QCOMPARE(std::raise(SIGTERM), 0);
    QVERIFY(toEarlier.wait());
    QCOMPARE(toEarlier.count(), 1);
}

void TestStopSignals::handlersFoundAreRestored_data()
{
    signalArrivesOnTheEventLoop_data();
}

void TestStopSignals::handlersFoundAreRestored()
{
    QFETCH(int, signal);
    const auto before = std::signal(signal, earlierHandler);
    earlierHandlerCalls = 0;
    {
        StopSignals stopSignals;
        QSignalSpy received(&stopSignals, &StopSignals::received);
        QCOMPARE(std::raise(signal), 0);
        QVERIFY(received.wait());
        QCOMPARE(int(earlierHandlerCalls), 0);
    }
    QCOMPARE(std::raise(signal), 0);
    QCOMPARE(int(earlierHandlerCalls), 1);
    std::signal(signal, before);
}

QTEST_GUILESS_MAIN(TestStopSignals)
#include "tst_stopsignals.moc"
