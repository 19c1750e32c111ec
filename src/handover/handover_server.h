#pragma once
// The serving side of the hand-over, for a window or a headless server: listens on one socket
// per device it may hold and puts the commands that scripts hand in on that device's exchange
// queue, behind the owner's own exchanges. A script that gives up or goes away takes what it
// had queued with it. Removes its sockets when it goes; a socket left by a server that died is
// replaced. A script whose line grows past kMaxLine, or that waits for nothing and says nothing
// for kIdleMs, is disconnected.
#include "exchange/exchange_queue.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>
#include <optional>

class ExchangeQueue;
class HandoverListener;
class QLocalSocket;
struct ExchangeAnswer;
struct WireMessage;

class HandoverServer : public QObject
{
    Q_OBJECT
  public:
    using QueueFor = ExchangeQueueFor;
    static constexpr qint64 kMaxLine = 64 * 1024;
    static constexpr int kIdleMs = 60000;

    explicit HandoverServer(QueueFor queueFor, QObject* parent = nullptr);
    ~HandoverServer() override;

    // Starts listening for scripts that name this device; false when another running panel
    // already serves it or no private folder is to be had.
    bool listen(const QString& device);
    QStringList socketPaths() const;
    // Why the last listen() failed.
    const QString& error() const { return error_; }

  Q_SIGNALS:
    // A listener's trouble, once until it is over.
    void noted(const QString& what);
    // A listener cannot go on: scripts can no longer reach this server.
    void failed(const QString& what);

  private:
    struct Pending {
        QPointer<QLocalSocket> client; // null once the script has gone
        quint64 wireId = 0;            // the script's id for it
        quint64 queueId = 0;           // the queue's
        ExchangeQueue* queue = nullptr;
    };

    void accept(QLocalSocket* client, ExchangeQueue* queue);
    void readRequests(QLocalSocket* client, ExchangeQueue* queue);
    void submit(QLocalSocket* client, ExchangeQueue* queue, const WireMessage& request);
    const Pending* find(const ExchangeQueue* queue, quint64 id) const;
    void answer(const ExchangeQueue* queue, quint64 queueId, const ExchangeAnswer& answer);
    void cancel(const QLocalSocket* client, std::optional<quint64> wireId);

    QueueFor queueFor_;
    QList<HandoverListener*> servers_;
    QList<Pending> pending_;
    QString error_;
};
