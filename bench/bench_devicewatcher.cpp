// Figures for the device watcher: the CPU an idle editor window costs with the watcher looking
// once a second and without it, with no device and with the emulated device connected, how
// long one look takes, and how soon a device that appears is found. The editor runs on the real
// MIDI backend over a JACK server of its own, as on a machine without the ALSA sequencer.
//
//   bench_devicewatcher [idle seconds per figure, default 10]

#include "../tests/common/jackserver.h"
#include "../tests/endtoend/emulatorprocess.h"
#include "devicewatcher.h"
#include "imidi.h"
#include "mainwindow.h"
#include "midicontroller.h"
#include "processcpu.h"
#include "rtmidiport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

void runEventLoop(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The process's CPU while the window sits idle in the event loop, in % of one core.
double idleCpuPercent(int seconds)
{
    runEventLoop(1500); // let start-up and connects settle
    QElapsedTimer wall;
    wall.start();
    const double before = processCpuSeconds();
    runEventLoop(seconds * 1000);
    return 100.0 * (processCpuSeconds() - before) / (double(wall.nsecsElapsed()) / 1e9);
}

// Mean time of one look, in microseconds.
double lookMicroseconds(DeviceWatcher &watcher)
{
    constexpr int looks = 200;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < looks; ++i)
        watcher.look();
    return double(timer.nsecsElapsed()) / 1e3 / looks;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    // The editor's trace lines would only disturb the timing.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});

    JackServer server;
    QString error;
    if (!server.start(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }

    MainWindow window(std::make_unique<RtMidiPort>(RtMidiPort::Api::Jack));
    auto *watcher = window.findChild<DeviceWatcher *>(QStringLiteral("deviceWatcher"));
    IMidi *midi = window.getMidiController()->getMidi();

    // Stopped before its first look: no MIDI client is open at all.
    watcher->stop();
    const double noDeviceUnwatched = idleCpuPercent(seconds);
    watcher->start();
    const double noDevice = idleCpuPercent(seconds);
    const double noDeviceLook = lookMicroseconds(*watcher);

    EmulatorProcess emulator;
    if (!emulator.start({}, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    QElapsedTimer found;
    found.start();
    while (midi->connectedName().empty() && found.elapsed() < 10000)
        runEventLoop(10);
    const qint64 foundMs = found.elapsed();
    if (midi->connectedName().empty()) {
        std::fprintf(stderr, "the watcher never found the emulator\n");
        return 1;
    }
    const double device = idleCpuPercent(seconds);
    watcher->stop();
    const double deviceUnwatched = idleCpuPercent(seconds);
    const double deviceLook = lookMicroseconds(*watcher);

    // Differences of a tenth of a percent between the idle figures are within their noise; the
    // time of one look, taken once a second, is the watcher's own cost.
    std::printf("idle editor window over JACK, %d s per figure, %% of one core:\n", seconds);
    std::printf("  no device:        watcher running %.3f %%, stopped %.3f %%\n", noDevice,
                noDeviceUnwatched);
    std::printf("  device connected: watcher running %.3f %%, stopped %.3f %%\n", device,
                deviceUnwatched);
    std::printf("one look: %.1f us without a device, %.1f us with one; at one look a second the "
                "watcher takes %.4f %% of one core at most (target < 0.1 %%)\n",
                noDeviceLook, deviceLook,
                100.0 * std::max(noDeviceLook, deviceLook) * 1e-6 * 1000.0
                    / DeviceWatcher::intervalMs);
    std::printf("emulator found %lld ms after its ports were open (target < 2000 ms)\n",
                static_cast<long long>(foundMs));
    return 0;
}
