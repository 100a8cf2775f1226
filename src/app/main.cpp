#include "closeonsignal.h"
#include "deviceclaim.h"
#include "mainwindow.h"
#include "translations.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLoggingCategory>
#include <QTimer>

#include <cstring>

namespace {

// Whether the command line only asks for the options or the version, which need no display.
bool onlyPrints(int argc, char *argv[])
{
    static const char *const printing[] = {"-h", "--help", "-?", "--help-all", "-v", "--version"};
    for (int i = 1; i < argc; ++i)
        for (const char *option : printing)
            if (std::strcmp(argv[i], option) == 0)
                return true;
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    // So that they also answer over ssh or on a console without a display.
    if (onlyPrints(argc, argv))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    // Icons take their @2x pixels on screens with two device pixels per point, as in Qt 6.
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
#endif
    QApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(VELLICHORD_VERSION));
    // Lets a Wayland compositor match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(VELLICHORD_APP_ID));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Patch editor and firmware updater for the Tarvel Vellichord."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption verbose(
        QStringLiteral("verbose"),
        QStringLiteral("Print the editor's trace lines: MIDI messages, patch and update steps."));
    parser.addOption(verbose);
    parser.process(app);
    if (parser.isSet(verbose))
        QLoggingCategory::setFilterRules(QStringLiteral("vellichord.debug=true"));
    // The data folders (~/.local/share/vellichord, /usr/share/vellichord) are the whole
    // program's, not this executable's; named only now so --version names the executable.
    QCoreApplication::setApplicationName(QStringLiteral("vellichord"));
    // The system's language (LANG, LC_ALL, LC_MESSAGES), for every text made from here on.
    installTranslations(app, QLocale());

    // Tells the command-line program that the editor is using the device. A second editor
    // runs all the same.
    DeviceClaim editorClaim(DeviceClaim::Kind::Editor);
    editorClaim.take();
    MainWindow window;
    QObject::connect(&app, &QApplication::lastWindowClosed, &app, &QApplication::quit);
    // Logging out, kill and Ctrl-C close the window without asking; unsent changes go to the
    // recovery file, which the next start offers back.
    closeOnSignal(&window, [&window] { window.closeUnasked(); });
    window.show();
    QTimer::singleShot(0, &window, &MainWindow::offerRecovery);
    // Returning (rather than exit()) tears the window down in order, so the controller closes
    // its ports and threads before the process ends.
    return app.exec();
}
