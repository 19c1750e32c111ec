#include "link/serial_comm.h"

#include "link/device_address.h"
#include "link/local_transport.h"
#include "link/tcp_transport.h"

#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// The name of the lock file QtSerialPort takes for a device: "LCK.." and the path below /dev
// with every '/' made '_'.
qsizetype lockFileNameLength(const QString& device)
{
    QString name = device;
    if (name.startsWith(QLatin1String("/dev/"))) name.remove(0, 5);
    return QByteArrayLiteral("LCK..").size() + QFile::encodeName(name).size();
}

// errno of looking up the path, 0 when it exists.
int lookUpError(const QString& path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? 0 : errno;
}

} // namespace

SerialComm::SerialComm(QObject* parent) : QObject(parent)
{
    const auto [com1, com2] = fallbackDevices();
    setDevices(com1, com2);
    line_ = *parseLineSettings(settings_).settings;
    connect(&reconnector_, &Reconnector::attempt, this, &SerialComm::onReconnectAttempt);
    stable_.setTimerType(Qt::PreciseTimer);
    stable_.setSingleShot(true);
    stable_.setInterval(kStableMs);
    connect(&stable_, &QTimer::timeout, this, &SerialComm::onStable);
}

SerialComm::~SerialComm()
{
    reconnector_.stop();
    if (transport_) transport_->close();
}

void SerialComm::setDevices(const QString& com1, const QString& com2)
{
    devices_[0] = com1;
    devices_[1] = com2;
}

QString SerialComm::devicePath(int port) const
{
    return (port == 1 || port == 2) ? devices_[port - 1] : QString();
}

CommError SerialComm::setCommPort(int port)
{
    if (port != 1 && port != 2)
        return QStringLiteral("COM%1 is not a port of this panel.").arg(port);
    if (PortOpen()) return QStringLiteral("%1: the port is open; close it first.").arg(portLabel());
    endOutage(); // the operator has chosen: a lost line is not reopened behind them
    commPort_ = port;
    return std::nullopt;
}

CommError SerialComm::setSettings(const QString& settings)
{
    const LineSettingsResult parsed = parseLineSettings(settings);
    if (!parsed.settings) return parsed.error;
    settings_ = settings;
    line_ = *parsed.settings;
    if (!PortOpen()) return std::nullopt;
    if (LinkResult e = transport_->applySettings(line_)) return describe(*e);
    return std::nullopt;
}

CommError SerialComm::setPortOpen(bool open)
{
    endOutage();
    if (!open) {
        closeLine();
        return std::nullopt;
    }
    if (PortOpen()) return QStringLiteral("%1: the port is already open.").arg(portLabel());
    return this->open();
}

void SerialComm::endOutage()
{
    reconnector_.stop();
    stable_.stop();
    reopening_ = false;
    outage_ = false;
    attempt_ = 0;
}

void SerialComm::closeLine()
{
    if (!transport_) return; // closing a closed port is harmless
    if (!qobject_cast<TcpTransport*>(transport_) || !transport_->isOpen() || lingering_)
        return transport_->close();
    // Start-up closes and reopens the same port in one go: a ready connection waits for the
    // end of this turn, so that the reopening finds it instead of making a second one.
    lingering_ = true;
    lingerSettings_ = settings_;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (std::exchange(lingering_, false) && transport_) transport_->close();
        },
        Qt::QueuedConnection);
}

CommError SerialComm::open(bool wait)
{
    if (injectedFailure_) {
        const auto error = *injectedFailure_;
        injectedFailure_.reset();
        return describe(error, {});
    }
    const DeviceAddressResult address = parseDeviceAddress(devicePath(commPort_));
    if (!address.address) return QStringLiteral("%1: %2.").arg(portLabel(), address.error);
    if (!address.address->isNetwork() && lookUpError(address.address->path) == ENAMETOOLONG)
        return QStringLiteral("%1: the device path is too long for a file name; no device can "
                              "be named so.")
            .arg(portLabel());
    Transport* transport = transportFor(*address.address);
    if (std::exchange(lingering_, false)) {
        if (transport->isOpen() && lingerSettings_ == settings_) return std::nullopt;
        transport->close();
    }
    if (!wait)
        transport->openLater(line_);
    else if (LinkResult e = transport->open(line_))
        return describe(*e);
    return std::nullopt;
}

Transport* SerialComm::transportFor(const DeviceAddress& address)
{
    const QString device = devicePath(commPort_);
    if (transport_ && transportDevice_ == device) return transport_;
    if (transport_) {
        // It may be the sender of the signal being handled: let it go at the next turn.
        transport_->disconnect(this);
        transport_->close();
        transport_->deleteLater();
    }
    if (address.kind == DeviceAddress::Kind::Local)
        transport_ = new LocalTransport(address.path, this);
    else if (address.kind == DeviceAddress::Kind::RawTcp)
        transport_ = new TcpTransport(address.host, address.port, this);
    else
        transport_ = new Rfc2217Transport(address.host, address.port, this);
    transportDevice_ = device;
    connect(transport_, &Transport::dataArrived, this, [this] {
        commEvent_ = kEvReceive;
        Q_EMIT OnComm();
    });
    connect(transport_, &Transport::lost, this, &SerialComm::onLost);
    connect(transport_, &Transport::ready, this, &SerialComm::onReady);
    return transport_;
}

CommError SerialComm::Output(const QString& text)
{
    if (!PortOpen()) return QStringLiteral("%1: the port is not open.").arg(portLabel());
    QByteArray bytes(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        bytes[i] = c > 255 ? '?' : char(c);
    }
    if (LinkResult e = transport_->write(bytes)) return describe(*e);
    if (!lineClock_.isValid()) lineClock_.start();
    lineFreeAtNs_ =
        std::max(lineClock_.nsecsElapsed(), lineFreeAtNs_) + bytes.size() * nsPerCharacter();
    return std::nullopt;
}

qint64 SerialComm::OutBufferCount() const
{
    const qint64 held = transport_ ? transport_->bytesToWrite() : 0;
    if (!lineClock_.isValid()) return held;
    const qint64 perChar = nsPerCharacter();
    const qint64 onLine = (lineFreeAtNs_ - lineClock_.nsecsElapsed() + perChar - 1) / perChar;
    return std::max(held, onLine);
}

qint64 SerialComm::nsPerCharacter() const
{
    // A start bit, the data bits, a parity bit if any and the stop bits.
    const int bits = 1 + int(line_.dataBits) + (line_.parity == QSerialPort::NoParity ? 0 : 1) +
                     (line_.stopBits == QSerialPort::TwoStop ? 2 : 1);
    return qint64(bits) * 1'000'000'000 / qMax(1, line_.baud);
}

QString SerialComm::Input()
{
    commEvent_ = 0;
    QByteArray bytes = std::exchange(injectedInput_, {});
    if (transport_) bytes += transport_->readAll();
    return QString::fromLatin1(bytes);
}

void SerialComm::injectReceived(const QByteArray& bytes)
{
    injectedInput_ += bytes;
    commEvent_ = kEvReceive;
    Q_EMIT OnComm();
}

void SerialComm::onLost(const LinkFailure& failure)
{
    if (std::exchange(lingering_, false)) return; // closed already, for everyone
    stable_.stop();
    reopening_ = false;
    if (outage_) { // told once already: the history has the attempts
        Q_EMIT retryFailed(attempt_, describe(failure));
        reconnector_.retry();
        return;
    }
    // The system's text for a hang-up ("No such file or directory", "Input/output error")
    // names no cause a user can act on.
    Q_EMIT lineLost(
        failure.kind == LinkFailure::Kind::Serial
            ? describeLostLine(QStringLiteral("the device was unplugged or the other end hung up"))
            : describe(failure));
    if (!reopens_) return;
    outage_ = true;
    attempt_ = 0;
    startReconnecting();
}

void SerialComm::startReconnecting()
{
    const DeviceAddressResult address = parseDeviceAddress(devicePath(commPort_));
    if (!address.address) return;
    if (address.address->isNetwork())
        reconnector_.backOff();
    else
        reconnector_.watchPath(address.address->path);
}

void SerialComm::onReconnectAttempt()
{
    ++attempt_;
    reopening_ = true;
    // A local device opens or fails at once; a network address answers through the transport.
    if (CommError e = open(false)) {
        reopening_ = false;
        Q_EMIT retryFailed(attempt_, *e);
        reconnector_.retry();
    }
}

void SerialComm::onReady()
{
    if (!std::exchange(reopening_, false)) return;
    // The outage ends only when the line lasts: a server that accepts and hangs up at once
    // is one more failed attempt, with a longer pause after it.
    stable_.start();
    Q_EMIT reconnected();
}

void SerialComm::onStable()
{
    endOutage();
}

QString SerialComm::portLabel() const
{
    return QStringLiteral("COM%1 (%2)").arg(commPort_).arg(devicePath(commPort_));
}

QString SerialComm::describe(const LinkFailure& failure) const
{
    return failure.kind == LinkFailure::Kind::Serial ? describe(failure.serialError, failure.detail)
                                                     : describeNetwork(failure);
}

QString SerialComm::describeLostLine(const QString& cause) const
{
    // An attempt of an outage already told: its history row needs only the cause.
    if (outage_) return QStringLiteral("%1: the line was lost again (%2).").arg(portLabel(), cause);
    if (!reopens_)
        return QStringLiteral("%1: the line was lost (%2). The port has been closed.")
            .arg(portLabel(), cause);
    return QStringLiteral("%1: the line was lost (%2). The port has been closed; it is reopened "
                          "by itself when the line is back, or choose a port.")
        .arg(portLabel(), cause);
}

QString SerialComm::describeMismatch(const LinkFailure& failure) const
{
    // RFC 2217 codes of parity and stop bits, in the settings string's letters.
    const auto value = [&](quint32 v) {
        if (failure.setting == telnet::kSetParity && v >= 1 && v <= 5)
            return QString(QLatin1Char("NOEMS"[v - 1]));
        if (failure.setting == telnet::kSetStopSize && v == telnet::kStopOneAndHalf)
            return QStringLiteral("1.5");
        return QString::number(v);
    };
    static const char* const kNames[] = {"", "speed", "data bits", "parity", "stop bits"};
    const DeviceAddress address = *parseDeviceAddress(devicePath(commPort_)).address;
    return QStringLiteral("%1: %2 set the %3 to %4 instead of %5 (RFC 2217). Check the device "
                          "server's settings for this port.")
        .arg(portLabel(), address.hostPort(), QLatin1String(kNames[qBound(0, failure.setting, 4)]),
             value(failure.got), value(failure.asked));
}

QString SerialComm::describeNetwork(const LinkFailure& failure) const
{
    const DeviceAddress address = *parseDeviceAddress(devicePath(commPort_)).address;
    const QString label = portLabel();
    const QString hostPort = address.hostPort();
    switch (failure.kind) {
    case LinkFailure::Kind::NoAnswer:
        return QStringLiteral("%1: no answer from %2. Check the address and that the device "
                              "server is on.")
            .arg(label, hostPort);
    case LinkFailure::Kind::Refused:
        return QStringLiteral("%1: %2 refused the connection. Check the port number and that "
                              "the device server is running.")
            .arg(label, hostPort);
    case LinkFailure::Kind::UnknownHost:
        return QStringLiteral("%1: unknown host %2. Check the name.").arg(label, address.host);
    case LinkFailure::Kind::Network:
        return QStringLiteral("%1: %2 (%3).")
            .arg(label,
                 failure.detail.isEmpty() ? QStringLiteral("the connection failed")
                                          : failure.detail,
                 hostPort);
    default:
        return describeServer(failure, hostPort);
    }
}

// What the server did once connected.
QString SerialComm::describeServer(const LinkFailure& failure, const QString& hostPort) const
{
    const QString label = portLabel();
    switch (failure.kind) {
    case LinkFailure::Kind::Negotiation:
        return QStringLiteral("%1: %2 did not confirm the line settings (RFC 2217). Check that "
                              "the port serves RFC 2217, or use socket:// for a raw TCP port.")
            .arg(label, hostPort);
    case LinkFailure::Kind::Mismatch:
        return describeMismatch(failure);
    case LinkFailure::Kind::ClosedEarly:
        return QStringLiteral("%1: %2 closed the connection before the line was ready. A device "
                              "server does so when its serial device is missing or in use.")
            .arg(label, hostPort);
    case LinkFailure::Kind::Dropped:
        return describeLostLine(QStringLiteral("%1 closed the connection").arg(hostPort));
    case LinkFailure::Kind::Stalled:
        // Whatever waits would reach the projector late, as stale commands.
        if (!failure.detail.isEmpty())
            return describeLostLine(
                QStringLiteral("%1 stopped taking what is sent; %2 bytes were waiting for it")
                    .arg(hostPort, failure.detail));
        return describeLostLine(QStringLiteral("%1 has taken nothing of what was sent for %2 s")
                                    .arg(hostPort)
                                    .arg(TcpTransport::kDrainTimeoutMs / 1000));
    case LinkFailure::Kind::Overlong:
        return QStringLiteral("%1: %2 sent a Telnet sub-negotiation longer than %3 bytes; the "
                              "connection was ended.")
            .arg(label, hostPort)
            .arg(TelnetCodec::kMaxSubnegotiationLength);
    default:
        return QStringLiteral("%1: %2 failed.").arg(label, hostPort);
    }
}

QString SerialComm::describe(QSerialPort::SerialPortError error, const QString& detail) const
{
    const QString device = devicePath(commPort_);
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("%1: no such device. Check the cable or adapter, or choose another "
                              "port with --com1/--com2.")
            .arg(portLabel());
    case QSerialPort::UnsupportedOperationError: // the terminal settings could not be read
        return QStringLiteral("%1: not a serial port.").arg(portLabel());
    case QSerialPort::PermissionError:
        if (lockFileNameLength(LocalTransport::resolvedPath(device)) > NAME_MAX)
            return QStringLiteral("%1: the device name is too long for its lock file; give the "
                                  "device by a shorter path or link.")
                .arg(portLabel());
        if (!QFileInfo::exists(device) || ::access(QFile::encodeName(device), R_OK | W_OK) == 0)
            return QStringLiteral("%1: the port is in use by another program.").arg(portLabel());
        return QStringLiteral("%1: permission denied. Add your user to the dialout group "
                              "(sudo adduser $USER dialout) and log in again.")
            .arg(portLabel());
    case QSerialPort::OpenError:
        return QStringLiteral("%1: the port is already open.").arg(portLabel());
    default:
        return QStringLiteral("%1: %2.").arg(
            portLabel(), detail.isEmpty() ? QStringLiteral("unknown error") : detail);
    }
}
