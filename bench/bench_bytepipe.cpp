// Figures for the input byte pipe: how long a giant SysEx message takes from the port to the
// end of the monitor's assembler, for 1, 10 and 50 MB. The time should grow with the size,
// no faster.
//
//   bench_bytepipe
//
// "one block": the message appended at once, as RtMidi hands over a message it gathered whole;
// the pipe keeps its last megabyte. "streamed": the message appended in 256-byte blocks by a
// thread of its own, as the ALSA sequencer delivers it (waiting while the pipe is full, so
// that nothing is dropped), while this thread drains the pipe in 1024-byte reads and feeds the
// assembler, as the monitor thread does.

#include "../tests/common/pipemidi.h"
#include "midimonitor.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

std::vector<unsigned char> giantSysex(std::size_t size)
{
    std::vector<unsigned char> message(size, 0x11);
    message.front() = 0xF0;
    message.back() = 0xF7;
    return message;
}

// Drains the port into the monitor's assembler; returns the bytes handed out.
std::size_t drain(PipeMidi &port, MidiMonitor &monitor)
{
    unsigned char block[1024];
    std::size_t total = 0;
    for (int count; (count = port.read(block, sizeof block)) != 0;) {
        if (count < 0) {
            monitor.bytesLost();
            continue;
        }
        for (int i = 0; i < count; ++i)
            monitor.readSysex(block[i]);
        total += std::size_t(count);
    }
    return total;
}

void oneBlock(std::size_t size)
{
    const std::vector<unsigned char> message = giantSysex(size);
    PipeMidi port;
    QObject owner;
    MidiMonitor monitor(&owner, &port);
    QElapsedTimer timer;
    timer.start();
    port.pipe().append(message.data(), unsigned(message.size()));
    const std::size_t handedOut = drain(port, monitor);
    std::printf("one block %3zu MB: %8.1f ms, %zu bytes handed out\n", size / 1000000,
                double(timer.nsecsElapsed()) / 1e6, handedOut);
}

void streamed(std::size_t size)
{
    const std::vector<unsigned char> message = giantSysex(size);
    PipeMidi port;
    QObject owner;
    MidiMonitor monitor(&owner, &port);
    std::atomic<bool> done{false};
    QElapsedTimer timer;
    timer.start();
    std::thread device([&] {
        for (std::size_t sent = 0; sent < message.size(); sent += 256) {
            // As fast as the reader takes it, no faster: what is measured is the draining.
            while (port.pipe().pending() + 256 > port.pipe().capacity())
                std::this_thread::yield();
            port.pipe().append(message.data() + sent,
                               unsigned(std::min<std::size_t>(256, message.size() - sent)));
        }
        done = true;
    });
    std::size_t handedOut = 0;
    while (!done.load())
        handedOut += drain(port, monitor);
    device.join();
    handedOut += drain(port, monitor);
    std::printf("streamed  %3zu MB: %8.1f ms, %zu bytes dropped\n", size / 1000000,
                double(timer.nsecsElapsed()) / 1e6, message.size() - handedOut);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    for (const std::size_t megabytes : {1, 10, 50})
        oneBlock(megabytes * 1000000);
    for (const std::size_t megabytes : {1, 10, 50})
        streamed(megabytes * 1000000);
    return 0;
}
