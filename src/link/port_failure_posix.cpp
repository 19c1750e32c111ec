#include "link/port_failure.h"

#include "link/local_transport.h"

#include <QFile>
#include <QFileInfo>
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

} // namespace

bool deviceNameTooLong(const QString& device)
{
    struct stat st;
    return ::stat(QFile::encodeName(device).constData(), &st) != 0 && errno == ENAMETOOLONG;
}

bool deviceMissing(const QString& device)
{
    struct stat st;
    return ::stat(QFile::encodeName(device).constData(), &st) != 0 && errno == ENOENT;
}

QString noSuchDeviceAdvice()
{
    return QStringLiteral("no such device. Check the cable or adapter, or choose another port "
                          "with --com1/--com2.");
}

QString accessRefusedAdvice(const QString& device)
{
    if (lockFileNameLength(LocalTransport::resolvedPath(device)) > NAME_MAX)
        return QStringLiteral("the device name is too long for its lock file; give the device by "
                              "a shorter path or link.");
    if (!QFileInfo::exists(device) || ::access(QFile::encodeName(device), R_OK | W_OK) == 0)
        return QStringLiteral("the port is in use by another program.");
    return QStringLiteral("permission denied. Add your user to the dialout group (sudo adduser "
                          "$USER dialout) and log in again.");
}
