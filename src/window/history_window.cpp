#include "window/history_window.h"

#include "history/entry_text.h"
#include "history/history.h"
#include "window/history_model.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QSaveFile>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace
{
constexpr int kCountRefreshMs = 200; // the count line follows a flood without redrawing per entry
// clang-format off
constexpr int kColumnWidths[HistoryModel::ColumnCount] = {
    // time  Δ    dir  sender text status
       96,   76,  96,  110,   300, 220};
// clang-format on
constexpr QSize kInitialSize(980, 420);
constexpr int kCellPadding = 12; // the table's margins either side of a cell's text
} // namespace

HistoryWindow::HistoryWindow(ExchangeHistory& history, QWidget* parent)
    : QWidget(parent, Qt::Window), history_(history), model_(new HistoryModel(history, this)),
      filter_(new HistoryFilter(this))
{
    setWindowTitle(QStringLiteral("History"));
    setAttribute(Qt::WA_QuitOnClose, false);
    filter_->setSourceModel(model_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buildToolbar());
    table_ = new QTableView(this);
    table_->setAccessibleName(QStringLiteral("Exchange history"));
    layout->addWidget(table_);
    setUpTable();
    countTimer_ = new QTimer(this);
    countTimer_->setTimerType(Qt::PreciseTimer);
    countTimer_->setSingleShot(true);
    countTimer_->setInterval(kCountRefreshMs);
    connect(countTimer_, &QTimer::timeout, this, &HistoryWindow::updateCount);
    connect(&history, &ExchangeHistory::appended, countTimer_, [this] {
        if (!countTimer_->isActive()) countTimer_->start();
    });
    connect(&history, &ExchangeHistory::cleared, this, &HistoryWindow::updateCount);
    auto* toggle = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_H), this);
    connect(toggle, &QShortcut::activated, this, &HistoryWindow::toggleRequested);
    updateCount();
    resize(kInitialSize);
}

QWidget* HistoryWindow::buildToolbar()
{
    auto* bar = new QWidget(this);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    filterBox_ = new QLineEdit(bar);
    filterBox_->setPlaceholderText(QStringLiteral("Filter: command, reply, status or sender"));
    filterBox_->setClearButtonEnabled(true);
    hex_ = new QCheckBox(QStringLiteral("Hex"), bar);
    follow_ = new QCheckBox(QStringLiteral("Follow newest"), bar);
    follow_->setChecked(true);
    auto* copy = new QPushButton(QStringLiteral("Copy"), bar);
    auto* save = new QPushButton(QStringLiteral("Save..."), bar);
    auto* clear = new QPushButton(QStringLiteral("Clear"), bar);
    filterBox_->setAccessibleName(QStringLiteral("Filter"));
    hex_->setToolTip(QStringLiteral("Show the bytes of commands and replies in hex"));
    copy->setToolTip(QStringLiteral("Copy the selected rows, cells separated by tabs (Ctrl+C)"));
    save->setToolTip(QStringLiteral("Save the rows shown: as the log writes them, or as CSV"));
    clear->setToolTip(QStringLiteral("Empty the history (the log keeps everything)"));
    follow_->setToolTip(QStringLiteral("Keep the newest row in view; scrolling up turns it off"));
    count_ = new QLabel(bar);
    for (QWidget* w :
         std::initializer_list<QWidget*>{filterBox_, hex_, copy, save, clear, follow_, count_})
        row->addWidget(w);
    row->setStretch(0, 1);
    connect(filterBox_, &QLineEdit::textChanged, this, &HistoryWindow::setFilter);
    connect(hex_, &QCheckBox::toggled, model_, &HistoryModel::setHexBytes);
    connect(copy, &QPushButton::clicked, this, &HistoryWindow::copySelection);
    connect(save, &QPushButton::clicked, this, &HistoryWindow::saveWithDialog);
    connect(clear, &QPushButton::clicked, this, &HistoryWindow::clearHistory);
    connect(follow_, &QCheckBox::toggled, this, &HistoryWindow::followIfWanted);
    return bar;
}

void HistoryWindow::setUpTable()
{
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setWordWrap(false);
    table_->setAlternatingRowColors(true);
    // Fixed sizes: measuring 100,000 rows to fit them would cost far more than opening.
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 4);
    table_->verticalHeader()->hide();
    for (int column = 0; column < HistoryModel::ColumnCount; ++column)
        table_->setColumnWidth(column, kColumnWidths[column]);
    table_->setColumnWidth(HistoryModel::DeltaColumn, deltaColumnWidth());
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->installEventFilter(this); // Ctrl+C
    QScrollBar* bar = table_->verticalScrollBar();
    // New rows move the end away: keep up with it while following.
    connect(bar, &QScrollBar::rangeChanged, this, &HistoryWindow::followIfWanted);
    // Scrolling up stops the following; coming back to the end resumes it.
    connect(bar, &QScrollBar::actionTriggered, this, [this, bar] {
        QTimer::singleShot(0, this,
                           [this, bar] { follow_->setChecked(bar->value() >= bar->maximum()); });
    });
}

int HistoryWindow::deltaColumnWidth() const
{
    // The widest gaps under 100 hours, in the table's own font: no gap is elided.
    int widest = 0;
    for (const qint64 ms : {59'999LL, 3'599'000LL, 359'999'000LL})
        widest = qMax(widest, table_->fontMetrics().horizontalAdvance(deltaText(ms)));
    return qMax(kColumnWidths[HistoryModel::DeltaColumn], widest + kCellPadding);
}

void HistoryWindow::setFilter(const QString& needle)
{
    // Without a filter the table reads the model itself: a proxy over 100,000 rows would double
    // the cost of opening and of every new entry.
    filter_->setNeedle(needle);
    QAbstractItemModel* wanted = needle.isEmpty() ? static_cast<QAbstractItemModel*>(model_)
                                                  : static_cast<QAbstractItemModel*>(filter_);
    if (table_->model() != wanted) table_->setModel(wanted);
    followIfWanted();
    updateCount();
}

bool HistoryWindow::eventFilter(QObject* watched, QEvent* event)
{
    // The table's own Ctrl+C copies one cell: it copies the selected rows here instead.
    if (watched == table_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        copySelection();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void HistoryWindow::followIfWanted()
{
    if (follow_->isChecked()) table_->scrollToBottom();
}

QString HistoryWindow::selectedRowsText() const
{
    QModelIndexList selected = table_->selectionModel()->selectedRows();
    std::sort(selected.begin(), selected.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QStringList lines;
    const bool filtered = table_->model() == filter_;
    for (const QModelIndex& index : selected)
        lines << model_->rowText(filtered ? filter_->mapToSource(index).row() : index.row());
    return lines.join(QLatin1Char('\n'));
}

void HistoryWindow::copySelection() const
{
    const QString text = selectedRowsText();
    if (!text.isEmpty()) QApplication::clipboard()->setText(text + QLatin1Char('\n'));
}

void HistoryWindow::clearHistory()
{
    history_.clear();
}

void HistoryWindow::updateCount()
{
    // Rows and entries differ where statuses sit beside their replies, held adjusters fold or a
    // filter hides rows: the count says what the reader sees, and the entries behind it.
    model_->flush();
    count_->setText(
        historyCountText(table_->model()->rowCount(), history_.size(), history_.dropped()));
}

QString historyCountText(qsizetype rows, qsizetype entries, quint64 dropped)
{
    const auto counted = [](quint64 n, const char* one, const char* many) {
        return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
    };
    QString text = counted(quint64(entries), "entry", "entries");
    if (rows != entries) text.prepend(counted(quint64(rows), "row", "rows") + QStringLiteral(", "));
    if (dropped > 0) text += QStringLiteral(", %1 older dropped").arg(dropped);
    return text;
}

void HistoryWindow::saveWithDialog()
{
    static const QString kLogFilter = QStringLiteral("Log, as --log writes it (*.log *.txt)");
    static const QString kCsvFilter = QStringLiteral("CSV, as the table shows it (*.csv)");
    QString chosen;
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Save the history"), QString(),
                                     kLogFilter + QStringLiteral(";;") + kCsvFilter, &chosen);
    if (path.isEmpty()) return;
    const bool csv =
        chosen == kCsvFilter || path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
    const QString error = saveTo(path, csv ? SaveFormat::Csv : SaveFormat::Log);
    if (!error.isEmpty()) QMessageBox::warning(this, QApplication::applicationName(), error);
}

QString HistoryWindow::saveTo(const QString& path, SaveFormat format) const
{
    model_->flush();
    const bool csv = format == SaveFormat::Csv;
    const QAbstractItemModel* shown = table_->model();
    QStringList lines;
    if (csv) {
        QStringList titles;
        for (int column = 0; column < HistoryModel::ColumnCount; ++column)
            titles << model_->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
        lines << csvRecord(titles);
    }
    for (int i = 0; i < shown->rowCount(); ++i) {
        const int row = shown == filter_ ? filter_->mapToSource(filter_->index(i, 0)).row() : i;
        if (csv)
            lines << csvRecord(model_->rowCells(row));
        else
            lines << model_->logLines(row);
    }
    // CSV ends its records with CR LF, as spreadsheets expect; the log its lines with LF.
    const QLatin1StringView end(csv ? "\r\n" : "\n");
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write((lines.join(end) + (lines.isEmpty() ? QString() : QString(end))).toUtf8());
        if (file.commit()) return {};
    }
    return QStringLiteral("The history could not be saved to %1 (%2).")
        .arg(path, file.errorString());
}
