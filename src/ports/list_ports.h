#pragma once
// `zeva-control --list-ports`: the serial ports the system knows, so that a user can see what to
// pass to --com1 and --com2. Gathering (system) and formatting (pure) are apart, so the text can
// be checked with made-up ports.
#include <QList>
#include <QMultiHash>
#include <QString>
#include <QStringList>

struct PortRecord {
    QString path;          // /dev/ttyUSB0
    QString description;   // as the device reports it; may be empty
    QString maker;         // manufacturer; may be empty
    QString serialNumber;  // may be empty
    QStringList byIdLinks; // stable names under /dev/serial/by-id that lead to `path`
};

inline constexpr const char* kByIdDirectory = "/dev/serial/by-id";

// Link path by the canonical path of its target, for every link in `directory` whose target
// exists. A missing directory (no USB serial device plugged in) gives an empty result.
QMultiHash<QString, QString> byIdLinksIn(const QString& directory);

// The ports the serial library reports, joined with their by-id links; a link whose target the
// library did not report still gives a port of its own.
QList<PortRecord> systemPorts(const QString& byIdDirectory = QLatin1String(kByIdDirectory));

// The listing as printed: ports sorted by path (ttyS2 before ttyS10), known fields only, and a
// clear message when there is no port at all. Device-supplied texts are shown with control
// characters replaced, so that a device cannot send escape sequences to the terminal.
// `comDevices` are what COM1 and COM2 stand for: their ports are marked, and two closing lines
// name them (they may be network addresses or missing devices).
QString formatPortList(QList<PortRecord> ports, const QStringList& comDevices = {});
