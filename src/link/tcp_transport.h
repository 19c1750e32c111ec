#pragma once
// Serial over the network. TcpTransport is a raw TCP port: bytes as they are, no line
// settings. Rfc2217Transport adds Telnet COM Port Control on the same socket: the line settings
// are negotiated before any data goes out, and every byte is escaped both ways.
// Opening never blocks: it starts the connection and reports a failure through lost(); data
// written meanwhile waits, up to kMaxQueued bytes, until the line is ready.
#include "link/telnet_codec.h"
#include "link/transport.h"

#include <QTcpSocket>
#include <QTimer>

class TcpTransport : public Transport
{
    Q_OBJECT
  public:
    static constexpr int kConnectTimeoutMs = 3000;
    static constexpr int kMaxQueued = 4096;

    TcpTransport(const QString& host, quint16 port, QObject* parent = nullptr);
    ~TcpTransport() override;

    LinkResult open(const LineSettings& line) override;
    void close() override;
    bool isOpen() const override { return state_ != State::Closed; }
    LinkResult applySettings(const LineSettings&) override { return std::nullopt; }
    LinkResult write(const QByteArray& bytes) override;
    QByteArray readAll() override;

  protected:
    enum class State { Closed, Connecting, Negotiating, Ready };

    // The connection is up: a raw port is ready at once.
    virtual void onConnected() { becomeReady(); }
    // Bytes are waiting on the socket.
    virtual void onReadyRead() { Q_EMIT dataArrived(); }
    // Data for the line as it goes on the wire.
    virtual QByteArray encode(const QByteArray& bytes) { return bytes; }

    void becomeReady();
    void fail(LinkFailure::Kind kind, const QString& detail = {});
    void send(const QByteArray& wire);

    QTcpSocket socket_;
    QTimer timer_; // connect, then negotiation time-out
    State state_ = State::Closed;

  private:
    void onSocketError(QAbstractSocket::SocketError error);
    void onTimeOut();

    QString host_;
    quint16 port_;
    QByteArray queue_;
};

class Rfc2217Transport : public TcpTransport
{
    Q_OBJECT
  public:
    // From connected to every line setting acknowledged.
    static constexpr int kNegotiationTimeoutMs = 2000;

    using TcpTransport::TcpTransport;
    LinkResult open(const LineSettings& line) override;
    LinkResult applySettings(const LineSettings& line) override;
    QByteArray readAll() override;

    // The COM-PORT-OPTION form of the window's line settings.
    static TelnetLine telnetLine(const LineSettings& line);

  protected:
    void onConnected() override;
    void onReadyRead() override;
    QByteArray encode(const QByteArray& bytes) override { return TelnetCodec::escape(bytes); }

  private:
    TelnetCodec codec_;
    TelnetLine line_;
    bool lineSent_ = false;
    QByteArray inbox_;
};
