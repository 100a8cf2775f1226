// Figures for the editor's cost on a JACK server while it sits idle, connected to the emulated
// device, beside the least any JACK MIDI client costs: a client of one input and one output port
// whose process callback does nothing (bench_jackbareclient), connected to the same ports and
// measured over the same seconds. Both at two periods of the server (the shorter the period, the
// more often every client is woken). The editor's threads are listed with their share and their
// wake-ups, so that a cost above the floor shows where it goes. For comparison, the editor on
// RtMidi's JACK port and the editor without a device (no active JACK client).
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
#include <QProcess>
#include <QTimer>

#include <jack/jack.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

const char editorClient[] = "Vellichord Editor";

void runEventLoop(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The full names of the ports connected to the editor's port (input or output), the first
// one, or empty.
QString peerOf(const char *ownPort)
{
    jack_client_t *client = jack_client_open("bench peers", JackNoStartServer, nullptr);
    if (!client)
        return {};
    QString peer;
    const QByteArray name = QByteArray(editorClient) + ':' + ownPort;
    if (jack_port_t *port = jack_port_by_name(client, name.constData())) {
        const char **peers = jack_port_get_all_connections(client, port);
        if (peers && peers[0])
            peer = QString::fromUtf8(peers[0]);
        jack_free(peers);
    }
    jack_client_close(client);
    return peer;
}

double sumSeconds(const QMap<int, ThreadCpu> &threads)
{
    double sum = 0;
    for (const ThreadCpu &thread : threads)
        sum += thread.seconds;
    return sum;
}

struct Figure
{
    // % of one core; negative when it could not be measured.
    double editor = -1;
    double bare = -1;
    QMap<int, ThreadCpu> threadsBefore;
    QMap<int, ThreadCpu> threadsAfter;
    QMap<int, ThreadCpu> bareBefore;
    QMap<int, ThreadCpu> bareAfter;
    double seconds = 0;
};

// The editor idle over the given seconds, connected to the emulator unless withDevice is false;
// with bare set, the bare client runs beside it over the same seconds.
Figure idle(int periodFrames, int seconds, const std::function<std::unique_ptr<IMidi>()> &port,
            bool withDevice, bool bare)
{
    Figure figure;
    JackServer server;
    QString error;
    if (!server.start(&error, periodFrames)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return figure;
    }
    EmulatorProcess emulator;
    if (withDevice && !emulator.start({}, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return figure;
    }
    MainWindow window(port());
    IMidi *midi = window.getMidiController()->getMidi();
    QElapsedTimer waited;
    waited.start();
    while (withDevice && midi->connectedName().empty() && waited.elapsed() < 10000)
        runEventLoop(10);
    if (withDevice && midi->connectedName().empty())
        return figure;
    runEventLoop(1500); // let start-up, the patch request and its answer pass

    QProcess bareClient;
    if (bare) {
        const QString source = peerOf("input");
        const QString destination = peerOf("output");
        bareClient.start(QStringLiteral(BENCH_JACK_BARE_CLIENT), {source, destination});
        if (!bareClient.waitForReadyRead(10000)) {
            std::fprintf(stderr, "bench_jackbareclient did not connect to %s and %s: %s\n",
                         qPrintable(source), qPrintable(destination),
                         bareClient.readAllStandardError().constData());
            return figure;
        }
        runEventLoop(500);
    }

    QElapsedTimer wall;
    wall.start();
    const double before = processCpuSeconds();
    if (bare)
        figure.bareBefore = threadCpu(bareClient.processId());
    figure.threadsBefore = threadCpu();
    runEventLoop(seconds * 1000);
    figure.threadsAfter = threadCpu();
    if (bare)
        figure.bareAfter = threadCpu(bareClient.processId());
    figure.seconds = double(wall.nsecsElapsed()) / 1e9;
    figure.editor = 100.0 * (processCpuSeconds() - before) / figure.seconds;
    if (bare) {
        figure.bare = 100.0 * (sumSeconds(figure.bareAfter) - sumSeconds(figure.bareBefore))
            / figure.seconds;
        bareClient.terminate();
        bareClient.waitForFinished(5000);
    }
    return figure;
}

// The threads that ran, with their share and their wake-ups.
void printThreads(const char *whose, const QMap<int, ThreadCpu> &threadsBefore,
                  const QMap<int, ThreadCpu> &threadsAfter, double seconds)
{
    for (auto after = threadsAfter.cbegin(); after != threadsAfter.cend(); ++after) {
        const ThreadCpu before = threadsBefore.value(after.key());
        if (after->slices == before.slices)
            continue;
        const double share = 100.0 * (after->seconds - before.seconds) / seconds;
        const double wakeups = double(after->slices - before.slices) / seconds;
        std::printf("      %s thread %-16s %.3f %%, %.1f wake-ups/s\n", whose,
                    qPrintable(after->name), share, wakeups);
    }
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
    const auto jackPort = [] { return std::make_unique<JackPort>(); };
    for (const int frames : {256, 64}) {
        const Figure own = idle(frames, seconds, jackPort, true, true);
        std::printf("  %3d frames: editor on its JACK port %.3f %%, bare JACK client beside it "
                    "%.3f %%, ratio %.2f\n",
                    frames, own.editor, own.bare, own.bare > 0 ? own.editor / own.bare : 0.0);
        printThreads("editor", own.threadsBefore, own.threadsAfter, own.seconds);
        printThreads("bare client", own.bareBefore, own.bareAfter, own.seconds);
        std::fflush(stdout);
        const Figure rtmidi = idle(
            frames, seconds, [] { return std::make_unique<RtMidiPort>(RtMidiPort::Api::Jack); },
            true, false);
        // The editor's own floor: the same window with no device, so no active JACK client.
        const Figure alone = idle(frames, seconds, jackPort, false, false);
        std::printf("             on RtMidi's JACK port %.3f %%; no device %.3f %%\n",
                    rtmidi.editor, alone.editor);
        std::fflush(stdout);
    }
    std::printf("aim: the editor at most 1.5 x the bare client at both periods\n");
    return 0;
}
