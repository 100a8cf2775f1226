// Figures for the device view: how long a rubber band over all 64 controls takes (64 editor
// pane refreshes, one per selected control) and how long one click on a pad takes, each with
// the repaint it causes and the median of a number of runs, offscreen, with real mouse events
// through the view.
//
//   bench_deviceview [runs, default 20]

#include "../tests/common/simulateddevice.h"
#include "../tests/common/viewinput.h"
#include "mainwindow.h"
#include "selection.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

double medianMilliseconds(int runs, const std::function<void()> &prepare,
                          const std::function<void()> &measured)
{
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        prepare();
        QApplication::processEvents();
        const auto start = std::chrono::steady_clock::now();
        measured();
        // Include the repaint the change causes.
        QApplication::processEvents();
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
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});

    MainWindow window(noDevice());
    window.show();
    QApplication::processEvents();

    const QPointF bare(20, 520);
    window.selection()->setMode(Selection::Mode::Multi);
    const double band = medianMilliseconds(
        runs, [&] { viewinput::click(window, bare); },
        [&] { viewinput::drag(window, QPointF(1, 1), QPointF(636, 532)); });
    if (window.selection()->size() != 64) {
        std::fprintf(stderr, "the band selected %d controls, not 64\n",
                     int(window.selection()->size()));
        return 1;
    }

    window.selection()->setMode(Selection::Mode::Single);
    int pad = 39;
    const double click = medianMilliseconds(
        runs, [&] { pad = pad == 39 ? 40 : 39; }, [&] { viewinput::clickControl(window, pad); });

    std::printf("rubber band over all 64 controls: median %.2f ms of %d runs (target < 100 ms)\n",
                band, runs);
    std::printf("click on a pad: median %.3f ms of %d runs (target < 5 ms)\n", click, runs);
    return 0;
}
