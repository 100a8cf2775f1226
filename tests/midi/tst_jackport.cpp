#include "../common/jackserver.h"
#include "../common/portio.h"
#include "../common/tracecapture.h"
#include "devicewatcher.h"
#include "jackpeer.h"
#include "jackport.h"
#include "platformmidi.h"

#include <QtTest>

#include <csignal>
#include <memory>
#include <optional>

namespace {

// Whether every thread of the process is stopped (state T in /proc).
bool processStopped(qint64 pid)
{
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    const QStringList threads = tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &thread : threads) {
        QFile stat(tasks.filePath(thread + QStringLiteral("/stat")));
        if (!stat.open(QIODevice::ReadOnly))
            return false;
        const QByteArray line = stat.readAll();
        const int end = line.lastIndexOf(')');
        if (end < 0 || line.mid(end + 2, 1) != "T")
            return false;
    }
    return !threads.isEmpty();
}

// Every MIDI port on the server whose full name starts with prefix.
QStringList serverPorts(const QString &prefix)
{
    QStringList names;
    jack_client_t *lister = jack_client_open("Lister", JackNoStartServer, nullptr);
    if (!lister)
        return names;
    const char **ports = jack_get_ports(lister, nullptr, JACK_DEFAULT_MIDI_TYPE, 0);
    for (const char **port = ports; port && *port; ++port) {
        if (QString::fromUtf8(*port).startsWith(prefix))
            names << QString::fromUtf8(*port);
    }
    jack_free(ports);
    jack_client_close(lister);
    return names;
}

QStringList editorPorts()
{
    return serverPorts(QStringLiteral("Vellichord Editor"));
}

// Reads whatever is queued until nothing more comes for a while.
QByteArray readAll(IMidi &port)
{
    QByteArray result;
    unsigned char buffer[1024];
    QElapsedTimer quiet;
    quiet.start();
    while (quiet.elapsed() < 200) {
        const int got = port.read(buffer, sizeof buffer);
        if (got > 0) {
            result.append(reinterpret_cast<const char *>(buffer), got);
            quiet.restart();
        } else {
            QThread::msleep(1);
        }
    }
    return result;
}

} // namespace

// The port on libjack against a JACK server of the test's own, with a peer on libjack as the
// device.
class TestJackPort : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void connectsOnlyToTheExactName();
    void inputWithoutOutputLeavesNothingOpen();
    void withoutPortsNothingIsSent();
    void messagesTravelIntactBothWays_data();
    void messagesTravelIntactBothWays();
    void everyByteIsQueuedInOrderWithoutATrace();
    void queuedBytesSurviveReconnect();
    void messageSentRightAfterConnectArrives();
    void sendingFailsOnceThePeerHasGone();
    void peerBackUnderItsNameNeedsAConnect();
    void watchingIsQuietAndOpensNothing();
    void goneDeviceIsNoLongerAlive();
    void listsThePortsAndMarksTheDevices_data();
    void listsThePortsAndMarksTheDevices();
    void platformPortIsThisOneOnJack();
    void endlessSysexStaysUnderTheBound();
    void stalledServerTakesNothingAndThatIsAFailure();
    void serverThatStopsAndComesBack();
    void watchedPortsAreToldOfChanges();
    void watcherFollowsTheServerWithoutPolling();

private:
    JackServer server;
};

void TestJackPort::initTestCase()
{
    QString error;
    QVERIFY2(server.start(&error), qPrintable(error));
}

void TestJackPort::cleanupTestCase()
{
    server.stop();
}

void TestJackPort::connectsOnlyToTheExactName()
{
    JackPeer device("Vellichord");
    JackPeer updater("Vellichord Updater");
    JackPort port;
    TraceCapture traces;

    QVERIFY(port.connect("Vellichord"));
    // One client holds both ports.
    QCOMPARE(editorPorts(), QStringList({"Vellichord Editor:input", "Vellichord Editor:output"}));
    const QStringList lines = traces.lines();
    QVERIFY(lines.contains("Found input: Vellichord:midi_out"));
    QVERIFY(lines.contains("Found input: Vellichord Updater:midi_out"));
    QVERIFY(lines.contains("Found output: Vellichord:midi_in"));
    QVERIFY(lines.contains("Found output: Vellichord Updater:midi_in"));
    QVERIFY(lines.contains("Midi input open"));
    QVERIFY(lines.contains("Midi output open"));
    port.disconnect();
    QVERIFY(editorPorts().isEmpty());

    QVERIFY(!port.connect("vellichord"));
    QVERIFY(!port.connect("Vellich"));
    QVERIFY(editorPorts().isEmpty());

    // The updater's name reaches only the updater's ports; the port part matches too.
    JackPeer byPort("Peer", "Vellichord Updater", "Vellichord Updater");
    QVERIFY(port.connect("Vellichord Updater"));
    QCOMPARE(send(port, sysex(12)), 0);
    QTRY_COMPARE(updater.received(), sysex(12));
    QCOMPARE(device.received(), QByteArray());
    QCOMPARE(byPort.received(), QByteArray());
    port.disconnect();

    // Disconnecting twice is harmless and the port connects again afterwards.
    port.disconnect();
    QVERIFY(port.connect("Vellichord"));
}

void TestJackPort::inputWithoutOutputLeavesNothingOpen()
{
    JackPeer lonely("Lonely", "midi_out", "");
    JackPort port;
    TraceCapture traces;

    QVERIFY(!port.connect("Lonely"));
    QVERIFY(traces.contains("Midi input open"));
    QVERIFY(editorPorts().isEmpty());
    QCOMPARE(port.connectedName(), std::string());
    QCOMPARE(send(port, sysex(3)), JackPort::notConnected);
}

void TestJackPort::withoutPortsNothingIsSent()
{
    JackPort port;
    TraceCapture traces;
    port.disconnect();
    QCOMPARE(send(port, sysex(3)), JackPort::notConnected);

    // No input of the name: outputs are not even looked at, and no port is made.
    JackPeer deaf("Vellichord", "", "midi_in");
    QVERIFY(!port.connect("Vellichord"));
    QVERIFY(traces.lines().filter("Found output:").isEmpty());
    QVERIFY(editorPorts().isEmpty());
    QCOMPARE(send(port, sysex(3)), JackPort::notConnected);
    QCOMPARE(deaf.received(), QByteArray());
    QVERIFY(!port.dataAvailable());
    unsigned char buffer[4];
    QCOMPARE(port.read(buffer, sizeof buffer), 0);
}

void TestJackPort::messagesTravelIntactBothWays_data()
{
    QTest::addColumn<QByteArrayList>("pieces");

    QTest::newRow("status answer") << QByteArrayList{QByteArray::fromHex("f03df7")};
    QTest::newRow("patch") << QByteArrayList{sysex(348, 9)};
    QTest::newRow("longer than one read") << QByteArrayList{sysex(1023, 5)};
    QTest::newRow("longer than a cycle holds")
        << QByteArrayList{sysex(int(JackPort::maxSendBytes), 7)};
    QTest::newRow("carried in two pieces")
        << QByteArrayList{QByteArray::fromHex("f0010203"), QByteArray::fromHex("0405f7")};
    QTest::newRow("patch in two events")
        << QByteArrayList{sysex(348, 1).left(200), sysex(348, 1).mid(200)};
}

void TestJackPort::messagesTravelIntactBothWays()
{
    QFETCH(QByteArrayList, pieces);
    const QByteArray whole = pieces.join();
    JackPeer device("Vellichord");
    JackPort port;
    QVERIFY(port.connect("Vellichord"));

    // To the device: the caller's buffer is free again at once.
    QByteArray message = whole;
    QCOMPARE(send(port, message), 0);
    message.fill(0);
    QTRY_COMPARE(device.received(), whole);

    // From the device, a piece per event.
    if (whole.size() <= 8192) {
        for (const QByteArray &piece : pieces)
            device.send(piece);
        QCOMPARE(readBytes(port, whole.size()), whole);
        QVERIFY(!port.dataAvailable());
    }
}

void TestJackPort::everyByteIsQueuedInOrderWithoutATrace()
{
    // The input monitor sorts the stream: what is not SysEx, or falls inside it, is its to
    // judge, so the port keeps every byte in order. Its callback traces nothing.
    JackPeer device("Vellichord");
    JackPort port;
    QVERIFY(port.connect("Vellichord"));
    TraceCapture traces;

    const QByteArrayList events{QByteArray::fromHex("90407f"), QByteArray::fromHex("f0010203"),
                                QByteArray::fromHex("f8"),     QByteArray::fromHex("0405f7"),
                                QByteArray::fromHex("b00764"), QByteArray::fromHex("c005"),
                                QByteArray::fromHex("f03df7")};
    for (const QByteArray &event : events)
        device.send(event);
    const QByteArray all = events.join();
    QCOMPARE(readBytes(port, all.size()).toHex(' '), all.toHex(' '));
    QCOMPARE(traces.lines(), QStringList());
}

void TestJackPort::queuedBytesSurviveReconnect()
{
    JackPeer device("Vellichord");
    JackPort port;
    QVERIFY(port.connect("Vellichord"));

    const QByteArray message = sysex(40);
    device.send(message);
    QTRY_VERIFY(port.dataAvailable());
    port.disconnect();
    QVERIFY(port.connect("Vellichord"));
    QCOMPARE(readBytes(port, 40), message);

    // Nothing arrives while the port is closed.
    port.disconnect();
    device.send(sysex(10));
    QTest::qWait(50);
    QVERIFY(!port.dataAvailable());
}

void TestJackPort::messageSentRightAfterConnectArrives()
{
    JackPeer device("Vellichord");
    JackPort port;
    QByteArray expected;
    for (int i = 0; i < 20; ++i) {
        port.disconnect();
        QVERIFY(port.connect("Vellichord"));
        QCOMPARE(send(port, sysex(10, i)), 0);
        expected += sysex(10, i);
        QTRY_COMPARE(device.received(), expected);
    }
}

void TestJackPort::sendingFailsOnceThePeerHasGone()
{
    std::optional<JackPeer> device(std::in_place, "Vellichord");
    JackPeer updater("Vellichord Updater");
    JackPort port;
    JackPort other;
    QVERIFY(port.connect("Vellichord"));
    QVERIFY(other.connect("Vellichord Updater"));
    QCOMPARE(send(port, sysex(10, 1)), 0);
    QTRY_COMPARE(device->received(), sysex(10, 1));

    const QByteArray last = sysex(20, 2);
    device->send(last);
    QTRY_VERIFY(port.dataAvailable());
    TraceCapture traces;
    device.reset();

    QCOMPARE(send(port, sysex(10, 3)), JackPort::notConnected);
    QCOMPARE(traces.count(QStringLiteral("MIDI error: the port Vellichord:midi_in has gone")), 1);
    QCOMPARE(send(port, sysex(10, 4)), JackPort::notConnected);
    // What the device sent before it went is still read.
    QCOMPARE(readBytes(port, 20), last);
    // The server is still there.
    QVERIFY(!port.midiSystemStopped());

    // A peer that is still there goes on receiving, every message.
    QByteArray expected;
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(send(other, sysex(12, i)), 0);
        expected += sysex(12, i);
    }
    QTRY_COMPARE(updater.received(), expected);
}

void TestJackPort::peerBackUnderItsNameNeedsAConnect()
{
    std::optional<JackPeer> device(std::in_place, "Vellichord");
    JackPort port;
    QVERIFY(port.connect("Vellichord"));
    device.reset();
    QCOMPARE(send(port, sysex(10, 1)), JackPort::notConnected);

    // The new port carries the old one's full name, but the connection went with the old one.
    device.emplace("Vellichord");
    QVERIFY(serverPorts("Vellichord:").contains(QStringLiteral("Vellichord:midi_in")));
    QCOMPARE(send(port, sysex(10, 2)), JackPort::notConnected);
    QTest::qWait(50);
    QCOMPARE(device->received(), QByteArray());

    QVERIFY(port.connect("Vellichord"));
    QCOMPARE(send(port, sysex(10, 3)), 0);
    QTRY_COMPARE(device->received(), sysex(10, 3));
}

void TestJackPort::watchingIsQuietAndOpensNothing()
{
    JackPort port;
    TraceCapture traces;
    QVERIFY(!port.portPresent("Vellichord"));
    QCOMPARE(port.connectedName(), std::string());
    QVERIFY(!port.connectionAlive());

    std::optional<JackPeer> device(std::in_place, "Vellichord");
    QVERIFY(port.portPresent("Vellichord"));
    QVERIFY(!port.portPresent("vellichord"));
    QVERIFY(!port.portPresent("Vellichord Updater"));
    for (int i = 0; i < 10; ++i)
        port.portPresent("Vellichord");
    QCOMPARE(send(port, sysex(10)), JackPort::notConnected);

    device.reset();
    QVERIFY(!port.portPresent("Vellichord"));
    JackPeer updater("Vellichord Updater");
    QVERIFY(port.portPresent("Vellichord Updater"));
    QCOMPARE(traces.lines(), QStringList());
    QCOMPARE(editorPorts(), QStringList());
}

void TestJackPort::goneDeviceIsNoLongerAlive()
{
    std::optional<JackPeer> device(std::in_place, "Vellichord");
    JackPort port;
    QVERIFY(port.connect("Vellichord"));
    QCOMPARE(port.connectedName(), std::string("Vellichord"));
    QVERIFY(port.connectionAlive());
    QVERIFY(port.portPresent("Vellichord"));

    TraceCapture traces;
    device.reset();
    QVERIFY(!port.connectionAlive());
    QVERIFY(!port.portPresent("Vellichord"));
    // The ports stay open until they are closed.
    QCOMPARE(port.connectedName(), std::string("Vellichord"));
    QCOMPARE(editorPorts().size(), 2);
    QCOMPARE(traces.lines(), QStringList());

    port.disconnect();
    QCOMPARE(port.connectedName(), std::string());
    QVERIFY(!port.connectionAlive());
    device.emplace("Vellichord");
    QVERIFY(port.portPresent("Vellichord"));
    QVERIFY(port.connect("Vellichord"));
    QVERIFY(port.connectionAlive());
    QCOMPARE(send(port, sysex(10, 5)), 0);
    QTRY_COMPARE(device->received(), sysex(10, 5));
}

void TestJackPort::platformPortIsThisOneOnJack()
{
    if (QFileInfo::exists(QStringLiteral("/dev/snd/seq")))
        QSKIP("this system has the ALSA sequencer, which the editor uses through RtMidi");
    std::unique_ptr<IMidi> port = make_platform_midi();
    QVERIFY(dynamic_cast<JackPort *>(port.get()));
    QVERIFY(!port->connect("No Such Port"));
    QCOMPARE(send(*port, sysex(3)), JackPort::notConnected);
}

void TestJackPort::endlessSysexStaysUnderTheBound()
{
    constexpr unsigned int bound = 64 * 1024;
    JackPeer device("Vellichord");
    JackPort port(bound);
    QVERIFY(port.connect("Vellichord"));
    TraceCapture traces;

    // Nobody reads while an F0 is followed by data bytes without end, many times the bound.
    QElapsedTimer flood;
    flood.start();
    device.startFlood();
    unsigned int most = 0;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            most = std::max(most, port.bufferedBytes());
            return device.floodBytes() > 8 * (bound + JackPort::ringBytes);
        }(),
        30000);
    device.stopFlood();
    QVERIFY2(most <= bound + JackPort::ringBytes, qPrintable(QString::number(most)));
    QVERIFY(port.bufferedBytes() <= bound + JackPort::ringBytes);
    QVERIFY(port.droppedBytes() > 0);
    // Summed up once a second at most, not a line per event.
    QTRY_VERIFY(!traces.lines().filter("MIDI input: dropped").isEmpty());
    QVERIFY(traces.lines().filter("MIDI input: dropped").size() <= flood.elapsed() / 1000 + 1);

    // What was kept is the oldest part of the flood, and what comes next arrives whole.
    const QByteArray kept = readAll(port);
    QVERIFY(kept.size() >= int(bound));
    QCOMPARE(uchar(kept.at(0)), uchar(0xF0));
    QCOMPARE(port.bufferedBytes(), 0u);
    const unsigned long long dropped = port.droppedBytes();
    device.send(sysex(348, 4));
    QCOMPARE(readBytes(port, 348), sysex(348, 4));
    QCOMPARE(port.droppedBytes(), dropped);
}

void TestJackPort::stalledServerTakesNothingAndThatIsAFailure()
{
    JackPeer device("Vellichord");
    JackPort port;
    QVERIFY(port.connect("Vellichord"));
    std::atomic<int> told{0};
    QVERIFY(port.watchPorts([&] { ++told; }));
    QProcess find;
    find.start(QStringLiteral("pgrep"), {"-f", "jackd .*-n " + server.name() + " "});
    QVERIFY(find.waitForFinished(5000));
    const qint64 pid = find.readAll().trimmed().toLongLong();
    QVERIFY(pid > 0);

    // Its cycles stop; a message that no cycle takes is not sent. The stop reaches the server's
    // threads a moment after kill() returns, and a cycle already under way still finishes, so
    // the message goes only once the server is seen stopped and that cycle is over.
    ::kill(pid_t(pid), SIGSTOP);
    QTRY_VERIFY(processStopped(pid));
    QTest::qWait(50);
    told.store(0);
    const int result = send(port, sysex(10, 1));
    const bool stalled = port.midiSystemStopped();
    // A stalled server tells nothing: the port tells its watcher itself.
    const int toldOfStall = told.load();
    ::kill(pid_t(pid), SIGCONT);
    QCOMPARE(result, JackPort::sendFailed);
    // What the send found stands until a message goes again.
    QVERIFY(stalled);
    QVERIFY(toldOfStall >= 1);

    // Once it runs again, the next message goes, and the one given up on never does.
    QTRY_VERIFY(port.connectionAlive());
    QCOMPARE(send(port, sysex(10, 2)), 0);
    QVERIFY(!port.midiSystemStopped());
    QTRY_COMPARE(device.received(), sysex(10, 2));
    QTest::qWait(50);
    QCOMPARE(device.received(), sysex(10, 2));
}

void TestJackPort::serverThatStopsAndComesBack()
{
    std::optional<JackPeer> device(std::in_place, "Vellichord");
    JackPort port;
    QVERIFY(port.connect("Vellichord"));
    QVERIFY(!port.midiSystemStopped());
    // A port that only looks, as the editor's does while no device is there.
    JackPort looking;
    QVERIFY(looking.portPresent("Vellichord"));
    QCOMPARE(send(port, sysex(10, 1)), 0);
    QTRY_COMPARE(device->received(), sysex(10, 1));

    TraceCapture traces;
    server.stop();
    // Whether or not libjack has told the port yet, nothing reaches a stopped server.
    QVERIFY(send(port, sysex(10, 2)) != 0);
    QTRY_VERIFY(port.midiSystemStopped());
    QVERIFY(!port.connectionAlive());
    QCOMPARE(send(port, sysex(10, 2)), JackPort::notConnected);
    QVERIFY(traces.contains("MIDI error: the JACK server has stopped"));
    // libjack's own lines go to the trace, not to the terminal.
    QVERIFY(!traces.lines().filter(QRegularExpression(QStringLiteral("^JACK: "))).isEmpty());
    QVERIFY(!port.portPresent("Vellichord"));
    // The test's clients of the stopped server go before any is opened again: libjack frees
    // them all then, and closing one of them afterwards would crash.
    device.reset();
    port.disconnect();
    // Still stopped: nothing has connected since.
    QVERIFY(port.midiSystemStopped());
    // Its listing client is of the stopped server too.
    QVERIFY(!looking.connect("Vellichord"));
    QTRY_VERIFY(!looking.portPresent("Vellichord"));
    // Nothing was connected there, so nothing stopped under it.
    QVERIFY(!looking.midiSystemStopped());
    QVERIFY(!port.portPresent("Vellichord"));
    QVERIFY(!port.connect("Vellichord"));

    QString error;
    QVERIFY2(server.start(&error), qPrintable(error));
    device.emplace("Vellichord");
    QTRY_VERIFY(port.portPresent("Vellichord"));
    QVERIFY(looking.portPresent("Vellichord"));
    QVERIFY(port.connect("Vellichord"));
    QVERIFY(!port.midiSystemStopped());
    QVERIFY(port.connectionAlive());
    QCOMPARE(send(port, sysex(10, 3)), 0);
    QTRY_COMPARE(device->received(), sysex(10, 3));
    device->send(sysex(12, 4));
    QCOMPARE(readBytes(port, 12), sysex(12, 4));
}

void TestJackPort::watchedPortsAreToldOfChanges()
{
    JackPort port;
    std::atomic<int> told{0};
    QVERIFY(port.watchPorts([&] { ++told; }));
    // The watching client has no ports of its own.
    QCOMPARE(editorPorts(), QStringList());

    std::optional<JackPeer> device(std::in_place, "Vellichord");
    QTRY_VERIFY(told.load() > 0);
    QVERIFY(port.connect("Vellichord"));
    // Connected, the connection's client tells: still one client of the program's.
    QVERIFY(port.watchPorts([&] { ++told; }));
    told.store(0);
    device.reset();
    QTRY_VERIFY(told.load() > 0);
    QVERIFY(!port.connectionAlive());
    port.disconnect();

    told.store(0);
    QVERIFY(port.watchPorts([&] { ++told; }));
    JackPeer updater("Vellichord Updater");
    QTRY_VERIFY(told.load() > 0);
    QVERIFY(!port.watchPorts({}));
}

void TestJackPort::watcherFollowsTheServerWithoutPolling()
{
    JackPort port;
    DeviceWatcher watcher(port, "Vellichord", {});
    QSignalSpy looked(&watcher, &DeviceWatcher::looked);
    QSignalSpy connected(&watcher, &DeviceWatcher::deviceConnected);
    QSignalSpy disconnected(&watcher, &DeviceWatcher::deviceDisconnected);
    QSignalSpy stopped(&watcher, &DeviceWatcher::midiSystemStopped);
    watcher.start();
    QVERIFY(looked.wait());
    QVERIFY(!watcher.polling());

    // No timer runs: the registration alone leads to the connection.
    std::optional<JackPeer> device(std::in_place, "Vellichord");
    QTRY_COMPARE(connected.count(), 1);
    QCOMPARE(port.connectedName(), std::string("Vellichord"));
    QVERIFY(!watcher.polling());
    QVERIFY(!watcher.retrying());

    device.reset();
    QTRY_COMPARE(disconnected.count(), 1);
    QCOMPARE(port.connectedName(), std::string());
    QVERIFY(!watcher.polling());

    device.emplace("Vellichord");
    QTRY_COMPARE(connected.count(), 2);
    server.stop();
    // The test's client of the stopped server goes before the watcher's next look opens one
    // (see serverThatStopsAndComesBack); the event loop does not run meanwhile.
    QElapsedTimer waited;
    waited.start();
    while (!port.midiSystemStopped() && waited.elapsed() < 10000)
        QThread::msleep(10);
    device.reset();
    QTRY_COMPARE(stopped.count(), 1);
    QCOMPARE(port.connectedName(), std::string());
    // No server can tell when it is back: the watcher polls until then.
    QVERIFY(watcher.polling());

    QString error;
    QVERIFY2(server.start(&error), qPrintable(error));
    device.emplace("Vellichord");
    QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 3, 4 * DeviceWatcher::intervalMs);
    QVERIFY(!watcher.polling());
    QCOMPARE(disconnected.count(), 1);
}

void TestJackPort::listsThePortsAndMarksTheDevices_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<bool>("connected");
    QTest::addColumn<bool>("normal");  // the name "Vellichord" stands for its ports
    QTest::addColumn<bool>("updater"); // the name "Vellichord Updater" does

    for (const bool connected : {false, true}) {
        const char *state = connected ? ", connected" : "";
        QTest::addRow("normal mode%s", state) << "Vellichord" << connected << true << false;
        QTest::addRow("update mode%s", state) << "Vellichord Updater" << connected << false << true;
        QTest::addRow("another device%s", state) << "Vellichord 2" << connected << false << false;
    }
}

void TestJackPort::listsThePortsAndMarksTheDevices()
{
    QFETCH(QString, device);
    QFETCH(bool, connected);
    QFETCH(bool, normal);
    QFETCH(bool, updater);

    const QByteArray name = device.toLocal8Bit();
    const JackPeer peer(name.constData());
    JackPort port;
    if (connected)
        QVERIFY(port.connect(name.constData()));
    TraceCapture traces;
    const std::vector<IMidi::ListedPort> listed = port.listPorts();
    QCOMPARE(traces.lines(), QStringList());

    const std::string source = name.toStdString() + ":midi_out";
    const std::string destination = name.toStdString() + ":midi_in";
    int found = 0;
    bool inputsDone = false;
    for (const IMidi::ListedPort &entry : listed) {
        // Inputs come first.
        QVERIFY(!(inputsDone && entry.input));
        inputsDone = inputsDone || !entry.input;
        const bool ours = (entry.input && entry.name == source)
            || (!entry.input && entry.name == destination);
        found += ours ? 1 : 0;
        if (!ours)
            continue;
        QCOMPARE(port.listedPortMatches(entry.name, "Vellichord"), normal);
        QCOMPARE(port.listedPortMatches(entry.name, "Vellichord Updater"), updater);
        QCOMPARE(port.listedPortMatches(entry.name, name.constData()), true);
        QCOMPARE(port.listedPortMatches(entry.name, "vellichord"), false);
    }
    QCOMPARE(found, 2);
}

QTEST_GUILESS_MAIN(TestJackPort)
#include "tst_jackport.moc"
