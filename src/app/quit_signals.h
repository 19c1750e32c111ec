#pragma once
// SIGTERM and SIGINT end the panel as END does, so that the port is closed and its lock file
// removed instead of being left behind by the default action.
#include <functional>

class QObject;

// Runs `quit` on the event loop of `context`'s thread when either signal arrives. Call once.
void quitOnTerminationSignals(QObject* context, std::function<void()> quit);
