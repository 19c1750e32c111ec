#include "history/entry_text.h"

#include "status/display_form.h"

#include <QDateTime>

namespace
{
constexpr qint64 kMinuteMs = 60'000;
constexpr qint64 kHourSeconds = 3600;
} // namespace

QString entryRendering(const ExchangeHistory& history, const HistoryEntry& e)
{
    const QString text = history.text(e);
    return carriesBytes(e.kind) ? DisplayForm(text) : text;
}

QString hexBytes(QByteArrayView bytes)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    if (bytes.isEmpty()) return {};
    QString out(bytes.size() * 3 - 1, QLatin1Char(' '));
    QChar* p = out.data();
    for (qsizetype i = 0; i < bytes.size(); ++i, p += 3) {
        const auto b = quint8(bytes[i]);
        p[0] = QLatin1Char(kDigits[b >> 4]);
        p[1] = QLatin1Char(kDigits[b & 15]);
    }
    return out;
}

QString isoTime(qint64 msSinceEpoch)
{
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(msSinceEpoch);
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

QString deltaText(qint64 deltaMs)
{
    // To the millisecond within a minute; a longer gap in minutes and seconds, then hours and
    // minutes, where milliseconds say nothing and would only widen the column.
    if (deltaMs < kMinuteMs)
        return QStringLiteral("+%1.%2 s")
            .arg(deltaMs / 1000)
            .arg(deltaMs % 1000, 3, 10, QLatin1Char('0'));
    const qint64 seconds = deltaMs / 1000;
    if (seconds < kHourSeconds)
        return QStringLiteral("+%1 min %2 s")
            .arg(seconds / 60)
            .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("+%1 h %2 min")
        .arg(seconds / kHourSeconds)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'));
}

QString csvRecord(const QStringList& cells)
{
    QStringList quoted;
    for (QString cell : cells)
        quoted << QLatin1Char('"') + cell.replace(QLatin1Char('"'), QLatin1String("\"\"")) +
                      QLatin1Char('"');
    return quoted.join(QLatin1Char(','));
}
