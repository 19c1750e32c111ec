#include "handover/handover_server.h"

#include "exchange/exchange_queue.h"
#include "handover/handover_listener.h"
#include "handover/handover_socket.h"
#include "handover/handover_trust.h"
#include "handover/handover_wire.h"
#include "link/device_address.h"

#include <QLocalSocket>
#include <QTimer>

namespace
{

const QString kIdleName = QStringLiteral("idle");

void send(QLocalSocket* client, const WireMessage& message)
{
    if (!client) return;
    client->write(encodeWire(message));
    client->flush();
    // An answer starts the script's idle time afresh.
    if (auto* idle = client->findChild<QTimer*>(kIdleName, Qt::FindDirectChildrenOnly))
        idle->start();
}

} // namespace

HandoverServer::HandoverServer(QueueFor queueFor, QObject* parent)
    : QObject(parent), queueFor_(std::move(queueFor))
{
}

// The listeners go with their parent, each removing its socket file; their clients with them,
// once this object's connections are gone.
HandoverServer::~HandoverServer() = default;

bool HandoverServer::listen(const QString& device)
{
    if (!prepareHandoverDirectory()) {
        error_ = handoverFolderProblem(handoverDirectory()).value_or(QString());
        return false;
    }
    const QString canonical = canonicalDevice(device);
    const QString path = handoverSocketPath(canonical);
    if (socketPaths().contains(path)) return true;
    auto* server = new HandoverListener(this);
    if (const std::optional<QString> failure = server->listen(path)) {
        error_ = QStringLiteral("cannot listen at %1: %2").arg(path, *failure);
        delete server;
        return false;
    }
    connect(server, &HandoverListener::noted, this, &HandoverServer::noted);
    connect(server, &HandoverListener::failed, this, &HandoverServer::failed);
    ExchangeQueue* queue = queueFor_(canonical, server);
    connect(queue, &ExchangeQueue::started, this, [this, queue](quint64 id) {
        if (const Pending* p = find(queue, id))
            send(p->client, wireMessage(WireKind::Started, p->wireId));
    });
    connect(server, &HandoverListener::connected, this,
            [this, queue](QLocalSocket* client) { accept(client, queue); });
    servers_ << server;
    return true;
}

QStringList HandoverServer::socketPaths() const
{
    QStringList paths;
    for (const HandoverListener* server : servers_)
        paths << server->path();
    return paths;
}

void HandoverServer::accept(QLocalSocket* client, ExchangeQueue* queue)
{
    client->write(versionLine());
    auto* idle = new QTimer(client);
    idle->setObjectName(kIdleName);
    idle->setSingleShot(true);
    idle->setInterval(kIdleMs);
    // A script waiting for an answer is not idle.
    connect(idle, &QTimer::timeout, this, [this, client, idle] {
        const bool waits = std::any_of(pending_.cbegin(), pending_.cend(),
                                       [client](const Pending& p) { return p.client == client; });
        waits ? idle->start() : client->abort();
    });
    idle->start();
    connect(client, &QLocalSocket::readyRead, this, [this, client, queue, idle] {
        idle->start();
        readRequests(client, queue);
    });
    // A script gone away is waiting for nothing: nothing more is sent for it.
    connect(client, &QLocalSocket::disconnected, this, [this, client] {
        cancel(client, std::nullopt);
        client->deleteLater();
    });
}

void HandoverServer::readRequests(QLocalSocket* client, ExchangeQueue* queue)
{
    if (!client->canReadLine() && client->bytesAvailable() > kMaxLine) return client->abort();
    while (client->canReadLine()) {
        const std::optional<WireMessage> m = parseWire(client->readLine());
        if (m && m->kind == WireKind::Send) submit(client, queue, *m);
        if (m && m->kind == WireKind::Cancel) cancel(client, m->id);
    }
}

void HandoverServer::submit(QLocalSocket* client, ExchangeQueue* queue, const WireMessage& m)
{
    // The answer never comes inside submit(), so the id is known by the time it does.
    auto queueId = std::make_shared<quint64>(0);
    *queueId = queue->submit(
        m.command, m.replyWindowMs, QStringLiteral("script"),
        [this, queue, queueId](const ExchangeAnswer& a) { answer(queue, *queueId, a); });
    pending_.append({client, m.id, *queueId, queue});
}

const HandoverServer::Pending* HandoverServer::find(const ExchangeQueue* queue, quint64 id) const
{
    for (const Pending& p : pending_)
        if (p.queue == queue && p.queueId == id) return &p;
    return nullptr;
}

void HandoverServer::answer(const ExchangeQueue* queue, quint64 queueId, const ExchangeAnswer& a)
{
    const Pending* p = find(queue, queueId);
    if (!p) return;
    // A panel that does not hold the device leaves the command to the script.
    if (a.outcome == ExchangeOutcome::NotOpen)
        send(p->client, wireMessage(WireKind::NotHeld, p->wireId));
    else
        send(p->client, {WireKind::Reply, p->wireId, 0, QString(), a});
    pending_.removeIf([&](const Pending& q) { return &q == p; });
}

void HandoverServer::cancel(const QLocalSocket* client, std::optional<quint64> wireId)
{
    pending_.removeIf([&](const Pending& p) {
        // A request whose script is gone, however it went, is waited for by nobody.
        const bool orphan = !p.client;
        if (!orphan && (p.client != client || (wireId && p.wireId != *wireId))) return false;
        p.queue->cancel(p.queueId);
        return true;
    });
}
