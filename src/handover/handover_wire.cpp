#include "handover/handover_wire.h"

#include <QList>
#include <array>

namespace
{

constexpr QByteArrayView kVersionWord = "ZEVA-HANDOVER";

// clang-format off
constexpr std::array<std::pair<WireKind, QByteArrayView>, 5> kKindWords{{
    {WireKind::Send,    "SEND"},
    {WireKind::Cancel,  "CANCEL"},
    {WireKind::Started, "STARTED"},
    {WireKind::Reply,   "REPLY"},
    {WireKind::NotHeld, "NOTHELD"},
}};
constexpr std::array<std::pair<ExchangeOutcome, QByteArrayView>, 3> kOutcomeWords{{
    {ExchangeOutcome::Replied,     "REPLIED"},
    {ExchangeOutcome::TimedOut,    "TIMEDOUT"},
    {ExchangeOutcome::Interrupted, "INTERRUPTED"},
}};
// clang-format on

template <typename T, std::size_t N>
std::optional<T> fromWord(const std::array<std::pair<T, QByteArrayView>, N>& table,
                          const QByteArray& word)
{
    for (const auto& [value, w] : table)
        if (word == w) return value;
    return std::nullopt;
}

template <typename T, std::size_t N>
QByteArray toWord(const std::array<std::pair<T, QByteArrayView>, N>& table, T value)
{
    for (const auto& [v, word] : table)
        if (v == value) return word.toByteArray();
    return table.front().second.toByteArray();
}

QByteArray hex(const QString& text)
{
    return text.toLatin1().toHex();
}

QString unhex(const QList<QByteArray>& words, qsizetype at)
{
    return QString::fromLatin1(QByteArray::fromHex(words.value(at)));
}

} // namespace

QByteArray versionLine()
{
    return kVersionWord.toByteArray() + ' ' + QByteArray::number(kHandoverVersion) + '\n';
}

std::optional<int> parseVersionLine(const QByteArray& line)
{
    const QList<QByteArray> words = line.trimmed().split(' ');
    bool ok = false;
    const int version = words.value(1).toInt(&ok);
    if (words.size() != 2 || words.at(0) != kVersionWord || !ok) return std::nullopt;
    return version;
}

QByteArray encodeWire(const WireMessage& m)
{
    QByteArray line = toWord(kKindWords, m.kind) + ' ' + QByteArray::number(m.id);
    if (m.kind == WireKind::Send)
        line += ' ' + QByteArray::number(m.replyWindowMs) + ' ' + hex(m.command);
    if (m.kind == WireKind::Reply)
        line += ' ' + toWord(kOutcomeWords, m.answer.outcome) + ' ' +
                QByteArray::number(m.answer.ms) + ' ' + hex(m.answer.reply);
    return line + '\n';
}

std::optional<WireMessage> parseWire(const QByteArray& line)
{
    const QList<QByteArray> words = line.trimmed().split(' ');
    const std::optional<WireKind> kind = fromWord(kKindWords, words.value(0));
    bool ok = false;
    WireMessage m{};
    m.id = words.value(1).toULongLong(&ok);
    if (!kind || !ok) return std::nullopt;
    m.kind = *kind;
    if (m.kind == WireKind::Send) {
        m.replyWindowMs = words.value(2).toInt(&ok);
        if (!ok || m.replyWindowMs <= 0) return std::nullopt;
        m.command = unhex(words, 3);
    }
    if (m.kind == WireKind::Reply) {
        const std::optional<ExchangeOutcome> outcome = fromWord(kOutcomeWords, words.value(2));
        m.answer.ms = words.value(3).toLongLong(&ok);
        if (!outcome || !ok) return std::nullopt;
        m.answer.outcome = *outcome;
        m.answer.reply = unhex(words, 4);
    }
    return m;
}
