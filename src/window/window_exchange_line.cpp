#include "window/window_exchange_line.h"

#include "link/device_address.h"
#include "window/form1.h"

WindowExchangeLine::WindowExchangeLine(Form1& form, const QString& device, QObject* parent)
    : ExchangeLine(parent), form_(form), device_(device)
{
    connect(&form_, &Form1::handedOverEnded, this,
            [this](ExchangeOutcome outcome, const QString& reply) {
                if (std::exchange(mine_, false)) Q_EMIT finished(outcome, reply);
            });
}

bool WindowExchangeLine::isOpen() const
{
    const QString held = form_.heldDevice();
    return !held.isEmpty() && (device_.isEmpty() || canonicalDevice(held) == device_);
}

bool WindowExchangeLine::busy() const
{
    return form_.exchangeUnderWay();
}

void WindowExchangeLine::start(const QString& command, int replyWindowMs)
{
    // Whatever the send step ends of an earlier exchange is not this one's end.
    mine_ = false;
    form_.sendHandedOver(command, replyWindowMs);
    mine_ = true;
}

ExchangeQueueFor windowQueues(Form1& form)
{
    return
        [&form](const QString& device, QObject* owner) { return windowQueue(form, device, owner); };
}

ExchangeQueue* windowQueue(Form1& form, const QString& device, QObject* owner)
{
    auto* queue = new ExchangeQueue(*new WindowExchangeLine(form, device, owner), owner);
    // Started just before the line sends it: the history names its sender.
    QObject::connect(
        queue, &ExchangeQueue::started, &form,
        [&form](quint64, const QString& source) { form.history.setNextSource(source); });
    return queue;
}
