#pragma once
// The rows the History window shows over the history: one row per entry, except that a status is
// shown beside the reply piece it was decoded from, and that the identical exchanges of one held
// adjuster (the same command, answered the same way) fold into the row of the first with a count.
// Everything changes at the end of the list, or at its start when the history drops entries.
#include "history/history.h"

#include <deque>
#include <optional>

struct HistoryRow {
    quint64 seq;           // the entry the row shows
    quint64 lastSeq;       // the newest entry it stands for
    quint64 statusSeq = 0; // a status shown beside a reply piece
    quint32 repeats = 1;   // more than one: a folded run of identical exchanges
    quint64 unitEnd = 0;   // folded row: end of the first exchange, the pattern of the others
};

class HistoryRows
{
  public:
    explicit HistoryRows(const ExchangeHistory& history);

    // Rows from `from` on were replaced.
    struct TailChange {
        qsizetype from = 0;
    };
    // Takes in the newest entry; entries must come in order.
    TailChange append(quint64 seq);
    // Rows at the start whose entry the history has dropped.
    qsizetype staleFrontRows() const;
    void dropFront(qsizetype count);
    void reset(); // rebuilt from the whole history

    qsizetype size() const { return qsizetype(rows_.size()); }
    const HistoryRow& at(qsizetype i) const { return rows_[size_t(i)]; }

  private:
    struct Group {
        quint64 firstUnit; // seq of the command of the first exchange
        quint64 firstEnd;  // end of that exchange's entries
        quint64 rowIndex;  // absolute index of its row
        quint64 rowEnd;    // absolute index after its rows
        quint32 count = 1;
    };
    quint64 absEnd() const { return base_ + rows_.size(); }
    HistoryRow& abs(quint64 index) { return rows_[size_t(index - base_)]; }
    void touch(quint64 absIndex, TailChange& change) const;
    void placeRow(quint64 seq, TailChange* change = nullptr);
    void closeUnit(quint64 end);
    void tryFold(quint64 end, TailChange& change);
    void unfold(quint64 seq, TailChange& change);
    bool sameUnit(quint64 aStart, quint64 aEnd, quint64 bStart, quint64 bEnd) const;

    const ExchangeHistory& history_;
    std::deque<HistoryRow> rows_;
    quint64 base_ = 0;        // absolute index of rows_.front()
    quint64 unitStart_ = 0;   // command of the exchange still open, 0 for none
    quint64 unitRow_ = 0;     // absolute index of that command's row
    bool unitFolded_ = false; // the open exchange went like the run's first and is counted in it
    std::optional<Group> group_;
};
