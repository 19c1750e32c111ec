#include "line_settings.h"

#include <QStringList>

namespace
{

std::optional<QSerialPort::Parity> parityFromLetter(const QString& letter)
{
    const QString p = letter.trimmed().toUpper();
    if (p == QLatin1String("N")) return QSerialPort::NoParity;
    if (p == QLatin1String("E")) return QSerialPort::EvenParity;
    if (p == QLatin1String("O")) return QSerialPort::OddParity;
    if (p == QLatin1String("M")) return QSerialPort::MarkParity;
    if (p == QLatin1String("S")) return QSerialPort::SpaceParity;
    return std::nullopt;
}

std::optional<QSerialPort::StopBits> stopBitsFromText(const QString& text)
{
    const QString s = text.trimmed();
    if (s == QLatin1String("1")) return QSerialPort::OneStop;
    if (s == QLatin1String("1.5")) return QSerialPort::OneAndHalfStop;
    if (s == QLatin1String("2")) return QSerialPort::TwoStop;
    return std::nullopt;
}

LineSettingsResult fail(const QString& text, const QString& why)
{
    return {std::nullopt, QStringLiteral("Invalid port settings \"%1\": %2.").arg(text, why)};
}

} // namespace

LineSettingsResult parseLineSettings(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4) return fail(text, QStringLiteral("expected speed,parity,data,stop"));
    LineSettings s;
    bool ok = false;
    s.baud = parts[0].trimmed().toInt(&ok);
    if (!ok || s.baud <= 0) return fail(text, QStringLiteral("the speed is not a positive number"));
    const auto parity = parityFromLetter(parts[1]);
    if (!parity) return fail(text, QStringLiteral("the parity must be N, E, O, M or S"));
    s.parity = *parity;
    const int bits = parts[2].trimmed().toInt(&ok);
    if (!ok || bits < 5 || bits > 8) return fail(text, QStringLiteral("data bits must be 5 to 8"));
    s.dataBits = QSerialPort::DataBits(bits);
    const auto stop = stopBitsFromText(parts[3]);
    if (!stop) return fail(text, QStringLiteral("stop bits must be 1, 1.5 or 2"));
    s.stopBits = *stop;
    return {s, {}};
}

QString settingsForSpeed(qint32 baud)
{
    return QStringLiteral("%1,N,8,1").arg(baud);
}
