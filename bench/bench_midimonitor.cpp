// Figures for the MIDI input monitor: the CPU an idle monitor costs, and how long a received
// message takes from its last byte entering the byte pipe to the GUI thread's slot.
//
//   bench_midimonitor [idle seconds, default 5] [messages, default 1000]

#include "../tests/common/pipemidi.h"
#include "midimonitor.h"
#include "processcpu.h"

#include <QCoreApplication>
#include <QSemaphore>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double percentile(std::vector<double> sorted, double share)
{
    std::sort(sorted.begin(), sorted.end());
    const size_t index = std::min(sorted.size() - 1, size_t(share * double(sorted.size())));
    return sorted[index];
}

template<class Port>
void measureIdleCpu(const char *kind, int seconds)
{
    Port midi;
    QObject owner;
    MidiMonitor monitor(&owner, &midi);
    monitor.start();
    QThread::msleep(100); // let the thread settle

    const double cpuBefore = processCpuSeconds();
    const Clock::time_point wallBefore = Clock::now();
    QThread::sleep(unsigned(seconds)); // this thread is idle; only the monitor runs
    const double cpu = processCpuSeconds() - cpuBefore;
    const double wall = std::chrono::duration<double>(Clock::now() - wallBefore).count();

    monitor.stop();
    monitor.wait();
    std::printf("%s, idle monitor: %.3f s CPU over %.1f s = %.2f %% of one core "
                "(target < 1 %%)\n",
                kind, cpu, wall, 100.0 * cpu / wall);
}

template<class Port>
void measureLatency(const char *kind, QCoreApplication &app, int messages)
{
    Port midi;
    QObject owner;
    MidiMonitor monitor(&owner, &midi);

    std::atomic<long long> lastByteIn{0};
    std::vector<double> latencies;
    latencies.reserve(size_t(messages));
    QSemaphore delivered;

    // The slot runs on this (the GUI) thread, as the patch controller's does.
    QObject::connect(&monitor, &MidiMonitor::receivedSysex, &app, [&](QByteArray message) {
        const long long now = Clock::now().time_since_epoch().count();
        if (message.size() == 348)
            latencies.push_back(double(now - lastByteIn.load()) / 1e6);
        delivered.release();
    });
    monitor.start();

    std::thread device([&] {
        std::mt19937 random(12345);
        std::uniform_int_distribution<int> pauseUs(0, 3000);
        unsigned char message[348];
        for (int i = 0; i < 348; ++i)
            message[i] = (unsigned char)(i % 0x80);
        message[0] = 0xF0;
        message[347] = 0xF7;
        for (int i = 0; i < messages; ++i) {
            // The body arrives in blocks as from the platform; the last byte a little later, at
            // a random point of the monitor's idle cycle.
            midi.pipe().append(message, 200);
            midi.pipe().append(message + 200, 147);
            std::this_thread::sleep_for(std::chrono::microseconds(pauseUs(random)));
            lastByteIn.store(Clock::now().time_since_epoch().count());
            midi.pipe().append(message + 347, 1);
            delivered.acquire();
        }
        QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    app.exec();
    device.join();
    monitor.stop();
    monitor.wait();

    std::printf("%s, latency, last byte in the pipe to the GUI thread's slot, %zu messages of 348 "
                "bytes: median %.3f ms, 99th percentile %.3f ms, max %.3f ms "
                "(target: median < 1 ms)\n",
                kind, latencies.size(), percentile(latencies, 0.5), percentile(latencies, 0.99),
                percentile(latencies, 1.0));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int messages = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1000;
    // The monitor's own trace lines would only disturb the timing.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});

    // The platform ports wake the monitor when input arrives; a port that cannot is polled.
    measureIdleCpu<WakingPipeMidi>("port that wakes", seconds);
    measureLatency<WakingPipeMidi>("port that wakes", app, messages);
    measureIdleCpu<PipeMidi>("polled port", seconds);
    measureLatency<PipeMidi>("polled port", app, messages);
    return 0;
}
