#include "app/quit_signals.h"

#include <QMetaObject>
#include <QPointer>
#include <atomic>
#include <windows.h>

namespace
{

// Windows calls the console handler on a thread of its own: the handler is queued onto the
// context's thread, where it runs once the event loop turns.
QPointer<QObject> target;
std::function<void()> quitHandler;
std::atomic<bool> fired = false;

BOOL WINAPI onConsoleEvent(DWORD type)
{
    if (!fired.exchange(true) && target)
        QMetaObject::invokeMethod(target.data(), quitHandler, Qt::QueuedConnection);
    // Returning from a close, log-off or shut-down event ends the process at once: wait here
    // while the main thread tidies up; its exit ends this thread too.
    if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT)
        ::Sleep(INFINITE);
    return TRUE;
}

} // namespace

bool onTerminationSignals(QObject* context, std::function<void()> handler)
{
    target = context;
    quitHandler = std::move(handler);
    return ::SetConsoleCtrlHandler(onConsoleEvent, TRUE) != 0;
}

bool onHangUpSignal(QObject*, std::function<void()>)
{
    return false; // Windows has no such signal: a log rotator there renames the file instead
}
