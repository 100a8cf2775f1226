#include "mainwindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    MainWindow window;
    QObject::connect(&app, &QApplication::lastWindowClosed, &app, &QApplication::quit);
    window.show();
    // Returning (rather than exit()) tears the window down in order, so the controller closes
    // its ports and threads before the process ends.
    return app.exec();
}
