#include "link/local_transport.h"

#include "link/unsent_bytes.h"

#include <QFileInfo>
#include <QScopedValueRollback>

LocalTransport::LocalTransport(const QString& path, QObject* parent)
    : Transport(parent), path_(path)
{
    port_.setReadBufferSize(kInBufferSize);
    connect(&port_, &QSerialPort::readyRead, this, &Transport::dataArrived);
    connect(&port_, &QSerialPort::errorOccurred, this, &LocalTransport::onError);
}

LocalTransport::~LocalTransport()
{
    close();
}

QString LocalTransport::resolvedPath(const QString& path)
{
    const QString target = QFileInfo(path).canonicalFilePath();
    return target.isEmpty() ? path : target;
}

LinkResult LocalTransport::open(const LineSettings& line)
{
    QScopedValueRollback guard(busy_, true);
    port_.clearError();
    const QString device = resolvedPath(path_);
    // Before the port is opened: opening it would already change the holder's line settings.
    if (!lock_.take(device))
        return LinkFailure{LinkFailure::Kind::Serial, QSerialPort::PermissionError,
                           QStringLiteral("held by another process")};
    port_.setPortName(device);
    if (!port_.open(QIODevice::ReadWrite)) {
        const LinkFailure e = failure();
        lock_.release();
        return e;
    }
    lock_.holdExclusive();
    if (LinkResult e = applySettings(line)) {
        close();
        return e;
    }
    // Qt 6.4 hands out bytes that arrived before the port was opened: they belong to nobody.
    port_.clear();
    return std::nullopt;
}

void LocalTransport::close()
{
    QScopedValueRollback guard(busy_, true);
    port_.close();
    lock_.release();
}

LinkResult LocalTransport::applySettings(const LineSettings& line)
{
    // Ptys cannot do parity or flow lines; the speed and character size are what matter.
    if (!port_.setBaudRate(line.baud) || !port_.setDataBits(line.dataBits)) return failure();
    port_.setParity(line.parity);
    port_.setStopBits(line.stopBits);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    port_.clearError();
    return std::nullopt;
}

LinkResult LocalTransport::write(const QByteArray& bytes)
{
    if (port_.write(bytes) != bytes.size()) return failure();
    // Out now, not at the next turn of the event loop: a press reaches the line at once.
    port_.flush();
    return std::nullopt;
}

QByteArray LocalTransport::readAll()
{
    return port_.isOpen() ? port_.readAll() : QByteArray();
}

qint64 LocalTransport::bytesToWrite() const
{
    if (!port_.isOpen()) return 0;
    return port_.bytesToWrite() + driverUnsentBytes(port_);
}

void LocalTransport::onError(QSerialPort::SerialPortError error)
{
    // Qt 6.4 raises a hang-up hundreds of thousands of times a second and leaves the port open:
    // close it at the first report and say so once.
    if (busy_ || error == QSerialPort::NoError || error == QSerialPort::TimeoutError) return;
    if (!port_.isOpen()) return;
    const LinkFailure lostLine = failure();
    close();
    Q_EMIT lost(lostLine);
}
