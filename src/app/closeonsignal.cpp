#include "closeonsignal.h"

#include <QWidget>

#ifdef Q_OS_UNIX
#include <QPointer>
#include <QSocketNotifier>

#include <csignal>
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

} // namespace

void closeOnSignal(QWidget *window)
{
    if (signalSockets[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, signalSockets) != 0) {
        qWarning("Cannot set up signal handling; SIGTERM will end the editor at once");
        return;
    }
    delete notifier;
    notifier = new QSocketNotifier(signalSockets[1], QSocketNotifier::Read, window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, [window] {
        char bytes[16];
        [[maybe_unused]] const ssize_t read = ::recv(signalSockets[1], bytes, sizeof bytes,
                                                     MSG_DONTWAIT);
        window->close();
    });

    struct sigaction action = {};
    action.sa_handler = onSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
}

#else

void closeOnSignal(QWidget *) {}

#endif
