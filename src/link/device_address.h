#pragma once
// What stands behind COM1 or COM2: a device path, a raw TCP port (socket://HOST:PORT: bytes as
// they are, no line settings) or a Telnet COM Port Control port (rfc2217://HOST:PORT: the line
// settings travel too). These are the forms other serial tools already use.
#include <QString>
#include <optional>
#include <utility>

struct DeviceAddress {
    enum class Kind { Local, RawTcp, Rfc2217 };
    Kind kind = Kind::Local;
    QString path;             // Local: the device path as given
    QString host;             // network: name or address, without brackets
    quint16 port = 0;         // network: 1..65535
    QString hostPort() const; // "HOST:PORT", IPv6 in brackets
    bool isNetwork() const { return kind != Kind::Local; }
};

struct DeviceAddressResult {
    std::optional<DeviceAddress> address;
    QString error; // why the text is not an address, when address is empty
};

DeviceAddressResult parseDeviceAddress(const QString& text);

// The device behind COM`port`: com1 for 1, com2 for 2.
inline const QString& portDevice(int port, const QString& com1, const QString& com2)
{
    return port == 1 ? com1 : com2;
}

// The device as every part names it: a symlink such as /dev/serial/by-id/... reads as its target;
// on Windows \\.\COM12 and com12 read as COM12.
QString canonicalDevice(const QString& device);

// The platform's first two serial ports, behind COM1 and COM2 when nothing better is known:
// ttyS0 and ttyS1 in `devDirectory`, or COM1 and COM2 on Windows.
std::pair<QString, QString> fallbackDevices(const QString& devDirectory = QStringLiteral("/dev"));
