// Figures for sending a library of twenty presets to the emulator program over a JACK server of
// the bench's own, on the port the editor uses on Linux without the ALSA sequencer (JackPort):
// the time LibrarySender takes against its floor of 20 × its interval, what one preset's
// confirmation (patch, request, answer) takes unpaced, and whether the emulator keeps every
// patch of an unpaced burst.
//
//   bench_librarysend [rounds, default 10]

#include "../tests/common/jackserver.h"
#include "../tests/endtoend/emulatorprocess.h"
#include "jackport.h"
#include "librarysender.h"
#include "midicontroller.h"
#include "patchlayout.h"
#include "patchlibrary.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Twenty patches, each of its own preset and name, and different in every round.
QList<QByteArray> library(int round)
{
    QList<QByteArray> messages;
    for (int presetNo = 0; presetNo < PatchLibrary::presetCount; ++presetNo) {
        QByteArray message(int(PatchLayout::length), '\0');
        message.replace(0, 9, QByteArray::fromHex("f0000000007f610251"));
        message[PatchLayout::presetNoOffset] = char(presetNo);
        message.replace(PatchLayout::nameOffset, PatchLayout::nameLength,
                        QByteArray("bench %1/%2")
                            .replace("%1", QByteArray::number(round))
                            .replace("%2", QByteArray::number(presetNo))
                            .leftJustified(PatchLayout::nameLength, '\0'));
        message[PatchLayout::endOffset] = char(PatchLayout::sysexEnd);
        messages << message;
    }
    return messages;
}

// Waits with events processed until done() or ms have passed; whether done() came true.
template<typename Done>
bool waitFor(Done done, int ms)
{
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < ms) {
        QEventLoop loop;
        QTimer::singleShot(1, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return done();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    // The trace lines would only disturb the timing.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});

    JackServer server;
    QString error;
    if (!server.start(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    QTemporaryDir folder;
    const QString memories = folder.filePath(QStringLiteral("memories.syx"));

    // An unpaced burst: every patch handed over at once, then what the emulator stored.
    int burstStored = 0;
    {
        EmulatorProcess emulator;
        if (!emulator.start({QStringLiteral("--write-presets"), memories}, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        MidiController controller(std::make_unique<JackPort>());
        if (!controller.open()) {
            std::fprintf(stderr, "cannot connect to the emulator\n");
            return 1;
        }
        const QList<QByteArray> burst = library(0);
        for (const QByteArray &message : burst)
            controller.sendPatchMessage(message);
        waitFor([&] { return emulator.count(QStringLiteral("received: Type 1")) == 20; }, 5000);
        emulator.stop();
        QFile file(memories);
        const QByteArray stored = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        for (int i = 0; i < burst.size(); ++i)
            burstStored += stored.mid(i * int(PatchLayout::length), int(PatchLayout::length))
                    == burst[i]
                ? 1
                : 0;
    }

    EmulatorProcess emulator;
    if (!emulator.start({}, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    MidiController controller(std::make_unique<JackPort>());
    if (!controller.open()) {
        std::fprintf(stderr, "cannot connect to the emulator\n");
        return 1;
    }

    // One preset's confirmation, unpaced: the patch, the request, the answer.
    std::vector<double> confirmations;
    {
        bool answered = false;
        controller.setPatchTaker([&answered](const QByteArray &) { return answered = true; });
        for (const QByteArray &message : library(1)) {
            answered = false;
            QElapsedTimer clock;
            clock.start();
            controller.sendPatchMessage(message);
            controller.uploadPatch();
            if (!waitFor([&] { return answered; }, 2000)) {
                std::fprintf(stderr, "no answer from the emulator\n");
                return 1;
            }
            confirmations.push_back(double(clock.nsecsElapsed()) / 1e6);
        }
        controller.setPatchTaker(nullptr);
    }

    LibrarySender sender(controller);
    std::vector<double> runs;
    for (int round = 0; round < rounds; ++round) {
        LibrarySendResult result;
        bool finished = false;
        const QMetaObject::Connection connection = QObject::connect(
            &sender, &LibrarySender::finished, [&](const LibrarySendResult &done) {
                result = done;
                finished = true;
            });
        QElapsedTimer clock;
        clock.start();
        sender.start(library(round + 2));
        waitFor([&] { return finished; }, 30000);
        const double ms = double(clock.nsecsElapsed()) / 1e6;
        QObject::disconnect(connection);
        if (result.sent.size() != PatchLibrary::presetCount) {
            std::fprintf(stderr, "round %d: %s\n", round, qPrintable(result.summary()));
            return 1;
        }
        runs.push_back(ms);
    }

    const double floor = 20.0 * LibrarySender::intervalMs;
    const double sent = median(runs);
    std::printf("unpaced burst of 20 patches: %d of 20 stored by the emulator\n", burstStored);
    std::printf("one preset confirmed unpaced (patch, request, answer): median %.1f ms, "
                "longest %.1f ms of 20\n",
                median(confirmations),
                *std::max_element(confirmations.begin(), confirmations.end()));
    std::printf("twenty presets sent and confirmed: median %.1f ms of %d, floor 20 x %d ms = "
                "%.0f ms, ratio %.3f (aim within 1.2)\n",
                sent, rounds, LibrarySender::intervalMs, floor, sent / floor);
    return 0;
}
