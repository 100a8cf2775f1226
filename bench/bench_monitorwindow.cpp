// Figures for the MIDI monitor window. First, a device floods the editor's port (on a JACK
// server of its own) with notes and CCs while the monitor window is open and fed as the editor
// feeds it: prints the longest time the GUI thread did not get to its events. Then 10^6
// messages go through the monitor's rows: prints what the rows hold in memory and the process's
// resident memory before and after, bounded by the monitor's 10,000 rows.
//
//   bench_monitorwindow [seconds, default 10] [messages per second, default 10000]
//
// Runs with any Qt platform; QT_QPA_PLATFORM=offscreen when there is no display.

#include "../tests/common/jackserver.h"
#include "midicontroller.h"
#include "midimonitor.h"
#include "midimonitorwindow.h"
#include "rtmidiport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <RtMidi.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

// Resident memory in KiB, from /proc; 0 where there is none.
long residentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    const int perSecond = argc > 2 ? std::atoi(argv[2]) : 10000;

    JackServer server;
    QString error;
    if (!server.start(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    RtMidiOut deviceOut(RtMidi::UNIX_JACK, "Vellichord");
    deviceOut.openVirtualPort("midi_out");
    RtMidiIn deviceIn(RtMidi::UNIX_JACK, "Device");
    deviceIn.openVirtualPort("Vellichord");

    MidiController controller(std::make_unique<RtMidiPort>(RtMidiPort::Api::Jack));
    if (!controller.open()) {
        std::fprintf(stderr, "could not connect\n");
        return 1;
    }
    MidiMonitorWindow window;
    qint64 shown = 0;
    QObject::connect(&controller, &MidiController::traffic, &window, [&](const MidiTraffic &batch) {
        shown += batch.size();
        window.showTraffic(batch, QString::fromStdString(controller.getMidi()->connectedName()));
    });
    window.show();

    std::atomic<bool> done{false};
    std::atomic<qint64> sent{0};
    std::thread device([&] {
        QElapsedTimer flood;
        flood.start();
        while (flood.elapsed() < seconds * 1000LL) {
            for (qint64 n = sent; n < flood.elapsed() * perSecond / 1000; n = ++sent) {
                // A pad roll and a fader sweep, with the clock that a DAW sends.
                const unsigned char message[] = {static_cast<unsigned char>(n % 3 == 0 ? 0xB0
                                                                                : n % 3 == 1
                                                                                ? 0x99
                                                                                : 0xF8),
                                                 static_cast<unsigned char>(n % 128), 0x40};
                deviceOut.sendMessage(message, message[0] == 0xF8 ? 1 : 3);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        done = true;
    });

    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = clock.nsecsElapsed();
    qint64 longestGap = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longestGap = std::max(longestGap, now - lastTick);
        lastTick = now;
    });
    ticker.start(10);
    while (!done && clock.elapsed() < (seconds + 30) * 1000LL)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    // What is still on its way reaches the window.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ticker.stop();
    device.join();
    window.flush();

    std::printf("flood: %lld messages in %d s (%d a second), %lld reached the monitor, "
                "%llu dropped by the tap\n",
                static_cast<long long>(sent.load()), seconds, perSecond,
                static_cast<long long>(shown),
                static_cast<unsigned long long>(controller.getMonitor()->trafficDropped()));
    std::printf("longest GUI-thread gap with the monitor open: %.1f ms\n",
                double(longestGap) / 1e6);

    // 10^6 messages in batches of 1,000, as the tap hands them over under a flood.
    window.model()->clear();
    window.model()->setFilters({});
    const long before = residentKiB();
    QElapsedTimer feeding;
    feeding.start();
    for (int batch = 0; batch < 1000; ++batch) {
        MidiTraffic messages;
        messages.reserve(1000);
        for (int i = 0; i < 1000; ++i) {
            const int n = batch * 1000 + i;
            messages.append(
                {n, n % 2 == 0,
                 QByteArray(1, char(0x90 | n % 16)) + char(n % 128) + char(n / 128 % 128)});
        }
        window.showTraffic(messages, QStringLiteral("Vellichord"));
        window.flush();
        QCoreApplication::processEvents();
    }
    const qint64 feedMs = feeding.elapsed();
    std::printf("after 10^6 messages: %d rows, %.2f MiB held by the rows, resident %.1f MiB "
                "(%+.1f MiB), %.0f ms (%.2f us a message)\n",
                window.model()->rowCount(), double(window.model()->memoryBytes()) / 1048576.0,
                double(residentKiB()) / 1024.0, double(residentKiB() - before) / 1024.0,
                double(feedMs), double(feedMs) * 1000.0 / 1e6);
    controller.stopMonitor();
    return 0;
}
