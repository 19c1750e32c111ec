#pragma once
// What the PJLink server keeps per client address.
//
// Password guessing made slow: each wrong digest from an address makes that address's next
// refusal wait longer, doubling from kFirstMs up to kMostMs; an address forgets its guesses
// kForgetMs after its last one, or at once when it logs in.
#include <QHash>
#include <QString>
#include <optional>

class PjlinkGuesses
{
  public:
    static constexpr int kFirstMs = 250;
    static constexpr int kMostMs = 4000;
    static constexpr qint64 kForgetMs = 60000;
    // Addresses remembered at most; past it the oldest go first.
    static constexpr qsizetype kMaxPeers = 1024;

    // Records a wrong digest from `peer` at `nowMs` (a monotonic clock): how long its refusal
    // waits.
    int wrong(const QString& peer, qint64 nowMs);
    void loggedIn(const QString& peer) { records_.remove(peer); }

  private:
    struct Record {
        int count = 0;
        qint64 lastMs = 0;
    };
    void forget(qint64 nowMs);

    QHash<QString, Record> records_;
};

// The journal kept readable under a flood: each address may note kBurst lines at once and
// kPerSecond a second after; the lines left out are counted in the next one that goes through.
class PjlinkNoteLimit
{
  public:
    static constexpr int kBurst = 20;
    static constexpr int kPerSecond = 2;

    // The line to note for `source` now, or nullopt while its share is spent.
    std::optional<QString> admit(const QString& source, const QString& what, qint64 nowMs);

  private:
    struct Share {
        qint64 tokensMs = kBurst * 1000; // in thousandths of a line
        qint64 lastMs = 0;
        int leftOut = 0;
    };
    QHash<QString, Share> shares_;
};
