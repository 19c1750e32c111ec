#include "exchange/headless_exchange.h"

#include "status/display_form.h"

HeadlessExchange::HeadlessExchange(QObject* parent) : ExchangeLine(parent)
{
    window_.setTimerType(Qt::PreciseTimer);
    window_.setSingleShot(true);
    connect(&window_, &QTimer::timeout, this, [this] { end(ExchangeOutcome::TimedOut); });
    connect(&comm_, &SerialComm::OnComm, this, &HeadlessExchange::onReceived);
    connect(&comm_, &SerialComm::lineLost, this, [this](const QString& description) {
        Q_EMIT lineLost(description);
        // Whatever the command became, no reply will come for it now.
        if (inFlight_) end(ExchangeOutcome::TimedOut);
    });
    connect(&comm_, &SerialComm::reconnected, this, &HeadlessExchange::reconnected);
    connect(&comm_, &SerialComm::retryFailed, this, &HeadlessExchange::retryFailed);
}

CommError HeadlessExchange::open(const QString& com1, const QString& com2, int port,
                                 const QString& settings)
{
    comm_.setDevices(com1, com2);
    if (CommError e = comm_.setCommPort(port)) return e;
    if (CommError e = comm_.setSettings(settings)) return e;
    return comm_.openWhenThere();
}

void HeadlessExchange::start(const QString& command, int replyWindowMs)
{
    (void)comm_.Input(); // what is left of an earlier reply belongs to nobody
    reply_.clear();
    inFlight_ = true;
    window_.start(replyWindowMs);
    if (CommError e = comm_.Output(command + QLatin1Char('\r'))) {
        Q_EMIT writeFailed(*e);
        // Nothing went out: the exchange ends at once, from the event loop as any other end.
        window_.start(0);
    }
}

void HeadlessExchange::onReceived()
{
    const QString piece = comm_.Input();
    if (!inFlight_) return;
    reply_ += piece;
    if (const qsizetype cr = reply_.indexOf(QLatin1Char('\r')); cr >= 0) {
        reply_.truncate(cr + 1);
        end(ExchangeOutcome::Replied);
    } else if (reply_.size() >= kMaxRenderedChars) {
        // The window's monitor holds no more than this either: a flood ends the reply.
        reply_.truncate(kMaxRenderedChars);
        end(ExchangeOutcome::TimedOut);
    }
}

void HeadlessExchange::end(ExchangeOutcome outcome)
{
    if (!inFlight_) return;
    inFlight_ = false;
    window_.stop();
    Q_EMIT finished(outcome, std::exchange(reply_, QString()));
}
