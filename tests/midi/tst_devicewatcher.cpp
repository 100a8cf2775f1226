#include "../common/simulateddevice.h"
#include "devicewatcher.h"
#ifdef __linux__
#include "alsaannounce.h"
#include "rtmidiport.h"
#endif

#include <QtTest>

#include <thread>

namespace {

// A device that is offered but cannot be opened, as when another program holds its ports.
class HeldDevice : public SimulatedDevice
{
public:
    bool connect(const char *portName) override
    {
        SimulatedDevice::connect(portName);
        connected = false;
        return false;
    }
};

// A device on a MIDI system that can stop under it, as a JACK server does: the port then says
// so until it connects again.
class StoppingSystem : public SimulatedDevice
{
public:
    using SimulatedDevice::SimulatedDevice;

    bool connect(const char *portName) override
    {
        const bool done = SimulatedDevice::connect(portName);
        if (done)
            stopped = false;
        return done;
    }
    bool midiSystemStopped() override { return stopped; }

    void stop()
    {
        stopped = true;
        attached = false;
    }

    bool stopped = false;
};

// A device on a MIDI system that tells of its changes, as JACK does once a server runs, and
// then only while it runs.
class NotifyingSystem : public StoppingSystem
{
public:
    using StoppingSystem::StoppingSystem;

    bool connect(const char *portName) override
    {
        if (held) {
            ++connects;
            return false;
        }
        return StoppingSystem::connect(portName);
    }
    bool watchPorts(std::function<void()> changed) override
    {
        ++watchCalls;
        this->changed = std::move(changed);
        return serverRunning && this->changed;
    }
    // What the system's own thread does on a change, to a watcher that asked.
    void tell()
    {
        if (changed)
            std::thread([this] { changed(); }).join();
    }

    std::function<void()> changed;
    bool serverRunning = true;
    bool held = false;
    int watchCalls = 0;
};

} // namespace

class TestDeviceWatcher : public QObject
{
    Q_OBJECT

private slots:
    void connectsWhenTheDeviceAppears();
    void dropsAConnectionWhoseDeviceHasGone();
    void leavesOtherNamesAlone();
    void leavesThePortAloneWhileItIsInUse();
    void spacesOutConnectsThatFail();
    void dropsAnyConnectionWhenTheMidiSystemStops_data();
    void dropsAnyConnectionWhenTheMidiSystemStops();
    void looksEverySecondOnItsOwn();
    void followsTheNoticesWithoutPolling_data();
    void followsTheNoticesWithoutPolling();
    void aBurstOfNoticesGivesOneLook();
    void pollsOnlyWhileNothingCanTell();
    void retriesOnItsOwnOnlyWhileItMust_data();
    void retriesOnItsOwnOnlyWhileItMust();
    void stoppedWatcherIsToldNothing();
#ifdef __linux__
    void withoutTheAlsaSequencerTheWatcherPolls();
#endif
};

void TestDeviceWatcher::connectsWhenTheDeviceAppears()
{
    SimulatedDevice device(false);
    DeviceWatcher watcher(device, "Vellichord", {});
    QSignalSpy connected(&watcher, &DeviceWatcher::deviceConnected);
    QSignalSpy looked(&watcher, &DeviceWatcher::looked);

    watcher.look();
    watcher.look();
    QCOMPARE(device.connects, 0);
    QCOMPARE(connected.count(), 0);
    QCOMPARE(looked.count(), 2);

    device.attached = true;
    watcher.look();
    QCOMPARE(connected.count(), 1);
    QCOMPARE(device.connectedName(), std::string("Vellichord"));
    // Connecting sends nothing: the editor may hold edits the device has not got.
    QCOMPARE(device.received, QList<QByteArray>());

    watcher.look();
    QCOMPARE(device.connects, 1);
    QCOMPARE(connected.count(), 1);
}

void TestDeviceWatcher::dropsAConnectionWhoseDeviceHasGone()
{
    SimulatedDevice device;
    QVERIFY(device.connect("Vellichord"));
    DeviceWatcher watcher(device, "Vellichord", {});
    QSignalSpy connected(&watcher, &DeviceWatcher::deviceConnected);
    QSignalSpy disconnected(&watcher, &DeviceWatcher::deviceDisconnected);

    watcher.look();
    QVERIFY(device.connected);
    QCOMPARE(disconnected.count(), 0);

    device.attached = false;
    watcher.look();
    QVERIFY(!device.connected);
    QCOMPARE(device.connectedName(), std::string());
    QCOMPARE(disconnected.count(), 1);
    watcher.look();
    watcher.look();
    QCOMPARE(disconnected.count(), 1);
    QCOMPARE(device.connects, 1); // no tries while it is away

    // Plugged in again, it is found again.
    device.attached = true;
    watcher.look();
    QVERIFY(device.connected);
    QCOMPARE(connected.count(), 1);
    QCOMPARE(device.received, QList<QByteArray>());
}

void TestDeviceWatcher::leavesOtherNamesAlone()
{
    SimulatedDevice device;
    device.portNames = QStringList{QStringLiteral("Vellichord Updater")};
    QVERIFY(device.connect("Vellichord Updater"));
    DeviceWatcher watcher(device, "Vellichord", {});
    QSignalSpy connected(&watcher, &DeviceWatcher::deviceConnected);
    QSignalSpy disconnected(&watcher, &DeviceWatcher::deviceDisconnected);

    // The device restarts in normal mode: the updater's connection is still not touched.
    device.portNames = QStringList{QStringLiteral("Vellichord")};
    watcher.look();
    // And gone altogether.
    device.attached = false;
    watcher.look();
    QCOMPARE(device.connectedName(), std::string("Vellichord Updater"));
    QCOMPARE(device.connects, 1);
    QCOMPARE(device.portLooks, 0);
    QCOMPARE(connected.count() + disconnected.count(), 0);
}

void TestDeviceWatcher::leavesThePortAloneWhileItIsInUse()
{
    // The borrower uses the port on its own thread: not even the watch is renewed meanwhile.
    NotifyingSystem device(false);
    bool inUse = true;
    DeviceWatcher watcher(device, "Vellichord", [&] { return inUse; });
    QSignalSpy looked(&watcher, &DeviceWatcher::looked);
    watcher.start();
    QTRY_COMPARE(looked.count(), 1);
    looked.clear();

    device.attached = true;
    watcher.look();
    QCOMPARE(device.connects, 0);
    QCOMPARE(device.watchCalls, 0);
    QVERIFY(watcher.retrying());

    QVERIFY(device.connect("Vellichord"));
    device.attached = false;
    watcher.look();
    QVERIFY(device.connected);
    QCOMPARE(device.portLooks, 0);
    QCOMPARE(looked.count(), 2); // the state is still reported

    QCOMPARE(device.watchCalls, 0);

    inUse = false;
    watcher.look();
    QVERIFY(!device.connected);
    QCOMPARE(device.watchCalls, 1);
}

void TestDeviceWatcher::spacesOutConnectsThatFail()
{
    HeldDevice device;
    DeviceWatcher watcher(device, "Vellichord", {});
    QList<int> tries;
    for (int look = 1; look <= 130; ++look) {
        const int before = device.connects;
        watcher.look();
        if (device.connects != before)
            tries << look;
    }
    QCOMPARE(tries, QList<int>({1, 3, 7, 15, 31, 63, 95, 127}));

    // Once it has been away, it is tried again at the next look it is there.
    device.attached = false;
    watcher.look();
    device.attached = true;
    const int before = device.connects;
    watcher.look();
    QCOMPARE(device.connects, before + 1);
}

void TestDeviceWatcher::dropsAnyConnectionWhenTheMidiSystemStops_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("device") << "Vellichord";
    QTest::newRow("updater") << "Vellichord Updater";
}

void TestDeviceWatcher::dropsAnyConnectionWhenTheMidiSystemStops()
{
    QFETCH(QString, name);
    StoppingSystem device;
    device.portNames = QStringList{name};
    QVERIFY(device.connect(name.toLatin1().constData()));
    DeviceWatcher watcher(device, "Vellichord", {});
    QSignalSpy connected(&watcher, &DeviceWatcher::deviceConnected);
    QSignalSpy disconnected(&watcher, &DeviceWatcher::deviceDisconnected);
    QSignalSpy stopped(&watcher, &DeviceWatcher::midiSystemStopped);
    QSignalSpy looked(&watcher, &DeviceWatcher::looked);

    watcher.look();
    QCOMPARE(stopped.count(), 0);

    // Whatever the name, a connection on a stopped system is dead.
    device.stop();
    watcher.look();
    QCOMPARE(device.connectedName(), std::string());
    QCOMPARE(stopped.count(), 1);
    QCOMPARE(disconnected.count(), 0);
    QCOMPARE(looked.count(), 2);
    watcher.look();
    watcher.look();
    QCOMPARE(stopped.count(), 1);
    QCOMPARE(device.connects, 1);

    // The system and the device in normal mode come back: found at the next look.
    device.portNames = QStringList{QStringLiteral("Vellichord")};
    device.attached = true;
    watcher.look();
    QCOMPARE(device.connectedName(), std::string("Vellichord"));
    QCOMPARE(connected.count(), 1);
    QCOMPARE(device.received, QList<QByteArray>());

    // A second stop is told again.
    device.stop();
    watcher.look();
    QCOMPARE(stopped.count(), 2);
    QCOMPARE(device.connectedName(), std::string());
}

void TestDeviceWatcher::looksEverySecondOnItsOwn()
{
    SimulatedDevice device(false);
    DeviceWatcher watcher(device, "Vellichord", {});
    QSignalSpy looked(&watcher, &DeviceWatcher::looked);
    QElapsedTimer clock;
    clock.start();
    watcher.start();

    QVERIFY(looked.wait(DeviceWatcher::intervalMs + 1000));
    QVERIFY(clock.elapsed() >= DeviceWatcher::intervalMs - 100);
    device.attached = true;
    QTRY_VERIFY_WITH_TIMEOUT(device.connected, 2 * DeviceWatcher::intervalMs);
}

void TestDeviceWatcher::followsTheNoticesWithoutPolling_data()
{
    QTest::addColumn<bool>("systemStops");
    QTest::newRow("device unplugged") << false;
    QTest::newRow("system stopped") << true;
}

void TestDeviceWatcher::followsTheNoticesWithoutPolling()
{
    QFETCH(bool, systemStops);
    NotifyingSystem device(false);
    DeviceWatcher watcher(device, "Vellichord", {});
    QSignalSpy looked(&watcher, &DeviceWatcher::looked);
    QSignalSpy connected(&watcher, &DeviceWatcher::deviceConnected);
    QSignalSpy disconnected(&watcher, &DeviceWatcher::deviceDisconnected);
    QSignalSpy stopped(&watcher, &DeviceWatcher::midiSystemStopped);
    watcher.start();
    QVERIFY(looked.wait());
    QVERIFY(!watcher.polling());
    QVERIFY(!watcher.retrying());
    QCOMPARE(connected.count(), 0);

    device.attached = true;
    device.tell();
    QTRY_COMPARE(connected.count(), 1);
    QVERIFY(device.connected);
    QVERIFY(!watcher.polling());

    if (systemStops) {
        device.stop();
        device.serverRunning = false;
    } else {
        device.attached = false;
    }
    device.tell();
    QTRY_VERIFY(!device.connected);
    QCOMPARE(disconnected.count(), systemStops ? 0 : 1);
    QCOMPARE(stopped.count(), systemStops ? 1 : 0);
    // Without a system nothing can tell when one comes: then, and only then, it polls.
    QCOMPARE(watcher.polling(), systemStops);
}

void TestDeviceWatcher::aBurstOfNoticesGivesOneLook()
{
    NotifyingSystem device(false);
    DeviceWatcher watcher(device, "Vellichord", {});
    QSignalSpy looked(&watcher, &DeviceWatcher::looked);
    watcher.start();
    QVERIFY(looked.wait());
    for (int i = 0; i < 5; ++i)
        device.tell();
    QVERIFY(looked.wait());
    QCoreApplication::processEvents();
    QCOMPARE(looked.count(), 2);
}

void TestDeviceWatcher::pollsOnlyWhileNothingCanTell()
{
    NotifyingSystem device(false);
    device.serverRunning = false;
    DeviceWatcher watcher(device, "Vellichord", {});
    QSignalSpy looked(&watcher, &DeviceWatcher::looked);
    watcher.start();
    QVERIFY(watcher.polling());
    QVERIFY(looked.wait(DeviceWatcher::intervalMs + 1000));
    QVERIFY(watcher.polling());

    // The server comes, with the device already on it: the next poll finds both.
    device.serverRunning = true;
    device.attached = true;
    QTRY_VERIFY_WITH_TIMEOUT(device.connected, 3 * DeviceWatcher::intervalMs);
    QVERIFY(!watcher.polling());
}

void TestDeviceWatcher::retriesOnItsOwnOnlyWhileItMust_data()
{
    QTest::addColumn<bool>("held");
    QTest::addColumn<bool>("inUse");
    QTest::newRow("held by another program") << true << false;
    QTest::newRow("in use by the updater") << false << true;
}

void TestDeviceWatcher::retriesOnItsOwnOnlyWhileItMust()
{
    QFETCH(bool, held);
    QFETCH(bool, inUse);
    NotifyingSystem device(false);
    device.held = held;
    bool busy = inUse;
    DeviceWatcher watcher(device, "Vellichord", [&] { return busy; });
    QSignalSpy looked(&watcher, &DeviceWatcher::looked);
    watcher.start();
    QVERIFY(looked.wait());
    // A port in use is looked at again on its own, whatever the backend tells.
    QCOMPARE(watcher.retrying(), inUse);

    device.attached = true;
    device.tell();
    QVERIFY(looked.wait());
    QVERIFY(!device.connected);
    QVERIFY(watcher.retrying());
    QVERIFY(!watcher.polling());

    // Once free, the retry connects without any further notice.
    device.held = false;
    busy = false;
    QTRY_VERIFY_WITH_TIMEOUT(device.connected, 3 * DeviceWatcher::intervalMs);
    QVERIFY(!watcher.retrying());
}

void TestDeviceWatcher::stoppedWatcherIsToldNothing()
{
    NotifyingSystem device(false);
    {
        DeviceWatcher watcher(device, "Vellichord", {});
        QSignalSpy looked(&watcher, &DeviceWatcher::looked);
        watcher.start();
        QVERIFY(looked.wait());
        QVERIFY(device.changed);
        watcher.stop();
        QVERIFY(!device.changed);
        watcher.start();
        QVERIFY(looked.wait());
        QVERIFY(device.changed);
    }
    // Gone, it leaves no function behind that would reach it.
    QVERIFY(!device.changed);
}

#ifdef __linux__
void TestDeviceWatcher::withoutTheAlsaSequencerTheWatcherPolls()
{
    if (QFileInfo::exists(QStringLiteral("/dev/snd/seq")))
        QSKIP("this system has an ALSA sequencer");
    QVERIFY(!AlsaAnnounce::open([] {}));
    RtMidiPort port;
    QVERIFY(!port.watchPorts([] {}));
    DeviceWatcher watcher(port, "Vellichord", {});
    watcher.start();
    QVERIFY(watcher.polling());
}
#endif

QTEST_GUILESS_MAIN(TestDeviceWatcher)
#include "tst_devicewatcher.moc"
