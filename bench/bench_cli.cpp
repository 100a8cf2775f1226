// Figures for the command-line program's start: the wall time of "vellichord show" on a patch
// file beside that of a Qt Core program that exits at once, taken in turns in one run so that
// both see the same machine. The aim is under 1.5 times the bare program.
//
//   bench_cli [runs, default 40]

#include "patch.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Wall time of one run in milliseconds, or a negative number when the program failed.
double timeRun(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    const auto start = Clock::now();
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0)
        return -1;
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 40;
    if (runs < 1) {
        std::fprintf(stderr, "usage: bench_cli [runs >= 1]\n");
        return 2;
    }
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("patch.syx"));
    if (!dir.isValid() || !Patch().save(file)) {
        std::fprintf(stderr, "bench_cli: cannot write a patch file\n");
        return 1;
    }

    const QString cli = QStringLiteral(VELLICHORD_CLI);
    const QString bare = QStringLiteral(BENCH_BARE);
    const QStringList show = {QStringLiteral("show"), file};
    // One untimed run each, so that neither pays for a cold file cache.
    timeRun(cli, show);
    timeRun(bare, {});

    std::vector<double> cliTimes;
    std::vector<double> bareTimes;
    for (int i = 0; i < runs; ++i) {
        const double c = timeRun(cli, show);
        const double b = timeRun(bare, {});
        if (c < 0 || b < 0) {
            std::fprintf(stderr, "bench_cli: a run failed\n");
            return 1;
        }
        cliTimes.push_back(c);
        bareTimes.push_back(b);
    }
    const double c = median(cliTimes);
    const double b = median(bareTimes);
    std::printf("median wall time of %d runs each:\n", runs);
    std::printf("  vellichord show   %7.2f ms\n", c);
    std::printf("  bare Qt Core      %7.2f ms\n", b);
    std::printf("  ratio             %7.2f (aim: under 1.5)\n", c / b);
    return 0;
}
