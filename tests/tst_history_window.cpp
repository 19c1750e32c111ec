#include "form_harness.h"
#include "history/entry_text.h"
#include "status/display_form.h"
#include "window/history_model.h"
#include "window/history_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// The History window over a history, Ctrl+H and the monitor lines' menu on the panel, and the
// command entry's Up and Down.
class TestHistoryWindow : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void ctrlHTogglesAndCtrlJStillWorks();
    void monitorLinesOfferTheWindow();
    void copyGivesSelectedRowsAsText();
    void hexViewOfEveryByte();
    void filter_data();
    void filter();
    void longGapsFitTheirColumn_data();
    void longGapsFitTheirColumn();
    void followNewestStopsWhileScrolledUp();
    void droppedCountIsShown();
    void saveWritesTheRowsShown_data();
    void saveWritesTheRowsShown();
    void recall_data();
    void recall();
    void upAndDownInTheCommandEntry();
};

namespace
{

// A query answered, a command of a PJLink client unanswered, a piece outside any window.
void fillExchanges(ExchangeHistory& history)
{
    history.addTx(u"CR0\r", false);
    history.addRx(u"00\r", true);
    history.addStatus(u" Power ON");
    history.setNextSource(u"pjlink 192.0.2.1");
    history.addTx(u"C00\r", false);
    history.addTimeOut(u" X X X X");
    history.addRx(u"7", false);
}

} // namespace

void TestHistoryWindow::ctrlHTogglesAndCtrlJStillWorks()
{
    FormHarness h;
    Form1& f = *h.form;
    f.show();
    QVERIFY(!f.historyWindow()); // not there at start
    f.Form_KeyDown(Qt::Key_H, 2);
    QVERIFY(f.historyWindow() && f.historyWindow()->isVisible());
    QCOMPARE(f.ExtendedView, qint16(0));
    Q_EMIT f.historyWindow()->toggleRequested(); // Ctrl+H inside the History window
    QVERIFY(!f.historyWindow()->isVisible());
    f.Form_KeyDown(Qt::Key_H, 3); // Ctrl+Shift+H is not it
    QVERIFY(!f.historyWindow()->isVisible());
    f.Form_KeyDown(Qt::Key_J, 2);
    QCOMPARE(f.ExtendedView, qint16(1));
    QVERIFY(!f.historyWindow()->isVisible());
}

void TestHistoryWindow::monitorLinesOfferTheWindow()
{
    FormHarness h;
    Form1& f = *h.form;
    f.show();
    for (QLabel* line : {f.Label11.data(), f.Label12.data()}) {
        QTimer::singleShot(50, [] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu && !menu->actions().isEmpty()) menu->actions().first()->trigger();
            if (menu) menu->close();
        });
        Q_EMIT line->customContextMenuRequested(QPoint(2, 2));
        QVERIFY(f.historyWindow());
        QVERIFY(f.historyWindow()->isVisible());
        f.toggleHistoryWindow();
    }
}

void TestHistoryWindow::copyGivesSelectedRowsAsText()
{
    ExchangeHistory history;
    fillExchanges(history);
    HistoryWindow window(history);
    window.show();
    QTableView* table = window.table();
    QCOMPARE(table->model()->rowCount(), 5);
    table->selectRow(1);
    table->selectionModel()->select(table->model()->index(3, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const QStringList lines = window.selectedRowsText().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 2);
    const QStringList first = lines[0].split(QLatin1Char('\t'));
    QCOMPARE(first.size(), 6);
    QVERIFY(QTime::fromString(first[0], QStringLiteral("HH:mm:ss.zzz")).isValid());
    QVERIFY(first[1].startsWith(QLatin1Char('+')) && first[1].endsWith(QLatin1String(" s")));
    QCOMPARE(first.mid(2), (QStringList{"RX", "", " 0 0 CR ", " Power ON"}));
    QCOMPARE(lines[1].section(QLatin1Char('\t'), 2), QStringLiteral("TIMEOUT\t\t X X X X\t"));
    window.copySelection();
    QCOMPARE(QApplication::clipboard()->text(), lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
    QApplication::clipboard()->clear();
    table->setFocus();
    QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier); // Ctrl+C copies the same
    QCOMPARE(QApplication::clipboard()->text(), lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

void TestHistoryWindow::hexViewOfEveryByte()
{
    ExchangeHistory history;
    QString all;
    QStringList hex;
    for (int b = 0; b < 256; ++b) {
        all += QChar(b);
        hex << QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
    }
    history.addRx(all, true);
    history.addStatus(u" Power ON");
    HistoryWindow window(history);
    HistoryModel& model = *window.model();
    QCOMPARE(model.cellText(0, HistoryModel::TextColumn), DisplayForm(all));
    window.hexToggle()->setChecked(true);
    QCOMPARE(model.cellText(0, HistoryModel::TextColumn), hex.join(QLatin1Char(' ')));
    QCOMPARE(model.cellText(0, HistoryModel::StatusColumn), QStringLiteral(" Power ON"));
    window.hexToggle()->setChecked(false);
    QCOMPARE(model.cellText(0, HistoryModel::TextColumn), DisplayForm(all));
}

void TestHistoryWindow::filter_data()
{
    QTest::addColumn<QString>("needle");
    QTest::addColumn<QStringList>("directions");
    QTest::newRow("empty shows all") << "" << QStringList{"TX", "RX", "TX", "TIMEOUT", "RX idle"};
    QTest::newRow("command as typed") << "cr0" << QStringList{"TX"};
    QTest::newRow("command as rendered") << "C 0 0" << QStringList{"TX"};
    QTest::newRow("reply") << "7" << QStringList{"RX idle"};
    QTest::newRow("status") << "power" << QStringList{"RX"};
    QTest::newRow("time-out mark") << "X X" << QStringList{"TIMEOUT"};
    QTest::newRow("sender") << "PJLINK" << QStringList{"TX"};
    QTest::newRow("nothing") << "lamp" << QStringList{};
}

void TestHistoryWindow::filter()
{
    QFETCH(QString, needle);
    QFETCH(QStringList, directions);
    ExchangeHistory history;
    fillExchanges(history);
    HistoryWindow window(history);
    window.filterBox()->setText(needle);
    QStringList shown;
    QAbstractItemModel* view = window.table()->model();
    for (int row = 0; row < view->rowCount(); ++row)
        shown << view->index(row, HistoryModel::DirectionColumn).data().toString();
    QCOMPARE(shown, directions);
    // The status sits beside its reply: five rows stand for six entries.
    QCOMPARE(window.countLabel()->text(), historyCountText(shown.size(), 6, 0));
    history.addTx(u"CR0\r", false); // new rows meet the filter too
    window.model()->flush();
    QCOMPARE(view->rowCount(), directions.size() + (needle.isEmpty() || needle == "cr0" ? 1 : 0));
}

void TestHistoryWindow::longGapsFitTheirColumn_data()
{
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<QString>("text");
    QTest::newRow("under a second") << qint64(250) << "+0.250 s";
    QTest::newRow("just under a minute") << qint64(59'999) << "+59.999 s";
    QTest::newRow("a minute") << qint64(60'000) << "+1 min 00 s";
    QTest::newRow("191.44 s") << qint64(191'440) << "+3 min 11 s";
    QTest::newRow("a day and more") << qint64(94'000'000) << "+26 h 06 min";
}

void TestHistoryWindow::longGapsFitTheirColumn()
{
    QFETCH(qint64, ms);
    QFETCH(QString, text);
    QCOMPARE(deltaText(ms), text);
    ExchangeHistory history;
    HistoryWindow window(history);
    const QTableView* table = window.table();
    QVERIFY(table->fontMetrics().horizontalAdvance(text) <
            table->columnWidth(HistoryModel::DeltaColumn) - 8);
}

void TestHistoryWindow::followNewestStopsWhileScrolledUp()
{
    ExchangeHistory history;
    HistoryWindow window(history);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QScrollBar* bar = window.table()->verticalScrollBar();
    const auto addAndSettle = [&](int n) {
        for (int i = 0; i < n; ++i)
            history.addTx(QStringLiteral("C%1\r").arg(i), false);
        window.model()->flush();
        QTest::qWait(20);
    };
    addAndSettle(300);
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());
    bar->triggerAction(QAbstractSlider::SliderPageStepSub); // the operator scrolls up
    QTest::qWait(20);
    QVERIFY(!window.followToggle()->isChecked());
    const int kept = bar->value();
    addAndSettle(100);
    QCOMPARE(bar->value(), kept);
    bar->triggerAction(QAbstractSlider::SliderToMaximum); // and back to the end
    QTest::qWait(20);
    QVERIFY(window.followToggle()->isChecked());
    addAndSettle(100);
    QCOMPARE(bar->value(), bar->maximum());
}

void TestHistoryWindow::droppedCountIsShown()
{
    ExchangeHistory history(10);
    HistoryWindow window(history);
    for (int i = 0; i < 15; ++i)
        history.addRx(u"A", false);
    window.updateCount();
    QCOMPARE(window.countLabel()->text(), QStringLiteral("10 entries, 5 older dropped"));
    window.clearHistory();
    QCOMPARE(window.countLabel()->text(), QStringLiteral("0 entries"));
    QCOMPARE(window.model()->rowCount(), 0);
    history.addRx(u"A", false);
    window.updateCount();
    QCOMPARE(window.countLabel()->text(), QStringLiteral("1 entry"));
}

void TestHistoryWindow::saveWritesTheRowsShown_data()
{
    QTest::addColumn<bool>("csv");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("lines"); // each line after its times
    QTest::newRow("log, a reply and the status beside it")
        << false << "power" << QStringList{"RX\t 0 0 CR \t30 30 0D\t\t", "STATUS\t\t\t Power ON\t"};
    QTest::newRow("csv, quotes doubled")
        << true << "hi"
        << QStringList{"\"Dir\",\"Sender\",\"Text\",\"Status\"",
                       "\"TX\",\"operator\",\" s a y   \"\" h i \"\" CR \",\"\""};
}

void TestHistoryWindow::saveWritesTheRowsShown()
{
    QFETCH(bool, csv);
    QFETCH(QString, filter);
    QFETCH(QStringList, lines);
    ExchangeHistory history;
    fillExchanges(history);
    history.addTx(u"say \"hi\"\r", false);
    HistoryWindow window(history);
    window.filterBox()->setText(filter);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("saved"));
    QVERIFY(
        window.saveTo(path, csv ? HistoryWindow::SaveFormat::Csv : HistoryWindow::SaveFormat::Log)
            .isEmpty());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString end = csv ? QStringLiteral("\r\n") : QStringLiteral("\n");
    QStringList saved = QString::fromUtf8(file.readAll()).split(end);
    QCOMPARE(saved.takeLast(), QString()); // every line ends
    // The times vary: the log has one field of them, the table two.
    for (QString& line : saved)
        line = line.section(QLatin1Char(csv ? ',' : '\t'), csv ? 2 : 1);
    QCOMPARE(saved, lines);
}

void TestHistoryWindow::recall_data()
{
    // Keys: "s:X" sends X, "u" Up, "d" Down, "t:X" types X; the box after each Up or Down.
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("nothing sent") << QStringList{"u", "d"} << QStringList{"", ""};
    QTest::newRow("walk back and forth")
        << QStringList{"s:CR0", "s:CR1", "u", "u", "u", "d", "d", "d"}
        << QStringList{"CR1", "CR0", "CR0", "CR1", "CR1", "CR1"};
    QTest::newRow("no duplicates in a row")
        << QStringList{"s:A", "s:B", "s:B", "s:A", "u", "u", "u", "u"}
        << QStringList{"A", "B", "A", "A"};
    QTest::newRow("what was being typed comes back")
        << QStringList{"s:CR0", "t:CR", "u", "d"} << QStringList{"CR0", "CR"};
    QTest::newRow("empty send is not kept")
        << QStringList{"s:X", "s:", "u", "u"} << QStringList{"X", "X"};
}

void TestHistoryWindow::recall()
{
    QFETCH(QStringList, keys);
    QFETCH(QStringList, shown);
    CommandRecall recall;
    QString box;
    QStringList seen;
    for (const QString& key : keys) {
        if (key.startsWith(QLatin1String("s:"))) {
            box = key.mid(2);
            recall.remember(box);
        } else if (key.startsWith(QLatin1String("t:"))) {
            box = key.mid(2);
        } else {
            if (const auto text = key == QLatin1String("u") ? recall.older(box) : recall.newer())
                box = *text;
            seen << box;
        }
    }
    QCOMPARE(seen, shown);
}

void TestHistoryWindow::upAndDownInTheCommandEntry()
{
    FormHarness h;
    Form1& f = *h.form;
    f.show();
    QVERIFY(QTest::qWaitForWindowActive(&f));
    auto* send = qobject_cast<QPushButton*>(f.control(QStringLiteral("Command53")));
    for (const char* command : {"CR0", "CR1"}) {
        f.Text1->setText(QLatin1String(command));
        send->click();
    }
    f.Text1->setFocus();
    QVERIFY(waitUntil([&] { return QApplication::focusWidget() == f.Text1; }));
    f.Text1->setText(QStringLiteral("C0"));
    QTest::keyClick(f.Text1, Qt::Key_Up);
    QCOMPARE(f.Text1->text(), QStringLiteral("CR1"));
    QTest::keyClick(f.Text1, Qt::Key_Up);
    QCOMPARE(f.Text1->text(), QStringLiteral("CR0"));
    QTest::keyClick(f.Text1, Qt::Key_Down);
    QTest::keyClick(f.Text1, Qt::Key_Down);
    QCOMPARE(f.Text1->text(), QStringLiteral("C0"));
    h.peer.drain();
    QTest::keyClick(f.Text1, Qt::Key_Return); // Enter still sends nothing
    QCOMPARE(h.peer.read(0, 100), QByteArray());
    QTest::keyClick(f.Text1, Qt::Key_H, Qt::ControlModifier); // seen first by the window
    QVERIFY(f.historyWindow() && f.historyWindow()->isVisible());
    QCOMPARE(f.Text1->text(), QStringLiteral("C0"));
}

QTEST_MAIN(TestHistoryWindow)
#include "tst_history_window.moc"
