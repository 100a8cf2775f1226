#include "closeonsignal.h"

#include <QApplication>
#include <QDialog>
#include <QWidget>

#ifdef Q_OS_UNIX
#include <QPointer>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A signal handler may do next to nothing; it writes a byte here, and the event loop reads it.
int signalSockets[2] = {-1, -1};
QPointer<QSocketNotifier> notifier;

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalSockets[0], &byte, 1);
}

// A dialog's exec() would keep waiting for an answer, and with it the close; rejected, each
// returns as if its Cancel had been pressed.
void rejectModalDialogs()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *widget : windows) {
        auto *dialog = qobject_cast<QDialog *>(widget);
        if (dialog && dialog->isVisible() && dialog->isModal())
            dialog->reject();
    }
}

} // namespace

void closeOnSignal(QWidget *window, std::function<void()> close)
{
    if (signalSockets[0] < 0) {
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalSockets) != 0) {
            qWarning("Cannot set up signal handling; SIGTERM will end the editor at once");
            return;
        }
        // A burst of signals must never block the handler on a full socket.
        ::fcntl(signalSockets[0], F_SETFL, ::fcntl(signalSockets[0], F_GETFL) | O_NONBLOCK);
    }
    if (!close)
        close = [window] { window->close(); };
    delete notifier;
    notifier = new QSocketNotifier(signalSockets[1], QSocketNotifier::Read, window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, [close] {
        char bytes[16];
        [[maybe_unused]] const ssize_t read = ::recv(signalSockets[1], bytes, sizeof bytes,
                                                     MSG_DONTWAIT);
        rejectModalDialogs();
        close();
    });

    struct sigaction action = {};
    action.sa_handler = onSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
}

#else

void closeOnSignal(QWidget *, std::function<void()>) {}

#endif
