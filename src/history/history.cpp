#include "history/history.h"

#include <QDateTime>
#include <QStringEncoder>
#include <algorithm>

namespace
{

// Ever-growing positions: a text that would run past the end of the ring starts at its beginning.
quint64 placeText(quint64 head, qsizetype size, qsizetype capacity)
{
    const quint64 offset = head % quint64(capacity);
    return offset + quint64(size) > quint64(capacity) ? head - offset + quint64(capacity) : head;
}

} // namespace

QLatin1StringView directionName(EntryKind kind)
{
    switch (kind) {
    case EntryKind::Tx:
        return QLatin1StringView("TX");
    case EntryKind::Rx:
        return QLatin1StringView("RX");
    case EntryKind::Status:
        return QLatin1StringView("STATUS");
    case EntryKind::TimeOut:
        return QLatin1StringView("TIMEOUT");
    case EntryKind::PortOpened:
        return QLatin1StringView("OPENED");
    case EntryKind::PortFailed:
        return QLatin1StringView("FAILED");
    case EntryKind::LineLost:
        return QLatin1StringView("LOST");
    case EntryKind::Reconnected:
        return QLatin1StringView("RECONNECTED");
    case EntryKind::SpeedChanged:
        return QLatin1StringView("SPEED");
    case EntryKind::NotSent:
        return QLatin1StringView("NOT SENT");
    case EntryKind::Retry:
        return QLatin1StringView("RETRY");
    }
    return QLatin1StringView("?");
}

ExchangeHistory::ExchangeHistory(qsizetype capacity, qsizetype textBytes, QObject* parent)
    : QObject(parent), capacity_(std::max<qsizetype>(1, capacity)),
      textCapacity_(std::max<qsizetype>(1, textBytes)),
      // Left uninitialised: the pages are touched only as entries arrive.
      entries_(std::make_unique_for_overwrite<HistoryEntry[]>(size_t(capacity_))),
      text_(std::make_unique_for_overwrite<char[]>(size_t(textCapacity_)))
{
    clock_.start();
}

ExchangeHistory::~ExchangeHistory() = default;

HistoryEntry& ExchangeHistory::push(EntryKind kind, quint64 exchange, qsizetype bytes)
{
    bytes = std::min(bytes, textCapacity_);
    const quint64 start = placeText(textHead_, bytes, textCapacity_);
    if (size_ == capacity_) dropOldest();
    while (size_ > 0 &&
           start + quint64(bytes) - entry(firstSeq()).textStart > quint64(textCapacity_))
        dropOldest();
    const qint64 now = clock_.elapsed();
    HistoryEntry& e = entries_[end_ % quint64(capacity_)];
    e.timeMs = QDateTime::currentMSecsSinceEpoch();
    e.deltaMs = lastMonotonicMs_ < 0 ? 0 : now - lastMonotonicMs_;
    e.exchange = exchange;
    e.textStart = start;
    e.textSize = quint32(bytes);
    e.kind = kind;
    e.repeat = false;
    e.source = 0;
    lastMonotonicMs_ = now;
    textHead_ = start + quint64(bytes);
    ++end_;
    ++size_;
    return e;
}

void ExchangeHistory::dropOldest()
{
    --size_;
    ++dropped_;
}

void ExchangeHistory::addLatin1(EntryKind kind, QStringView chars, quint64 exchange, bool repeat,
                                quint16 source)
{
    HistoryEntry& e = push(kind, exchange, chars.size());
    e.repeat = repeat;
    e.source = source;
    // One byte per character, as the serial layer writes them: beyond 8 bits goes out as '?'.
    char* out = textAt(e.textStart);
    for (quint32 i = 0; i < e.textSize; ++i) {
        const char16_t c = chars[i].unicode();
        out[i] = c > 255 ? '?' : char(c);
    }
    Q_EMIT appended(end_ - 1);
}

void ExchangeHistory::addMessage(EntryKind kind, QStringView message, quint64 exchange)
{
    const bool ascii =
        std::all_of(message.begin(), message.end(), [](QChar c) { return c.unicode() < 0x80; });
    QStringEncoder utf8(QStringEncoder::Utf8);
    HistoryEntry& e =
        push(kind, exchange, ascii ? message.size() : utf8.requiredSpace(message.size()));
    char* out = textAt(e.textStart);
    if (ascii) {
        for (quint32 i = 0; i < e.textSize; ++i)
            out[i] = char(message[i].unicode());
    } else if (e.textSize >= quint32(utf8.requiredSpace(message.size()))) {
        e.textSize = quint32(utf8.appendToBuffer(out, message) - out);
        textHead_ = e.textStart + e.textSize;
    } else {
        e.textSize = 0; // a message longer than the whole ring is not kept
    }
    Q_EMIT appended(end_ - 1);
}

void ExchangeHistory::addTx(QStringView command, bool repeat)
{
    exchange_ = end_;
    const quint16 source = std::exchange(nextSource_, quint16(1));
    addLatin1(EntryKind::Tx, command, exchange_, repeat, source);
}

void ExchangeHistory::setNextSource(QStringView source)
{
    qsizetype i = sources_.indexOf(source);
    if (i < 0 && sources_.size() < kMaxSources) {
        i = sources_.size();
        sources_.append(source.toString());
    }
    if (i < 0) i = qMax(0, sources_.indexOf(source.split(u' ').front()));
    nextSource_ = quint16(i);
}

QString ExchangeHistory::source(const HistoryEntry& e) const
{
    return sources_.value(e.source);
}

void ExchangeHistory::addRx(QStringView piece, bool inReplyWindow)
{
    rxExchange_ = inReplyWindow ? exchange_ : 0;
    addLatin1(EntryKind::Rx, piece, rxExchange_, false);
}

void ExchangeHistory::addStatus(QStringView status)
{
    addMessage(EntryKind::Status, status, rxExchange_);
}

Decoded ExchangeHistory::addDecoded(const QString& sent, QStringView reply)
{
    Decoded decoded = decodeExchange(sent, reply);
    if (decoded.status) addStatus(*decoded.status);
    return decoded;
}

void ExchangeHistory::addTimeOut(QStringView mark)
{
    addMessage(EntryKind::TimeOut, mark, exchange_);
}

void ExchangeHistory::addNotSent(QStringView reason)
{
    addMessage(EntryKind::NotSent, reason, exchange_);
}

void ExchangeHistory::addPortOpened(QStringView description)
{
    addMessage(lineDown_ ? EntryKind::Reconnected : EntryKind::PortOpened, description);
    lineDown_ = false;
}

void ExchangeHistory::addPortFailed(QStringView message)
{
    addMessage(EntryKind::PortFailed, message);
}

void ExchangeHistory::addLineLost(QStringView message)
{
    lineDown_ = true;
    addMessage(EntryKind::LineLost, message);
}

void ExchangeHistory::addRetry(int attempt, QStringView message)
{
    lineDown_ = true; // the line an attempt reopened went again
    addMessage(EntryKind::Retry, QStringLiteral("attempt %1: %2").arg(attempt).arg(message));
}

void ExchangeHistory::addSpeedChanged(QStringView settings)
{
    addMessage(EntryKind::SpeedChanged, settings);
}

void ExchangeHistory::clear()
{
    size_ = 0;
    dropped_ = 0;
    lastMonotonicMs_ = -1;
    Q_EMIT cleared();
}

QByteArrayView ExchangeHistory::bytes(const HistoryEntry& e) const
{
    return QByteArrayView(text_.get() + e.textStart % quint64(textCapacity_), e.textSize);
}

QString ExchangeHistory::text(const HistoryEntry& e) const
{
    return carriesBytes(e.kind) ? QString::fromLatin1(bytes(e)) : QString::fromUtf8(bytes(e));
}

bool ExchangeHistory::sameText(const HistoryEntry& a, const HistoryEntry& b) const
{
    return bytes(a) == bytes(b);
}
