// Arbitrary bytes from the device: queued in the port's byte pipe (MidiBytePipe) in blocks of
// arbitrary size, drained in reads of arbitrary size and fed to the input monitor's assembler
// (MidiMonitor::readSysex) on this thread, as the monitor thread's run() does.
//
// Input: byte 0 gives n = byte 0 % 32, the number of steps; bytes 1..n each make one step;
// the rest is the byte stream from the device. A step byte c below 0x80 queues the next
// c + 1 bytes of the stream as one block (0x7F: all that is left); from 0x80 up it reads with
// a capacity of (c - 0x80) * 9, 0 to 1143 bytes. Afterwards what is left of the stream is
// queued as one block and the pipe is drained 1024 bytes at a time, as run() does.
//
// Properties:
// - the pipe hands out every queued byte once, in order, and never more than asked for;
// - every announced message (receivedSysex) starts with F0, ends with F7, holds only data bytes
//   (below 0x80) in between, is at most 1023 bytes long, and is a copy of the stream bytes that
//   end at the byte just fed, real-time bytes (F8..FF) left out;
// - a three-byte message F0 s F7 is never announced: it sets the status to s. Only such a
//   message sets the status, and only an F7 ends a message that is announced;
// - byte for byte, the monitor announces exactly the messages, and sets exactly the statuses,
//   that the assembler's documented rules give (Rules below): no message is lost;
// - of the announced messages, those the patch filter takes (here: of even length) wait for the
//   owner, the newest maxQueued of them in order, and the others are counted, every one.

// The MIDI layer has no widgets.
#define FUZZ_CORE_ONLY
#include "../common/pipemidi.h"
#include "fuzzsupport.h"
#include "midimonitor.h"

#include <QByteArray>
#include <QList>
#include <QObject>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

PipeMidi *port = nullptr;
MidiMonitor *monitor = nullptr;
QObject *owner = nullptr;

// The run's state, seen by the receivedSysex connection.
std::vector<unsigned char> fed;                // the bytes fed to the assembler so far
std::vector<unsigned char> fedWithoutRealTime; // the same without bytes F8..FF
int announced = 0;
QByteArray lastAnnounced;
QList<QByteArray> patches; // the announced messages the filter takes
quint64 others = 0;        // and those it does not

constexpr unsigned char sysexStart = 0xF0;
constexpr unsigned char sysexEnd = 0xF7;
constexpr unsigned char firstStatus = 0x80;
constexpr unsigned char firstRealTime = 0xF8;

// The assembler's rules as its header and tests state them (MIDI's), to hold the monitor
// against. A real-time byte (F8..FF) is dropped wherever it comes. An F0 starts a message,
// dropping one that is unfinished. Any other status byte but F7 ends an unfinished message,
// which is dropped. Outside a message every other byte is ignored. Inside, data bytes are
// kept until an F7 ends the message: one of three bytes is a status, any other is announced.
// A message that has reached maxMessageLength bytes without its F7 is dropped together with
// the byte that comes next, and what follows is outside a message again.
class Rules
{
public:
    enum Outcome { nothing, announce, status };

    Outcome feed(unsigned char byte)
    {
        if (byte >= firstRealTime)
            return nothing;
        if (byte == sysexStart) {
            inMessage = true;
            message.assign(1, byte);
            return nothing;
        }
        if (byte >= firstStatus && byte != sysexEnd) {
            inMessage = false;
            return nothing;
        }
        if (!inMessage)
            return nothing;
        if (message.size() == MidiMonitor::maxMessageLength) {
            inMessage = false;
            return nothing;
        }
        message.push_back(byte);
        if (byte != sysexEnd)
            return nothing;
        inMessage = false;
        return message.size() == 3 ? status : announce;
    }

    std::vector<unsigned char> message; // the one being assembled, or the last one ended

private:
    bool inMessage = false;
};

Rules rules;

void onMessage(const QByteArray &message)
{
    ++announced;
    lastAnnounced = message;
    if (message.size() % 2 == 0)
        patches << message;
    else
        ++others;
    const auto *bytes = reinterpret_cast<const unsigned char *>(message.constData());
    const std::size_t length = std::size_t(message.size());
    FUZZ_CHECK(length >= 2);
    FUZZ_CHECK(length <= MidiMonitor::maxMessageLength);
    FUZZ_CHECK(length != 3);
    FUZZ_CHECK(bytes[0] == sysexStart);
    FUZZ_CHECK(bytes[length - 1] == sysexEnd);
    for (std::size_t i = 1; i + 1 < length; ++i)
        FUZZ_CHECK(bytes[i] < firstStatus);
    // Announced while its last byte is fed: it is the stream's bytes up to that one, but for
    // the real-time bytes dropped on the way.
    const std::vector<unsigned char> &stream = fedWithoutRealTime;
    FUZZ_CHECK(length <= stream.size());
    FUZZ_CHECK(std::memcmp(bytes, stream.data() + stream.size() - length, length) == 0);
}

void feed(const unsigned char *bytes, int count)
{
    for (int i = 0; i < count; ++i) {
        const unsigned char byte = bytes[i];
        fed.push_back(byte);
        if (byte < firstRealTime)
            fedWithoutRealTime.push_back(byte);
        // Only an F7 can end a status message; clearing the status before each one shows
        // which byte set it.
        if (byte == sysexEnd)
            monitor->clearStatus();
        const int statusBefore = monitor->status();
        const int before = announced;
        monitor->readSysex(byte);
        const int status = monitor->status();
        if (byte != sysexEnd) {
            FUZZ_CHECK(status == statusBefore);
            FUZZ_CHECK(announced == before);
        } else if (status != 0) {
            FUZZ_CHECK(announced == before);
            const std::vector<unsigned char> &stream = fedWithoutRealTime;
            const std::size_t n = stream.size();
            FUZZ_CHECK(n >= 3 && stream[n - 3] == sysexStart && stream[n - 2] == status);
        }

        switch (rules.feed(byte)) {
        case Rules::nothing:
            FUZZ_CHECK(announced == before);
            FUZZ_CHECK(status == statusBefore);
            break;
        case Rules::announce:
            FUZZ_CHECK(announced == before + 1);
            FUZZ_CHECK(lastAnnounced
                       == QByteArray(reinterpret_cast<const char *>(rules.message.data()),
                                     int(rules.message.size())));
            FUZZ_CHECK(status == 0);
            break;
        case Rules::status:
            FUZZ_CHECK(announced == before);
            FUZZ_CHECK(status == rules.message[1]);
            break;
        }
    }
}

// One read of the given capacity, as run() makes it; returns the number of bytes moved.
int readInto(unsigned int capacity, std::size_t queued)
{
    static unsigned char block[1200];
    // A guard past the capacity shows a read that moves more than asked for.
    std::memset(block, 0xA5, sizeof block);
    const int count = port->read(block, capacity);
    FUZZ_CHECK(count >= 0);
    FUZZ_CHECK(unsigned(count) <= capacity);
    FUZZ_CHECK(std::size_t(count) == std::min<std::size_t>(capacity, queued));
    for (std::size_t i = std::size_t(count); i < sizeof block; ++i)
        FUZZ_CHECK(block[i] == 0xA5);
    feed(block, count);
    return count;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***argv)
{
    fuzz::startQt((*argv)[0]);
    owner = new QObject;
    port = new PipeMidi;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t steps = std::min<std::size_t>(data[0] % 32, size - 1);
    const unsigned char *step = data + 1;
    const unsigned char *stream = data + 1 + steps;
    const std::size_t streamLength = size - 1 - steps;

    // Each run starts with a fresh assembler, so that an input does the same whenever it runs.
    // The monitor thread is never started: this thread plays it.
    delete monitor;
    monitor = new MidiMonitor(owner, port);
    QObject::connect(monitor, &MidiMonitor::receivedSysex, owner, &onMessage, Qt::DirectConnection);
    monitor->setPatchFilter(
        [](const unsigned char *, unsigned int length) { return length % 2 == 0; });
    patches.clear();
    others = 0;
    fed.clear();
    fedWithoutRealTime.clear();
    announced = 0;
    rules = Rules();

    std::size_t appended = 0;
    std::size_t queued = 0;
    const auto append = [&](std::size_t count) {
        port->pipe().append(stream + appended, unsigned(count));
        appended += count;
        queued += count;
        FUZZ_CHECK(port->pipe().pending() == queued);
        FUZZ_CHECK(port->dataAvailable() == (queued != 0));
    };

    for (std::size_t i = 0; i < steps; ++i) {
        const unsigned char c = step[i];
        if (c < 0x80) {
            const std::size_t left = streamLength - appended;
            append(c == 0x7F ? left : std::min<std::size_t>(c + 1u, left));
        } else {
            queued -= std::size_t(readInto((c - 0x80u) * 9, queued));
        }
    }
    append(streamLength - appended);
    while (queued != 0)
        queued -= std::size_t(readInto(1024, queued));

    FUZZ_CHECK(port->pipe().pending() == 0);
    FUZZ_CHECK(!port->dataAvailable());
    FUZZ_CHECK(fed.size() == streamLength);
    FUZZ_CHECK(streamLength == 0 || std::memcmp(fed.data(), stream, streamLength) == 0);
    FUZZ_CHECK(monitor->passedOver() == others);
    const QList<QByteArray> waiting = monitor->takePatches();
    FUZZ_CHECK(waiting == patches.mid(std::max(0, int(patches.size()) - MidiMonitor::maxQueued)));
    FUZZ_CHECK(monitor->takePatches().isEmpty());
    return 0;
}
