#pragma once
// The History window: the exchange history as a table, with a text/hex toggle, a filter, Copy,
// Save..., Clear and "Follow newest". A window of its own beside the panel, opened and closed with
// Ctrl+H; its place and size are not remembered.
#include <QWidget>

class ExchangeHistory;
class HistoryFilter;
class HistoryModel;
class QCheckBox;
class QLabel;
class QLineEdit;
class QTableView;
class QTimer;

// "5 rows, 6 entries, 1 older dropped": the count line, rows named only where they differ.
QString historyCountText(qsizetype rows, qsizetype entries, quint64 dropped);

class HistoryWindow : public QWidget
{
    Q_OBJECT
  public:
    explicit HistoryWindow(ExchangeHistory& history, QWidget* parent = nullptr);

    HistoryModel* model() const { return model_; }
    HistoryFilter* filter() const { return filter_; }
    QTableView* table() const { return table_; }
    QCheckBox* hexToggle() const { return hex_; }
    QCheckBox* followToggle() const { return follow_; }
    QLineEdit* filterBox() const { return filterBox_; }
    QLabel* countLabel() const { return count_; }

    // The selected rows, in order, one line each with the cells separated by tabs.
    QString selectedRowsText() const;
    void copySelection() const;
    // The rows shown, as the log writes their entries or as the table shows them in CSV; the
    // failure's sentence, or empty.
    enum class SaveFormat { Log, Csv };
    QString saveTo(const QString& path, SaveFormat format) const;
    void saveWithDialog();
    void clearHistory();
    void updateCount();

  Q_SIGNALS:
    void toggleRequested(); // Ctrl+H inside this window

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* buildToolbar();
    void setUpTable();
    void setFilter(const QString& needle);
    void followIfWanted();
    int deltaColumnWidth() const;

    ExchangeHistory& history_;
    HistoryModel* model_;
    HistoryFilter* filter_;
    QTableView* table_ = nullptr;
    QCheckBox* hex_ = nullptr;
    QCheckBox* follow_ = nullptr;
    QLineEdit* filterBox_ = nullptr;
    QLabel* count_ = nullptr;
    QTimer* countTimer_ = nullptr;
};
