#include "app/options.h"

QString defaultDevice(int port)
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(port);
#else
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
#endif
}

Options parseOptions(const QStringList& args)
{
    Options o;
    o.com1 = defaultDevice(1);
    o.com2 = defaultDevice(2);
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
        if ((name == QLatin1String("--help") || name == QLatin1String("-h")) && !hasValue) {
            o.help = true;
        } else if (name == QLatin1String("--version") && !hasValue) {
            o.version = true;
        } else if (name == QLatin1String("--list-ports") && !hasValue) {
            o.listPorts = true;
        } else if (name == QLatin1String("--com1") || name == QLatin1String("--com2")) {
            if (!hasValue) {
                if (i + 1 >= args.size()) {
                    o.error = QStringLiteral("option %1 needs a device path").arg(name);
                    return o;
                }
                value = args.at(++i);
            }
            if (value.isEmpty()) {
                o.error = QStringLiteral("option %1 needs a device path").arg(name);
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
               "Usage: zeva-control [--com1 DEVICE] [--com2 DEVICE]\n"
               "       zeva-control --list-ports\n"
               "Remote-control panel for the projector on a serial line.\n\n"
               "  --com1 DEVICE  device behind the COM1 option (default %1)\n"
               "  --com2 DEVICE  device behind the COM2 option (default %2)\n"
               "                 any path: /dev/ttyUSB0, /dev/serial/by-id/..., /dev/pts/N\n"
               "  --list-ports   list the serial ports this system knows and exit\n"
               "  --help         show this help and exit\n"
               "  --version      show the version and exit\n")
        .arg(defaultDevice(1), defaultDevice(2));
}
