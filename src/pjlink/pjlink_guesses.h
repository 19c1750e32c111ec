#pragma once
// Password guessing made slow: each wrong digest from an address makes that address's next
// refusal wait longer, doubling from kFirstMs up to kMostMs; an address forgets its guesses
// kForgetMs after its last one, or at once when it logs in.
#include <QHash>
#include <QString>

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
