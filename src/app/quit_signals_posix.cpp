#include "app/quit_signals.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace
{

int signalPipe[2] = {-1, -1};
std::function<void()> onTermination;
std::function<void()> onHangUp;

// Only async-signal-safe work here: the signal's number into the pipe wakes the event loop.
extern "C" void onSignal(int signal)
{
    const int saved = errno;
    const char byte = char(signal);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
    errno = saved;
}

void dispatch()
{
    char drained[16];
    ssize_t n = 0;
    bool hangUp = false;
    bool terminate = false;
    while ((n = ::read(signalPipe[0], drained, sizeof drained)) > 0)
        for (ssize_t i = 0; i < n; ++i)
            (drained[i] == SIGHUP ? hangUp : terminate) = true;
    if (hangUp && onHangUp) onHangUp();
    // A second termination signal changes nothing.
    if (terminate && onTermination) std::exchange(onTermination, nullptr)();
}

bool watch(QObject* context, int signal)
{
    if (signalPipe[0] < 0) {
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0)
            return false;
        auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, context);
        QObject::connect(notifier, &QSocketNotifier::activated, context, &dispatch);
    }
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(signal, &action, nullptr) == 0;
}

} // namespace

bool onTerminationSignals(QObject* context, std::function<void()> handler)
{
    onTermination = std::move(handler);
    return watch(context, SIGTERM) && watch(context, SIGINT);
}

bool onHangUpSignal(QObject* context, std::function<void()> handler)
{
    onHangUp = std::move(handler);
    return watch(context, SIGHUP);
}
