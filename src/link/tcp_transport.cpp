#include "link/tcp_transport.h"

TcpTransport::TcpTransport(const QString& host, quint16 port, QObject* parent)
    : Transport(parent), host_(host), port_(port)
{
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setSingleShot(true);
    socket_.setReadBufferSize(kInBufferSize);
    connect(&timer_, &QTimer::timeout, this, &TcpTransport::onTimeOut);
    connect(&socket_, &QTcpSocket::connected, this, [this] {
        // Commands are a few bytes each: send them now, not when a segment fills.
        socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        onConnected();
    });
    connect(&socket_, &QTcpSocket::readyRead, this, [this] { onReadyRead(); });
    connect(&socket_, &QTcpSocket::errorOccurred, this, &TcpTransport::onSocketError);
    connect(&socket_, &QTcpSocket::disconnected, this,
            [this] { fail(LinkFailure::Kind::Dropped); });
}

TcpTransport::~TcpTransport()
{
    state_ = State::Closed; // nothing is reported while going away
    socket_.abort();
}

LinkResult TcpTransport::open(const LineSettings&)
{
    close();
    state_ = State::Connecting;
    timer_.start(kConnectTimeoutMs);
    socket_.connectToHost(host_, port_);
    return std::nullopt;
}

void TcpTransport::close()
{
    state_ = State::Closed;
    timer_.stop();
    queue_.clear();
    socket_.abort();
}

LinkResult TcpTransport::write(const QByteArray& bytes)
{
    if (state_ == State::Ready) {
        send(encode(bytes));
    } else if (state_ != State::Closed) {
        // Until the line is ready; past the limit a held key's repeats are dropped.
        if (queue_.size() + bytes.size() <= kMaxQueued) queue_ += bytes;
    }
    return std::nullopt;
}

QByteArray TcpTransport::readAll()
{
    return socket_.readAll();
}

void TcpTransport::becomeReady()
{
    state_ = State::Ready;
    timer_.stop();
    if (!queue_.isEmpty()) send(encode(std::exchange(queue_, {})));
    if (state_ == State::Ready) Q_EMIT ready();
}

void TcpTransport::send(const QByteArray& wire)
{
    if (socket_.write(wire) != wire.size())
        return fail(LinkFailure::Kind::Network, socket_.errorString());
    // Out now, not at the next turn of the event loop: a press reaches the line at once.
    socket_.flush();
}

void TcpTransport::fail(LinkFailure::Kind kind, const QString& detail)
{
    if (state_ == State::Closed) return; // one report per failure
    close();
    Q_EMIT lost({kind, QSerialPort::NoError, detail});
}

void TcpTransport::onSocketError(QAbstractSocket::SocketError error)
{
    using K = LinkFailure::Kind;
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return fail(K::Refused, socket_.errorString());
    case QAbstractSocket::HostNotFoundError:
        return fail(K::UnknownHost, socket_.errorString());
    case QAbstractSocket::RemoteHostClosedError:
        return fail(K::Dropped, socket_.errorString());
    case QAbstractSocket::SocketTimeoutError:
        return fail(K::NoAnswer, socket_.errorString());
    default:
        return fail(K::Network, socket_.errorString());
    }
}

void TcpTransport::onTimeOut()
{
    if (state_ == State::Connecting) fail(LinkFailure::Kind::NoAnswer);
    if (state_ == State::Negotiating) fail(LinkFailure::Kind::Negotiation);
}

LinkResult Rfc2217Transport::open(const LineSettings& line)
{
    codec_ = TelnetCodec();
    line_ = telnetLine(line);
    lineSent_ = false;
    inbox_.clear();
    return TcpTransport::open(line);
}

LinkResult Rfc2217Transport::applySettings(const LineSettings& line)
{
    line_ = telnetLine(line);
    // Before the server agreed to COM-PORT-OPTION the settings go with the negotiation.
    if (lineSent_ && state_ != State::Closed) send(codec_.lineCommands(line_));
    return std::nullopt;
}

TelnetLine Rfc2217Transport::telnetLine(const LineSettings& line)
{
    using namespace telnet;
    TelnetLine t;
    t.baud = uint32_t(line.baud);
    t.dataSize = uint8_t(line.dataBits);
    switch (line.parity) {
    case QSerialPort::OddParity:
        t.parity = kParityOdd;
        break;
    case QSerialPort::EvenParity:
        t.parity = kParityEven;
        break;
    case QSerialPort::MarkParity:
        t.parity = kParityMark;
        break;
    case QSerialPort::SpaceParity:
        t.parity = kParitySpace;
        break;
    default:
        t.parity = kParityNone;
        break;
    }
    t.stopSize = line.stopBits == QSerialPort::TwoStop          ? kStopTwo
                 : line.stopBits == QSerialPort::OneAndHalfStop ? kStopOneAndHalf
                                                                : kStopOne;
    return t;
}

void Rfc2217Transport::onConnected()
{
    state_ = State::Negotiating;
    timer_.start(kNegotiationTimeoutMs);
    send(codec_.greeting());
}

QByteArray Rfc2217Transport::readAll()
{
    // What was left on the socket while the inbox was full comes in at the next turn.
    if (socket_.bytesAvailable() > 0)
        QMetaObject::invokeMethod(this, &Rfc2217Transport::onReadyRead, Qt::QueuedConnection);
    return std::exchange(inbox_, {});
}

void Rfc2217Transport::onReadyRead()
{
    // As a serial port's input buffer: what the reader has not taken stays on the socket, and
    // TCP holds the sender back.
    const qint64 room = kInBufferSize - inbox_.size();
    if (room <= 0 || state_ == State::Closed) return;
    const QByteArray data = codec_.feed(socket_.read(room));
    if (const QByteArray replies = codec_.takeReplies(); !replies.isEmpty()) send(replies);
    if (state_ == State::Negotiating) {
        if (!lineSent_ && codec_.comPortActive()) {
            send(codec_.lineCommands(line_));
            lineSent_ = true;
        }
        // SET-CONTROL is never awaited: servers backed by a pty do not answer it.
        if (lineSent_ && codec_.acksAwaited() == 0) becomeReady();
    }
    if (data.isEmpty() || state_ == State::Closed) return;
    inbox_ += data;
    Q_EMIT dataArrived();
}
