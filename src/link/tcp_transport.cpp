#include "link/tcp_transport.h"

#include "link/unsent_bytes.h"

namespace
{

constexpr int kDrainCheckMs = 500;

} // namespace

TcpTransport::TcpTransport(const QString& host, quint16 port, QObject* parent)
    : Transport(parent), host_(host), port_(port)
{
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setSingleShot(true);
    drainTimer_.setTimerType(Qt::PreciseTimer);
    drainTimer_.setInterval(kDrainCheckMs);
    socket_.setReadBufferSize(kInBufferSize);
    connect(&timer_, &QTimer::timeout, this, &TcpTransport::onTimeOut);
    connect(&drainTimer_, &QTimer::timeout, this, &TcpTransport::watchDrain);
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

LinkResult TcpTransport::open(const LineSettings& line)
{
    // The port is open when it can carry a command, as a local device is: the caller is
    // told here, not later, whether it is.
    waiting_ = true;
    openFailure_.reset();
    start(line);
    if (state_ == State::Connecting && !socket_.waitForConnected(kConnectTimeoutMs))
        fail(LinkFailure::Kind::NoAnswer);
    while (state_ == State::Negotiating) {
        const int left = int(timer_.remainingTime());
        if (left <= 0 || !socket_.waitForReadyRead(left)) fail(LinkFailure::Kind::Negotiation);
    }
    waiting_ = false;
    return std::exchange(openFailure_, std::nullopt);
}

void TcpTransport::openLater(const LineSettings& line)
{
    waiting_ = false;
    start(line);
}

void TcpTransport::start(const LineSettings&)
{
    close();
    state_ = State::Connecting;
    written_ = drained_ = 0;
    timer_.start(kConnectTimeoutMs);
    socket_.connectToHost(host_, port_);
}

void TcpTransport::close()
{
    state_ = State::Closed;
    timer_.stop();
    drainTimer_.stop();
    socket_.abort();
}

LinkResult TcpTransport::write(const QByteArray& bytes)
{
    // Nothing is kept for a line that is not ready: it would reach the projector late.
    if (state_ == State::Ready) send(encode(bytes));
    return std::nullopt;
}

QByteArray TcpTransport::readAll()
{
    if (!socket_.isOpen()) return {};
    return socket_.readAll();
}

void TcpTransport::becomeReady()
{
    state_ = State::Ready;
    timer_.stop();
    if (!waiting_) Q_EMIT ready();
}

void TcpTransport::send(const QByteArray& wire)
{
    const qint64 waiting = unsent();
    if (waiting > 0 && waiting + wire.size() > kMaxUnsent)
        return fail(LinkFailure::Kind::Stalled, QString::number(waiting));
    if (socket_.write(wire) != wire.size())
        return fail(LinkFailure::Kind::Network, socket_.errorString());
    written_ += wire.size();
    // Out now, not at the next turn of the event loop: a press reaches the line at once.
    socket_.flush();
    if (state_ == State::Closed || drainTimer_.isActive()) return;
    drained_ = written_ - unsent();
    sinceDrained_.start();
    drainTimer_.start();
}

qint64 TcpTransport::unsent() const
{
    return socket_.bytesToWrite() + socketUnsentBytes(socket_);
}

void TcpTransport::watchDrain()
{
    const qint64 waiting = unsent();
    if (waiting == 0) return drainTimer_.stop();
    if (const qint64 taken = written_ - waiting; taken > drained_) {
        drained_ = taken;
        sinceDrained_.start();
    } else if (sinceDrained_.hasExpired(kDrainTimeoutMs)) {
        fail(LinkFailure::Kind::Stalled);
    }
}

void TcpTransport::fail(LinkFailure failure)
{
    if (state_ == State::Closed) return; // one report per failure
    if (failure.kind == LinkFailure::Kind::Dropped && state_ != State::Ready)
        failure.kind = LinkFailure::Kind::ClosedEarly;
    close();
    if (waiting_)
        openFailure_ = failure;
    else
        Q_EMIT lost(failure);
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
        // A wait of open() that ran out; only the connection's own time-out is a failure.
        if (state_ == State::Connecting) fail(K::NoAnswer, socket_.errorString());
        return;
    default:
        return fail(K::Network, socket_.errorString());
    }
}

void TcpTransport::onTimeOut()
{
    if (state_ == State::Connecting) fail(LinkFailure::Kind::NoAnswer);
    if (state_ == State::Negotiating) fail(LinkFailure::Kind::Negotiation);
}

void Rfc2217Transport::start(const LineSettings& line)
{
    codec_ = TelnetCodec();
    line_ = telnetLine(line);
    lineSent_ = false;
    inbox_.clear();
    TcpTransport::start(line);
}

LinkResult Rfc2217Transport::applySettings(const LineSettings& line)
{
    line_ = telnetLine(line);
    // Before the server agreed to COM-PORT-OPTION the settings go with the negotiation. On an
    // open line the acknowledgements are checked as they come.
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
    if (!checkServer()) return;
    if (state_ == State::Negotiating) {
        if (!lineSent_ && codec_.comPortActive()) {
            send(codec_.lineCommands(line_));
            lineSent_ = true;
        }
        // SET-CONTROL is never awaited: servers backed by a pty do not answer it.
        if (lineSent_ && codec_.acksAwaited() == 0) becomeReady();
        return; // data before the line is ready answers nothing of ours
    }
    if (data.isEmpty() || state_ != State::Ready) return;
    inbox_ += data;
    Q_EMIT dataArrived();
}

bool Rfc2217Transport::checkServer()
{
    if (state_ == State::Closed) return false;
    if (codec_.overlong()) {
        fail(LinkFailure::Kind::Overlong);
        return false;
    }
    if (const std::optional<TelnetMismatch> m = codec_.mismatch()) {
        LinkFailure failure;
        failure.kind = LinkFailure::Kind::Mismatch;
        failure.setting = m->command;
        failure.asked = m->asked;
        failure.got = m->got;
        fail(failure);
        return false;
    }
    return true;
}
