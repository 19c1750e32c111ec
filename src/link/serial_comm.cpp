#include "link/serial_comm.h"

#include <QFileInfo>
#include <QScopedValueRollback>
#include <cerrno>
#include <climits>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// The device itself, whatever link names it: two paths to one device then take the same lock.
QString resolvedDevice(const QString& path)
{
    const QString target = QFileInfo(path).canonicalFilePath();
    return target.isEmpty() ? path : target;
}

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
#ifdef Q_OS_WIN
    setDevices(QStringLiteral("COM1"), QStringLiteral("COM2"));
#else
    setDevices(QStringLiteral("/dev/ttyS0"), QStringLiteral("/dev/ttyS1"));
#endif
    line_ = *parseLineSettings(settings_).settings;
    port_.setReadBufferSize(kInBufferSize);
    connect(&port_, &QSerialPort::readyRead, this, [this] {
        commEvent_ = kEvReceive;
        Q_EMIT OnComm();
    });
    connect(&port_, &QSerialPort::errorOccurred, this, &SerialComm::onError);
}

SerialComm::~SerialComm()
{
    QScopedValueRollback guard(busy_, true);
    port_.close();
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
    if (port_.isOpen())
        return QStringLiteral("%1: the port is open; close it first.").arg(portLabel());
    commPort_ = port;
    return std::nullopt;
}

CommError SerialComm::setSettings(const QString& settings)
{
    const LineSettingsResult parsed = parseLineSettings(settings);
    if (!parsed.settings) return parsed.error;
    settings_ = settings;
    line_ = *parsed.settings;
    return port_.isOpen() ? applySettings() : std::nullopt;
}

CommError SerialComm::setPortOpen(bool open)
{
    if (!open) {
        QScopedValueRollback guard(busy_, true);
        port_.close(); // closing a closed port is harmless
        return std::nullopt;
    }
    if (port_.isOpen()) return QStringLiteral("%1: the port is already open.").arg(portLabel());
    return this->open();
}

CommError SerialComm::open()
{
    if (injectedFailure_) {
        const auto error = *injectedFailure_;
        injectedFailure_.reset();
        return describe(error);
    }
    if (lookUpError(devicePath(commPort_)) == ENAMETOOLONG)
        return QStringLiteral("%1: the device path is too long for a file name; no device can "
                              "be named so.")
            .arg(portLabel());
    QScopedValueRollback guard(busy_, true);
    port_.clearError();
    port_.setPortName(resolvedDevice(devicePath(commPort_)));
    if (!port_.open(QIODevice::ReadWrite)) return describe(port_.error());
    if (CommError e = applySettings()) {
        port_.close();
        return e;
    }
    // Qt 6.4 hands out bytes that arrived before the port was opened: they belong to nobody.
    port_.clear();
    return std::nullopt;
}

CommError SerialComm::applySettings()
{
    // Ptys cannot do parity or flow lines; the speed and character size are what matter.
    if (!port_.setBaudRate(line_.baud) || !port_.setDataBits(line_.dataBits))
        return describe(port_.error());
    port_.setParity(line_.parity);
    port_.setStopBits(line_.stopBits);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    port_.clearError();
    return std::nullopt;
}

CommError SerialComm::Output(const QString& text)
{
    if (!port_.isOpen()) return QStringLiteral("%1: the port is not open.").arg(portLabel());
    QByteArray bytes(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        bytes[i] = c > 255 ? '?' : char(c);
    }
    if (port_.write(bytes) != bytes.size()) return describe(port_.error());
    // Out now, not at the next turn of the event loop: a press reaches the line at once.
    port_.flush();
    return std::nullopt;
}

QString SerialComm::Input()
{
    commEvent_ = 0;
    QByteArray bytes = std::exchange(injectedInput_, {});
    if (port_.isOpen()) bytes += port_.readAll();
    return QString::fromLatin1(bytes);
}

void SerialComm::injectReceived(const QByteArray& bytes)
{
    injectedInput_ += bytes;
    commEvent_ = kEvReceive;
    Q_EMIT OnComm();
}

void SerialComm::onError(QSerialPort::SerialPortError error)
{
    // Qt 6.4 raises a hang-up hundreds of thousands of times a second and leaves the port open:
    // close it at the first report and say so once.
    if (busy_ || error == QSerialPort::NoError || error == QSerialPort::TimeoutError) return;
    if (!port_.isOpen()) return;
    // The system's text for a hang-up ("No such file or directory", "Input/output error")
    // names no cause a user can act on.
    const QString description =
        QStringLiteral("%1: the line was lost (the device was unplugged or the other end hung "
                       "up). The port has been closed; choose a port to open it again.")
            .arg(portLabel());
    {
        QScopedValueRollback guard(busy_, true);
        port_.close();
    }
    Q_EMIT lineLost(description);
}

QString SerialComm::portLabel() const
{
    return QStringLiteral("COM%1 (%2)").arg(commPort_).arg(devicePath(commPort_));
}

QString SerialComm::describe(QSerialPort::SerialPortError error) const
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
        if (lockFileNameLength(resolvedDevice(device)) > NAME_MAX)
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
        return QStringLiteral("%1: %2.").arg(portLabel(), port_.errorString());
    }
}
