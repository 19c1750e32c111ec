#include "window/history_model.h"

#include "history/entry_text.h"
#include "history/history_log.h"
#include "status/display_form.h"

#include <QDateTime>

HistoryModel::HistoryModel(const ExchangeHistory& history, QObject* parent)
    : QAbstractTableModel(parent), history_(history), rows_(history), count_(int(rows_.size())),
      taken_(history.endSeq())
{
    batch_.setTimerType(Qt::PreciseTimer);
    batch_.setSingleShot(true);
    batch_.setInterval(kBatchMs);
    connect(&batch_, &QTimer::timeout, this, &HistoryModel::flush);
    connect(&history, &ExchangeHistory::appended, this, [this] {
        if (!batch_.isActive()) batch_.start();
    });
    connect(&history, &ExchangeHistory::cleared, this, &HistoryModel::onCleared);
}

void HistoryModel::flush()
{
    batch_.stop();
    if (taken_ >= history_.endSeq()) return;
    if (taken_ < history_.firstSeq()) {
        // Entries went before the table saw them: start over from what is kept.
        onCleared();
        return;
    }
    // Every step replaces the rows from some point to the end: together they replace from the
    // earliest such point.
    const qsizetype oldCount = count_;
    qsizetype from = oldCount;
    for (; taken_ < history_.endSeq(); ++taken_)
        from = qMin(from, rows_.append(taken_).from);
    const qsizetype newCount = rows_.size();
    const qsizetype kept = qMax<qsizetype>(0, qMin(oldCount, newCount) - from);
    if (oldCount > newCount) {
        beginRemoveRows({}, int(from + kept), int(oldCount - 1));
        count_ = int(newCount);
        endRemoveRows();
    } else if (newCount > oldCount) {
        beginInsertRows({}, int(from + kept), int(newCount - 1));
        count_ = int(newCount);
        endInsertRows();
    }
    if (kept > 0)
        Q_EMIT dataChanged(index(int(from), 0), index(int(from + kept - 1), ColumnCount - 1));
    if (const qsizetype stale = rows_.staleFrontRows()) {
        beginRemoveRows({}, 0, int(stale) - 1);
        rows_.dropFront(stale);
        count_ = int(rows_.size());
        endRemoveRows();
    }
}

void HistoryModel::onCleared()
{
    batch_.stop();
    beginResetModel();
    rows_.reset();
    count_ = int(rows_.size());
    taken_ = history_.endSeq();
    endResetModel();
}

void HistoryModel::setHexBytes(bool hex)
{
    if (hex == hex_) return;
    hex_ = hex;
    if (count_ > 0) Q_EMIT dataChanged(index(0, TextColumn), index(count_ - 1, TextColumn));
}

int HistoryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count_;
}

int HistoryModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const kTitles[ColumnCount] = {"Time",   "Δ",    "Dir",
                                                     "Sender", "Text", "Status"};
    return section >= 0 && section < ColumnCount ? QString::fromUtf8(kTitles[section]) : QVariant();
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= count_) return {};
    if (role == Qt::DisplayRole) return cellText(index.row(), index.column());
    if (role == Qt::ToolTipRole && index.column() == TimeColumn)
        return isoTime(history_.entry(rows_.at(index.row()).seq).timeMs);
    return {};
}

QString HistoryModel::cellText(int row, int column) const
{
    const HistoryRow& r = rows_.at(row);
    const HistoryEntry& e = history_.entry(r.seq);
    switch (column) {
    case TimeColumn:
        return QDateTime::fromMSecsSinceEpoch(e.timeMs).toString(QStringLiteral("HH:mm:ss.zzz"));
    case DeltaColumn:
        return deltaText(e.deltaMs);
    case DirectionColumn:
        // A piece outside any reply window answers no command.
        if (e.kind == EntryKind::Rx && e.exchange == 0) return QStringLiteral("RX idle");
        return directionName(e.kind);
    case SenderColumn:
        return history_.source(e);
    case TextColumn:
        return textCell(r);
    case StatusColumn:
        return statusCell(r);
    }
    return {};
}

QString HistoryModel::textCell(const HistoryRow& row) const
{
    const HistoryEntry& e = history_.entry(row.seq);
    if (e.kind == EntryKind::Status) return {};
    QString text =
        hex_ && carriesBytes(e.kind) ? ::hexBytes(history_.bytes(e)) : entryRendering(history_, e);
    if (row.repeats > 1) text += QStringLiteral(" ×%1").arg(row.repeats);
    return text;
}

QString HistoryModel::statusCell(const HistoryRow& row) const
{
    if (row.repeats > 1) return foldedOutcome(row);
    const quint64 seq = row.statusSeq ? row.statusSeq : row.seq;
    const HistoryEntry& e = history_.entry(seq);
    return e.kind == EntryKind::Status ? history_.text(e) : QString();
}

QString HistoryModel::foldedOutcome(const HistoryRow& row) const
{
    // Every exchange of the run went like the first: tell how that one went.
    QString reply;
    QString status;
    bool timedOut = false;
    for (quint64 seq = row.seq + 1; seq < row.unitEnd; ++seq) {
        const HistoryEntry& e = history_.entry(seq);
        if (e.kind == EntryKind::Rx) reply += history_.text(e);
        if (e.kind == EntryKind::Status) status = history_.text(e).trimmed();
        if (e.kind == EntryKind::TimeOut) timedOut = true;
    }
    QString outcome = !reply.isEmpty()
                          ? QStringLiteral("each answered ") + DisplayForm(reply).trimmed()
                      : timedOut ? QStringLiteral("each timed out")
                                 : QStringLiteral("each unanswered");
    if (!status.isEmpty()) outcome += QStringLiteral(", ") + status;
    return outcome;
}

QStringList HistoryModel::rowCells(int row) const
{
    QStringList cells;
    for (int column = 0; column < ColumnCount; ++column)
        cells << cellText(row, column);
    return cells;
}

QString HistoryModel::rowText(int row) const
{
    return rowCells(row).join(QLatin1Char('\t'));
}

QStringList HistoryModel::logLines(int row) const
{
    const HistoryRow& r = rows_.at(row);
    QStringList lines;
    for (quint64 seq = qMax(r.seq, history_.firstSeq()); seq <= r.lastSeq; ++seq)
        lines << HistoryLog::line(history_, history_.entry(seq));
    return lines;
}

bool HistoryModel::matches(int row, const QString& needle) const
{
    if (needle.isEmpty()) return true;
    const HistoryRow& r = rows_.at(row);
    const HistoryEntry& e = history_.entry(r.seq);
    const auto has = [&needle](const QString& s) {
        return s.contains(needle, Qt::CaseInsensitive);
    };
    return has(history_.text(e)) || has(textCell(r)) || has(statusCell(r)) ||
           has(history_.source(e));
}

void HistoryFilter::setNeedle(const QString& needle)
{
    needle_ = needle;
    invalidateRowsFilter();
}

bool HistoryFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    const auto* model = qobject_cast<const HistoryModel*>(sourceModel());
    return sourceParent.isValid() || !model || model->matches(sourceRow, needle_);
}
