#pragma once
// Serial over the network. TcpTransport is a raw TCP port: bytes as they are, no line
// settings. Rfc2217Transport adds Telnet COM Port Control on the same socket: the line settings
// are negotiated before any data goes out, and every byte is escaped both ways.
// A line is open only when it is ready: connected and, for RFC 2217, every setting confirmed by
// the server with the value asked for. Nothing written before that is kept for later. Output
// the server does not take within kDrainTimeoutMs, or more than kMaxUnsent bytes waiting for
// it, is a lost line: what waits would reach the projector late, as stale commands.
#include "link/telnet_codec.h"
#include "link/transport.h"

#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTimer>

class TcpTransport : public Transport
{
    Q_OBJECT
  public:
    static constexpr int kConnectTimeoutMs = 3000;
    static constexpr int kDrainTimeoutMs = 5000;
    static constexpr qint64 kMaxUnsent = 256 * 1024;

    TcpTransport(const QString& host, quint16 port, QObject* parent = nullptr);
    ~TcpTransport() override;

    LinkResult open(const LineSettings& line) override;
    void openLater(const LineSettings& line) override;
    void close() override;
    bool isOpen() const override { return state_ == State::Ready; }
    LinkResult applySettings(const LineSettings&) override { return std::nullopt; }
    LinkResult write(const QByteArray& bytes) override;
    QByteArray readAll() override;

  protected:
    enum class State { Closed, Connecting, Negotiating, Ready };

    // Starts connecting with these settings.
    virtual void start(const LineSettings& line);
    // The connection is up: a raw port is ready at once.
    virtual void onConnected() { becomeReady(); }
    // Bytes are waiting on the socket.
    virtual void onReadyRead() { Q_EMIT dataArrived(); }
    // Data for the line as it goes on the wire.
    virtual QByteArray encode(const QByteArray& bytes) { return bytes; }

    void becomeReady();
    void fail(LinkFailure::Kind kind, const QString& detail = {})
    {
        LinkFailure failure;
        failure.kind = kind;
        failure.detail = detail;
        fail(failure);
    }
    void fail(LinkFailure failure);
    void send(const QByteArray& wire);

    QTcpSocket socket_;
    QTimer timer_; // connect, then negotiation time-out
    State state_ = State::Closed;

  private:
    void onSocketError(QAbstractSocket::SocketError error);
    void onTimeOut();
    // Written and not yet taken by the server: in our buffer and in the system's.
    qint64 unsent() const;
    void watchDrain();

    QString host_;
    quint16 port_;
    bool waiting_ = false; // open() is waiting: a failure is returned, not raised
    LinkResult openFailure_;
    QTimer drainTimer_;
    QElapsedTimer sinceDrained_; // since the server last took some of our output
    qint64 written_ = 0;         // bytes handed to the socket
    qint64 drained_ = 0;         // of them, taken by the server when last looked
};

class Rfc2217Transport : public TcpTransport
{
    Q_OBJECT
  public:
    // From connected to every line setting acknowledged.
    static constexpr int kNegotiationTimeoutMs = 2000;

    using TcpTransport::TcpTransport;
    LinkResult applySettings(const LineSettings& line) override;
    QByteArray readAll() override;

    // The COM-PORT-OPTION form of the window's line settings.
    static TelnetLine telnetLine(const LineSettings& line);

  protected:
    void start(const LineSettings& line) override;
    void onConnected() override;
    void onReadyRead() override;
    QByteArray encode(const QByteArray& bytes) override { return TelnetCodec::escape(bytes); }

  private:
    // False when the server broke the protocol: the transport has failed.
    bool checkServer();

    TelnetCodec codec_;
    TelnetLine line_;
    bool lineSent_ = false;
    QByteArray inbox_;
};
