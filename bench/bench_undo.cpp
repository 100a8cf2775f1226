// Figures for undo and redo: the time per step of undoing and then redoing 1000 steps (each a
// channel edit on all 64 controls, so every step restores the whole patch and refreshes the
// pane and the marks), and the median time of one such edit with its step, the refresh of the
// marks of unsent changes and the repaint, offscreen.
//
//   bench_undo [steps, default 1000]

#include "../tests/common/simulateddevice.h"
#include "mainwindow.h"
#include "patchdocument.h"

#include <QApplication>
#include <QComboBox>
#include <QStandardPaths>
#include <QUndoStack>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true); // leaves the user's settings alone
    QApplication app(argc, argv);
    const int steps = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});

    MainWindow window(noDevice());
    window.show();
    window.selectAll();
    QApplication::processEvents();
    auto *channel = window.findChild<QComboBox *>(QStringLiteral("comboBoxChannel"));
    QUndoStack *stack = window.document()->undoStack();
    stack->setUndoLimit(0);

    // One edit on all 64 controls, with its repaint: the marks follow every change.
    std::vector<double> edits;
    for (int i = 0; i < steps; ++i) {
        const auto start = Clock::now();
        channel->setCurrentIndex(i % 16 == channel->currentIndex() ? (i + 1) % 16 : i % 16);
        QApplication::processEvents();
        edits.push_back(millisecondsSince(start));
    }
    std::sort(edits.begin(), edits.end());
    const int recorded = stack->count();

    auto start = Clock::now();
    while (stack->canUndo()) {
        stack->undo();
        QApplication::processEvents(); // with the repaint of the changed marks
    }
    const double undoMs = millisecondsSince(start);
    start = Clock::now();
    while (stack->canRedo()) {
        stack->redo();
        QApplication::processEvents();
    }
    const double redoMs = millisecondsSince(start);

    std::printf("steps recorded:                         %d\n", recorded);
    std::printf("undo, per step:                         %.3f ms\n", undoMs / recorded);
    std::printf("redo, per step:                         %.3f ms\n", redoMs / recorded);
    std::printf("edit on 64 controls with marks, median: %.3f ms (max %.3f ms)\n",
                edits[edits.size() / 2], edits.back());
    return 0;
}
