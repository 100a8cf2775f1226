#include "../common/jackserver.h"
#include "../common/portio.h"
#include "../common/tracecapture.h"
#include "platformmidi.h"
#include "rtmidiport.h"

#include <QtTest>

#include <RtMidi.h>

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include <atomic>
#include <memory>
#include <optional>
#include <thread>

namespace {

// The device's side of the ports, as another JACK client: an output port the editor reads
// from and an input port it writes to.
class Peer
{
public:
    // JACK gives each RtMidi object a client of its own, so the two ports carry the device
    // name in different places: as the client name of the output ("Vellichord:midi_out") and
    // as the port name of the input ("Peer:Vellichord").
    enum Ports { Both, OutputOnly, InputOnly };

    explicit Peer(const std::string &name, Ports ports = Both)
    {
        if (ports != InputOnly) {
            out = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, name);
            out->openVirtualPort("midi_out");
        }
        if (ports != OutputOnly) {
            in = std::make_unique<RtMidiIn>(RtMidi::UNIX_JACK, "Peer");
            in->ignoreTypes(false, false, false);
            in->setCallback(&Peer::receive, this);
            in->openVirtualPort(name);
        }
    }

    void send(const QByteArray &message)
    {
        out->sendMessage(reinterpret_cast<const unsigned char *>(message.constData()),
                         size_t(message.size()));
    }

    QByteArray received() const
    {
        QMutexLocker lock(&mutex);
        return bytes;
    }

private:
    static void receive(double, std::vector<unsigned char> *message, void *self)
    {
        auto *peer = static_cast<Peer *>(self);
        QMutexLocker lock(&peer->mutex);
        peer->bytes.append(reinterpret_cast<const char *>(message->data()), int(message->size()));
    }

    std::unique_ptr<RtMidiOut> out;
    std::unique_ptr<RtMidiIn> in;
    mutable QMutex mutex;
    QByteArray bytes;
};

// Points stderr at a pipe that nobody reads until finish(), which points it back and returns
// what was written. Emptying the pipe frees a writer that blocked on it.
class UnreadStderr
{
public:
    UnreadStderr()
    {
        std::signal(SIGPIPE, SIG_IGN);
        if (::pipe(ends) != 0)
            return;
        ::fcntl(ends[0], F_SETFL, O_NONBLOCK);
        std::fflush(stderr);
        saved = ::dup(2);
        ::dup2(ends[1], 2);
    }
    ~UnreadStderr() { finish(); }
    UnreadStderr(const UnreadStderr &) = delete;
    UnreadStderr &operator=(const UnreadStderr &) = delete;

    bool isOpen() const { return saved >= 0; }

    QByteArray finish()
    {
        if (saved < 0)
            return written;
        // No fflush(stderr): a writer blocked on the pipe holds stderr's lock. stderr is
        // unbuffered anyway.
        ::dup2(saved, 2);
        ::close(saved);
        saved = -1;
        ::close(ends[1]);
        // Read until the pipe stays empty for a while: a blocked writer may still be in it.
        char chunk[4096];
        QElapsedTimer idle;
        idle.start();
        while (idle.elapsed() < 200) {
            const ssize_t got = ::read(ends[0], chunk, sizeof chunk);
            if (got == 0)
                break;
            if (got > 0) {
                written.append(chunk, int(got));
                idle.restart();
            } else {
                QThread::msleep(5);
            }
        }
        ::close(ends[0]);
        return written;
    }

private:
    int ends[2] = {-1, -1};
    int saved = -1;
    QByteArray written;
};

// Every port on the server, sources and destinations.
QStringList allPorts()
{
    QStringList names;
    {
        RtMidiIn sources(RtMidi::UNIX_JACK, "Lister");
        for (unsigned int i = 0; i < sources.getPortCount(); ++i)
            names << QString::fromStdString(sources.getPortName(i));
        RtMidiOut destinations(RtMidi::UNIX_JACK, "Lister");
        for (unsigned int i = 0; i < destinations.getPortCount(); ++i)
            names << QString::fromStdString(destinations.getPortName(i));
    }
    // JACK tells every client that these two came and went. libjack can crash a client that
    // closes a port while it handles such a notice, so the notices are let through first.
    QThread::msleep(100);
    return names;
}

// Sends message through port; the result of sendSysex.
QStringList editorPorts()
{
    return allPorts().filter(QRegularExpression(QStringLiteral("^Vellichord Editor")));
}

} // namespace

class TestRtMidiPort : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void portNamesMatchExactly_data();
    void portNamesMatchExactly();

    // Against a JACK server
    void connectsOnlyToTheExactName();
    void inputWithoutOutputLeavesNothingOpen();
    void withoutPortsNothingIsSent();
    void sysexTravelsIntactBothWays();
    void shortMessagesAreQueuedUntraced();
    void noteFloodWritesNothingFromTheMidiThread();
    void endlessSysexIsHeldUnderTheBound();
    void queuedBytesSurviveReconnect();
    void messageSentRightAfterConnectArrives();
    void sendingFailsOnceThePeerHasGone();
    void peerBackUnderItsNameNeedsAConnect();
    void platformPortStartsClosed();
    void watchingIsQuietAndOpensNothing();
    void goneDeviceIsNoLongerAlive();
    void listsThePortsAndMarksTheDevices_data();
    void listsThePortsAndMarksTheDevices();

private:
    JackServer server;
};

void TestRtMidiPort::initTestCase()
{
    QString error;
    QVERIFY2(server.start(&error), qPrintable(error));
}

void TestRtMidiPort::cleanupTestCase()
{
    server.stop();
}

void TestRtMidiPort::portNamesMatchExactly_data()
{
    QTest::addColumn<QString>("reported");
    QTest::addColumn<bool>("alsa");
    QTest::addColumn<QString>("requested");
    QTest::addColumn<bool>("matches");

    QTest::newRow("ALSA client part")
        << "Vellichord:Vellichord MIDI 1 24:0" << true << "Vellichord" << true;
    QTest::newRow("ALSA port part") << "USB:Vellichord 20:1" << true << "Vellichord" << true;
    QTest::newRow("ALSA other device")
        << "Vellichord Updater:Vellichord Updater MIDI 1 24:0" << true << "Vellichord" << false;
    QTest::newRow("ALSA updater") << "Vellichord Updater:Vellichord Updater MIDI 1 24:0" << true
                                  << "Vellichord Updater" << true;
    QTest::newRow("ALSA numbers are no name")
        << "Vellichord:Vellichord 24:0" << true << "Vellichord 24:0" << false;
    QTest::newRow("JACK client part") << "Vellichord:midi_out" << false << "Vellichord" << true;
    QTest::newRow("JACK port part") << "system:Vellichord" << false << "Vellichord" << true;
    QTest::newRow("JACK whole name") << "system:Vellichord" << false << "system:Vellichord" << true;
    QTest::newRow("JACK keeps trailing numbers")
        << "Vellichord 24:0" << false << "Vellichord" << false;
    QTest::newRow("letter case") << "vellichord:midi_out" << false << "Vellichord" << false;
    QTest::newRow("prefix") << "Vellichord Updater:out" << false << "Vellichord" << false;
    QTest::newRow("longer requested") << "Vellichord:out" << false << "Vellichord Updater" << false;
    QTest::newRow("whole name without colon") << "Vellichord" << false << "Vellichord" << true;
    QTest::newRow("empty request") << "Vellichord:" << false << "" << false;
}

void TestRtMidiPort::portNamesMatchExactly()
{
    QFETCH(QString, reported);
    QFETCH(bool, alsa);
    QFETCH(QString, requested);
    QFETCH(bool, matches);
    QCOMPARE(RtMidiPort::portNameMatches(reported, requested, alsa), matches);
}

void TestRtMidiPort::connectsOnlyToTheExactName()
{
    Peer device("Vellichord");
    Peer updater("Vellichord Updater");
    RtMidiPort port(RtMidiPort::Api::Jack);
    TraceCapture traces;

    QVERIFY(port.connect("Vellichord"));
    QCOMPARE(editorPorts().size(), 2);
    // Every port is listed, matching or not.
    const QStringList lines = traces.lines();
    QVERIFY(lines.contains("Found input: Vellichord:midi_out"));
    QVERIFY(lines.contains("Found input: Vellichord Updater:midi_out"));
    QVERIFY(lines.contains("Found output: Peer:Vellichord"));
    QVERIFY(lines.contains("Midi input open"));
    QVERIFY(lines.contains("Midi output open"));
    port.disconnect();
    QVERIFY(editorPorts().isEmpty());

    QVERIFY(!port.connect("vellichord"));
    QVERIFY(!port.connect("Vellich"));
    QVERIFY(editorPorts().isEmpty());

    // The updater's name reaches only the updater's ports.
    QVERIFY(port.connect("Vellichord Updater"));
    const QByteArray message = sysex(12);
    QCOMPARE(port.sendSysex(reinterpret_cast<unsigned char *>(const_cast<char *>(message.data())),
                            unsigned(message.size())),
             0);
    QTRY_COMPARE(updater.received(), message);
    QCOMPARE(device.received(), QByteArray());
    port.disconnect();

    // Disconnecting twice is harmless and the port connects again afterwards.
    port.disconnect();
    QVERIFY(port.connect("Vellichord"));
}

void TestRtMidiPort::inputWithoutOutputLeavesNothingOpen()
{
    Peer lonely("Lonely", Peer::OutputOnly);
    RtMidiPort port(RtMidiPort::Api::Jack);
    TraceCapture traces;

    QVERIFY(!port.connect("Lonely"));
    QVERIFY(traces.contains("Midi input open"));
    QVERIFY(editorPorts().isEmpty());
    unsigned char request[] = {0xF0, 0x01, 0xF7};
    QVERIFY(port.sendSysex(request, sizeof request) != 0);
}

void TestRtMidiPort::withoutPortsNothingIsSent()
{
    RtMidiPort port(RtMidiPort::Api::Jack);
    TraceCapture traces;
    port.disconnect();
    unsigned char request[] = {0xF0, 0x01, 0xF7};
    QCOMPARE(port.sendSysex(request, sizeof request), RtMidiPort::notConnected);

    // No input of the name: outputs are not even looked at.
    Peer deaf("Vellichord", Peer::InputOnly);
    QVERIFY(!port.connect("Vellichord"));
    QVERIFY(traces.lines().filter("Found output:").isEmpty());
    QVERIFY(editorPorts().isEmpty());
    QCOMPARE(port.sendSysex(request, sizeof request), RtMidiPort::notConnected);
    QCOMPARE(deaf.received(), QByteArray());
    QVERIFY(!port.dataAvailable());
    QCOMPARE(port.read(request, sizeof request), 0);
}

void TestRtMidiPort::sysexTravelsIntactBothWays()
{
    Peer device("Vellichord");
    RtMidiPort port(RtMidiPort::Api::Jack);
    QVERIFY(port.connect("Vellichord"));

    QByteArray patch = sysex(348, 3);
    QCOMPARE(port.sendSysex(reinterpret_cast<unsigned char *>(patch.data()), 348), 0);
    // The caller's buffer is free again at once.
    patch.fill(0);
    QTRY_COMPARE(device.received(), sysex(348, 3));

    const QByteArray answer = sysex(348, 9);
    device.send(answer);
    QCOMPARE(readBytes(port, 348), answer);

    // Longer than the monitor reads at once: it comes out in pieces.
    const QByteArray longest = sysex(1023, 5);
    device.send(longest);
    QTRY_COMPARE(int(port.dataAvailable()), 1);
    QCOMPARE(readBytes(port, 1023), longest);
    QVERIFY(!port.dataAvailable());

    // A message that the MIDI system carries in two pieces comes out whole.
    device.send(QByteArray::fromHex("f0010203"));
    device.send(QByteArray::fromHex("0405f7"));
    QCOMPARE(readBytes(port, 7), QByteArray::fromHex("f001020304 05f7"));
}

void TestRtMidiPort::shortMessagesAreQueuedUntraced()
{
    // The callback only copies: the monitor counts and ignores what is not SysEx.
    Peer device("Vellichord");
    RtMidiPort port(RtMidiPort::Api::Jack);
    QVERIFY(port.connect("Vellichord"));
    TraceCapture traces;

    const QByteArray input = QByteArray::fromHex("90407f"   // note on
                                                 "b00764"   // control change
                                                 "c005"     // program change
                                                 "f03df7"); // status
    device.send(input.left(3));
    device.send(input.mid(3, 3));
    device.send(input.mid(6, 2));
    device.send(input.mid(8));

    QCOMPARE(readBytes(port, input.size()), input);
    QTest::qWait(50);
    QVERIFY(!port.dataAvailable());
    QCOMPARE(traces.lines(), QStringList());
}

void TestRtMidiPort::noteFloodWritesNothingFromTheMidiThread()
{
    // Traces on and stderr a pipe that nobody reads: a single write per note from JACK's
    // process callback would soon block it, and the server with it (it waits for every client).
    UnreadStderr stderrPipe;
    QVERIFY(stderrPipe.isOpen());
    // Qt's own output, as the editor has it (the test library's goes to stdout).
    const QtMessageHandler testOutput = qInstallMessageHandler(nullptr);
    QLoggingCategory::setFilterRules(QStringLiteral("vellichord.debug=true"));
    const auto quiet = qScopeGuard([testOutput] {
        QLoggingCategory::setFilterRules(QString());
        qInstallMessageHandler(testOutput);
    });

    Peer device("Vellichord");
    RtMidiPort port(RtMidiPort::Api::Jack);
    QVERIFY(port.connect("Vellichord"));

    // 20,000 notes a second for twenty seconds from a thread of the device's, while the GUI
    // thread (this one) drains the port as the monitor does and goes on handling its events.
    // A stalled server would leave the device's thread stuck in its send.
    constexpr qint64 floodMs = 20000;
    const QByteArray note = QByteArray::fromHex("90407f");
    std::atomic<bool> stop{false};
    std::atomic<bool> done{false};
    std::atomic<qint64> sent{0};
    std::thread sender([&] {
        QElapsedTimer flood;
        flood.start();
        while (!stop && flood.elapsed() < floodMs) {
            for (qint64 n = sent; n < flood.elapsed() * 20 && !stop; n = ++sent)
                device.send(note);
            QThread::msleep(1);
        }
        done = true;
    });
    const auto joinSender = qScopeGuard([&] {
        stop = true;
        stderrPipe.finish(); // frees the server, and the sender with it, if a write blocked
        sender.join();
    });

    qint64 received = 0;
    unsigned char buffer[1024];
    QByteArray tail;
    const auto drain = [&] {
        for (int got; (got = port.read(buffer, sizeof buffer)) > 0;) {
            received += got;
            tail = (tail + QByteArray(reinterpret_cast<const char *>(buffer), got)).right(20);
        }
    };
    QElapsedTimer flood;
    flood.start();
    while (flood.elapsed() < floodMs) {
        QCoreApplication::processEvents();
        drain();
        QThread::msleep(1);
    }
    // The device is done within moments of the flood's end unless the server stalled.
    QTRY_VERIFY_WITH_TIMEOUT((drain(), done.load()), 5000);
    const QByteArray last = sysex(20, 7);
    device.send(last);
    QTRY_VERIFY((drain(), tail == last));
    QCOMPARE(received, sent * 3 + last.size());
    port.disconnect();

    // Only this thread's own lines of connect and disconnect reached stderr, none per note.
    const QList<QByteArray> lines = stderrPipe.finish().split('\n');
    QVERIFY2(lines.size() < 50, qPrintable(QStringLiteral("%1 lines").arg(lines.size())));
}

void TestRtMidiPort::endlessSysexIsHeldUnderTheBound()
{
    // A SysEx that never ends: RtMidi gathers it out of sight until the port closes, so the
    // port closes and reopens its input once memory grew past the bound with no message ending.
    Peer device("Vellichord");
    RtMidiPort port(RtMidiPort::Api::Jack);
    constexpr std::size_t bound = 4 * 1024 * 1024;
    port.setInputGrowthBound(bound);
    QVERIFY(port.connect("Vellichord"));
    TraceCapture traces;

    const QByteArray chunk(1000, char(0x11));
    device.send(QByteArray(1, char(0xF0)) + chunk);
    QElapsedTimer timer;
    timer.start();
    qint64 sent = 0;
    const auto reopened = [&] {
        return !traces.lines().filter(QRegularExpression("^Input reopened: ")).isEmpty();
    };
    while (!reopened() && timer.elapsed() < 60000) {
        for (int i = 0; i < 5; ++i) {
            device.send(chunk);
            sent += chunk.size();
        }
        QThread::msleep(5);
        // As the device watcher does, if more often.
        QVERIFY(port.connectionAlive());
    }
    QVERIFY2(reopened(), qPrintable(QStringLiteral("%1 bytes sent").arg(sent)));
    QVERIFY(traces.contains(QStringLiteral("Midi input open")));

    // The endless message ends at last; what follows comes through whole.
    device.send(QByteArray(1, char(0xF7)));
    const QByteArray next = sysex(30, 4);
    device.send(next);
    QByteArray received;
    unsigned char buffer[1024];
    QTRY_VERIFY([&] {
        for (int got; (got = port.read(buffer, sizeof buffer)) > 0;)
            received += QByteArray(reinterpret_cast<const char *>(buffer), got);
        return received.endsWith(next);
    }());
    // The old message's start never came: RtMidi dropped it with the input.
    QVERIFY(!received.startsWith(char(0xF0)));
}

void TestRtMidiPort::queuedBytesSurviveReconnect()
{
    Peer device("Vellichord");
    RtMidiPort port(RtMidiPort::Api::Jack);
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

void TestRtMidiPort::messageSentRightAfterConnectArrives()
{
    // The editor sends its patch request as soon as the port is open; JACK makes a new
    // connection live only some cycles later.
    Peer device("Vellichord");
    RtMidiPort port(RtMidiPort::Api::Jack);
    QByteArray expected;
    for (int i = 0; i < 20; ++i) {
        port.disconnect();
        QVERIFY(port.connect("Vellichord"));
        QByteArray request = sysex(10, i);
        QCOMPARE(port.sendSysex(reinterpret_cast<unsigned char *>(request.data()), 10), 0);
        expected += request;
        QTRY_COMPARE(device.received(), expected);
    }
}

void TestRtMidiPort::sendingFailsOnceThePeerHasGone()
{
    std::optional<Peer> device(std::in_place, "Vellichord");
    Peer updater("Vellichord Updater");
    RtMidiPort port(RtMidiPort::Api::Jack);
    RtMidiPort other(RtMidiPort::Api::Jack);
    QVERIFY(port.connect("Vellichord"));
    QVERIFY(other.connect("Vellichord Updater"));
    QCOMPARE(send(port, sysex(10, 1)), 0);
    QTRY_COMPARE(device->received(), sysex(10, 1));

    const QByteArray last = sysex(20, 2);
    device->send(last);
    QTRY_VERIFY(port.dataAvailable());
    TraceCapture traces;
    device.reset();

    QCOMPARE(send(port, sysex(10, 3)), RtMidiPort::notConnected);
    QCOMPARE(traces.count(QStringLiteral("MIDI error: the port Peer:Vellichord has gone")), 1);
    QCOMPARE(send(port, sysex(10, 4)), RtMidiPort::notConnected);
    // What the device sent before it went is still read.
    QCOMPARE(readBytes(port, 20), last);

    // A peer that is still there goes on receiving, every message.
    QByteArray expected;
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(send(other, sysex(12, i)), 0);
        expected += sysex(12, i);
    }
    QTRY_COMPARE(updater.received(), expected);
    QVERIFY(
        !traces.contains(QStringLiteral("MIDI error: the port Peer:Vellichord Updater has gone")));
}

void TestRtMidiPort::peerBackUnderItsNameNeedsAConnect()
{
    std::optional<Peer> device(std::in_place, "Vellichord");
    RtMidiPort port(RtMidiPort::Api::Jack);
    QVERIFY(port.connect("Vellichord"));
    device.reset();
    QCOMPARE(send(port, sysex(10, 1)), RtMidiPort::notConnected);

    // The new port carries the old one's full name, but the connection went with the old one.
    device.emplace("Vellichord");
    QVERIFY(allPorts().contains(QStringLiteral("Peer:Vellichord")));
    QCOMPARE(send(port, sysex(10, 2)), RtMidiPort::notConnected);
    QTest::qWait(50);
    QCOMPARE(device->received(), QByteArray());

    QVERIFY(port.connect("Vellichord"));
    QCOMPARE(send(port, sysex(10, 3)), 0);
    QTRY_COMPARE(device->received(), sysex(10, 3));
}

void TestRtMidiPort::platformPortStartsClosed()
{
    // What the editor gets, whatever the system's MIDI API is.
    std::unique_ptr<IMidi> port = make_platform_midi();
    QVERIFY(port);
    port->disconnect();
    unsigned char request[] = {0xF0, 0x01, 0xF7};
    QVERIFY(port->sendSysex(request, sizeof request) != 0);
    QVERIFY(!port->dataAvailable());
    QVERIFY(!port->connect("No Such Port"));
}

void TestRtMidiPort::watchingIsQuietAndOpensNothing()
{
    RtMidiPort port(RtMidiPort::Api::Jack);
    TraceCapture traces;
    QVERIFY(!port.portPresent("Vellichord"));
    QCOMPARE(port.connectedName(), std::string());
    QVERIFY(!port.connectionAlive());

    std::optional<Peer> device(std::in_place, "Vellichord");
    QVERIFY(port.portPresent("Vellichord"));
    QVERIFY(!port.portPresent("vellichord"));
    QVERIFY(!port.portPresent("Vellichord Updater"));
    for (int i = 0; i < 10; ++i)
        port.portPresent("Vellichord");
    QCOMPARE(send(port, sysex(10)), RtMidiPort::notConnected);

    device.reset();
    QVERIFY(!port.portPresent("Vellichord"));
    Peer updater("Vellichord Updater");
    QVERIFY(port.portPresent("Vellichord Updater"));
    // Looking lists nothing in the trace and opens no port.
    QCOMPARE(traces.lines(), QStringList());
    QCOMPARE(editorPorts(), QStringList());
}

void TestRtMidiPort::goneDeviceIsNoLongerAlive()
{
    std::optional<Peer> device(std::in_place, "Vellichord");
    RtMidiPort port(RtMidiPort::Api::Jack);
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

void TestRtMidiPort::listsThePortsAndMarksTheDevices_data()
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

void TestRtMidiPort::listsThePortsAndMarksTheDevices()
{
    QFETCH(QString, device);
    QFETCH(bool, connected);
    QFETCH(bool, normal);
    QFETCH(bool, updater);

    const Peer peer(device.toStdString());
    RtMidiPort port(RtMidiPort::Api::Jack);
    if (connected)
        QVERIFY(port.connect(device.toLocal8Bit().constData()));
    TraceCapture traces;
    const std::vector<IMidi::ListedPort> listed = port.listPorts();
    QCOMPARE(traces.lines(), QStringList());

    // The peer's output is the device's input side and the other way round (see Peer).
    const std::string source = device.toStdString() + ":midi_out";
    const std::string destination = "Peer:" + device.toStdString();
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
        QCOMPARE(port.listedPortMatches(entry.name, device.toLocal8Bit().constData()), true);
        QCOMPARE(port.listedPortMatches(entry.name, "vellichord"), false);
    }
    QCOMPARE(found, 2);
}

QTEST_GUILESS_MAIN(TestRtMidiPort)
#include "tst_rtmidiport.moc"
