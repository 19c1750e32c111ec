#include "history/history_rows.h"

#include <algorithm>

HistoryRows::HistoryRows(const ExchangeHistory& history) : history_(history)
{
    reset();
}

void HistoryRows::reset()
{
    rows_.clear();
    base_ = 0;
    unitStart_ = 0;
    unitFolded_ = false;
    group_.reset();
    for (quint64 seq = history_.firstSeq(); seq < history_.endSeq(); ++seq)
        append(seq);
}

HistoryRows::TailChange HistoryRows::append(quint64 seq)
{
    const qsizetype oldSize = size();
    TailChange change{oldSize};
    const HistoryEntry& e = history_.entry(seq);
    const bool inUnit = unitStart_ != 0 && e.kind != EntryKind::Tx && e.exchange == unitStart_;
    if (unitStart_ != 0 && !inUnit) closeUnit(seq);
    // An exchange counted in the run that then gets one entry more no longer went the same way.
    if (inUnit && unitFolded_) unfold(seq, change);
    if (e.kind == EntryKind::Tx) {
        unitStart_ = seq;
        unitRow_ = absEnd();
    }
    placeRow(seq, &change);
    // Folded as soon as it matches, so that a run shows as one row while it goes on.
    if (unitStart_ != 0 && !unitFolded_) tryFold(seq + 1, change);
    return change;
}

void HistoryRows::touch(quint64 absIndex, TailChange& change) const
{
    change.from = std::min(change.from, qsizetype(absIndex - base_));
}

void HistoryRows::placeRow(quint64 seq, TailChange* change)
{
    HistoryRow* last = rows_.empty() ? nullptr : &rows_.back();
    if (history_.entry(seq).kind == EntryKind::Status && last && last->repeats == 1 &&
        last->statusSeq == 0 && last->lastSeq + 1 == seq &&
        history_.entry(last->seq).kind == EntryKind::Rx) {
        // Shown beside the piece it was decoded from.
        last->statusSeq = seq;
        last->lastSeq = seq;
        if (change) touch(absEnd() - 1, *change);
        return;
    }
    rows_.push_back(HistoryRow{seq, seq});
}

void HistoryRows::closeUnit(quint64 end)
{
    const quint64 start = std::exchange(unitStart_, 0);
    if (std::exchange(unitFolded_, false)) return; // counted in its run already
    if (unitRow_ < base_) {
        group_.reset(); // its rows were dropped with the oldest entries
        return;
    }
    // Any exchange can be the first of a run: the repeats of a hold follow their first press.
    group_ = Group{start, end, unitRow_, absEnd()};
}

void HistoryRows::tryFold(quint64 end, TailChange& change)
{
    if (!history_.entry(unitStart_).repeat || !group_ || group_->rowEnd != unitRow_ ||
        group_->rowIndex < base_ || !history_.contains(group_->firstUnit) ||
        !sameUnit(group_->firstUnit, group_->firstEnd, unitStart_, end))
        return;
    // The run's row stays; the rows of its first exchange and of this one give way to its count.
    const quint64 keep = group_->rowIndex + 1;
    touch(group_->rowIndex, change);
    rows_.erase(rows_.begin() + qsizetype(keep - base_), rows_.end());
    HistoryRow& row = abs(group_->rowIndex);
    row.repeats = ++group_->count;
    row.lastSeq = end - 1;
    row.unitEnd = group_->firstEnd;
    group_->rowEnd = keep;
    unitFolded_ = true;
}

void HistoryRows::unfold(quint64 seq, TailChange& change)
{
    unitFolded_ = false;
    if (group_->rowIndex >= base_) {
        touch(group_->rowIndex, change);
        HistoryRow& row = abs(group_->rowIndex);
        row.repeats = --group_->count;
        row.lastSeq = unitStart_ - 1;
        if (group_->count == 1) {
            // A run of one is shown as the exchange it is.
            row.unitEnd = 0;
            for (quint64 s = std::max(group_->firstUnit + 1, history_.firstSeq());
                 s < group_->firstEnd; ++s)
                placeRow(s);
        }
    }
    group_->rowEnd = absEnd();
    unitRow_ = absEnd();
    for (quint64 s = std::max(unitStart_, history_.firstSeq()); s < seq; ++s)
        placeRow(s);
}

bool HistoryRows::sameUnit(quint64 aStart, quint64 aEnd, quint64 bStart, quint64 bEnd) const
{
    if (aEnd - aStart != bEnd - bStart) return false;
    for (quint64 i = 0; i < aEnd - aStart; ++i) {
        const HistoryEntry& a = history_.entry(aStart + i);
        const HistoryEntry& b = history_.entry(bStart + i);
        if (a.kind != b.kind || !history_.sameText(a, b)) return false;
    }
    return true;
}

qsizetype HistoryRows::staleFrontRows() const
{
    const quint64 first = history_.firstSeq();
    qsizetype n = 0;
    while (n < size() && rows_[size_t(n)].seq < first)
        ++n;
    return n;
}

void HistoryRows::dropFront(qsizetype count)
{
    count = std::min(count, size());
    rows_.erase(rows_.begin(), rows_.begin() + count);
    base_ += quint64(count);
}
