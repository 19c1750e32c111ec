#include "form_harness.h"
#include "panel/adjuster_table.h"
#include "window/history_model.h"

#include <QTest>

// The exchange history as the window's transaction routine feeds it, with a pty as the projector:
// which entries an exchange leaves, how the History window's rows fold them, and the bound.
class TestHistory : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void exchanges_data();
    void exchanges();
    void foldingOfRuns_data();
    void foldingOfRuns();
    void portOpeningNamesDeviceAndSettings();
    void entriesCarryTimeAndDelta();
    void boundDropsTheOldest();
    void textRingDropsTheOldestToo();
};

namespace
{

const QString kAck = QStringLiteral("\x06");

// "<direction>#<command number within the script> <text>"; port events by direction alone.
QStringList entriesSince(const ExchangeHistory& history, quint64 from)
{
    QStringList out;
    quint64 lastTx = from - 1;
    QList<quint64> txs;
    for (quint64 seq = from; seq < history.endSeq(); ++seq) {
        const HistoryEntry& e = history.entry(seq);
        if (e.kind == EntryKind::Tx) txs << seq;
        const qsizetype number = e.exchange > lastTx ? txs.indexOf(e.exchange) + 1 : 0;
        const bool port = e.kind >= EntryKind::PortOpened;
        out << QStringLiteral("%1#%2").arg(directionName(e.kind)).arg(number) +
                   (port ? QString() : QLatin1Char(' ') + history.text(e));
    }
    return out;
}

QStringList rowsOf(const HistoryModel& model, int from)
{
    QStringList out;
    for (int row = from; row < model.rowCount(); ++row)
        out << model.cellText(row, HistoryModel::DirectionColumn) + QLatin1Char('|') +
                   model.cellText(row, HistoryModel::TextColumn) + QLatin1Char('|') +
                   model.cellText(row, HistoryModel::StatusColumn);
    return out;
}

// Runs one step of a script: "send X", "reply X", "end" (the reply window ends), "hold CONTROL N
// REPLY" (press, N-1 repeats, each answered, release), "hangup", "com2", "speed9600".
bool runStep(FormHarness& h, const QString& step)
{
    Form1& f = *h.form;
    const QString arg = step.section(QLatin1Char(' '), 1);
    if (step.startsWith(QLatin1String("send "))) {
        f.LastCommand = arg + QLatin1Char('\r');
        f.Hyouji(f.LastCommand, 1);
    } else if (step.startsWith(QLatin1String("reply "))) {
        return h.reply(arg.toLatin1());
    } else if (step == QLatin1String("end")) {
        f.Timer2_Timer();
    } else if (step.startsWith(QLatin1String("hold "))) {
        const AdjusterRow* row = findAdjusterByControl(step.section(QLatin1Char(' '), 1, 1));
        const int presses = step.section(QLatin1Char(' '), 2, 2).toInt();
        const QByteArray reply = step.section(QLatin1Char(' '), 3).toLatin1();
        f.Adjuster_MouseDown(*row);
        // The test ticks the timers itself: keep the real ones from firing in between.
        f.Timer1.setInterval(3600000);
        f.Timer2.setInterval(3600000);
        for (int i = 0; i < presses; ++i) {
            if (i > 0 && !waitUntil([&] { return f.MSComm1.OutBufferCount() == 0; })) return false;
            if (i > 0) f.Timer1_Timer();
            if (!h.reply(reply)) return false;
            f.Timer2_Timer();
        }
        f.Adjuster_MouseUp(*row);
    } else if (step == QLatin1String("hangup")) {
        h.peer.hangUp();
        return waitUntil([&] { return !h.boxes.isEmpty(); });
    } else if (step == QLatin1String("com2")) {
        f.Option2_Click();
    } else if (step == QLatin1String("speed9600")) {
        f.Option4_Click();
    }
    return true;
}

QStringList holdEntries(const QString& command, const QString& reply, int presses)
{
    QStringList out;
    for (int i = 1; i <= presses; ++i)
        out << QStringLiteral("TX#%1 %2\r").arg(i).arg(command)
            << QStringLiteral("RX#%1 %2").arg(i).arg(reply);
    return out;
}

} // namespace

void TestHistory::exchanges_data()
{
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("normal exchange") << QStringList{"send CR0", "reply 00\r", "end"}
                                     << QStringList{"TX#1 CR0\r", "RX#1 00\r", "STATUS#1  Power ON"}
                                     << QStringList{"TX| C R 0 CR |", "RX| 0 0 CR | Power ON"};
    QTest::newRow("reply in pieces")
        << QStringList{"send CR0", "reply 0", "reply 0\r", "end"}
        << QStringList{"TX#1 CR0\r", "RX#1 0", "RX#1 0\r", "STATUS#1  Power ON"}
        << QStringList{"TX| C R 0 CR |", "RX| 0 |", "RX| 0 CR | Power ON"};
    QTest::newRow("time-out") << QStringList{"send C00", "end"}
                              << QStringList{"TX#1 C00\r", "TIMEOUT#1  X X X X"}
                              << QStringList{"TX| C 0 0 CR |", "TIMEOUT| X X X X|"};
    QTest::newRow("two queries in one window")
        << QStringList{"send CR1", "reply 1\r", "send CR0", "reply 00\r", "end"}
        << QStringList{"TX#1 CR1\r", "RX#1 1\r",  "STATUS#1  COMPUTER 1",
                       "TX#2 CR0\r", "RX#2 00\r", "STATUS#2  Power ON"}
        << QStringList{"TX| C R 1 CR |", "RX| 1 CR | COMPUTER 1", "TX| C R 0 CR |",
                       "RX| 0 0 CR | Power ON"};
    QTest::newRow("late piece belongs to no command")
        << QStringList{"send C00", "end", "reply 7"}
        << QStringList{"TX#1 C00\r", "TIMEOUT#1  X X X X", "RX#0 7"}
        << QStringList{"TX| C 0 0 CR |", "TIMEOUT| X X X X|", "RX idle| 7 |"};
    QTest::newRow("hold of 40 repeats folds into one row")
        << QStringList{"hold Command15 40 \x06"} << holdEntries(QStringLiteral("C47"), kAck, 40)
        << QStringList{"TX| C 4 7 CR  ×40|each answered ACK"};
    QTest::newRow("two holds stay two runs")
        << QStringList{"hold Command15 3 \x06", "hold Command15 2 \x06"}
        << holdEntries(QStringLiteral("C47"), kAck, 3) +
               QStringList{"TX#4 C47\r", "RX#4 \x06", "TX#5 C47\r", "RX#5 \x06"}
        << QStringList{"TX| C 4 7 CR  ×3|each answered ACK", "TX| C 4 7 CR  ×2|each answered ACK"};
    QTest::newRow("a different answer ends the run")
        << QStringList{"hold Command15 3 \x06", "send C47", "reply ?"}
        << holdEntries(QStringLiteral("C47"), kAck, 3) + QStringList{"TX#4 C47\r", "RX#4 ?"}
        << QStringList{"TX| C 4 7 CR  ×3|each answered ACK", "TX| C 4 7 CR |", "RX| ? |"};
    QTest::newRow("lost line, reconnect, speed")
        << QStringList{"hangup", "com2", "speed9600"}
        << QStringList{"LOST#0", "RECONNECTED#0", "SPEED#0"} << QStringList{};
}

void TestHistory::exchanges()
{
    QFETCH(QStringList, script);
    QFETCH(QStringList, entries);
    QFETCH(QStringList, rows);
    PtyPeer second;
    FormHarness h(second.slavePath());
    ExchangeHistory& history = h.form->history;
    const quint64 from = history.endSeq();
    HistoryModel live(history); // follows entry by entry
    const int firstRow = live.rowCount();
    for (const QString& step : script) {
        QVERIFY2(runStep(h, step), qPrintable(step));
        live.flush(); // step by step: the rows follow as a window would
    }
    QCOMPARE(entriesSince(history, from), entries);
    if (!rows.isEmpty()) QCOMPARE(rowsOf(live, firstRow), rows);
    // A window opened afterwards shows the same rows as one that watched them come.
    HistoryModel later(history);
    QCOMPARE(rowsOf(later, 0), rowsOf(live, 0));
}

void TestHistory::foldingOfRuns_data()
{
    // "P" a press, "H" a held repeat (both of C47), "a" ACK, "q" "?", "t" a time-out.
    QTest::addColumn<QString>("events");
    QTest::addColumn<QStringList>("rows");
    const QString tx = QStringLiteral("TX| C 4 7 CR |");
    QTest::newRow("one press") << "Pa" << QStringList{tx, "RX| ACK |"};
    QTest::newRow("press and two repeats")
        << "PaHaHa" << QStringList{"TX| C 4 7 CR  ×3|each answered ACK"};
    QTest::newRow("repeat still waiting for its answer")
        << "PaHaH" << QStringList{"TX| C 4 7 CR  ×2|each answered ACK", tx};
    QTest::newRow("repeat answered twice unfolds")
        << "PaHaa" << QStringList{tx, "RX| ACK |", tx, "RX| ACK |", "RX| ACK |"};
    QTest::newRow("third answered twice leaves the first two")
        << "PaHaHaa"
        << QStringList{"TX| C 4 7 CR  ×2|each answered ACK", tx, "RX| ACK |", "RX| ACK |"};
    QTest::newRow("other answer starts a new run")
        << "PaHaHqHq"
        << QStringList{"TX| C 4 7 CR  ×2|each answered ACK", "TX| C 4 7 CR  ×2|each answered ?"};
    QTest::newRow("presses do not fold") << "PaPa" << QStringList{tx, "RX| ACK |", tx, "RX| ACK |"};
    QTest::newRow("time-outs fold too")
        << "PtHtHt" << QStringList{"TX| C 4 7 CR  ×3|each timed out"};
    QTest::newRow("unanswered") << "PHH" << QStringList{"TX| C 4 7 CR  ×3|each unanswered"};
}

void TestHistory::foldingOfRuns()
{
    QFETCH(QString, events);
    QFETCH(QStringList, rows);
    ExchangeHistory history;
    HistoryModel live(history);
    for (const QChar event : events) {
        switch (event.toLatin1()) {
        case 'P':
        case 'H':
            history.addTx(u"C47\r", event == QLatin1Char('H'));
            break;
        case 'a':
            history.addRx(u"\x06", true);
            break;
        case 'q':
            history.addRx(u"?", true);
            break;
        case 't':
            history.addTimeOut(u" X X X X");
            break;
        }
        live.flush();
    }
    QCOMPARE(rowsOf(live, 0), rows);
    HistoryModel later(history);
    QCOMPARE(rowsOf(later, 0), rows);
}

void TestHistory::portOpeningNamesDeviceAndSettings()
{
    FormHarness h;
    const ExchangeHistory& history = h.form->history;
    QVERIFY(history.size() >= 1);
    const HistoryEntry& opened = history.entry(history.endSeq() - 1);
    QCOMPARE(opened.kind, EntryKind::PortOpened);
    QCOMPARE(history.text(opened), QStringLiteral("COM1 %1 19200,N,8,1").arg(h.peer.slavePath()));
    h.form->Option2_Click(); // COM2 is missing: the failure is kept with its message
    const HistoryEntry& failed = history.entry(history.endSeq() - 1);
    QCOMPARE(failed.kind, EntryKind::PortFailed);
    QCOMPARE(h.boxes.size(), 1);
    QCOMPARE(history.text(failed), h.boxes.first());
}

void TestHistory::entriesCarryTimeAndDelta()
{
    ExchangeHistory history;
    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    history.addTx(u"C00\r", false);
    QTest::qSleep(30);
    history.addTimeOut(u" X X X X");
    const qint64 after = QDateTime::currentMSecsSinceEpoch();
    const HistoryEntry& tx = history.entry(history.firstSeq());
    const HistoryEntry& mark = history.entry(history.firstSeq() + 1);
    QVERIFY(tx.timeMs >= before && mark.timeMs <= after && tx.timeMs <= mark.timeMs);
    QCOMPARE(tx.deltaMs, 0);
    QVERIFY2(mark.deltaMs >= 29 && mark.deltaMs < 1000, qPrintable(QString::number(mark.deltaMs)));
}

void TestHistory::boundDropsTheOldest()
{
    ExchangeHistory history;
    HistoryModel model(history);
    for (int i = 0; i < ExchangeHistory::kCapacity; ++i)
        history.addRx(QString::number(i), false);
    QCOMPARE(history.dropped(), 0u);
    model.flush();
    QCOMPARE(model.rowCount(), ExchangeHistory::kCapacity);
    history.addRx(u"newest", false); // entry 100,001
    QCOMPARE(history.size(), ExchangeHistory::kCapacity);
    QCOMPARE(history.dropped(), 1u);
    QCOMPARE(history.text(history.entry(history.firstSeq())), QStringLiteral("1"));
    QCOMPARE(history.text(history.entry(history.endSeq() - 1)), QStringLiteral("newest"));
    model.flush();
    QCOMPARE(model.rowCount(), ExchangeHistory::kCapacity);
    QCOMPARE(model.cellText(0, HistoryModel::TextColumn), QStringLiteral(" 1 "));
    history.clear();
    QCOMPARE(history.dropped(), 0u);
    QCOMPARE(model.rowCount(), 0);
}

void TestHistory::textRingDropsTheOldestToo()
{
    ExchangeHistory history(100, 64); // room for 64 bytes of text
    for (int i = 0; i < 10; ++i)
        history.addRx(QString(10, QLatin1Char('a' + i)), false);
    // Six pieces of ten fit; a seventh would run past the end and starts over at the beginning.
    QCOMPARE(history.size(), 6);
    QCOMPARE(history.dropped(), 4u);
    for (quint64 seq = history.firstSeq(); seq < history.endSeq(); ++seq)
        QCOMPARE(history.text(history.entry(seq)), QString(10, QLatin1Char('a' + int(seq) - 1)));
}

QTEST_MAIN(TestHistory)
#include "tst_history.moc"
