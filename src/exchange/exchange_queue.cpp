#include "exchange/exchange_queue.h"

namespace
{

constexpr int kRetryMs = 10;
// Beyond the reply window: the line normally ends the exchange itself; this only catches one
// whose end never came, so that the queue can never stand still.
constexpr int kGuardExtraMs = 1000;

} // namespace

ExchangeQueue::ExchangeQueue(ExchangeLine& line, QObject* parent) : QObject(parent), line_(line)
{
    for (QTimer* timer : {&retry_, &guard_}) {
        timer->setTimerType(Qt::PreciseTimer);
        timer->setSingleShot(true);
    }
    retry_.setInterval(kRetryMs);
    connect(&retry_, &QTimer::timeout, this, &ExchangeQueue::pump);
    connect(&guard_, &QTimer::timeout, this,
            [this] { onFinished(ExchangeOutcome::TimedOut, QString()); });
    connect(&line_, &ExchangeLine::finished, this, &ExchangeQueue::onFinished);
}

ExchangeQueue::~ExchangeQueue() = default;

quint64 ExchangeQueue::submit(const QString& command, int replyWindowMs, const QString& source,
                              Done done)
{
    queue_.append({++lastId_, command, replyWindowMs, source, std::move(done)});
    schedule();
    return lastId_;
}

void ExchangeQueue::cancel(quint64 id)
{
    if (active_.id == id) {
        active_.done = nullptr; // what the line says of it goes to nobody
        return;
    }
    queue_.removeIf([id](const Request& r) { return r.id == id; });
}

void ExchangeQueue::schedule()
{
    // Answers never come inside submit(): the caller may still be setting up its bookkeeping.
    if (scheduled_) return;
    scheduled_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            scheduled_ = false;
            pump();
        },
        Qt::QueuedConnection);
}

void ExchangeQueue::pump()
{
    while (!inFlight() && !queue_.isEmpty()) {
        if (!line_.isOpen()) {
            const Request r = queue_.takeFirst();
            if (r.done) r.done({ExchangeOutcome::NotOpen, QString(), 0});
            continue;
        }
        if (line_.busy()) {
            retry_.start();
            return;
        }
        active_ = queue_.takeFirst();
        clock_.start();
        guard_.start(active_.replyWindowMs + kGuardExtraMs);
        Q_EMIT started(active_.id, active_.source);
        line_.start(active_.command, active_.replyWindowMs);
    }
}

void ExchangeQueue::onFinished(ExchangeOutcome outcome, const QString& reply)
{
    if (!inFlight()) return;
    guard_.stop();
    const Request done = std::exchange(active_, Request());
    if (done.done) done.done({outcome, reply, clock_.elapsed()});
    schedule();
}
