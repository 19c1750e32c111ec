#include "handover/handover_server.h"

#include "exchange/exchange_queue.h"
#include "handover/handover_socket.h"
#include "handover/handover_wire.h"
#include "link/device_address.h"

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>

namespace
{

constexpr int kLiveCheckMs = 200;

// A socket file whose panel still answers belongs to that panel; one that refuses is stale.
bool answers(const QString& path)
{
    QLocalSocket probe;
    probe.connectToServer(path);
    return probe.waitForConnected(kLiveCheckMs);
}

void send(QLocalSocket* client, const WireMessage& message)
{
    if (!client) return;
    client->write(encodeWire(message));
    client->flush();
}

} // namespace

HandoverServer::HandoverServer(QueueFor queueFor, QObject* parent)
    : QObject(parent), queueFor_(std::move(queueFor))
{
}

HandoverServer::~HandoverServer()
{
    for (QLocalServer* server : servers_)
        server->close(); // removes the socket file
}

bool HandoverServer::listen(const QString& device)
{
    if (!prepareHandoverDirectory()) return false;
    const QString canonical = canonicalDevice(device);
    const QString path = handoverSocketPath(canonical);
    if (socketPaths().contains(path)) return true;
    auto* server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    bool ok = server->listen(path);
    if (!ok && server->serverError() == QAbstractSocket::AddressInUseError && !answers(path)) {
        QLocalServer::removeServer(path);
        ok = server->listen(path);
    }
    if (!ok) {
        delete server;
        return false;
    }
    // Read and write for the owner only: connecting needs no more (Qt leaves 0700).
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    ExchangeQueue* queue = queueFor_(canonical, server);
    connect(queue, &ExchangeQueue::started, this, [this, queue](quint64 id) {
        if (const Pending* p = find(queue, id))
            send(p->client, wireMessage(WireKind::Started, p->wireId));
    });
    connect(server, &QLocalServer::newConnection, this,
            [this, server, queue] { accept(server, queue); });
    servers_ << server;
    return true;
}

QStringList HandoverServer::socketPaths() const
{
    QStringList paths;
    for (const QLocalServer* server : servers_)
        paths << server->fullServerName();
    return paths;
}

void HandoverServer::accept(QLocalServer* server, ExchangeQueue* queue)
{
    while (QLocalSocket* client = server->nextPendingConnection()) {
        client->write(versionLine());
        connect(client, &QLocalSocket::readyRead, this,
                [this, client, queue] { readRequests(client, queue); });
        // A script gone away is waiting for nothing: nothing more is sent for it.
        connect(client, &QLocalSocket::disconnected, this, [this, client] {
            cancel(client, std::nullopt);
            client->deleteLater();
        });
    }
}

void HandoverServer::readRequests(QLocalSocket* client, ExchangeQueue* queue)
{
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
