#include "midibytepipe.h"

#include <QtTest>

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

QTEST_GUILESS_MAIN(TestMidiBytePipe)
#include "tst_midibytepipe.moc"
