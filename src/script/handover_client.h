#pragma once
// The script's side of the hand-over: asks a panel that holds the device to send a command.
#include "script/script_exchange.h"

#include <QLocalSocket>
#include <optional>

class HandoverClient
{
  public:
    // False when no panel listens for this device (no socket, or one left by a panel gone).
    bool connectTo(const QString& device);
    // nullopt: the panel did not take the command (it does not hold the device, or it went
    // away); the caller opens the port itself.
    std::optional<ExchangeResult> exchange(const QString& command, int timeoutMs);

  private:
    QLocalSocket socket_;
};

// How long a handed-over command may wait in the panel's queue, behind the operator's own
// exchanges, before its reply window starts.
inline constexpr int kHandoverQueueAllowanceMs = 15000;
