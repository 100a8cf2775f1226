// Figures for a device that floods the editor with notes: the editor's port and input monitor
// over a JACK server of their own, traces on and stderr a pipe that nobody reads (as when the
// editor runs from a desktop launcher). Prints how many notes went through, the longest time
// the GUI thread did not get to its events, what reached stderr, and whether a patch-sized
// message sent after the flood still arrived.
//
//   bench_noteflood [seconds, default 20] [notes per second, default 20000]

#include "../tests/common/jackserver.h"
#include "midimonitor.h"
#include "rtmidiport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QTimer>

#include <RtMidi.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <thread>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 20;
    const int perSecond = argc > 2 ? std::atoi(argv[2]) : 20000;

    JackServer server;
    QString error;
    if (!server.start(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }

    // The device's ports: one it sends from, one the editor's output goes to.
    RtMidiOut deviceOut(RtMidi::UNIX_JACK, "Vellichord");
    deviceOut.openVirtualPort("midi_out");
    RtMidiIn deviceIn(RtMidi::UNIX_JACK, "Device");
    deviceIn.openVirtualPort("Vellichord");

    RtMidiPort port(RtMidiPort::Api::Jack);
    QObject owner;
    MidiMonitor monitor(&owner, &port);
    std::atomic<qint64> arrivedAt{0};
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&monitor, &MidiMonitor::receivedSysex, &owner,
                     [&](const QByteArray &) { arrivedAt = clock.nsecsElapsed(); });
    if (!port.connect("Vellichord")) {
        std::fprintf(stderr, "could not connect\n");
        return 1;
    }
    monitor.start();

    // From here on stderr is a pipe that nobody reads, with Qt's own output and traces on.
    std::signal(SIGPIPE, SIG_IGN);
    int ends[2];
    if (::pipe(ends) != 0)
        return 1;
    ::fcntl(ends[0], F_SETFL, O_NONBLOCK);
    const int savedStderr = ::dup(2);
    ::dup2(ends[1], 2);
    QLoggingCategory::setFilterRules(QStringLiteral("vellichord.debug=true"));

    std::atomic<bool> done{false};
    std::atomic<qint64> sent{0};
    std::thread device([&] {
        const unsigned char note[] = {0x90, 0x40, 0x7F};
        QElapsedTimer flood;
        flood.start();
        while (flood.elapsed() < seconds * 1000LL) {
            for (qint64 n = sent; n < flood.elapsed() * perSecond / 1000; n = ++sent)
                deviceOut.sendMessage(note, sizeof note);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        done = true;
    });

    // The GUI thread: a timer every 10 ms, and the longest gap between two of its ticks.
    qint64 lastTick = clock.nsecsElapsed();
    qint64 longestGap = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longestGap = std::max(longestGap, now - lastTick);
        lastTick = now;
    });
    ticker.start(10);
    QElapsedTimer wall;
    wall.start();
    while (!done && wall.elapsed() < (seconds + 30) * 1000LL)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    const bool deviceFinished = done.load();

    std::vector<unsigned char> patch(348, 0x01);
    patch.front() = 0xF0;
    patch.back() = 0xF7;
    const qint64 sentAt = clock.nsecsElapsed();
    if (deviceFinished)
        deviceOut.sendMessage(patch.data(), patch.size());
    while (deviceFinished && arrivedAt < sentAt && wall.elapsed() < (seconds + 35) * 1000LL)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);

    // stderr back, and what reached the pipe; reading frees a writer that blocked on it.
    ::dup2(savedStderr, 2);
    ::close(ends[1]);
    qint64 written = 0;
    char chunk[4096];
    QElapsedTimer idle;
    idle.start();
    while (idle.elapsed() < 200) {
        const ssize_t got = ::read(ends[0], chunk, sizeof chunk);
        if (got == 0)
            break;
        if (got > 0) {
            written += got;
            idle.restart();
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    ::close(ends[0]);
    device.join();
    QLoggingCategory::setFilterRules(QString());

    std::printf("notes sent: %lld in %d s (%d a second)%s\n", static_cast<long long>(sent.load()),
                seconds, perSecond, deviceFinished ? "" : ", the device got stuck sending");
    std::printf("longest GUI-thread gap: %.1f ms\n", double(longestGap) / 1e6);
    std::printf("bytes written to stderr: %lld\n", static_cast<long long>(written));
    if (arrivedAt >= sentAt)
        std::printf("patch after the flood arrived in %.1f ms\n", double(arrivedAt - sentAt) / 1e6);
    else
        std::printf("patch after the flood did not arrive\n");
    monitor.stop();
    monitor.wait();
    port.disconnect();
    return 0;
}
