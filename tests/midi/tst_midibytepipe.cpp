#include "../common/tracecapture.h"
#include "midibytepipe.h"
#include "mididatawait.h"

#include <QtTest>

#include <atomic>

#include <thread>
#include <vector>

namespace {

QByteArray pattern(int length, int first = 0)
{
    QByteArray bytes;
    for (int i = 0; i < length; ++i)
        bytes.append(char((first + i) % 251));
    return bytes;
}

void append(MidiBytePipe &pipe, const QByteArray &bytes)
{
    pipe.append(reinterpret_cast<const unsigned char *>(bytes.constData()), unsigned(bytes.size()));
}

QByteArray read(MidiBytePipe &pipe, unsigned int capacity)
{
    std::vector<unsigned char> buffer(capacity + 1, 0xEE);
    const int count = pipe.read(buffer.data(), capacity);
    if (count < 0 || unsigned(count) > capacity || buffer[capacity] != 0xEE)
        return "read out of bounds";
    return QByteArray(reinterpret_cast<const char *>(buffer.data()), count);
}

} // namespace

class TestMidiBytePipe : public QObject
{
    Q_OBJECT

private slots:
    void blocksComeOutConcatenatedInOrder();
    void emptyPipeReadsNothing();
    void capacityZeroMovesNothing();
    void largeQueueIsHandedOutInPieces();
    void emptyBlockSignalsNothing();
    void queueOutlivesInputStopping();
    void concurrentBlocksArriveCompleteAndInOrder();
    void waitEndsWhenBytesArrive();
    void wakeEndsAWaitWithoutLimit_data();
    void wakeEndsAWaitWithoutLimit();
    void ringKeepsTheNewestBytesWithinItsBound_data();
    void ringKeepsTheNewestBytesWithinItsBound();
    void fullRingDrainsWhole();
    void dropsAreTracedOnceASecond();
};

void TestMidiBytePipe::blocksComeOutConcatenatedInOrder()
{
    // A 348-byte message as the platform delivers it: a full 200-byte block and the rest.
    MidiBytePipe pipe;
    const QByteArray message = pattern(348);
    append(pipe, message.left(200));
    QVERIFY(pipe.dataAvailable());
    append(pipe, message.mid(200));
    QCOMPARE(pipe.pending(), 348u);

    QCOMPARE(read(pipe, 1024), message);
    QVERIFY(!pipe.dataAvailable());
    QCOMPARE(pipe.pending(), 0u);
}

void TestMidiBytePipe::emptyPipeReadsNothing()
{
    MidiBytePipe pipe;
    QVERIFY(!pipe.dataAvailable());
    QCOMPARE(read(pipe, 1024), QByteArray());
}

void TestMidiBytePipe::capacityZeroMovesNothing()
{
    MidiBytePipe pipe;
    append(pipe, pattern(10));
    unsigned char untouched = 0xEE;
    QCOMPARE(pipe.read(&untouched, 0), 0);
    QCOMPARE(untouched, (unsigned char)0xEE);
    QCOMPARE(pipe.pending(), 10u);
    QCOMPARE(read(pipe, 10), pattern(10));
}

void TestMidiBytePipe::largeQueueIsHandedOutInPieces()
{
    MidiBytePipe pipe;
    const QByteArray bytes = pattern(2500);
    append(pipe, bytes.left(1500));
    append(pipe, bytes.mid(1500));

    QCOMPARE(read(pipe, 1024), bytes.left(1024));
    QCOMPARE(pipe.pending(), 1476u);
    QCOMPARE(read(pipe, 1024), bytes.mid(1024, 1024));
    // A block arriving between two pieces goes behind what is still queued.
    append(pipe, pattern(5, 7));
    QCOMPARE(read(pipe, 1024), bytes.mid(2048) + pattern(5, 7));
    QVERIFY(!pipe.dataAvailable());
    QCOMPARE(read(pipe, 1024), QByteArray());
}

void TestMidiBytePipe::emptyBlockSignalsNothing()
{
    // The platform returns the lent block with nothing recorded when a port closes.
    MidiBytePipe pipe;
    append(pipe, QByteArray());
    QVERIFY(!pipe.dataAvailable());

    append(pipe, pattern(3));
    append(pipe, QByteArray());
    QCOMPARE(pipe.pending(), 3u);
}

void TestMidiBytePipe::queueOutlivesInputStopping()
{
    // Closing and reopening a port stops and restarts input; bytes still queued stay.
    MidiBytePipe pipe;
    QVERIFY(!pipe.inputRunning());
    pipe.setInputRunning(true);
    append(pipe, pattern(20));
    pipe.setInputRunning(false);
    QVERIFY(!pipe.inputRunning());
    pipe.setInputRunning(true);
    QCOMPARE(read(pipe, 1024), pattern(20));
}

void TestMidiBytePipe::concurrentBlocksArriveCompleteAndInOrder()
{
    // One thread appends blocks of every size up to 200 while this one drains in pieces, as
    // the platform's input thread and the monitor do. Every byte must come out once, in order,
    // and the pending count must never hide bytes that are queued.
    MidiBytePipe pipe;
    constexpr int total = 400000;
    const QByteArray expected = pattern(total);

    std::thread producer([&] {
        int sent = 0;
        int size = 1;
        while (sent < total) {
            const int block = qMin(size, total - sent);
            append(pipe, expected.mid(sent, block));
            sent += block;
            size = size % 200 + 1;
        }
    });

    QByteArray received;
    unsigned char buffer[97];
    QElapsedTimer timer;
    timer.start();
    while (received.size() < total && timer.elapsed() < 20000) {
        const int count = pipe.read(buffer, sizeof buffer);
        received.append(reinterpret_cast<const char *>(buffer), count);
    }
    producer.join();

    QCOMPARE(received.size(), total);
    QVERIFY(received == expected);
    QVERIFY(!pipe.dataAvailable());
}

void TestMidiBytePipe::waitEndsWhenBytesArrive()
{
    MidiBytePipe pipe;
    QVERIFY(!pipe.waitForData(1));

    // The waiter wakes on the append, not at the end of its (long) time limit.
    QElapsedTimer timer;
    timer.start();
    std::thread device([&] {
        QThread::msleep(30);
        append(pipe, pattern(4));
    });
    QVERIFY(pipe.waitForData(10000));
    device.join();
    QVERIFY(timer.elapsed() < 5000);

    // With bytes already queued it returns at once.
    QVERIFY(pipe.waitForData(10000));
    QCOMPARE(read(pipe, 10), pattern(4));
}

void TestMidiBytePipe::wakeEndsAWaitWithoutLimit_data()
{
    QTest::addColumn<bool>("wakeFirst");
    QTest::newRow("woken while it waits") << false;
    QTest::newRow("woken before it waits") << true;
}

void TestMidiBytePipe::wakeEndsAWaitWithoutLimit()
{
    // The input thread sleeps without a time limit while nothing arrives; stopping it must
    // still end its wait, also when the wake comes just before the wait begins.
    QFETCH(bool, wakeFirst);
    MidiBytePipe pipe;
    if (wakeFirst)
        pipe.wakeWaiter();
    std::atomic<int> result{-1};
    std::thread reader([&] { result = pipe.waitForData(MidiDataWait::noTimeLimit) ? 1 : 0; });
    if (!wakeFirst) {
        QTest::qWait(20);
        pipe.wakeWaiter();
    }
    QTRY_COMPARE(result.load(), 0);
    reader.join();

    // The wake is used up: the next wait sleeps until bytes come.
    std::thread device([&] {
        QThread::msleep(20);
        append(pipe, pattern(3));
    });
    QVERIFY(pipe.waitForData(MidiDataWait::noTimeLimit));
    device.join();
    QCOMPARE(read(pipe, 10), pattern(3));
}

void TestMidiBytePipe::ringKeepsTheNewestBytesWithinItsBound_data()
{
    // A ring of 8 bytes: first is appended, readFirst bytes read, then second appended.
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<int>("readFirst");
    QTest::addColumn<QByteArray>("second");
    QTest::addColumn<QByteArray>("queued");
    QTest::addColumn<int>("dropped");

    const QByteArray a = pattern(8, 10);
    const QByteArray b = pattern(20, 100);
    QTest::newRow("exactly full") << a << 0 << QByteArray() << a << 0;
    QTest::newRow("full in two blocks") << a.left(5) << 0 << a.mid(5) << a << 0;
    QTest::newRow("one byte over") << a << 0 << b.left(1) << a.mid(1) + b.left(1) << 1;
    QTest::newRow("block larger than the ring") << a.left(3) << 0 << b << b.right(8) << 15;
    QTest::newRow("block as large as the ring") << a.left(3) << 0 << b.left(8) << b.left(8) << 3;
    QTest::newRow("wraps round") << a.left(6) << 5 << b.left(7) << a.mid(5, 1) + b.left(7) << 0;
    QTest::newRow("wraps round and overflows")
        << a.left(6) << 5 << b.left(9) << b.left(9).right(8) << 2;
}

void TestMidiBytePipe::ringKeepsTheNewestBytesWithinItsBound()
{
    QFETCH(QByteArray, first);
    QFETCH(int, readFirst);
    QFETCH(QByteArray, second);
    QFETCH(QByteArray, queued);
    QFETCH(int, dropped);

    MidiBytePipe pipe(8);
    TraceCapture traces;
    append(pipe, first);
    QCOMPARE(read(pipe, unsigned(readFirst)), first.left(readFirst));
    append(pipe, second);
    QCOMPARE(pipe.pending(), unsigned(queued.size()));

    // A loss is told once, before the bytes that followed it.
    if (dropped != 0) {
        unsigned char buffer[16];
        QCOMPARE(pipe.read(buffer, sizeof buffer), MidiBytePipe::bytesLost);
        QCOMPARE(traces.lines(),
                 QStringList{QStringLiteral("Input queue full: dropped %1 bytes").arg(dropped)});
    }
    QCOMPARE(read(pipe, 3), queued.left(3));
    QCOMPARE(read(pipe, 1024), queued.mid(3));
    QVERIFY(!pipe.dataAvailable());
    if (dropped == 0)
        QCOMPARE(traces.lines(), QStringList());

    // Emptied, the ring takes a full load again without loss.
    append(pipe, pattern(8, 200));
    QCOMPARE(read(pipe, 1024), pattern(8, 200));
}

void TestMidiBytePipe::fullRingDrainsWhole()
{
    // Blocks of every size up to 200 fill the ring to the last byte while the reader takes
    // pieces of 1000 (so that pieces and blocks cross the ring's end at every offset).
    MidiBytePipe pipe(4096);
    const QByteArray stream = pattern(300000);
    QByteArray drained;
    int sent = 0;
    int size = 1;
    while (sent < stream.size()) {
        while (sent < stream.size() && pipe.pending() + unsigned(size) <= pipe.capacity()) {
            const int block = qMin(size, stream.size() - sent);
            append(pipe, stream.mid(sent, block));
            sent += block;
            size = size % 200 + 1;
        }
        drained += read(pipe, 1000);
    }
    drained += read(pipe, 4096);
    QVERIFY(drained == stream);
}

void TestMidiBytePipe::dropsAreTracedOnceASecond()
{
    // A device that floods a full pipe: one line at once, then the sum once a second, traced
    // by the reader (here: this thread) when it reads or waits.
    MidiBytePipe pipe(4);
    TraceCapture traces;
    unsigned char buffer[4];
    for (int i = 0; i < 100; ++i) {
        append(pipe, pattern(6, i));
        QCOMPARE(pipe.read(buffer, sizeof buffer), MidiBytePipe::bytesLost);
        QCOMPARE(read(pipe, 4), pattern(6, i).right(4));
    }
    QCOMPARE(traces.lines(), QStringList{"Input queue full: dropped 2 bytes"});
    QTRY_VERIFY((pipe.waitForData(10), traces.lines().size() == 2));
    QCOMPARE(traces.lines().last(), QStringLiteral("Input queue full: dropped 198 bytes"));
}

QTEST_GUILESS_MAIN(TestMidiBytePipe)
#include "tst_midibytepipe.moc"
