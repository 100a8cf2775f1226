// Figures for the device watcher on the port the editor uses on Linux without the ALSA
// sequencer (JackPort): how soon a device that registers its ports on the server is connected,
// how soon a device that goes is noticed, and how often the watcher and the program's threads
// wake while nothing changes. The editor window runs over a JACK server of its own; the device
// is the emulator program.
//
//   bench_devicewatcher [rounds, default 12] [idle seconds per figure, default 10]

#include "../tests/common/jackserver.h"
#include "../tests/endtoend/emulatorprocess.h"
#include "devicewatcher.h"
#include "imidi.h"
#include "jackport.h"
#include "mainwindow.h"
#include "midicontroller.h"
#include "processcpu.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMap>
#include <QTimer>

#include <jack/jack.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

qint64 nowUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch())
        .count();
}

void runEventLoop(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// A client of the bench's own that notes when the first port after arm() registers, and when
// the first one unregisters: the moments the device came and went as the server saw them.
class PortObserver
{
public:
    PortObserver()
    {
        client = jack_client_open("bench observer", JackNoStartServer, nullptr);
        if (!client)
            return;
        jack_set_port_registration_callback(client, &PortObserver::registration, this);
        jack_activate(client);
    }
    ~PortObserver()
    {
        if (client)
            jack_client_close(client);
    }
    bool ok() const { return client != nullptr; }
    void arm()
    {
        registeredUs.store(0);
        unregisteredUs.store(0);
    }

    std::atomic<qint64> registeredUs{0};
    std::atomic<qint64> unregisteredUs{0};

private:
    static void registration(jack_port_id_t, int registered, void *self)
    {
        auto *observer = static_cast<PortObserver *>(self);
        qint64 expected = 0;
        (registered ? observer->registeredUs : observer->unregisteredUs)
            .compare_exchange_strong(expected, nowUs());
    }

    jack_client_t *client = nullptr;
};

// Voluntary context switches of each of the process's threads, by thread id, with its name.
QMap<QString, QPair<QString, qint64>> threadSwitches()
{
    QMap<QString, QPair<QString, qint64>> switches;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile status(tasks.filePath(task + QStringLiteral("/status")));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        QString name;
        qint64 count = 0;
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("Name:"))
                name = QString::fromUtf8(line.mid(5).trimmed());
            else if (line.startsWith("voluntary_ctxt_switches:"))
                count = line.mid(24).trimmed().toLongLong();
        }
        switches.insert(task, {name, count});
    }
    return switches;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Looks of the watcher, wake-ups of every thread and CPU over seconds with nothing changing.
void idleFigures(const char *what, DeviceWatcher &watcher, int seconds)
{
    runEventLoop(1000); // let connects and their notices settle
    int looks = 0;
    const QMetaObject::Connection counting = QObject::connect(&watcher, &DeviceWatcher::looked,
                                                              [&looks] { ++looks; });
    const auto before = threadSwitches();
    const double cpuBefore = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    runEventLoop(seconds * 1000);
    const double elapsed = double(wall.nsecsElapsed()) / 1e9;
    const double cpu = 100.0 * (processCpuSeconds() - cpuBefore) / elapsed;
    const auto after = threadSwitches();
    QObject::disconnect(counting);

    std::printf("%s, %d s idle: watcher looks %.2f /s (aim 0), poll timer %s, retry timer %s, "
                "process CPU %.3f %% of one core\n",
                what, seconds, looks / elapsed, watcher.polling() ? "running" : "stopped",
                watcher.retrying() ? "running" : "stopped", cpu);
    std::printf("  voluntary context switches per second by thread:");
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        const qint64 start = before.value(it.key(), {it.value().first, 0}).second;
        std::printf(" %s[%s] %.1f", qPrintable(it.value().first), qPrintable(it.key()),
                    double(it.value().second - start) / elapsed);
    }
    std::printf("\n");
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 12;
    const int seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    // The editor's trace lines would only disturb the timing.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});

    JackServer server;
    QString error;
    if (!server.start(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    PortObserver observer;
    if (!observer.ok()) {
        std::fprintf(stderr, "the observer found no JACK server\n");
        return 1;
    }

    MainWindow window(std::make_unique<JackPort>());
    window.show();
    auto *watcher = window.findChild<DeviceWatcher *>(QStringLiteral("deviceWatcher"));
    IMidi *midi = window.getMidiController()->getMidi();
    qint64 connectedUs = 0;
    qint64 disconnectedUs = 0;
    QObject::connect(watcher, &DeviceWatcher::deviceConnected, [&] { connectedUs = nowUs(); });
    QObject::connect(watcher, &DeviceWatcher::deviceDisconnected,
                     [&] { disconnectedUs = nowUs(); });

    idleFigures("no device", *watcher, seconds);

    std::vector<double> appeared;
    std::vector<double> went;
    for (int round = 0; round < rounds; ++round) {
        EmulatorProcess emulator;
        observer.arm();
        connectedUs = 0;
        if (!emulator.start({}, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        QElapsedTimer waited;
        waited.start();
        while (connectedUs == 0 && waited.elapsed() < 10000)
            runEventLoop(5);
        if (connectedUs == 0) {
            std::fprintf(stderr, "the watcher never connected the emulator\n");
            return 1;
        }
        appeared.push_back(double(connectedUs - observer.registeredUs.load()) / 1000.0);
        if (round == 0)
            idleFigures("device connected", *watcher, seconds);

        disconnectedUs = 0;
        observer.arm();
        const QString stopped = emulator.stop();
        if (!stopped.isEmpty())
            std::fprintf(stderr, "%s\n", qPrintable(stopped));
        waited.restart();
        while (disconnectedUs == 0 && waited.elapsed() < 10000)
            runEventLoop(5);
        if (disconnectedUs == 0 || midi->connectedName() != std::string()) {
            std::fprintf(stderr, "the watcher never noticed the emulator go\n");
            return 1;
        }
        went.push_back(double(disconnectedUs - observer.unregisteredUs.load()) / 1000.0);
    }

    std::printf("device ports registered -> connected: median %.1f ms of %d (aim < 100 ms)\n",
                median(appeared), rounds);
    std::printf("device ports gone -> noticed: median %.1f ms of %d (aim < 100 ms)\n", median(went),
                rounds);
    return 0;
}
