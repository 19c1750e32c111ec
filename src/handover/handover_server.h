#pragma once
// The serving side of the hand-over, for a window or a headless server: listens on one socket
// per device it may hold and puts the commands that scripts hand in on that device's exchange
// queue, behind the owner's own exchanges. A script that gives up or goes away takes what it
// had queued with it. Removes its sockets when it goes; a socket left by a server that died is
// replaced.
#include "exchange/exchange_queue.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>
#include <optional>

class ExchangeQueue;
class QLocalServer;
class QLocalSocket;
struct ExchangeAnswer;
struct WireMessage;

class HandoverServer : public QObject
{
    Q_OBJECT
  public:
    using QueueFor = ExchangeQueueFor;

    explicit HandoverServer(QueueFor queueFor, QObject* parent = nullptr);
    ~HandoverServer() override;

    // Starts listening for scripts that name this device; false when another running panel
    // already serves it or no private folder is to be had.
    bool listen(const QString& device);
    QStringList socketPaths() const;

  private:
    struct Pending {
        QPointer<QLocalSocket> client; // null once the script has gone
        quint64 wireId = 0;            // the script's id for it
        quint64 queueId = 0;           // the queue's
        ExchangeQueue* queue = nullptr;
    };

    void accept(QLocalServer* server, ExchangeQueue* queue);
    void readRequests(QLocalSocket* client, ExchangeQueue* queue);
    void submit(QLocalSocket* client, ExchangeQueue* queue, const WireMessage& request);
    const Pending* find(const ExchangeQueue* queue, quint64 id) const;
    void answer(const ExchangeQueue* queue, quint64 queueId, const ExchangeAnswer& answer);
    void cancel(const QLocalSocket* client, std::optional<quint64> wireId);

    QueueFor queueFor_;
    QList<QLocalServer*> servers_;
    QList<Pending> pending_;
};
