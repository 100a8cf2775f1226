// Figures for a device that floods the editor with short SysEx messages (F0 01 02 03 F7): the
// patch controller (its port, input monitor and log.txt) over a JACK server of its own, in a
// folder of its own. For each rate it prints the messages sent and those the monitor passed
// over, the growth of the resident memory (its peak during the flood, and a second after the
// process is idle again), the longest time the GUI thread took to answer a ping posted to it
// from another thread every 20 ms (as a window answers input), and how long after the flood's
// end the process's CPU use fell back to what it was before the flood.
//
//   bench_sysexflood [seconds, default 30] [messages per second ..., default 10000 100000]

#include "../tests/common/jackserver.h"
#include "midicontroller.h"
#include "midimonitor.h"
#include "processcpu.h"
#include "rtmidiport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <RtMidi.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

double residentMiB()
{
    std::ifstream statm("/proc/self/statm");
    long long size = 0;
    long long resident = 0;
    statm >> size >> resident;
    return double(resident) * double(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// CPU use of the whole process over the next interval, in cores.
double cpuOver(std::chrono::milliseconds interval)
{
    const double before = processCpuSeconds();
    std::this_thread::sleep_for(interval);
    return (processCpuSeconds() - before) * 1000.0 / double(interval.count());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 30;
    std::vector<int> rates;
    for (int i = 2; i < argc; ++i)
        rates.push_back(std::atoi(argv[i]));
    if (rates.empty())
        rates = {10000, 100000};

    JackServer server;
    QString error;
    if (!server.start(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    QTemporaryDir folder; // log.txt goes here
    if (!folder.isValid() || !QDir::setCurrent(folder.path()))
        return 1;

    // The device's ports: one it sends from, one the editor's output goes to.
    RtMidiOut deviceOut(RtMidi::UNIX_JACK, "Vellichord");
    deviceOut.openVirtualPort("midi_out");
    RtMidiIn deviceIn(RtMidi::UNIX_JACK, "Device");
    deviceIn.openVirtualPort("Vellichord");
    MidiController controller(std::make_unique<RtMidiPort>(RtMidiPort::Api::Jack));
    if (!controller.open()) {
        std::fprintf(stderr, "could not connect\n");
        return 1;
    }

    // Pings to the GUI thread, one at a time, and their longest answer; a ping still waiting
    // counts with its age.
    QObject target;
    QElapsedTimer clock;
    clock.start();
    std::atomic<bool> finished{false};
    std::atomic<qint64> answered{0};
    std::atomic<qint64> waitingSince{-1};
    std::atomic<qint64> longestAnswer{0};
    std::atomic<long long> peakKiB{0};
    std::thread pinger([&] {
        for (qint64 ping = 1; !finished; ++ping) {
            const qint64 sentAt = clock.nsecsElapsed();
            waitingSince = sentAt;
            QMetaObject::invokeMethod(
                &target, [&, ping] { answered = ping; }, Qt::QueuedConnection);
            while (answered < ping && !finished)
                std::this_thread::sleep_for(1ms);
            waitingSince = -1;
            const qint64 took = clock.nsecsElapsed() - sentAt;
            longestAnswer = std::max(longestAnswer.load(), took);
            std::this_thread::sleep_for(20ms);
        }
    });
    const auto longestSoFar = [&] {
        const qint64 since = waitingSince;
        return std::max(longestAnswer.load(), since < 0 ? 0 : clock.nsecsElapsed() - since);
    };

    std::thread conductor([&] {
        const unsigned char message[] = {0xF0, 0x01, 0x02, 0x03, 0xF7};
        for (const int rate : rates) {
            std::this_thread::sleep_for(1s);
            const double idleCpu = cpuOver(1000ms);
            const double startMiB = residentMiB();
            peakKiB = 0;
            longestAnswer = 0;
            const quint64 passedBefore = controller.getMonitor()->passedOver();

            qint64 sent = 0;
            QElapsedTimer flood;
            flood.start();
            qint64 sampledAt = 0;
            while (flood.elapsed() < seconds * 1000LL) {
                for (const qint64 due = flood.elapsed() * rate / 1000; sent < due; ++sent)
                    deviceOut.sendMessage(message, sizeof message);
                if (flood.elapsed() - sampledAt >= 100) {
                    sampledAt = flood.elapsed();
                    peakKiB = std::max(peakKiB.load(),
                                       static_cast<long long>(residentMiB() * 1024));
                }
                std::this_thread::sleep_for(1ms);
            }

            // Back to idle: the first 200 ms with at most 5 % of a core above the idle use.
            QElapsedTimer sinceEnd;
            sinceEnd.start();
            qint64 idleAfter = -1;
            while (sinceEnd.elapsed() < 120000) {
                const qint64 at = sinceEnd.elapsed();
                if (cpuOver(200ms) <= idleCpu + 0.05) {
                    idleAfter = at;
                    break;
                }
            }
            std::this_thread::sleep_for(1s);
            const double endMiB = residentMiB();
            const double peakMiB = std::max(double(peakKiB) / 1024.0, endMiB);

            std::printf("%d messages a second for %d s: %lld sent, %llu passed over by the "
                        "monitor\n",
                        rate, seconds, static_cast<long long>(sent),
                        static_cast<unsigned long long>(controller.getMonitor()->passedOver()
                                                        - passedBefore));
            std::printf("  memory: %.1f MiB before, peak %+.1f MiB, %+.1f MiB once idle\n",
                        startMiB, peakMiB - startMiB, endMiB - startMiB);
            std::printf("  longest answer of the GUI thread: %.1f ms\n",
                        double(longestSoFar()) / 1e6);
            if (idleAfter >= 0)
                std::printf("  back to idle (%.1f %% of a core) within %lld ms of the flood's "
                            "end\n",
                            idleCpu * 100, static_cast<long long>(idleAfter + 200));
            else
                std::printf("  not back to idle (%.1f %% of a core) within 120 s\n", idleCpu * 100);
            std::fflush(stdout);
        }
        finished = true;
        QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
    });

    // The GUI thread waits for events as the window's does.
    app.exec();
    conductor.join();
    pinger.join();
    controller.stopMonitor();
    return 0;
}
