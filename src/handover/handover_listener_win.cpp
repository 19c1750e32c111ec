#include "handover/handover_listener.h"

#include <QLocalServer>
#include <QLocalSocket>

// A named pipe: Qt gives it an access list that admits this user alone, and the pipe goes
// with the server, so nothing is left behind to take over.
struct HandoverListener::State {
    QLocalServer* server = nullptr;
};

HandoverListener::HandoverListener(QObject* parent)
    : QObject(parent), state_(std::make_unique<State>())
{
}

HandoverListener::~HandoverListener() = default;

std::optional<QString> HandoverListener::listen(const QString& path)
{
    auto* server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(path)) {
        const QString why = server->serverError() == QAbstractSocket::AddressInUseError
                                ? QStringLiteral("in use")
                                : server->errorString();
        delete server;
        return why;
    }
    path_ = path;
    state_->server = server;
    connect(server, &QLocalServer::newConnection, this, &HandoverListener::acceptAll);
    return std::nullopt;
}

void HandoverListener::acceptAll()
{
    while (QLocalSocket* client = state_->server->nextPendingConnection()) {
        client->setParent(this);
        Q_EMIT connected(client);
    }
}
