// The simulator's line on a TCP port, for trying the panel with socket://HOST:PORT where no
// pseudo-terminal can be had (Windows) or wanted.
#include "sim_line.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <cstdio>

namespace
{

// More than this waiting for a client that does not read, and writes are dropped, as on a
// serial line nobody reads.
constexpr qint64 kMostQueued = 64 * 1024;

class SimTcpLine : public SimLine
{
  public:
    bool listen(const QString& host, quint16 port)
    {
        QObject::connect(&server_, &QTcpServer::newConnection, [this] { accept(); });
        if (server_.listen(QHostAddress(host), port)) return true;
        std::fprintf(stderr, "zeva-projector-sim: cannot listen on %s port %u: %s\n",
                     qPrintable(host), unsigned(port), qPrintable(server_.errorString()));
        return false;
    }

    QByteArray address() const override
    {
        const QString host = server_.serverAddress().toString();
        const QString shown = host.contains(':') ? '[' + host + ']' : host;
        return QStringLiteral("socket://%1:%2").arg(shown).arg(server_.serverPort()).toUtf8();
    }

    // Nobody connected: the bytes go nowhere, as on a line with nothing plugged in.
    qint64 write(const QByteArray& bytes, int) override
    {
        if (!client_) return bytes.size();
        if (client_->bytesToWrite() > kMostQueued) return 0;
        return client_->write(bytes);
    }

    QByteArray read() override { return client_ ? client_->readAll() : QByteArray(); }
    qint64 unread() const override { return client_ ? client_->bytesToWrite() : 0; }

    void hangUp() override
    {
        server_.close();
        if (client_) client_->close();
    }

  private:
    void accept()
    {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            if (client_) {
                std::fprintf(stderr, "refused a second client: the line is in use\n");
                socket->close();
                continue;
            }
            client_ = socket;
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this] { readable(); });
            // The next client is welcome at once, not only once this one is deleted.
            QObject::connect(socket, &QTcpSocket::disconnected, socket, [this, socket] {
                if (client_ == socket) client_ = nullptr;
            });
        }
    }

    QTcpServer server_;
    QPointer<QTcpSocket> client_; // cleared when it is deleted after its disconnection
};

} // namespace

std::unique_ptr<SimLine> listenTcpLine(const QString& host, quint16 port)
{
    auto line = std::make_unique<SimTcpLine>();
    return line->listen(host, port) ? std::move(line) : nullptr;
}
