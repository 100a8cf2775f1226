// Figures for the editor's cost on a JACK server while it sits idle, connected to the emulated
// device: the editor on its own JACK port and, for comparison, on RtMidi's, at two periods of
// the server (the shorter the period, the more often every client is woken).
//
//   bench_jackidle [idle seconds per figure, default 10]

#include "../tests/common/jackserver.h"
#include "../tests/endtoend/emulatorprocess.h"
#include "imidi.h"
#include "jackport.h"
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
#include <functional>

namespace {

void runEventLoop(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The editor's CPU while idle, connected to the emulator unless withDevice is false, in % of
// one core, or a negative value when it never connected.
double idleCpuPercent(int periodFrames, int seconds,
                      const std::function<std::unique_ptr<IMidi>()> &port, bool withDevice = true)
{
    JackServer server;
    QString error;
    if (!server.start(&error, periodFrames)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return -1;
    }
    EmulatorProcess emulator;
    if (withDevice && !emulator.start({}, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return -1;
    }
    MainWindow window(port());
    IMidi *midi = window.getMidiController()->getMidi();
    QElapsedTimer waited;
    waited.start();
    while (withDevice && midi->connectedName().empty() && waited.elapsed() < 10000)
        runEventLoop(10);
    if (withDevice && midi->connectedName().empty())
        return -1;
    runEventLoop(1500); // let start-up, the patch request and its answer pass

    QElapsedTimer wall;
    wall.start();
    const double before = processCpuSeconds();
    runEventLoop(seconds * 1000);
    return 100.0 * (processCpuSeconds() - before) / (double(wall.nsecsElapsed()) / 1e9);
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

    std::printf("idle editor connected to the emulator over a synchronous JACK server at 48 kHz, "
                "%d s per figure, %% of one core:\n",
                seconds);
    for (const int frames : {256, 64}) {
        const double own = idleCpuPercent(frames, seconds,
                                          [] { return std::make_unique<JackPort>(); });
        const double rtmidi = idleCpuPercent(
            frames, seconds, [] { return std::make_unique<RtMidiPort>(RtMidiPort::Api::Jack); });
        // The editor's own floor: the same window with no device, so no active JACK client.
        const double floor = idleCpuPercent(
            frames, seconds, [] { return std::make_unique<JackPort>(); }, false);
        std::printf("  %3d frames: JACK port %.3f %%, RtMidi port %.3f %%; no device %.3f %%\n",
                    frames, own, rtmidi, floor);
        std::fflush(stdout);
    }
    std::printf(
        "targets for the JACK port: under 0.5 %% at 256 frames, at most double that at 64\n");
    return 0;
}
