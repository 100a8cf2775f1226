// Figures for the live front panel: how long the editor takes from a patch received from the
// device to the repainted panel (the items with their colours and texts, and the display),
// for two patches that differ in every control taking turns, so that every item changes each
// time, and for two that differ in one control, where one item changes; and how long one
// paint of the whole panel takes on its own. Medians of a number of runs, offscreen.
//
//   bench_panelredraw [runs, default 50]

#include "../tests/common/simulateddevice.h"
#include "controlplacement.h"
#include "frontpanel.h"
#include "mainwindow.h"
#include "midicontroller.h"

#include <QApplication>
#include <QGraphicsView>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

double medianMilliseconds(int runs, const std::function<void(int)> &measured)
{
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        QApplication::processEvents();
        const auto start = std::chrono::steady_clock::now();
        measured(run);
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});

    MainWindow window(noDevice());
    window.show();
    QApplication::processEvents();
    auto *view = window.findChild<QGraphicsView *>(QStringLiteral("graphicsView"));

    // The device's own patch and one with every parameter moved on by one step.
    const QByteArray first = SimulatedDevice::ownPatch();
    QByteArray second = first;
    const ControlTable table;
    for (int i = 0; i < ControlTable::count; ++i) {
        for (const ControlParameter &p : table.at(i)->parameters()) {
            const int span = p.max() - p.min() + 1;
            const int value = (uchar(first.at(int(p.address()))) - p.min() + 1) % span + p.min();
            second[int(p.address())] = char(value);
        }
    }
    second[55] = second[59];

    MidiController *controller = window.getMidiController();
    const double received = medianMilliseconds(runs, [&](int run) {
        controller->parseType2Message(run % 2 ? second : first);
        // The paint of the whole view, as the next frame shows it.
        view->viewport()->repaint();
    });
    if (controller->currentPatch().mid(27, 300) != (runs % 2 ? first : second).mid(27, 300)) {
        std::fprintf(stderr, "the patch was not applied\n");
        return 1;
    }

    // One control's note or controller number moved on: the changed item's area is painted as
    // the event loop paints it after a patch.
    QByteArray oneChanged = first;
    const ControlParameter *note = table.at(45)->getParameter(NoteOrCC);
    oneChanged[int(note->address())] = char((uchar(first.at(int(note->address()))) + 1) % 128);
    controller->parseType2Message(first);
    QApplication::processEvents();
    const double oneControl = medianMilliseconds(runs, [&](int run) {
        controller->parseType2Message(run % 2 ? oneChanged : first);
        QApplication::processEvents();
    });
    if (controller->currentPatch().mid(27, 300) != (runs % 2 ? first : oneChanged).mid(27, 300)) {
        std::fprintf(stderr, "the patch was not applied\n");
        return 1;
    }

    QImage image(panelWidth, panelHeight, QImage::Format_ARGB32_Premultiplied);
    const double paint = medianMilliseconds(runs, [&](int) {
        QPainter painter(&image);
        window.frontPanel()->scene()->render(&painter);
    });

    std::printf("received patch to repainted panel: median %.2f ms of %d runs (aim < 16 ms)\n",
                received, runs);
    std::printf("received patch changing one control to repainted panel: median %.2f ms of %d "
                "runs (aim < 1 ms)\n",
                oneControl, runs);
    std::printf("one paint of the whole panel: median %.2f ms of %d runs\n", paint, runs);
    return 0;
}
