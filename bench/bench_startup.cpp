// Figures for the editor's start: the time from starting vellichord-editor to its window
// painted on the screen, beside that of a bare QMainWindow of the same size (bench_barewindow),
// taken in turns so that both see the same machine; once without a MIDI server and once with
// a JACK server and the emulator running. With the emulator it also gives the time from the
// window shown to the device's patch on the panel.
//
// Needs an X display (DISPLAY); both programs run on xcb. For example:
//   xvfb-run -a -s "-screen 0 1280x1024x24" bench_startup [runs, default 10]
//
// "Shown" is the line each program prints on stderr once its first expose has been painted
// (the editor's --verbose trace: "Window shown"); the device's patch is its
// "Patch from Vellichord shown". Each run gets an empty HOME and XDG_CONFIG_HOME, so no
// settings or recovery file of the user's take part.

#include "../tests/common/jackserver.h"
#include "../tests/endtoend/emulatorprocess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct Run
{
    double shownMs = -1; // start to the window painted
    double patchMs = -1; // window painted to the device's patch on the panel
};

// Starts program, waits for "Window shown" (and for patchLine after it, unless empty), then
// ends it as logging out does.
Run timeStart(const QString &program, const QStringList &arguments, const QString &patchLine)
{
    Run run;
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setReadChannel(QProcess::StandardError); // what waitForReadyRead waits for

    QElapsedTimer clock;
    clock.start();
    process.start(program, arguments);
    QByteArray pending;
    qint64 shownAt = -1;
    while (process.waitForReadyRead(20000)) {
        pending += process.readAllStandardError();
        int end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QString line = QString::fromLocal8Bit(pending.left(end));
            pending.remove(0, end + 1);
            if (shownAt < 0 && line.contains(QLatin1String("Window shown"))) {
                shownAt = clock.nsecsElapsed();
                run.shownMs = double(shownAt) / 1e6;
            } else if (shownAt >= 0 && !patchLine.isEmpty() && run.patchMs < 0
                       && line.contains(patchLine)) {
                run.patchMs = double(clock.nsecsElapsed() - shownAt) / 1e6;
            }
        }
        if (shownAt >= 0 && (patchLine.isEmpty() || run.patchMs >= 0))
            break;
    }
    process.terminate();
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished(5000);
    }
    return run;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The editor and the bare window in turns, runs times each; prints the medians and returns
// false when a run failed.
bool compare(const char *title, int runs, bool withDevice)
{
    const QString editor = QStringLiteral(VELLICHORD_EDITOR);
    const QString bare = QStringLiteral(BENCH_BAREWINDOW);
    const QStringList verbose = {QStringLiteral("--verbose")};
    const QString patchLine = withDevice ? QStringLiteral("Patch from Vellichord shown")
                                         : QString();
    // One untimed run each, so that neither pays for a cold file cache.
    timeStart(editor, verbose, patchLine);
    timeStart(bare, {}, QString());

    std::vector<double> editorTimes, bareTimes, patchTimes;
    for (int i = 0; i < runs; ++i) {
        const Run e = timeStart(editor, verbose, patchLine);
        const Run b = timeStart(bare, {}, QString());
        if (e.shownMs < 0 || b.shownMs < 0 || (withDevice && e.patchMs < 0)) {
            std::fprintf(stderr, "bench_startup: a run failed (%s)\n", title);
            return false;
        }
        editorTimes.push_back(e.shownMs);
        bareTimes.push_back(b.shownMs);
        if (withDevice)
            patchTimes.push_back(e.patchMs);
    }
    const double e = median(editorTimes);
    const double b = median(bareTimes);
    std::printf("%s, median of %d runs each:\n", title, runs);
    std::printf("  editor, start to window shown   %8.1f ms\n", e);
    std::printf("  bare window                     %8.1f ms\n", b);
    std::printf("  ratio                           %8.2f (aim: at most 1.10)\n", e / b);
    if (withDevice)
        std::printf("  window shown to device's patch  %8.1f ms (aim: at most 100)\n",
                    median(patchTimes));
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 10;
    if (runs < 1) {
        std::fprintf(stderr, "usage: bench_startup [runs >= 1]\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "bench_startup: needs an X display, e.g. under xvfb-run -a\n");
        return 2;
    }
    if (!compare("No MIDI server", runs, false))
        return 1;

    JackServer server;
    QString error;
    if (!server.start(&error)) {
        std::fprintf(stderr, "bench_startup: %s\n", qPrintable(error));
        return 1;
    }
    EmulatorProcess emulator;
    if (!emulator.start({}, &error)) {
        std::fprintf(stderr, "bench_startup: %s\n", qPrintable(error));
        return 1;
    }
    return compare("JACK server and emulator running", runs, true) ? 0 : 1;
}
