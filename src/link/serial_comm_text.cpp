// The descriptions of SerialComm: every failure of the serial layer as the one sentence the
// operator, a script or the server's log reads.
#include "link/serial_comm.h"

#include "link/device_address.h"
#include "link/local_transport.h"
#include "link/port_failure.h"
#include "link/tcp_transport.h"

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
    if (serving_)
        return QStringLiteral("%1: the line was lost (%2). The port has been closed; the server "
                              "reopens it by itself when the line is back.")
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
        if (serving_)
            return QStringLiteral("%1: no such device yet. The server opens it when it appears.")
                .arg(portLabel());
        return portLabel() + QStringLiteral(": ") + noSuchDeviceAdvice();
    case QSerialPort::UnsupportedOperationError: // the terminal settings could not be read
        return QStringLiteral("%1: not a serial port.").arg(portLabel());
    case QSerialPort::PermissionError:
        return portLabel() + QStringLiteral(": ") + accessRefusedAdvice(device);
    case QSerialPort::OpenError:
        return QStringLiteral("%1: the port is already open.").arg(portLabel());
    default:
        return QStringLiteral("%1: %2.").arg(
            portLabel(), detail.isEmpty() ? QStringLiteral("unknown error") : detail);
    }
}
