// Figures for selecting controls by touch while the device floods the editor: the editor
// window on its own JACK port over a JACK server of its own, the emulator program as the
// device, sending a knob's control changes at a steady rate ("flood N E3 RATE"). Prints the
// longest time the GUI thread did not get to its events, with Select Controls by Touch off, on,
// and on with the MIDI monitor window open, and whether the touched knob ended up selected.
//
//   bench_touchflood [seconds per run, default 10] [messages per second, default 10000]
//                    [runs, default 3]

#include "../tests/common/jackserver.h"
#include "../tests/endtoend/emulatorprocess.h"
#include "jackport.h"
#include "mainwindow.h"
#include "midicontroller.h"
#include "patch.h"
#include "patchdocument.h"
#include "selection.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace {

constexpr int knob = 18; // E3

// The device's patch: E3 sends CC 7 on Ch 1, every other control is on Ch 16.
QByteArray devicePatch()
{
    Patch patch;
    for (int i = 0; i < ControlTable::count; ++i)
        patch.controls().at(i)->updateParameter(Channel, 15);
    patch.controls().at(knob)->updateParameter(Channel, 0);
    patch.controls().at(knob)->updateParameter(CC, 7);
    return patch.toType1();
}

struct Run
{
    qint64 arrived = 0; // messages from the device that reached the editor's traffic
    double longestGapMs = 0;
    double seconds = 0;
    bool selected = false;
    bool finished = false;
};

Run flood(MainWindow &window, EmulatorProcess &emulator, int seconds, int perSecond, bool touch,
          bool monitor)
{
    window.findChild<QAction *>(QStringLiteral("actionSelectByTouch"))->setChecked(touch);
    window.findChild<QAction *>(QStringLiteral("actionMidiMonitor"))->setChecked(monitor);
    window.selection()->clear();
    const int count = seconds * perSecond;
    const QString done = QStringLiteral("flooded %1 messages").arg(count);
    const int doneBefore = emulator.count(done);
    emulator.process.write(QStringLiteral("flood %1 E3 %2\n").arg(count).arg(perSecond).toLatin1());

    // The GUI thread: a timer every 10 ms, and the longest gap between two of its ticks.
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
    Run run;
    const QMetaObject::Connection counting = QObject::connect(
        window.getMidiController(), &MidiController::traffic, [&run](const MidiTraffic &batch) {
            for (const MidiTrafficMessage &message : batch)
                run.arrived += message.outgoing ? 0 : 1;
        });
    // The emulator's output file is looked at now and then, not at every tick.
    QElapsedTimer looked;
    looked.start();
    while (clock.elapsed() < (seconds + 30) * 1000LL) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (looked.elapsed() >= 250) {
            looked.restart();
            if (emulator.count(done) > doneBefore) {
                run.finished = true;
                break;
            }
        }
    }
    // What is still on its way in.
    QElapsedTimer tail;
    tail.start();
    while (tail.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QObject::disconnect(counting);
    run.longestGapMs = double(longestGap) / 1e6;
    run.seconds = double(clock.elapsed()) / 1000;
    run.selected = window.selection()->indices() == QList<int>{knob};
    return run;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The editor's settings go to a folder of the bench's own, not the user's.
    QStandardPaths::setTestModeEnabled(true);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    const int perSecond = argc > 2 ? std::atoi(argv[2]) : 10000;
    const int runs = argc > 3 ? std::atoi(argv[3]) : 3;

    JackServer server;
    QString error;
    if (!server.start(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    QTemporaryDir folder;
    const QString patchPath = folder.filePath(QStringLiteral("touch.syx"));
    QFile patchFile(patchPath);
    if (!patchFile.open(QIODevice::WriteOnly) || patchFile.write(devicePatch()) != 348
        || !patchFile.flush()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(patchPath));
        return 1;
    }
    EmulatorProcess emulator;
    if (!emulator.start({QStringLiteral("--patch"), patchPath}, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    MainWindow window(std::make_unique<JackPort>());
    window.show();
    QElapsedTimer waited;
    waited.start();
    while (!window.midiStarted() || window.document()->answerAwaited()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (waited.elapsed() > 20000) {
            std::fprintf(stderr, "the editor did not get the emulator's patch\n");
            return 1;
        }
    }

    std::printf("%d messages a second for %d s, %d runs each\n", perSecond, seconds, runs);
    for (const auto &[touch, monitor] : {std::pair{false, false}, {true, false}, {true, true}}) {
        const char *setting = !touch ? "off" : monitor ? "on, monitor open" : "on";
        std::vector<double> gaps;
        bool allSelected = true;
        bool allFinished = true;
        for (int i = 0; i < runs; ++i) {
            const Run run = flood(window, emulator, seconds, perSecond, touch, monitor);
            gaps.push_back(run.longestGapMs);
            allSelected = allSelected && run.selected;
            allFinished = allFinished && run.finished;
            std::printf("  select by touch %s, run %d: longest GUI-thread gap %.1f ms in %.1f s, "
                        "%lld of %d messages arrived%s\n",
                        setting, i + 1, run.longestGapMs, run.seconds,
                        static_cast<long long>(run.arrived), seconds * perSecond,
                        run.finished ? "" : " (the flood did not end in time)");
        }
        std::printf("select by touch %s: median longest GUI-thread gap %.1f ms%s\n", setting,
                    median(gaps),
                    touch ? (allSelected ? ", the knob selected every time"
                                         : ", the knob NOT selected every time")
                          : "");
        if (!allFinished)
            std::printf("  (some floods did not end in time)\n");
    }
    window.close();
    return 0;
}
