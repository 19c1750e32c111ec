#pragma once
// The exchange history: every event of the line (a command sent, a reply piece received, a status
// decoded, a time-out, a port event) kept in order with its wall-clock time. The newest entries
// live in a ring of fixed capacity and their characters in one byte ring, both reserved once, so
// that adding an entry allocates nothing and the memory stays bounded however long the panel runs.
#include "status/decode.h"

#include <QByteArrayView>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringView>
#include <memory>

enum class EntryKind : quint8 {
    Tx,           // the command string as written to the line
    Rx,           // one piece of characters as received
    Status,       // the status line text the decoding wrote
    TimeOut,      // a reply window ended without a reply
    PortOpened,   // device and settings
    PortFailed,   // the failure's description
    LineLost,     // the open port failed under us
    Reconnected,  // opened again after a lost line
    SpeedChanged, // the new settings
    NotSent,      // the command just recorded did not go out: why
    Retry,        // a failed attempt to reopen a lost line: its number and cause
};

// The word for an entry's direction, in the log and in the History window.
QLatin1StringView directionName(EntryKind kind);
// Entries whose text is line characters (one byte each) rather than a message.
inline bool carriesBytes(EntryKind kind)
{
    return kind == EntryKind::Tx || kind == EntryKind::Rx;
}

struct HistoryEntry {
    qint64 timeMs;     // wall clock, milliseconds since the epoch
    qint64 deltaMs;    // since the previous entry, on the monotonic clock
    quint64 exchange;  // sequence number of the command this belongs to, 0 for none
    quint64 textStart; // where the text begins in the byte ring (ever-growing position)
    quint32 textSize;  // bytes: Latin-1 for line characters, UTF-8 for messages
    EntryKind kind;
    bool repeat;    // a command resent by a held adjuster's repeat
    quint16 source; // who sent a command (see ExchangeHistory::source), 0 for other entries
};

class ExchangeHistory : public QObject
{
    Q_OBJECT
  public:
    static constexpr qsizetype kCapacity = 100000;
    static constexpr qsizetype kTextBytes = 16 * 1024 * 1024;

    explicit ExchangeHistory(qsizetype capacity = kCapacity, qsizetype textBytes = kTextBytes,
                             QObject* parent = nullptr);
    ~ExchangeHistory() override;

    // The transaction routine's events. A piece received outside a reply window belongs to no
    // exchange; a status belongs to the piece that produced it.
    void addTx(QStringView command, bool repeat);
    // Who sends the next command added, for that one only; the operator unless said otherwise:
    // "script", "pjlink 192.0.2.7".
    void setNextSource(QStringView source);
    void addRx(QStringView piece, bool inReplyWindow);
    void addStatus(QStringView status);
    // The reply to `sent` (the command as sent, CR included) as far as it came: the status the
    // decoding makes of it, when it makes one. Returns what the decoding found.
    Decoded addDecoded(const QString& sent, QStringView reply);
    void addTimeOut(QStringView mark);
    // The command just added could not be written to the line.
    void addNotSent(QStringView reason);
    // Port events. An opening after a lost line is recorded as a reconnection.
    void addPortOpened(QStringView description);
    void addPortFailed(QStringView message);
    void addLineLost(QStringView message);
    void addRetry(int attempt, QStringView message);
    void addSpeedChanged(QStringView settings);
    void clear();

    // Sequence numbers start at 1; the entries kept are [firstSeq(), endSeq()).
    quint64 firstSeq() const { return end_ - quint64(size_); }
    quint64 endSeq() const { return end_; }
    qsizetype size() const { return size_; }
    bool contains(quint64 seq) const { return seq >= firstSeq() && seq < end_; }
    // Entries pushed out by newer ones since the start or the last clear().
    quint64 dropped() const { return dropped_; }

    const HistoryEntry& entry(quint64 seq) const { return entries_[seq % quint64(capacity_)]; }
    QByteArrayView bytes(const HistoryEntry& e) const;
    // Line characters as one QChar per byte; messages decoded from UTF-8.
    QString text(const HistoryEntry& e) const;
    bool sameText(const HistoryEntry& a, const HistoryEntry& b) const;
    // The sender of a command ("operator", "script", "pjlink 192.0.2.7"); empty for the rest.
    QString source(const HistoryEntry& e) const;

  Q_SIGNALS:
    // A new entry is in; entries before firstSeq() may have been dropped to make room.
    void appended(quint64 seq);
    void cleared();

  private:
    // Reserves the entry and room for `bytes` bytes of text, dropping the oldest as needed.
    HistoryEntry& push(EntryKind kind, quint64 exchange, qsizetype bytes);
    void dropOldest();
    char* textAt(quint64 position) { return text_.get() + position % quint64(textCapacity_); }
    void addLatin1(EntryKind kind, QStringView chars, quint64 exchange, bool repeat,
                   quint16 source = 0);
    void addMessage(EntryKind kind, QStringView message, quint64 exchange = 0);

    qsizetype capacity_;
    qsizetype textCapacity_;
    std::unique_ptr<HistoryEntry[]> entries_;
    std::unique_ptr<char[]> text_;
    quint64 end_ = 1;
    qsizetype size_ = 0;
    quint64 dropped_ = 0;
    quint64 textHead_ = 0;
    quint64 exchange_ = 0;   // the command whose reply window is open or was last
    quint64 rxExchange_ = 0; // the exchange of the last piece received
    bool lineDown_ = false;
    // Senders by number, each kept once: a few words however long the program runs, unless
    // ever new clients come; past kMaxSources they are kept by their first word only.
    static constexpr qsizetype kMaxSources = 1024;
    QStringList sources_{QString(), QStringLiteral("operator"), QStringLiteral("script"),
                         QStringLiteral("pjlink")};
    quint16 nextSource_ = 1;
    QElapsedTimer clock_;
    qint64 lastMonotonicMs_ = -1;
};
