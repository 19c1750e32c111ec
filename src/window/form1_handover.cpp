// Commands that a script hands over to the running window go through Hyouji like a typed one,
// so the monitor and everything that reads the transaction see them as the operator's own.
#include "window/form1.h"

namespace
{

// The monitor keeps a handed-over exchange in view this long after its reply window, as the
// query buttons do.
constexpr int kMonitorHoldMs = 500;

} // namespace

void Form1::sendHandedOver(const QString& text, int replyWindowMs)
{
    Timer2.setInterval(replyWindowMs);
    Timer4.setInterval(replyWindowMs + kMonitorHoldMs);
    LastCommand = text + QLatin1Char('\r');
    Hyouji(LastCommand, 1);
}

bool Form1::exchangeUnderWay() const
{
    // A reply window still open, or an adjuster held down and repeating.
    return Timer2.isActive() || Timer1.isActive() || HoldCode != 0;
}
