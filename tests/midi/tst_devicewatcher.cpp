#include "../common/simulateddevice.h"
#include "devicewatcher.h"

#include <QtTest>

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
    SimulatedDevice device(false);
    bool inUse = true;
    DeviceWatcher watcher(device, "Vellichord", [&] { return inUse; });
    QSignalSpy looked(&watcher, &DeviceWatcher::looked);

    device.attached = true;
    watcher.look();
    QCOMPARE(device.connects, 0);

    QVERIFY(device.connect("Vellichord"));
    device.attached = false;
    watcher.look();
    QVERIFY(device.connected);
    QCOMPARE(device.portLooks, 0);
    QCOMPARE(looked.count(), 2); // the state is still reported

    inUse = false;
    watcher.look();
    QVERIFY(!device.connected);
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

QTEST_GUILESS_MAIN(TestDeviceWatcher)
#include "tst_devicewatcher.moc"
