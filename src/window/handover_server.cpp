#include "window/handover_server.h"

#include "script/handover_socket.h"
#include "window/form1.h"

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>

namespace
{

constexpr int kRetryMs = 10;
// Beyond the reply window: Timer2 normally ends the exchange; this only catches a window that
// was stopped without ending (an adjuster released meanwhile).
constexpr int kGuardExtraMs = 1000;
constexpr int kLiveCheckMs = 200;

// A socket file whose panel still answers belongs to that panel; one that refuses is stale.
bool answers(const QString& path)
{
    QLocalSocket probe;
    probe.connectToServer(path);
    return probe.waitForConnected(kLiveCheckMs);
}

} // namespace

HandoverServer::HandoverServer(Form1& form, QObject* parent) : QObject(parent), form_(form)
{
    for (QTimer* timer : {&retry_, &guard_}) {
        timer->setTimerType(Qt::PreciseTimer);
        timer->setSingleShot(true);
    }
    retry_.setInterval(kRetryMs);
    connect(&retry_, &QTimer::timeout, this, &HandoverServer::pump);
    connect(&guard_, &QTimer::timeout, this, [this] { finish(true); });
    // Connected after the window's own handlers, so these run once RxBuffer holds the piece
    // and, at the end of the reply window, once the window has closed it.
    connect(&form_.MSComm1, &SerialComm::OnComm, this, &HandoverServer::onReceived);
    connect(&form_.Timer2, &QTimer::timeout, this, [this] {
        if (active_) finish(true);
    });
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
    connect(server, &QLocalServer::newConnection, this,
            [this, server, canonical] { accept(server, canonical); });
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

void HandoverServer::accept(QLocalServer* server, const QString& device)
{
    while (QLocalSocket* client = server->nextPendingConnection()) {
        connect(client, &QLocalSocket::readyRead, this,
                [this, client, device] { readRequests(client, device); });
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
    }
}

void HandoverServer::readRequests(QLocalSocket* client, const QString& device)
{
    while (client->canReadLine()) {
        const QList<QByteArray> words = client->readLine().trimmed().split(' ');
        if (words.size() < 2 || words.at(0) != kSendWord) continue;
        const int windowMs = words.at(1).toInt();
        const QString command =
            QString::fromLatin1(QByteArray::fromHex(words.size() > 2 ? words.at(2) : ""));
        if (windowMs <= 0 || !holds(device)) {
            client->write(kNotHeldLine.toByteArray());
            continue;
        }
        queue_.append({client, device, command, windowMs});
    }
    pump();
}

bool HandoverServer::holds(const QString& device) const
{
    const SerialComm& comm = form_.MSComm1;
    return comm.PortOpen() && canonicalDevice(comm.devicePath(comm.CommPort())) == device;
}

void HandoverServer::pump()
{
    if (active_ || queue_.isEmpty()) return;
    if (form_.exchangeUnderWay()) {
        retry_.start();
        return;
    }
    Request next = queue_.takeFirst();
    if (!next.client) return pump(); // the script went away while it waited
    if (!holds(next.device)) {
        next.client->write(kNotHeldLine.toByteArray());
        return pump();
    }
    active_ = next;
    seen_.clear();
    form_.sendHandedOver(next.command, next.replyWindowMs);
    replyFrom_ = form_.RxBuffer.size();
    clock_.start();
    guard_.start(next.replyWindowMs + kGuardExtraMs);
}

void HandoverServer::onReceived()
{
    if (!active_) return;
    if (form_.RxBuffer.size() < replyFrom_) replyFrom_ = 0; // emptied meanwhile (line lost)
    seen_ = form_.RxBuffer.mid(replyFrom_);
    const qsizetype cr = seen_.indexOf(QLatin1Char('\r'));
    if (cr < 0) return;
    seen_.truncate(cr + 1);
    finish(false);
}

void HandoverServer::finish(bool timedOut)
{
    guard_.stop();
    const Request done = *std::exchange(active_, std::nullopt);
    // A complete reply ends the reply window at once, so the next command need not wait out
    // the rest of it.
    if (!timedOut) form_.Timer2_Timer();
    if (done.client) {
        done.client->write(kReplyWord.toByteArray() + ' ' + (timedOut ? '1' : '0') + ' ' +
                           QByteArray::number(clock_.elapsed()) + ' ' + seen_.toLatin1().toHex() +
                           '\n');
        done.client->flush();
    }
    pump();
}
