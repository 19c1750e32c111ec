// The one send step of every sender, and the window's side of the road that handed-over
// commands take: they go through Hyouji like a typed one, so the monitor and everything that
// reads the transaction see them as the operator's own.
#include "window/form1.h"

namespace
{

// The monitor keeps a handed-over exchange in view this long after its reply window, as the
// query buttons do.
constexpr int kMonitorHoldMs = 500;

} // namespace

void Form1::sendCommand(const QString& command, std::optional<Intervals> intervals)
{
    // An operator's command goes out at once; a handed-over exchange still running ends here,
    // before the intervals, so that it takes nothing of this one with it.
    endHandedOver(ExchangeOutcome::Interrupted, RxBuffer.mid(replyStart_));
    // A handed-over reply window that ended at its CR is over by the next command at the latest.
    if (replyHeld_) forgetReceived();
    if (intervals) {
        Timer2.setInterval(intervals->replyWindowMs);
        Timer4.setInterval(intervals->clearDelayMs);
    }
    LastCommand = command + QLatin1Char('\r');
    Hyouji(LastCommand, 1);
}

bool Form1::exchangeUnderWay() const
{
    // A reply window still open, or an adjuster held down and repeating.
    return Timer2.isActive() || Timer1.isActive() || HoldCode != 0;
}

QString Form1::heldDevice() const
{
    return MSComm1.PortOpen() ? MSComm1.devicePath(MSComm1.CommPort()) : QString();
}

void Form1::sendHandedOver(const QString& command, int replyWindowMs)
{
    designedIntervals_ = {Timer2.interval(), Timer4.interval()};
    sendCommand(command, Intervals{replyWindowMs, replyWindowMs + kMonitorHoldMs});
    handedOver_ = true;
}

void Form1::checkHandedOverReply()
{
    if (!handedOver_) return;
    // From where the window's own decoding reads it, whatever the buffer bound dropped before.
    const QString reply = RxBuffer.mid(replyStart_);
    const qsizetype cr = reply.indexOf(QLatin1Char('\r'));
    if (cr < 0) return;
    // The reply window ends at the CR (below), so the next command need not wait out the rest
    // of it. What was received stays until the next command: a piece after the CR is decoded
    // with its reply, not alone.
    replyHeld_ = true;
    endHandedOver(ExchangeOutcome::Replied, reply.left(cr + 1));
}

void Form1::endHandedOver(ExchangeOutcome outcome, const QString& reply)
{
    if (!std::exchange(handedOver_, false)) return;
    // Nothing of the script's reply window stays in force: a stopped Timer2 takes its interval
    // without starting; the monitor is kept in view for the designed delay from here.
    Timer2.stop();
    Timer2.setInterval(designedIntervals_.replyWindowMs);
    Timer4.setInterval(designedIntervals_.clearDelayMs);
    Q_EMIT handedOverEnded(outcome, reply);
}
