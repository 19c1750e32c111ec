#include "link/serial_comm.h"

#include "link/device_address.h"
#include "link/local_transport.h"
#include "link/port_failure.h"
#include "link/tcp_transport.h"

#include <QFile>
#include <algorithm>

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

CommError SerialComm::openWhenThere()
{
    const CommError failure = setPortOpen(true);
    const DeviceAddressResult address = parseDeviceAddress(devicePath(commPort_));
    if (!failure || !reopens_ || !address.address || address.address->isNetwork() ||
        !deviceMissing(address.address->path))
        return failure;
    // At boot an adapter often appears after its server has started.
    outage_ = true;
    attempt_ = 0;
    startReconnecting();
    return failure;
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
    if (!address.address->isNetwork() && deviceNameTooLong(address.address->path))
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
