#pragma once
// The window as a line of an ExchangeQueue, for one device: open while the window holds that
// device, busy while the operator has an exchange under way. Reaches Form1 only through its
// narrow exchange interface.
#include "exchange/exchange_queue.h"

class Form1;

class WindowExchangeLine : public ExchangeLine
{
    Q_OBJECT
  public:
    // device: canonical, as canonicalDevice() names it; empty for whichever the window holds.
    WindowExchangeLine(Form1& form, const QString& device, QObject* parent = nullptr);

    bool isOpen() const override;
    bool busy() const override;
    void start(const QString& command, int replyWindowMs) override;

  private:
    Form1& form_;
    QString device_;
    bool mine_ = false; // the handed-over exchange under way was started here
};

// A queue over the window for one device (empty: whichever it holds), owned by `owner`.
ExchangeQueue* windowQueue(Form1& form, const QString& device, QObject* owner);
// The queues over a window for servers of several devices (the hand-over): one per device, each
// owned by its socket.
ExchangeQueueFor windowQueues(Form1& form);
