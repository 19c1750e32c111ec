#include "link/device_address.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace
{

DeviceAddressResult fail(const QString& text, const QString& why)
{
    return {std::nullopt, QStringLiteral("'%1' is not a device address: %2").arg(text, why)};
}

} // namespace

QString DeviceAddress::hostPort() const
{
    const QString h =
        host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    return QStringLiteral("%1:%2").arg(h).arg(port);
}

DeviceAddressResult parseDeviceAddress(const QString& text)
{
    const qsizetype sep = text.indexOf(QLatin1String("://"));
    if (sep < 0) {
        if (text.isEmpty()) return fail(text, QStringLiteral("it is empty"));
        return {DeviceAddress{DeviceAddress::Kind::Local, text, {}, 0}, {}};
    }
    DeviceAddress a;
    const QString scheme = text.left(sep).toLower();
    if (scheme == QLatin1String("socket"))
        a.kind = DeviceAddress::Kind::RawTcp;
    else if (scheme == QLatin1String("rfc2217"))
        a.kind = DeviceAddress::Kind::Rfc2217;
    else
        return fail(text, QStringLiteral("unknown scheme '%1://'; use a device path, "
                                         "socket://HOST:PORT or rfc2217://HOST:PORT")
                              .arg(text.left(sep)));
    QString rest = text.mid(sep + 3);
    // The text is not repeated: it may hold a password.
    if (rest.contains(QLatin1Char('@')))
        return {std::nullopt,
                QStringLiteral("a device address takes no user name or password (the part "
                               "before '@'); write %1://HOST:PORT")
                    .arg(text.left(sep))};
    // A path after the port means nothing to a serial line: "HOST:PORT/" is a typing slip.
    if (rest.endsWith(QLatin1Char('/'))) {
        while (rest.endsWith(QLatin1Char('/')))
            rest.chop(1);
        return fail(text, QStringLiteral("a device address ends with its port number; write "
                                         "%1://%2 without the '/'")
                              .arg(text.left(sep), rest));
    }
    // "[::1]:7000" for an IPv6 address, "host:7000" otherwise.
    qsizetype colon = -1;
    if (rest.startsWith(QLatin1Char('['))) {
        const qsizetype close = rest.indexOf(QLatin1Char(']'));
        if (close < 0) return fail(text, QStringLiteral("the '[' of the host is not closed"));
        a.host = rest.mid(1, close - 1);
        colon = rest.indexOf(QLatin1Char(':'), close) == close + 1 ? close + 1 : -1;
    } else {
        colon = rest.lastIndexOf(QLatin1Char(':'));
        a.host = rest.left(colon);
    }
    if (colon < 0) return fail(text, QStringLiteral("no port; write HOST:PORT"));
    if (a.host.isEmpty() || a.host.contains(QLatin1Char('/')) || a.host.contains(QLatin1Char(' ')))
        return fail(text, QStringLiteral("no host; write HOST:PORT"));
    const QString portText = rest.mid(colon + 1);
    bool ok = !portText.isEmpty() && portText.size() <= 5;
    for (QChar c : portText)
        ok = ok && c.isDigit() && c.unicode() < 128;
    const int port = ok ? portText.toInt() : 0;
    if (!ok) return fail(text, QStringLiteral("the port '%1' is not a number").arg(portText));
    // Other tools read "07000" as octal or as 7000: say which was meant rather than guess.
    if (portText.size() > 1 && portText.startsWith(QLatin1Char('0')))
        return fail(
            text,
            QStringLiteral("the port '%1' starts with 0; write it as %2").arg(portText).arg(port));
    if (port < 1 || port > 65535)
        return fail(text, QStringLiteral("the port %1 is out of range (1 to 65535)").arg(port));
    a.port = quint16(port);
    return {a, {}};
}

std::pair<QString, QString> fallbackDevices(const QString& devDirectory)
{
#ifdef Q_OS_WIN
    Q_UNUSED(devDirectory);
    return {QStringLiteral("COM1"), QStringLiteral("COM2")};
#else
    const QString dir =
        devDirectory.endsWith(QLatin1Char('/')) ? devDirectory : devDirectory + QLatin1Char('/');
    return {dir + QLatin1String("ttyS0"), dir + QLatin1String("ttyS1")};
#endif
}

QString canonicalDevice(const QString& device)
{
#ifdef Q_OS_WIN
    static const QRegularExpression comPort(QStringLiteral(R"(^(?:\\\\\.\\)?(COM\d+)$)"),
                                            QRegularExpression::CaseInsensitiveOption);
    if (const QRegularExpressionMatch match = comPort.match(device); match.hasMatch())
        return match.captured(1).toUpper();
#endif
    const QString target = QFileInfo(device).canonicalFilePath();
    return target.isEmpty() ? device : target;
}
