// The exchange history beside the designed window: its window, its log, the port events it
// records, and the command entry's memory of what SEND sent.
#include "history/history_log.h"
#include "window/form1.h"
#include "window/history_window.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>

void Form1::connectHistory()
{
    // The monitor lines offer the History window, as Ctrl+H does.
    for (QLabel* line : {Label11.data(), Label12.data()}) {
        line->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(line, &QWidget::customContextMenuRequested, this, [this, line](const QPoint& at) {
            QMenu menu(this);
            QAction* item = menu.addAction(QStringLiteral("History\tCtrl+H"));
            item->setCheckable(true);
            item->setChecked(historyWindow_ && historyWindow_->isVisible());
            connect(item, &QAction::triggered, this, &Form1::toggleHistoryWindow);
            menu.exec(line->mapToGlobal(at));
        });
    }
}

HistoryWindow* Form1::historyWindow() const
{
    return historyWindow_;
}

void Form1::toggleHistoryWindow()
{
    if (!historyWindow_) {
        // Made on first use: a panel that never opens it pays nothing for the table.
        historyWindow_ = new HistoryWindow(history, this);
        connect(historyWindow_, &HistoryWindow::toggleRequested, this, &Form1::toggleHistoryWindow);
    }
    if (historyWindow_->isVisible()) {
        historyWindow_->hide();
        return;
    }
    historyWindow_->show();
    historyWindow_->raise();
    historyWindow_->activateWindow();
}

void Form1::attachLog(HistoryLog& log)
{
    log.attach(history);
    // The failure is found inside a transmission: the modal box waits until it has been handled.
    connect(&log, &HistoryLog::failed, this, &Form1::showWarning, Qt::QueuedConnection);
}

void Form1::notePortOpened()
{
    history.addPortOpened(QStringLiteral("COM%1 %2 %3")
                              .arg(MSComm1.CommPort())
                              .arg(MSComm1.devicePath(MSComm1.CommPort()), MSComm1.Settings()));
}

bool Form1::recallCommand(int keyCode)
{
    if (keyCode != Qt::Key_Up && keyCode != Qt::Key_Down) return false;
    if (QApplication::focusWidget() != Text1) return false;
    const std::optional<QString> text =
        keyCode == Qt::Key_Up ? sentCommands.older(Text1->text()) : sentCommands.newer();
    if (text) Text1->setText(*text);
    return true;
}
