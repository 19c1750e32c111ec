#include "ports/list_ports.h"

#include "ports/default_devices.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <algorithm>

namespace
{

// Printable text only: a USB descriptor is whatever the device's maker put there.
QString printable(const QString& text)
{
    QString out = text;
    for (QChar& c : out)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            c = QLatin1Char('?');
    return out.trimmed();
}

void appendField(QString& out, const char* label, const QString& value)
{
    if (!value.isEmpty())
        out += QStringLiteral("  %1 %2\n")
                   .arg(QString::fromLatin1(label).leftJustified(14), printable(value));
}

// " (COM1)" when the port is what COM1 stands for, by its path or one of its links.
QString comMarks(const PortRecord& port, const QStringList& comDevices)
{
    QString marks;
    for (qsizetype i = 0; i < comDevices.size(); ++i) {
        const QString& device = comDevices.at(i);
        const QString canonical = QFileInfo(device).canonicalFilePath();
        if (device == port.path || port.byIdLinks.contains(device) ||
            (!canonical.isEmpty() && canonical == QFileInfo(port.path).canonicalFilePath()))
            marks += QStringLiteral(" (COM%1)").arg(i + 1);
    }
    return marks;
}

QString comLines(const QStringList& comDevices)
{
    QString out;
    for (qsizetype i = 0; i < comDevices.size(); ++i)
        out += QStringLiteral("COM%1 stands for %2\n").arg(i + 1).arg(printable(comDevices.at(i)));
    return out.isEmpty() ? out : QLatin1Char('\n') + out;
}

} // namespace

QMultiHash<QString, QString> byIdLinksIn(const QString& directory)
{
    QMultiHash<QString, QString> links;
    const QDir dir(directory);
    const QFileInfoList entries =
        dir.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (!entry.isSymLink()) continue;
        const QString target = entry.canonicalFilePath(); // empty when the target is gone
        if (!target.isEmpty()) links.insert(target, entry.absoluteFilePath());
    }
    return links;
}

QList<PortRecord> systemPorts(const QString& byIdDirectory)
{
    QMultiHash<QString, QString> links = byIdLinksIn(byIdDirectory);
    QList<PortRecord> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        PortRecord port{info.systemLocation(),
                        info.description(),
                        info.manufacturer(),
                        info.serialNumber(),
                        {}};
        const QString canonical = QFileInfo(port.path).canonicalFilePath();
        const QString key = canonical.isEmpty() ? port.path : canonical;
        port.byIdLinks = links.values(key);
        links.remove(key);
        ports << port;
    }
    for (const QString& target : links.uniqueKeys())
        ports << PortRecord{target, {}, {}, {}, links.values(target)};
    return ports;
}

QString formatPortList(QList<PortRecord> ports, const QStringList& comDevices)
{
    if (ports.isEmpty())
        return QStringLiteral("No serial ports found. Plug in the serial adapter and run "
                              "zeva-control --list-ports again, or pass any device path with "
                              "--com1 DEVICE.\n") +
               comLines(comDevices);
    std::sort(ports.begin(), ports.end(), [](const PortRecord& a, const PortRecord& b) {
        return numberedLess(a.path, b.path);
    });
    QString out = QStringLiteral("Serial ports (pass the path or its by-id link to --com1 or "
                                 "--com2):\n");
    for (PortRecord& port : ports) {
        out += QLatin1Char('\n') + printable(port.path) + comMarks(port, comDevices) +
               QLatin1Char('\n');
        appendField(out, "description:", port.description);
        appendField(out, "maker:", port.maker);
        appendField(out, "serial number:", port.serialNumber);
        port.byIdLinks.sort();
        for (const QString& link : port.byIdLinks)
            appendField(out, "by-id:", link);
    }
    return out + comLines(comDevices);
}
