#include "link/port_failure.h"

#include <QSerialPortInfo>

bool deviceNameTooLong(const QString&)
{
    return false; // a COM port's name is short; a long one is simply not found
}

bool deviceMissing(const QString& device)
{
    return QSerialPortInfo(device).isNull();
}

QString noSuchDeviceAdvice()
{
    return QStringLiteral("no such port. Check the cable or adapter and look up its COM number in "
                          "Device Manager (Ports (COM & LPT)), or choose another port with "
                          "--com1/--com2.");
}

QString accessRefusedAdvice(const QString&)
{
    // Windows refuses a COM port that another program holds open; nothing else refuses it.
    return QStringLiteral("the port is in use by another program.");
}
