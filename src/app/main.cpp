#include "mainwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLoggingCategory>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Patch editor and firmware updater for the Tarvel Vellichord."));
    parser.addHelpOption();
    const QCommandLineOption verbose(
        QStringLiteral("verbose"),
        QStringLiteral("Print the editor's trace lines: MIDI messages, patch and update steps."));
    parser.addOption(verbose);
    parser.process(app);
    if (parser.isSet(verbose))
        QLoggingCategory::setFilterRules(QStringLiteral("vellichord.debug=true"));

    MainWindow window;
    QObject::connect(&app, &QApplication::lastWindowClosed, &app, &QApplication::quit);
    window.show();
    // Returning (rather than exit()) tears the window down in order, so the controller closes
    // its ports and threads before the process ends.
    return app.exec();
}
