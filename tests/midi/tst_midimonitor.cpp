#include "../common/pipemidi.h"
#include "../common/tracecapture.h"
#include "midimonitor.h"

#include <QtTest>

#include <atomic>
#include <memory>

namespace {

const QString overflowTrace = QStringLiteral(
    "Sysex buffer overflow, sysex terminator not found after 1024 bytes.");

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray result;
    for (int value : values)
        result.append(char(value));
    return result;
}

// F0, length - 2 data bytes counting up from first, F7.
QByteArray message(int length, int first = 1)
{
    QByteArray result(1, char(0xF0));
    for (int i = 0; i < length - 2; ++i)
        result.append(char((first + i) % 0x80));
    result.append(char(0xF7));
    return result;
}

void feed(MidiMonitor &monitor, const QByteArray &input)
{
    for (char byte : input)
        monitor.readSysex((unsigned char)byte);
}

void append(PipeMidi &midi, const QByteArray &input)
{
    midi.pipe().append(reinterpret_cast<const unsigned char *>(input.constData()),
                       unsigned(input.size()));
}

// Lives on the test's thread, so messages from the monitor thread arrive as queued calls, as
// they reach the patch controller.
class Receiver : public QObject
{
    Q_OBJECT

public:
    QList<QByteArray> messages;

public slots:
    void receive(QByteArray message) { messages << message; }
};

// Takes the monitor's waiting patches each time it is told of them, on the test's thread.
class Taker : public QObject
{
    Q_OBJECT

public:
    explicit Taker(MidiMonitor &monitor)
        : monitor(monitor)
    {
        // Queued even when the monitor is fed on the test's thread, as from its own thread.
        connect(&monitor, &MidiMonitor::patchesWaiting, this, &Taker::take, Qt::QueuedConnection);
        // Patches are the ten-byte messages.
        monitor.setPatchFilter(
            [](const unsigned char *, unsigned int length) { return length == 10; });
    }

    MidiMonitor &monitor;
    int calls = 0;
    QList<QByteArray> taken;

public slots:
    void take()
    {
        ++calls;
        taken += monitor.takePatches();
    }
};

const QByteArray shortSysex = bytes({0xF0, 0x01, 0x02, 0x03, 0xF7});

void portKinds()
{
    QTest::addColumn<bool>("wakes");
    QTest::newRow("port that wakes the monitor") << true;
    QTest::newRow("port the monitor polls") << false;
}

std::unique_ptr<PipeMidi> makePort(bool wakes)
{
    if (wakes)
        return std::make_unique<WakingPipeMidi>();
    return std::make_unique<PipeMidi>();
}

// A monitor on a test port, its messages going to a receiver on the test's thread. Destroying
// the monitor stops its thread.
struct Wiring
{
    Wiring(QObject *owner, bool wakes)
        : port(makePort(wakes))
        , midi(*port)
        , monitor(owner, port.get())
    {
        QObject::connect(&monitor, &MidiMonitor::receivedSysex, &receiver, &Receiver::receive);
    }

    std::unique_ptr<PipeMidi> port;
    PipeMidi &midi;
    Receiver receiver;
    MidiMonitor monitor;
};

} // namespace

class TestMidiMonitor : public QObject
{
    Q_OBJECT

private slots:
    // The assembler, fed directly
    void assemblesMessages_data();
    void assemblesMessages();
    void streamRulesHoldInsideMessages_data();
    void streamRulesHoldInsideMessages();
    void droppedAndIgnoredBytesAreTracedSparingly();
    void bytesLostEndTheMessageBeingAssembled();
    void statusMessagesAreKeptNotAnnounced();
    void overlongMessageIsDroppedOnce();
    void messageOfMaximumLengthIsAnnounced();
    void floodIsCountedAndTheQueueStaysBounded();

    // The traffic tap
    void tapsEveryMessage_data();
    void tapsEveryMessage();
    void sentAndReceivedShareOneQueueInOrder();
    void trafficIsAnnouncedOncePerBatchAndBounded();
    void trafficFromAFloodArrivesWhole_data() { portKinds(); }
    void trafficFromAFloodArrivesWhole();

    // The thread
    void messagesArriveOnReceiverThread_data() { portKinds(); }
    void messagesArriveOnReceiverThread();
    void announcedMessagesStayIntactWhileReceiverIsBusy_data() { portKinds(); }
    void announcedMessagesStayIntactWhileReceiverIsBusy();
    void queueLargerThanOneReadIsDelivered_data() { portKinds(); }
    void queueLargerThanOneReadIsDelivered();
    void patchesAmidAFloodAllArriveInOrder_data() { portKinds(); }
    void patchesAmidAFloodAllArriveInOrder();
    void statusIsVisibleToOtherThreads_data() { portKinds(); }
    void statusIsVisibleToOtherThreads();
    void stopEndsThreadOnce_data() { portKinds(); }
    void stopEndsThreadOnce();
    void idleMonitorSleepsUntilInputOrStop();
    void withoutOwnerRunDoesNothing();
    void deletingRunningMonitorStopsItFirst();
};

void TestMidiMonitor::assemblesMessages_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QList<QByteArray>>("announced");

    const QByteArray fourBytes = bytes({0xF0, 0x01, 0x02, 0xF7});
    QTest::newRow("four-byte message") << fourBytes << QList<QByteArray>{fourBytes};
    QTest::newRow("bytes before F0 ignored")
        << bytes({0x01, 0x02}) + fourBytes << QList<QByteArray>{fourBytes};
    QTest::newRow("two messages in one read")
        << fourBytes + message(10) << QList<QByteArray>{fourBytes, message(10)};
    QTest::newRow("bytes between messages ignored")
        << fourBytes + bytes({0x90, 0x40}) + message(6) << QList<QByteArray>{fourBytes, message(6)};
    QTest::newRow("F0 inside a message starts a new one")
        << bytes({0xF0, 0x01, 0xF0, 0x02, 0x03, 0xF7})
        << QList<QByteArray>{bytes({0xF0, 0x02, 0x03, 0xF7})};
    QTest::newRow("stray F7 first") << bytes({0xF7}) + fourBytes << QList<QByteArray>{fourBytes};
    QTest::newRow("stray F7 after a message does not repeat it")
        << fourBytes + bytes({0xF7, 0x05, 0xF7}) << QList<QByteArray>{fourBytes};
    QTest::newRow("unfinished message waits") << bytes({0xF0, 0x01, 0x02}) << QList<QByteArray>{};
    QTest::newRow("empty message F0 F7")
        << bytes({0xF0, 0xF7}) << QList<QByteArray>{bytes({0xF0, 0xF7})};
}

void TestMidiMonitor::assemblesMessages()
{
    QFETCH(QByteArray, input);
    QFETCH(QList<QByteArray>, announced);

    PipeMidi midi;
    MidiMonitor monitor(this, &midi);
    QSignalSpy spy(&monitor, &MidiMonitor::receivedSysex);
    feed(monitor, input);

    QList<QByteArray> got;
    for (const QList<QVariant> &arguments : spy)
        got << arguments.at(0).toByteArray();
    QCOMPARE(got, announced);
    QCOMPARE(monitor.status(), 0);
}

void TestMidiMonitor::streamRulesHoldInsideMessages_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QList<QByteArray>>("announced");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("unfinished"); // messages dropped before their F7

    const QByteArray patch = message(348, 3);
    const QByteArray fourBytes = bytes({0xF0, 0x01, 0x02, 0xF7});

    // Real-time bytes belong to no message: dropped wherever they come.
    for (int realTime = 0xF8; realTime <= 0xFF; ++realTime) {
        QTest::addRow("real-time %X between two pieces of a patch", realTime)
            << patch.left(200) + bytes({realTime}) + patch.mid(200) << QList<QByteArray>{patch} << 0
            << 0;
    }
    QTest::newRow("clock before and after a message")
        << bytes({0xF8}) + fourBytes + bytes({0xF8, 0xFE}) << QList<QByteArray>{fourBytes} << 0
        << 0;
    QTest::newRow("clock inside a status message")
        << bytes({0xF0, 0xF8, 0x3D, 0xF8, 0xF7}) << QList<QByteArray>{} << 0x3D << 0;

    // Any other status byte but F7 ends the message unfinished: it is dropped.
    for (int statusByte : {0x80, 0x90, 0xA0, 0xB0, 0xC0, 0xD0, 0xE0, 0xF1, 0xF2, 0xF3, 0xF6}) {
        QTest::addRow("status %X between two pieces of a patch", statusByte)
            << patch.left(200) + bytes({statusByte, 0x40, 0x7F}) + patch.mid(200) + fourBytes
            << QList<QByteArray>{fourBytes} << 0 << 1;
    }
    QTest::newRow("note on inside a status message")
        << bytes({0xF0, 0x90, 0x3D, 0xF7}) << QList<QByteArray>{} << 0 << 1;
    QTest::newRow("status bytes outside a message end nothing")
        << bytes({0x90, 0x40, 0x7F, 0xB0, 0x07}) + fourBytes << QList<QByteArray>{fourBytes} << 0
        << 0;

    // F0 starts a new message whatever came before.
    QTest::newRow("stray start before a patch")
        << bytes({0xF0, 0x01, 0x02, 0x03}) + patch << QList<QByteArray>{patch} << 0 << 1;
    QTest::newRow("stray start before a status")
        << bytes({0xF0, 0x01, 0xF0, 0x1A, 0xF7}) << QList<QByteArray>{} << 0x1A << 1;
    QTest::newRow("overlong message, then F0")
        << message(1200) + patch << QList<QByteArray>{patch} << 0 << 0;

    // Lengths around a patch's come out as they came: the patch controller takes only 348.
    QTest::newRow("347-byte message") << message(347) << QList<QByteArray>{message(347)} << 0 << 0;
    QTest::newRow("349-byte message") << message(349) << QList<QByteArray>{message(349)} << 0 << 0;
    QTest::newRow("349 bytes with a clock in them")
        << patch.left(346) + bytes({0xF8}) + patch.mid(346) << QList<QByteArray>{patch} << 0 << 0;
}

void TestMidiMonitor::streamRulesHoldInsideMessages()
{
    QFETCH(QByteArray, input);
    QFETCH(QList<QByteArray>, announced);
    QFETCH(int, status);
    QFETCH(int, unfinished);

    PipeMidi midi;
    MidiMonitor monitor(this, &midi);
    QSignalSpy spy(&monitor, &MidiMonitor::receivedSysex);
    TraceCapture traces;
    feed(monitor, input);

    QList<QByteArray> got;
    for (const QList<QVariant> &arguments : spy)
        got << arguments.at(0).toByteArray();
    QCOMPARE(got, announced);
    QCOMPARE(monitor.status(), status);
    // All within a second: the first drop is traced, the others wait.
    QCOMPARE(traces.count(QStringLiteral("dropped an unfinished SysEx message")),
             unfinished > 0 ? 1 : 0);
}

void TestMidiMonitor::droppedAndIgnoredBytesAreTracedSparingly()
{
    // A flood of notes and broken messages: one line at once, the rest counted and traced a
    // second later by the monitor thread, not a line per message.
    TraceCapture traces;
    WakingPipeMidi midi;
    Receiver receiver;
    MidiMonitor monitor(this, &midi);
    connect(&monitor, &MidiMonitor::receivedSysex, &receiver, &Receiver::receive);
    QByteArray flood;
    for (int i = 0; i < 1000; ++i)
        flood += bytes({0x90, 0x40, 0x7F});
    for (int i = 0; i < 20; ++i)
        flood += bytes({0xF0, 0x01, 0x02, 0xB0, 0x07, 0x64});
    flood += message(10);
    append(midi, flood);
    monitor.start();

    QTRY_COMPARE(receiver.messages, QList<QByteArray>{message(10)});
    QTRY_VERIFY(traces.contains(QStringLiteral("ignored 1019 non-SysEx messages")));
    QTRY_VERIFY(traces.contains(QStringLiteral("dropped 19 unfinished SysEx messages")));
    const QStringList lines = traces.lines();
    QCOMPARE(lines.filter(QRegularExpression("^ignored ")),
             QStringList({"ignored a non-SysEx message", "ignored 1019 non-SysEx messages"}));
    QCOMPARE(lines.filter(QRegularExpression("^dropped ")),
             QStringList(
                 {"dropped an unfinished SysEx message", "dropped 19 unfinished SysEx messages"}));
}

void TestMidiMonitor::bytesLostEndTheMessageBeingAssembled()
{
    // A queue of 8 bytes: a block of 10 loses its first 2, which a message read before needed.
    TraceCapture traces;
    auto port = std::make_unique<WakingPipeMidi>(8);
    Receiver receiver;
    MidiMonitor monitor(this, port.get());
    connect(&monitor, &MidiMonitor::receivedSysex, &receiver, &Receiver::receive);
    monitor.start();

    append(*port, bytes({0xF0, 0x01, 0x02}));
    QTRY_VERIFY(!port->dataAvailable());
    append(*port, bytes({0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0xF7}));
    QTRY_VERIFY(!port->dataAvailable());
    append(*port, message(6));
    QTRY_COMPARE(receiver.messages.size(), 1);
    QCOMPARE(receiver.messages.first(), message(6));
    QVERIFY(traces.contains(QStringLiteral("Input queue full: dropped 2 bytes")));
    QVERIFY(traces.contains(QStringLiteral("dropped an unfinished SysEx message")));
}

void TestMidiMonitor::statusMessagesAreKeptNotAnnounced()
{
    PipeMidi midi;
    MidiMonitor monitor(this, &midi);
    QSignalSpy spy(&monitor, &MidiMonitor::receivedSysex);
    TraceCapture traces;

    feed(monitor, bytes({0xF0, 0x3D, 0xF7}));
    QCOMPARE(monitor.status(), 0x3D);
    QVERIFY(traces.contains("Received Status 61"));
    QCOMPARE(monitor.status(), 0x3D); // reading does not clear it
    monitor.clearStatus();
    QCOMPARE(monitor.status(), 0);

    // A zero status is traced but leaves nothing pending.
    feed(monitor, bytes({0xF0, 0x00, 0xF7}));
    QVERIFY(traces.contains("Received Status 0"));
    QCOMPARE(monitor.status(), 0);

    // A later status replaces an earlier one; a longer message leaves it alone.
    feed(monitor, bytes({0xF0, 0x20, 0xF7, 0xF0, 0x1A, 0xF7}));
    QCOMPARE(monitor.status(), 0x1A);
    feed(monitor, bytes({0xF0, 0x01, 0x02, 0xF7}));
    QCOMPARE(monitor.status(), 0x1A);

    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toByteArray(), bytes({0xF0, 0x01, 0x02, 0xF7}));
}

void TestMidiMonitor::overlongMessageIsDroppedOnce()
{
    PipeMidi midi;
    MidiMonitor monitor(this, &midi);
    QSignalSpy spy(&monitor, &MidiMonitor::receivedSysex);
    TraceCapture traces;

    // 1022 data bytes: the F7 would be the 1024th byte.
    feed(monitor, message(1024));
    QCOMPARE(spy.count(), 0);
    QCOMPARE(traces.count(overflowTrace), 1);

    // What follows the dropped message is ignored until the next F0, which works normally.
    feed(monitor, bytes({0x01, 0xF7, 0x02}) + bytes({0xF0, 0x3D, 0xF7}) + message(5));
    QCOMPARE(traces.count(overflowTrace), 1);
    QCOMPARE(monitor.status(), 0x3D);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toByteArray(), message(5));

    // A far longer message within the same second is counted for a later line, not traced.
    traces.clear();
    QByteArray endless(1, char(0xF0));
    endless.append(QByteArray(5000, char(0x11)));
    feed(monitor, endless + bytes({0xF7}));
    QCOMPARE(traces.lines(), QStringList());
    QCOMPARE(spy.count(), 1);
}

void TestMidiMonitor::messageOfMaximumLengthIsAnnounced()
{
    PipeMidi midi;
    MidiMonitor monitor(this, &midi);
    QSignalSpy spy(&monitor, &MidiMonitor::receivedSysex);
    TraceCapture traces;

    feed(monitor, message(1023) + message(1023, 7));
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(0).at(0).toByteArray(), message(1023));
    QCOMPARE(spy.at(1).at(0).toByteArray(), message(1023, 7));
    QCOMPARE(traces.count(overflowTrace), 0);
}

void TestMidiMonitor::messagesArriveOnReceiverThread()
{
    QFETCH(bool, wakes);
    Wiring wiring(this, wakes);
    auto &[port, midi, receiver, monitor] = wiring;
    monitor.start();

    // A message split over two blocks with a pause between them, as a slow port delivers it.
    const QByteArray patch = message(348);
    append(midi, patch.left(200));
    QTest::qWait(20);
    QVERIFY(receiver.messages.isEmpty());
    append(midi, patch.mid(200));
    QTRY_COMPARE(receiver.messages.size(), 1);
    QCOMPARE(receiver.messages.first(), patch);
}

void TestMidiMonitor::announcedMessagesStayIntactWhileReceiverIsBusy()
{
    // Many messages are assembled before the receiving thread gets round to any of them: each
    // must still arrive with its own bytes.
    QFETCH(bool, wakes);
    Wiring wiring(this, wakes);
    auto &[port, midi, receiver, monitor] = wiring;
    QList<QByteArray> sent;
    for (int i = 0; i < 50; ++i) {
        sent << message(20 + i, i);
        append(midi, sent.last());
    }
    monitor.start();
    // Without processing events here, every delivery stays queued until the monitor is done.
    QElapsedTimer timer;
    timer.start();
    while (midi.dataAvailable() && timer.elapsed() < 5000)
        QThread::msleep(5);
    QThread::msleep(50);
    QVERIFY(receiver.messages.isEmpty());

    QTRY_COMPARE(receiver.messages.size(), sent.size());
    QCOMPARE(receiver.messages, sent);
}

void TestMidiMonitor::queueLargerThanOneReadIsDelivered()
{
    // More than the monitor reads at once, in a single block: it comes out in pieces and
    // nothing is stuck or dropped.
    TraceCapture traces;
    QFETCH(bool, wakes);
    Wiring wiring(this, wakes);
    auto &[port, midi, receiver, monitor] = wiring;
    QByteArray input;
    QList<QByteArray> sent;
    for (int i = 0; i < 10; ++i) {
        sent << message(348, i);
        input += sent.last();
    }
    append(midi, input);
    monitor.start();

    QTRY_COMPARE(receiver.messages.size(), sent.size());
    QCOMPARE(receiver.messages, sent);
    QVERIFY(!midi.dataAvailable());
    QCOMPARE(traces.count("Buffer overflow"), 0);
}

void TestMidiMonitor::floodIsCountedAndTheQueueStaysBounded()
{
    // The owner's thread takes nothing while the flood comes.
    TraceCapture traces;
    PipeMidi midi;
    MidiMonitor monitor(this, &midi);
    Taker taker(monitor);
    QList<QByteArray> patches;
    for (int i = 0; i < 100000; ++i) {
        feed(monitor, shortSysex);
        if (i % 1000 == 0) {
            patches << message(10, i % 100);
            feed(monitor, patches.last());
        }
    }

    QCOMPARE(monitor.passedOver(), quint64(100000));
    QCoreApplication::processEvents();
    // One call for the whole flood, and only the newest patches, in order.
    QCOMPARE(taker.calls, 1);
    QCOMPARE(taker.taken, patches.mid(patches.size() - MidiMonitor::maxQueued));
    QVERIFY(traces.contains(QStringLiteral("ignored a SysEx message that is not a patch")));
    QVERIFY(traces.contains(QStringLiteral("dropped a patch that was not taken in time")));
}

void TestMidiMonitor::tapsEveryMessage_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QList<QByteArray>>("tapped");

    const QByteArray noteOn = bytes({0x99, 0x3C, 0x64});
    QTest::newRow("note on") << noteOn << QList<QByteArray>{noteOn};
    QTest::newRow("running status")
        << bytes({0xB0, 0x07, 0x40, 0x07, 0x41, 0x0A})
        << QList<QByteArray>{bytes({0xB0, 0x07, 0x40}), bytes({0xB0, 0x07, 0x41})};
    QTest::newRow("program change and aftertouch have one data byte")
        << bytes({0xC2, 0x05, 0x06, 0xD0, 0x7F})
        << QList<QByteArray>{bytes({0xC2, 0x05}), bytes({0xC2, 0x06}), bytes({0xD0, 0x7F})};
    QTest::newRow("real time inside a channel message")
        << bytes({0x90, 0x3C, 0xF8, 0x64})
        << QList<QByteArray>{bytes({0xF8}), bytes({0x90, 0x3C, 0x64})};
    QTest::newRow("real time inside SysEx")
        << bytes({0xF0, 0x01, 0xFE, 0x02, 0xF7})
        << QList<QByteArray>{bytes({0xFE}), bytes({0xF0, 0x01, 0x02, 0xF7})};
    QTest::newRow("SysEx ends running status")
        << bytes({0x90, 0x3C, 0x64, 0xF0, 0x01, 0xF7, 0x3D, 0x64})
        << QList<QByteArray>{bytes({0x90, 0x3C, 0x64}), bytes({0xF0, 0x01, 0xF7})};
    QTest::newRow("status answer")
        << bytes({0xF0, 0x1A, 0xF7}) << QList<QByteArray>{bytes({0xF0, 0x1A, 0xF7})};
    QTest::newRow("system common ends running status")
        << bytes({0x90, 0x3C, 0x64, 0xF3, 0x02, 0x3C, 0x64, 0xF6})
        << QList<QByteArray>{bytes({0x90, 0x3C, 0x64}), bytes({0xF3, 0x02}), bytes({0xF6})};
    QTest::newRow("data without status dropped")
        << bytes({0x3C, 0x64, 0xF7, 0x01}) << QList<QByteArray>{};
    QTest::newRow("status cut short by another")
        << bytes({0x90, 0x3C, 0xB1, 0x07, 0x40}) << QList<QByteArray>{bytes({0xB1, 0x07, 0x40})};
    QTest::newRow("unfinished SysEx not tapped")
        << bytes({0xF0, 0x01, 0x90, 0x3C, 0x64}) << QList<QByteArray>{bytes({0x90, 0x3C, 0x64})};
}

void TestMidiMonitor::tapsEveryMessage()
{
    QFETCH(QByteArray, input);
    QFETCH(QList<QByteArray>, tapped);

    PipeMidi midi;
    MidiMonitor monitor(this, &midi);
    feed(monitor, input);
    QList<QByteArray> got;
    for (const MidiTrafficMessage &message : monitor.takeTraffic()) {
        QVERIFY(!message.outgoing);
        got << message.bytes;
    }
    QCOMPARE(got, tapped);
    QVERIFY(monitor.takeTraffic().isEmpty());
}

void TestMidiMonitor::sentAndReceivedShareOneQueueInOrder()
{
    PipeMidi midi;
    MidiMonitor monitor(this, &midi);
    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    const QByteArray request = bytes({0xF0, 0x00, 0x00, 0x00, 0x00, 0x7F, 0x62, 0x00, 0x00, 0xF7});
    monitor.recordSent(reinterpret_cast<const unsigned char *>(request.constData()),
                       unsigned(request.size()));
    feed(monitor, message(10));
    monitor.recordSent(reinterpret_cast<const unsigned char *>(request.constData()), 3);

    const MidiTraffic traffic = monitor.takeTraffic();
    QCOMPARE(traffic.size(), 3);
    QCOMPARE(traffic[0].bytes, request);
    QVERIFY(traffic[0].outgoing);
    QCOMPARE(traffic[1].bytes, message(10));
    QVERIFY(!traffic[1].outgoing);
    QCOMPARE(traffic[2].bytes, request.left(3));
    QVERIFY(traffic[2].outgoing);
    QVERIFY(traffic[0].timeMs >= before);
    QVERIFY(traffic[2].timeMs >= traffic[0].timeMs);
}

void TestMidiMonitor::trafficIsAnnouncedOncePerBatchAndBounded()
{
    PipeMidi midi;
    MidiMonitor monitor(this, &midi);
    QSignalSpy waiting(&monitor, &MidiMonitor::trafficWaiting);
    for (int i = 0; i < MidiMonitor::maxTraffic + 5; ++i)
        feed(monitor, bytes({0x90, i % 128, 0x40}));
    QCOMPARE(waiting.count(), 1);
    QCOMPARE(monitor.trafficDropped(), quint64(5));
    const MidiTraffic traffic = monitor.takeTraffic();
    QCOMPARE(traffic.size(), MidiMonitor::maxTraffic);
    // The oldest five made room.
    QCOMPARE(traffic.first().bytes, bytes({0x90, 5, 0x40}));
    QCOMPARE(traffic.last().bytes, bytes({0x90, (MidiMonitor::maxTraffic + 4) % 128, 0x40}));

    feed(monitor, bytes({0xF8}));
    QCOMPARE(waiting.count(), 2);
}

void TestMidiMonitor::trafficFromAFloodArrivesWhole()
{
    QFETCH(bool, wakes);
    const std::unique_ptr<PipeMidi> port = makePort(wakes);
    MidiMonitor monitor(this, port.get());
    MidiTraffic taken;
    int calls = 0;
    connect(
        &monitor, &MidiMonitor::trafficWaiting, this,
        [&] {
            ++calls;
            taken += monitor.takeTraffic();
        },
        Qt::QueuedConnection);
    QByteArray input;
    for (int i = 0; i < 5000; ++i)
        input += bytes({0xB0, 0x07, i % 128});
    append(*port, input + bytes({0xF0, 0x1A, 0xF7}));
    monitor.start();

    QTRY_COMPARE(taken.size(), 5001);
    for (int i = 0; i < 5000; ++i)
        QCOMPARE(taken[i].bytes, bytes({0xB0, 0x07, i % 128}));
    QCOMPARE(taken.last().bytes, bytes({0xF0, 0x1A, 0xF7}));
    // Batches, not a call per message.
    QVERIFY(calls < 5001);
}

void TestMidiMonitor::patchesAmidAFloodAllArriveInOrder()
{
    QFETCH(bool, wakes);
    const std::unique_ptr<PipeMidi> port = makePort(wakes);
    MidiMonitor monitor(this, port.get());
    Taker taker(monitor);
    QByteArray input;
    QList<QByteArray> patches;
    // Fewer patches than the queue holds: none is dropped, however late they are taken.
    for (int i = 0; i < MidiMonitor::maxQueued; ++i) {
        patches << message(10, i);
        input += patches.last() + shortSysex.repeated(1000) + bytes({0xF0, 0x7E, 0xF7});
    }
    append(*port, input);
    monitor.start();

    QTRY_COMPARE(taker.taken.size(), patches.size());
    QCOMPARE(taker.taken, patches);
    QCOMPARE(monitor.passedOver(), quint64(1000 * patches.size()));
    QCOMPARE(monitor.status(), 0x7E);
}

void TestMidiMonitor::statusIsVisibleToOtherThreads()
{
    // The updater polls the status on the GUI thread while the monitor thread sets it.
    QFETCH(bool, wakes);
    Wiring wiring(this, wakes);
    auto &[port, midi, receiver, monitor] = wiring;
    monitor.start();
    append(midi, bytes({0xF0, 0x77, 0xF7}));
    QTRY_COMPARE(monitor.status(), 0x77);
    monitor.clearStatus();
    append(midi, bytes({0xF0, 0x1A}));
    append(midi, bytes({0xF7}));
    QTRY_COMPARE(monitor.status(), 0x1A);
    QVERIFY(receiver.messages.isEmpty());
}

void TestMidiMonitor::stopEndsThreadOnce()
{
    TraceCapture traces;
    QFETCH(bool, wakes);
    Wiring wiring(this, wakes);
    MidiMonitor &monitor = wiring.monitor;
    QSignalSpy finished(&monitor, &QThread::finished);
    monitor.start();
    QTRY_VERIFY(monitor.isRunning());
    QTest::qWait(20);
    QVERIFY(!monitor.isFinished());

    monitor.stop();
    QVERIFY(monitor.wait(1000));
    QCOMPARE(traces.count("processMidi Finished"), 1);
    QTRY_COMPARE(finished.count(), 1);

    // Stopping again does nothing more.
    monitor.stop();
    QCOMPARE(traces.count("processMidi Finished"), 1);
}

void TestMidiMonitor::idleMonitorSleepsUntilInputOrStop()
{
    // A port that counts the monitor's waits: an idle monitor must not wake on its own, or it
    // costs the machine a wake-up many times a second for nothing.
    struct CountingPort : WakingPipeMidi
    {
        bool waitForData(unsigned long msecs) override
        {
            ++waits;
            return WakingPipeMidi::waitForData(msecs);
        }
        std::atomic<int> waits{0};
    } midi;
    Receiver receiver;
    MidiMonitor monitor(this, &midi);
    connect(&monitor, &MidiMonitor::receivedSysex, &receiver, &Receiver::receive);
    monitor.start();
    QTRY_COMPARE(midi.waits.load(), 1);
    QTest::qWait(200);
    QCOMPARE(midi.waits.load(), 1);

    // Input wakes it, and it sleeps again.
    append(midi, message(5));
    QTRY_COMPARE(receiver.messages, QList<QByteArray>{message(5)});
    QTRY_COMPARE(midi.waits.load(), 2);

    // So does stop.
    monitor.stop();
    QVERIFY(monitor.wait(5000));
}

void TestMidiMonitor::withoutOwnerRunDoesNothing()
{
    PipeMidi midi;
    Receiver receiver;
    TraceCapture traces;
    MidiMonitor monitor(nullptr, &midi);
    connect(&monitor, &MidiMonitor::receivedSysex, &receiver, &Receiver::receive);
    append(midi, message(4));
    monitor.start();
    QVERIFY(monitor.wait(1000));
    QCoreApplication::processEvents();
    QVERIFY(receiver.messages.isEmpty());
    QVERIFY(midi.dataAvailable());
    QCOMPARE(traces.count("processMidi Finished"), 0);
}

void TestMidiMonitor::deletingRunningMonitorStopsItFirst()
{
    PipeMidi midi;
    TraceCapture traces;
    auto *monitor = new MidiMonitor(this, &midi);
    QSignalSpy destroyed(monitor, &QObject::destroyed);
    monitor->start();
    QTRY_VERIFY(monitor->isRunning());

    delete monitor;
    QCOMPARE(destroyed.count(), 1);
    const QStringList lines = traces.lines();
    QCOMPARE(lines.count("~MidiMonitor()"), 1);
    QCOMPARE(lines.count("processMidi Finished"), 1);
    // Nothing is left to delete it a second time.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(destroyed.count(), 1);
}

QTEST_GUILESS_MAIN(TestMidiMonitor)
#include "tst_midimonitor.moc"
