#include "ports/default_devices.h"

#include "link/device_address.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QSet>
#include <algorithm>

namespace
{

QStringList entries(const QDir& dir, const QString& pattern)
{
    QStringList names =
        dir.entryList({pattern}, QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    return names;
}

} // namespace

bool numberedLess(const QString& a, const QString& b)
{
    const auto split = [](const QString& s) {
        qsizetype i = s.size();
        while (i > 0 && s.at(i - 1).isDigit())
            --i;
        return std::pair{s.left(i), s.mid(i)};
    };
    const auto [stemA, numA] = split(a);
    const auto [stemB, numB] = split(b);
    if (stemA != stemB) return stemA < stemB;
    if (numA.size() != numB.size()) return numA.size() < numB.size();
    return numA < numB;
}

QStringList serialDevicesIn(const QString& devDirectory)
{
    const QDir dev(devDirectory);
    QStringList found;
    QSet<QString> seen; // canonical paths
    const auto take = [&](const QString& path) {
        const QString canonical = QFileInfo(path).canonicalFilePath();
        if (canonical.isEmpty() || seen.contains(canonical)) return; // dead link or a repeat
        seen.insert(canonical);
        found << path;
    };
    const QDir byId(dev.filePath(QStringLiteral("serial/by-id")));
    QStringList links = entries(byId, QStringLiteral("*"));
    links.sort();
    for (const QString& name : links)
        take(byId.filePath(name));
    for (const char* pattern : {"ttyUSB*", "ttyACM*"}) {
        QStringList names = entries(dev, QLatin1String(pattern));
        std::sort(names.begin(), names.end(), numberedLess);
        for (const QString& name : names)
            take(dev.filePath(name));
    }
    take(fallbackDevices(devDirectory).first);
    return found;
}

DefaultDevices defaultDevices(const QString& devDirectory)
{
    const auto [com1, com2] = fallbackDevices(devDirectory);
#ifdef Q_OS_WIN
    // USB adapters (a port with a vendor id) first, by COM number; else COM1 and COM2.
    QStringList usb;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        if (info.hasVendorIdentifier()) usb << info.portName();
    std::sort(usb.begin(), usb.end(), numberedLess);
    return {usb.value(0, com1), usb.value(1, com2)};
#else
    const QStringList found = serialDevicesIn(devDirectory);
    return {found.value(0, com1), found.value(1, com2)};
#endif
}
