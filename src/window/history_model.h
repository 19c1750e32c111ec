#pragma once
// The History window's table over the exchange history: time, Δ, direction, sender, text, decoded
// status.
// One row per entry as HistoryRows folds them; no copy of the entries is made.
#include "history/history_rows.h"

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QTimer>

class HistoryModel : public QAbstractTableModel
{
    Q_OBJECT
  public:
    enum Column {
        TimeColumn,
        DeltaColumn,
        DirectionColumn,
        SenderColumn,
        TextColumn,
        StatusColumn,
        ColumnCount
    };

    explicit HistoryModel(const ExchangeHistory& history, QObject* parent = nullptr);

    // Line characters in hex instead of the monitor's rendering.
    void setHexBytes(bool hex);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Takes in the entries that came since the last time. New entries are taken in together a
    // moment after they come, so that a flood redraws the table a few times a second, not per
    // piece.
    void flush();
    static constexpr int kBatchMs = 100;

    QString cellText(int row, int column) const;
    // The row's cells as a technician pastes them into a report: separated by tabs.
    QString rowText(int row) const;
    QStringList rowCells(int row) const;
    // The log's lines of the entries behind the row: a folded run gives every exchange in it.
    QStringList logLines(int row) const;
    // The filter: the command, the reply, the status or the sender holds `needle` (case ignored).
    bool matches(int row, const QString& needle) const;

  private:
    void onCleared();
    QString textCell(const HistoryRow& row) const;
    QString statusCell(const HistoryRow& row) const;
    QString foldedOutcome(const HistoryRow& row) const;

    const ExchangeHistory& history_;
    HistoryRows rows_;
    int count_ = 0;     // the rows the views have been told about
    quint64 taken_ = 0; // entries before this one are in rows_
    QTimer batch_;
    bool hex_ = false;
};

// Rows whose command, reply or status match the filter box.
class HistoryFilter : public QSortFilterProxyModel
{
    Q_OBJECT
  public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void setNeedle(const QString& needle);

  protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

  private:
    QString needle_;
};
