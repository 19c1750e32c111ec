#pragma once
// The script's side of the hand-over: asks a panel that holds the device to send a command.
#include "handover/handover_wire.h"

#include <QDeadlineTimer>
#include <QLocalSocket>
#include <optional>

class HandoverClient
{
  public:
    // False when no panel listens for this device (no socket, or one left by a panel gone), or
    // the panel speaks another version of the hand-over.
    bool connectTo(const QString& device);
    bool connected() const { return socket_.state() == QLocalSocket::ConnectedState; }
    // nullopt: the command never went out (the panel does not hold the device, or it went away
    // while the command waited); the caller sends it itself. Otherwise what came of it; a
    // command that the panel wrote is never sent again, whatever happens to the panel. Given up
    // or unanswered, it ends as TimedOut with nothing received.
    std::optional<ExchangeAnswer> exchange(const QString& command, int timeoutMs);
    // The last exchange was given up (its queue wait or its reply ran out): the script stops.
    bool gaveUp() const { return gaveUp_; }

  private:
    std::optional<WireMessage> next(quint64 id, const QDeadlineTimer& deadline);
    ExchangeAnswer giveUp(quint64 id, const QString& command, const QString& why);

    QLocalSocket socket_;
    quint64 lastId_ = 0;
    bool gaveUp_ = false;
};

// How long a handed-over command may wait in the panel's queue, behind the operator's own
// exchanges and other scripts' commands, before its reply window starts.
inline constexpr int kHandoverQueueAllowanceMs = 15000;
