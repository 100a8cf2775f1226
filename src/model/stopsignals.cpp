#include "stopsignals.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <iterator>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int caughtSignals[] = {SIGINT, SIGTERM, SIGHUP};

// A signal handler may do next to nothing: it writes the signal's number to the socket of the
// object that gets the signals, and that object's event loop reads it.
std::atomic<int> currentSocket{-1};

void onSignal(int signal)
{
    const int socket = currentSocket.load();
    if (socket < 0)
        return;
    const unsigned char byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(socket, &byte, 1);
}

} // namespace

struct StopSignals::Handlers
{
    int sockets[2] = {-1, -1};
    int previousSocket = -1;
    struct sigaction before[std::size(caughtSignals)] = {};
};

StopSignals::StopSignals(QObject *parent)
    : QObject(parent)
{
    auto made = std::make_unique<Handlers>();
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, made->sockets) != 0)
        return;
    // A burst of signals must never block the handler on a full socket.
    ::fcntl(made->sockets[0], F_SETFL, ::fcntl(made->sockets[0], F_GETFL) | O_NONBLOCK);
    ::fcntl(made->sockets[1], F_SETFL, ::fcntl(made->sockets[1], F_GETFL) | O_NONBLOCK);
    notifier = new QSocketNotifier(made->sockets[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        unsigned char bytes[16];
        const ssize_t count = ::read(handlers->sockets[1], bytes, sizeof bytes);
        for (ssize_t i = 0; i < count; ++i)
            emit received(bytes[i]);
    });
    made->previousSocket = currentSocket.exchange(made->sockets[0]);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(caughtSignals); ++i)
        sigaction(caughtSignals[i], &action, &made->before[i]);
    handlers = std::move(made);
}

StopSignals::~StopSignals()
{
    if (!handlers)
        return;
    for (std::size_t i = 0; i < std::size(caughtSignals); ++i)
        sigaction(caughtSignals[i], &handlers->before[i], nullptr);
    // Only when no later object took the signals over is the earlier one current again.
    int own = handlers->sockets[0];
    currentSocket.compare_exchange_strong(own, handlers->previousSocket);
    delete notifier;
    ::close(handlers->sockets[0]);
    ::close(handlers->sockets[1]);
}

#else

struct StopSignals::Handlers
{
};

StopSignals::StopSignals(QObject *parent)
    : QObject(parent)
{
}

StopSignals::~StopSignals() = default;

#endif

bool StopSignals::isActive() const
{
    return handlers != nullptr;
}
