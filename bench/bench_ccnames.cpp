// Figures for the controller-name file: how long the editor window takes to open, and the
// first click on a control to be handled, with a name file of a million lines and with 128
// names of 400 KB each, beside the one the editor ships with. Offscreen, real mouse events.
//
//   bench_ccnames

#include "../tests/common/simulateddevice.h"
#include "../tests/common/viewinput.h"
#include "mainwindow.h"

#include <QApplication>
#include <QFile>

#include <chrono>
#include <cstdio>
#include <functional>

namespace {

double milliseconds(const std::function<void()> &measured)
{
    const auto start = std::chrono::steady_clock::now();
    measured();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    const QString path = QCoreApplication::applicationDirPath() + "/Midi-CC-list.txt";

    const struct
    {
        const char *name;
        std::function<QByteArray()> contents;
    } files[] = {
        {"128 short names",
         [] {
             QByteArray names;
             for (int line = 0; line < 128; ++line)
                 names += "Controller " + QByteArray::number(line) + '\n';
             return names;
         }},
        {"1 000 000 lines",
         [] {
             QByteArray names;
             for (int line = 0; line < 1000000; ++line)
                 names += "Controller " + QByteArray::number(line) + '\n';
             return names;
         }},
        {"128 names of 400 KB",
         [] {
             QByteArray names;
             for (int line = 0; line < 128; ++line)
                 names += QByteArray(400 * 1024, 'a' + line % 26) + '\n';
             return names;
         }},
    };
    for (const auto &file : files) {
        QFile out(path);
        const QByteArray contents = file.contents();
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || out.write(contents) != contents.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        out.close();

        std::unique_ptr<MainWindow> window;
        const double open = milliseconds([&] {
            window = std::make_unique<MainWindow>(noDevice());
            window->show();
            QApplication::processEvents();
        });
        const double click = milliseconds([&] {
            viewinput::clickControl(*window, 16);
            QApplication::processEvents();
        });
        std::printf("%-20s (%5.1f MB): window open %7.1f ms, first click on a knob %6.1f ms "
                    "(target < 1000 ms each)\n",
                    file.name, contents.size() / 1e6, open, click);
    }
    QFile::remove(path);
    return 0;
}
