#pragma once
// The line without a window: its own SerialComm (the same serial layer as the window's
// MSComm1), one exchange at a time for an ExchangeQueue. It stays open between exchanges, so
// one instance serves a whole script or a long-running server.
#include "exchange/exchange_queue.h"
#include "link/serial_comm.h"

#include <QElapsedTimer>
#include <QTimer>

class HeadlessExchange : public ExchangeLine
{
    Q_OBJECT
  public:
    explicit HeadlessExchange(QObject* parent = nullptr);

    // COM1 and COM2 as the window has them, which of them, and its settings ("9600,N,8,1").
    CommError open(const QString& com1, const QString& com2, int port, const QString& settings);
    // A server reopens a lost line by itself and waits for a device that is not there yet;
    // a script does neither: it has nobody to wait for.
    void setServing(bool serving)
    {
        comm_.setReopensLostLine(serving);
        comm_.setServing(serving);
    }
    // open() failed and the line is waited for: it opens with reconnected().
    bool awaitingLine() const { return comm_.awaitingLine(); }

    bool isOpen() const override { return comm_.PortOpen(); }
    bool busy() const override { return inFlight_; }
    void start(const QString& command, int replyWindowMs) override;

  Q_SIGNALS:
    // The open line failed under us; it is reopened by itself when it comes back.
    void lineLost(const QString& description);
    void reconnected();
    // Reopening attempt `attempt` of an outage failed (see SerialComm::retryFailed).
    void retryFailed(int attempt, const QString& description);
    // A command could not be written (the exchange then ends as timed out).
    void writeFailed(const QString& description);

  private:
    void onReceived();
    void end(ExchangeOutcome outcome);

    SerialComm comm_;
    QTimer window_;
    QString reply_;
    bool inFlight_ = false;
};
