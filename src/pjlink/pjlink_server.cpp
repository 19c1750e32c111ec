#include "pjlink/pjlink_server.h"

#include "exchange/exchange_queue.h"
#include "pjlink/pjlink_session.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace
{

// Bytes taken from the socket at a time: while a request is out, nothing more is read, and the
// client's further lines wait in the network's buffers, not in ours.
constexpr qint64 kReadBuffer = 1024;
// How long a refused client has to take its refusal before the connection is cut.
constexpr int kFlushMs = 1000;

const QString kSource = QStringLiteral("pjlink");

QString peerOf(const QTcpSocket& socket)
{
    QHostAddress peer = socket.peerAddress();
    bool v4 = false;
    if (const quint32 a = peer.toIPv4Address(&v4); v4) peer = QHostAddress(a);
    return peer.toString();
}

QString seconds(int ms)
{
    return QString::number(ms / 1000.0) + QStringLiteral(" s");
}

} // namespace

// One client: its socket, its conversation and the request under way.
class PjlinkConnection : public QObject
{
  public:
    PjlinkConnection(PjlinkServer& server, QTcpSocket* socket);
    ~PjlinkConnection() override;
    const QString& peer() const { return peer_; }

  private:
    void readRequests();
    bool handle(const PjlinkSession::Step& step);
    void refuse(const QByteArray& text);
    void note(const QString& what) { server_.note(source_, what); }
    void runNext();
    void finish(const QByteArray& answer);
    void write(const QByteArray& bytes);
    // Ends the connection; with `flush`, once what was written has gone out.
    void close(bool flush = false);

    PjlinkServer& server_;
    QTcpSocket* socket_;
    QString peer_;
    QString source_;
    PjlinkSession session_;
    QByteArray input_;
    QTimer idle_;
    PjlinkRequest request_;
    std::optional<PjlinkRun> run_;
    quint64 queued_ = 0; // the queue's id of the command out for run_, 0 for none
    bool closing_ = false;
    bool refused_ = false; // a wrong digest waits for its answer: nothing more is read
};

PjlinkConnection::PjlinkConnection(PjlinkServer& server, QTcpSocket* socket)
    : QObject(&server), server_(server), socket_(socket), peer_(peerOf(*socket)),
      source_(kSource + u' ' + peer_),
      session_(server.password_, server.password_.isEmpty() ? QByteArray() : pjlinkSalt())
{
    socket_->setParent(this);
    socket_->setReadBufferSize(kReadBuffer);
    idle_.setTimerType(Qt::PreciseTimer);
    idle_.setSingleShot(true);
    // Until the first request, or the login with a password: then as long as for each next one.
    idle_.setInterval(server.loginMs_);
    connect(&idle_, &QTimer::timeout, this, [this] {
        note(QStringLiteral("closed: nothing asked for %1").arg(seconds(idle_.interval())));
        close();
    });
    connect(socket_, &QTcpSocket::readyRead, this, &PjlinkConnection::readRequests);
    connect(socket_, &QTcpSocket::disconnected, this, [this] { close(); });
    note(QStringLiteral("connected"));
    write(session_.greeting());
    idle_.start();
}

PjlinkConnection::~PjlinkConnection()
{
    // Nothing is sent for a client that has gone.
    if (queued_ && server_.queue_) server_.queue_->cancel(queued_);
}

void PjlinkConnection::readRequests()
{
    while (!run_ && !closing_ && !refused_) {
        input_ += socket_->readAll();
        if (input_.isEmpty()) return;
        const bool wasIn = session_.authenticated();
        const PjlinkSession::Step step = session_.next(input_);
        if (!wasIn && session_.authenticated()) {
            note(QStringLiteral("logged in"));
            server_.guesses_.loggedIn(peer_);
            idle_.start(server_.idleMs_);
        }
        if (step.kind == PjlinkSession::Kind::NeedMore) continue;
        if (!handle(step)) return;
    }
}

// False when the connection ends here.
bool PjlinkConnection::handle(const PjlinkSession::Step& step)
{
    switch (step.kind) {
    case PjlinkSession::Kind::Request:
        request_ = step.request;
        idle_.setInterval(server_.idleMs_);
        if (!request_.row) {
            idle_.start();
            write(pjlinkAnswerLine(request_, request_.error));
            return true;
        }
        // Waiting for the queue is not silence: the client has asked and waits.
        idle_.stop();
        run_.emplace(*request_.row, server_.device_);
        runNext();
        return true;
    case PjlinkSession::Kind::Refused:
        refuse(step.text);
        return false;
    case PjlinkSession::Kind::Close:
        close();
        return false;
    case PjlinkSession::Kind::NeedMore:
    case PjlinkSession::Kind::Nothing:
        break;
    }
    return true;
}

void PjlinkConnection::refuse(const QByteArray& text)
{
    refused_ = true;
    idle_.stop();
    const int waitMs = server_.guesses_.wrong(peer_, server_.clock_.elapsed());
    note(QStringLiteral("refused: wrong password; answered in %1").arg(seconds(waitMs)));
    QTimer::singleShot(waitMs, Qt::PreciseTimer, this, [this, text] {
        write(text);
        close(true);
    });
}

void PjlinkConnection::runNext()
{
    const std::optional<QString> command = run_->nextCommand();
    if (!command) return finish(run_->answer());
    if (!server_.queue_) return finish("ERR3"); // the program is ending
    queued_ = server_.queue_->submit(
        *command, run_->row().replyWindowMs, source_, [this](const ExchangeAnswer& a) {
            queued_ = 0;
            const bool replied = a.outcome == ExchangeOutcome::Replied;
            run_->take(replied ? std::optional(a.reply) : std::nullopt);
            runNext();
        });
}

void PjlinkConnection::finish(const QByteArray& answer)
{
    write(pjlinkAnswerLine(request_, answer));
    run_.reset();
    idle_.start();
    // The lines that came meanwhile; from the event loop, so that a client that keeps the
    // queue busy cannot keep this call stack growing.
    QMetaObject::invokeMethod(this, &PjlinkConnection::readRequests, Qt::QueuedConnection);
}

void PjlinkConnection::write(const QByteArray& bytes)
{
    if (closing_) return;
    if (socket_->bytesToWrite() > PjlinkServer::kMaxUnread) return close();
    socket_->write(bytes);
}

void PjlinkConnection::close(bool flush)
{
    if (std::exchange(closing_, true)) return;
    server_.connections_.removeOne(this);
    idle_.stop();
    if (flush && socket_->state() == QAbstractSocket::ConnectedState) {
        connect(socket_, &QTcpSocket::disconnected, this, &QObject::deleteLater);
        QTimer::singleShot(kFlushMs, this, &QObject::deleteLater); // a client that never reads
        socket_->disconnectFromHost();
        return;
    }
    socket_->abort();
    deleteLater();
}

std::optional<PjlinkAddress> parsePjlinkAddress(const QString& text)
{
    static const QRegularExpression form(
        QStringLiteral("^(?:(\\[[0-9A-Fa-f:.]+\\]|[0-9.]+):)?([0-9]{1,5})$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch()) return std::nullopt;
    PjlinkAddress where;
    const uint port = m.captured(2).toUInt();
    if (port > 65535) return std::nullopt;
    where.port = quint16(port);
    QString host = m.captured(1);
    if (host.isEmpty()) return where;
    if (host.startsWith(u'[')) host = host.mid(1, host.size() - 2);
    if (!where.address.setAddress(host)) return std::nullopt;
    return where;
}

PjlinkServer::PjlinkServer(ExchangeQueue& queue, PjlinkDevice device, QByteArray password,
                           QObject* parent)
    : QObject(parent), queue_(&queue), device_(std::move(device)), password_(std::move(password)),
      server_(new QTcpServer(this))
{
    connect(server_, &QTcpServer::newConnection, this, &PjlinkServer::accept);
    connect(server_, &QTcpServer::acceptError, this, &PjlinkServer::acceptFailed);
    clock_.start();
}

PjlinkServer::~PjlinkServer()
{
    qDeleteAll(std::exchange(connections_, {}));
}

std::optional<QString> PjlinkServer::listen(const PjlinkAddress& where)
{
    if (server_->listen(where.address, where.port)) return std::nullopt;
    return server_->errorString();
}

quint16 PjlinkServer::port() const
{
    return server_->serverPort();
}

void PjlinkServer::accept()
{
    if (std::exchange(acceptFailing_, false))
        note(kSource, QStringLiteral("accepting connections again"));
    while (QTcpSocket* socket = server_->nextPendingConnection()) {
        const QString peer = peerOf(*socket);
        const auto fromPeer = std::count_if(connections_.cbegin(), connections_.cend(),
                                            [&](const auto* c) { return c->peer() == peer; });
        const bool full = connections_.size() >= kMaxClients;
        if (full || fromPeer >= maxPerAddress_) {
            note(kSource + u' ' + peer,
                 full ? QStringLiteral("refused: %1 clients already").arg(kMaxClients)
                      : QStringLiteral("refused: %1 clients from this address already")
                            .arg(fromPeer));
            socket->abort();
            socket->deleteLater();
            continue;
        }
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connections_.append(new PjlinkConnection(*this, socket));
    }
}

// QTcpServer stops accepting at an error: a lack of descriptors or memory passes, so it tries
// again after a pause, said once until an accept succeeds; a listener gone bad ends the server.
void PjlinkServer::acceptFailed(QAbstractSocket::SocketError error)
{
    if (error == QAbstractSocket::UnsupportedSocketOperationError || !server_->isListening()) {
        Q_EMIT failed(QStringLiteral("PJLink cannot accept connections any more"));
        return;
    }
    if (!std::exchange(acceptFailing_, true))
        note(kSource, QStringLiteral("cannot accept a connection (%1); trying again "
                                     "every %2")
                          .arg(error == QAbstractSocket::SocketResourceError
                                   ? QStringLiteral("out of file descriptors or memory")
                                   : QStringLiteral("error %1").arg(int(error)),
                               seconds(kAcceptRetryMs)));
    QTimer::singleShot(kAcceptRetryMs, server_, [this] { server_->resumeAccepting(); });
}

void PjlinkServer::note(const QString& source, const QString& what)
{
    if (const std::optional<QString> line = noteLimit_.admit(source, what, clock_.elapsed()))
        Q_EMIT noted(source, *line);
}

PjlinkStart startPjlink(ExchangeQueue& queue, const PjlinkSetup& setup, QObject* parent)
{
    const std::optional<PjlinkAddress> where = parsePjlinkAddress(setup.address);
    if (!where)
        return {nullptr,
                QStringLiteral("--pjlink wants [ADDR:]PORT, not \"%1\"").arg(setup.address)};
    const PjlinkDevice device{setup.name, "zeva-control " ZEVA_VERSION};
    auto* server = new PjlinkServer(queue, device, setup.password, parent);
    if (const std::optional<QString> failure = server->listen(*where)) {
        delete server;
        return {nullptr,
                QStringLiteral("cannot serve PJLink on %1: %2").arg(setup.address, *failure)};
    }
    return {server, {}};
}

QByteArray pjlinkName(const QString& name, const QString& device)
{
    const QString text = name.isEmpty() ? QFileInfo(device).fileName() : name;
    QByteArray ascii = text.left(kMaxPjlinkName).toLatin1();
    for (char& c : ascii)
        if (c < 0x20 || c > 0x7E) c = '?';
    return ascii;
}
