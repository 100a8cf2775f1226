// Figures for the firmware transfer: the wall time of sending an update image to a simulated
// device that accepts every record at once, with the real pauses, against the protocol's floor
// of 11 ms per data frame.
//
//   bench_update [image KiB, default 16] [record bytes, default 256]

#include "../tests/common/simulateddevice.h"
#include "../tests/transfer/updaterig.h"
#include "midicontroller.h"
#include "midimonitor.h"
#include "updateprotocol.h"

#include <QByteArray>
#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;

// Records of recordBytes bytes each (the last ones shorter) filling imageBytes bytes.
QByteArray buildImage(int imageBytes, int recordBytes)
{
    QByteArray image;
    while (image.size() < imageBytes) {
        const int rest = imageBytes - image.size();
        int size = std::min(recordBytes, rest);
        if (rest - size > 0 && rest - size < 4)
            size -= 4; // leave room for a last record of at least 4 bytes
        QByteArray body(size - 4, '\0');
        for (int i = 0; i < body.size(); ++i)
            body[i] = char(i * 37 + image.size());
        image += updateRecord(body);
    }
    return image;
}

} // namespace

int main(int argc, char *argv[])
{
    const int kib = argc > 1 ? std::atoi(argv[1]) : 16;
    const int recordBytes = argc > 2 ? std::atoi(argv[2]) : 256;
    if (kib < 1 || recordBytes < 8 || recordBytes > 65535) {
        std::fprintf(stderr, "usage: bench_update [image KiB >= 1] [record bytes 8..65535]\n");
        return 2;
    }

    QCoreApplication app(argc, argv);
    qSetMessagePattern(QStringLiteral("%{if-critical}%{message}%{endif}")); // quiet traces

    SimulatedDevice device(true, SimulatedDevice::Reply::Nothing);
    device.connect(MidiController::portName);
    QObject owner;
    MidiMonitor monitor(&owner, &device);
    monitor.start();
    UpdateProtocol protocol(device, monitor);

    const QByteArray image = buildImage(kib * 1024, recordBytes);
    const auto *bytes = reinterpret_cast<const unsigned char *>(image.constData());
    // The last record completes the update, as a device confirms it.
    confirmAtRecord(&device, int(UpdateFile::recordCount(bytes, unsigned(image.size()))));
    const Clock::time_point start = Clock::now();
    const bool sent = protocol.transmitUpdate(bytes, unsigned(image.size()));
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();

    int frames = 0;
    for (const QByteArray &message : device.received)
        frames += SimulatedDevice::isDataFrame(message) ? 1 : 0;

    const double floor = frames * 0.011;
    std::printf("update transfer: %d bytes in %d records of %d bytes, %d frames\n",
                int(image.size()), int(device.records.size()), recordBytes, frames);
    std::printf("  %s; wall %.3f s, floor %.3f s (frames x 11 ms): overhead %.2f %% "
                "(target < 5 %%), %.3f ms per frame\n",
                sent ? "accepted" : "FAILED", wall, floor, 100.0 * (wall - floor) / floor,
                1000.0 * wall / frames);
    return sent ? 0 : 1;
}
