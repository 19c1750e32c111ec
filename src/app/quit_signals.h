#pragma once
// SIGTERM and SIGINT become a call on the event loop instead of the default action, so that a
// program ends tidily (ports closed, lock files and sockets removed); so does SIGHUP, which a
// server takes as the word to reopen its log after a rotation. A signal handler may only write
// a byte: it goes down a pipe that the event loop watches.
#include <functional>

class QObject;

// Runs `handler` on the event loop of `context`'s thread when either signal arrives; a signal
// that comes before the loop runs waits for it. Call once. False when no pipe could be made
// (the default action then stays).
bool onTerminationSignals(QObject* context, std::function<void()> handler);
// The same for SIGHUP, every time it comes; after onTerminationSignals, on the same thread.
bool onHangUpSignal(QObject* context, std::function<void()> handler);
