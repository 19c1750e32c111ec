#include "ports/default_devices.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <algorithm>

namespace
{

// "ttyUSB2" before "ttyUSB10".
bool numberedLess(const QString& a, const QString& b)
{
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

QStringList entries(const QDir& dir, const QString& pattern)
{
    QStringList names =
        dir.entryList({pattern}, QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    return names;
}

} // namespace

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
    take(dev.filePath(QStringLiteral("ttyS0")));
    return found;
}

DefaultDevices defaultDevices(const QString& devDirectory)
{
#ifdef Q_OS_WIN
    Q_UNUSED(devDirectory);
    return {QStringLiteral("COM1"), QStringLiteral("COM2")};
#else
    const QStringList found = serialDevicesIn(devDirectory);
    const QDir dev(devDirectory);
    return {found.value(0, dev.filePath(QStringLiteral("ttyS0"))),
            found.value(1, dev.filePath(QStringLiteral("ttyS1")))};
#endif
}
