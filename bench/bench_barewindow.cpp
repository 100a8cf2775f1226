// The floor for bench_startup: a QMainWindow with a menu bar and a status bar of the editor's
// size and nothing else. It prints "Window shown" on stderr once its first expose has painted,
// as the editor's --verbose trace does, and runs until it is ended.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QWindow>

#include <cstdio>

namespace {

// Prints the line once the window's first expose has been handled (and so painted).
class FirstExpose : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *window = qobject_cast<QWindow *>(watched);
        if (event->type() == QEvent::Expose && window && window->isExposed()) {
            window->removeEventFilter(this);
            QMetaObject::invokeMethod(
                this,
                [] {
                    std::fprintf(stderr, "Window shown\n");
                    std::fflush(stderr);
                },
                Qt::QueuedConnection);
        }
        return false;
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    for (const char *title : {"&File", "&Edit", "&Device", "&Help"})
        window.menuBar()->addMenu(QString::fromLatin1(title))->addAction(QStringLiteral("Item"));
    window.statusBar()->showMessage(QStringLiteral("Ready"));
    window.statusBar()->addPermanentWidget(new QLabel(QStringLiteral("Not connected")));
    window.setFixedSize(911, 570 + window.menuBar()->sizeHint().height());
    FirstExpose firstExpose;
    window.winId(); // the native window, to watch before it is shown
    window.windowHandle()->installEventFilter(&firstExpose);
    window.show();
    return app.exec();
}
