#pragma once
// Which devices COM1 and COM2 stand for when the command line does not say. On Linux: the first
// and second serial device found in this order: /dev/serial/by-id links (sorted), /dev/ttyUSB*,
// /dev/ttyACM*, then /dev/ttyS0; COM2 falls back to /dev/ttyS1. The folder that stands for /dev
// is a parameter, so a made-up tree can be searched.
#include <QString>
#include <QStringList>

struct DefaultDevices {
    QString com1;
    QString com2;
};

inline constexpr const char* kDevDirectory = "/dev";

// "ttyS2" before "ttyS10": the leading text, then the trailing number as a number.
bool numberedLess(const QString& a, const QString& b);
// The serial devices found, each once (a by-id link and its target count as one), in order.
QStringList serialDevicesIn(const QString& devDirectory = QLatin1String(kDevDirectory));
DefaultDevices defaultDevices(const QString& devDirectory = QLatin1String(kDevDirectory));
