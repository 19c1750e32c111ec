#include "app/options.h"

#include "app/default_devices.h"
#include "link/device_address.h"

QString defaultDevice(int port)
{
    const DefaultDevices d = defaultDevices();
    return port == 1 ? d.com1 : d.com2;
}

Options parseOptions(const QStringList& args)
{
    Options o;
    const DefaultDevices defaults = defaultDevices();
    o.com1 = defaults.com1;
    o.com2 = defaults.com2;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        QString name = arg;
        QString value;
        bool hasValue = false;
        if (const qsizetype eq = arg.indexOf(QLatin1Char('='));
            arg.startsWith(QLatin1String("--")) && eq > 0) {
            name = arg.left(eq);
            value = arg.mid(eq + 1);
            hasValue = true;
        }
        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            o.help = true;
        } else if (name == QLatin1String("--version")) {
            o.version = true;
        } else if (name == QLatin1String("--list-ports") && !hasValue) {
            o.listPorts = true;
        } else if (name == QLatin1String("--com1") || name == QLatin1String("--com2") ||
                   name == QLatin1String("--log")) {
            const bool log = name == QLatin1String("--log");
            if (!hasValue && i + 1 < args.size()) value = args.at(++i);
            if (value.isEmpty()) {
                o.error = QStringLiteral("option %1 needs a %2")
                              .arg(name, log ? QStringLiteral("file name")
                                             : QStringLiteral("device path"));
                return o;
            }
            if (log) {
                o.logPath = value;
                continue;
            }
            if (const DeviceAddressResult a = parseDeviceAddress(value); !a.address) {
                o.error = QStringLiteral("option %1: %2").arg(name, a.error);
                return o;
            }
            (name == QLatin1String("--com1") ? o.com1 : o.com2) = value;
        } else {
            o.error = QStringLiteral("unknown option '%1'").arg(arg);
            return o;
        }
    }
    return o;
}

QString usageText()
{
    return QStringLiteral(
               "Usage: zeva-control [--com1 DEVICE] [--com2 DEVICE] [--log FILE]\n"
               "       zeva-control --list-ports\n"
               "Remote-control panel for the projector on a serial line.\n\n"
               "  --com1 DEVICE  device behind the COM1 option (here %1)\n"
               "  --com2 DEVICE  device behind the COM2 option (here %2)\n"
               "                 any path: /dev/ttyUSB0, /dev/serial/by-id/..., /dev/pts/N;\n"
               "                 socket://HOST:PORT for a raw TCP port, or\n"
               "                 rfc2217://HOST:PORT for a Telnet COM Port Control port\n"
               "                 (default: the first and second USB serial adapter found,\n"
               "                 else /dev/ttyS0 and /dev/ttyS1)\n"
               "  --log FILE     append every command, reply, status and port event to FILE,\n"
               "                 one line each (Ctrl+H shows them in the History window)\n"
               "  --list-ports   list the serial ports this system knows, and which COM1 and\n"
               "                 COM2 stand for, and exit\n"
               "  --help         show this help and exit\n"
               "  --version      show the version and exit\n")
        .arg(defaultDevice(1), defaultDevice(2));
}
