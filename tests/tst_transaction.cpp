#include "form_harness.h"
#include "status/display_form.h"

#include <QLabel>
#include <QTest>

// The exchange through Form1 with a pty as the projector. Timer ticks are driven by calling the
// handlers, so nothing here waits for a reply window to run out.
class TestTransaction : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void startsIdle();
    void transmissionGoesOutAndShows();
    void replyInPiecesIsRenderedAgain();
    void missingReplyShowsTimeOutMark();
    void secondCommandInsideWindowAppends();
    void charactersAfterWindowStayForNextReply();
    void monitorClearing();
    void shortClearDelayLeavesTimeOutMark();
    void emptyInputStillEndsAwaiting();
    void closedPortStillRunsTheExchange();
    void floodIsBounded();
    void markupInReplyIsShownAsText();
    void statusDecodesOnlyTheReplyToTheLastCommand_data();
    void statusDecodesOnlyTheReplyToTheLastCommand();
    void emptyReceiveEventEndsAwaiting();
};

static void send(Form1& f, const QString& text)
{
    f.LastCommand = text;
    f.Hyouji(f.LastCommand, 1);
}

void TestTransaction::startsIdle()
{
    FormHarness h;
    QVERIFY(h.form->MSComm1.PortOpen());
    QCOMPARE(h.form->AwaitingReply, quint8(0));
    QVERIFY(!h.form->Timer2.isActive());
    QVERIFY(!h.form->Timer4.isActive());
    QCOMPARE(h.form->Timer2.interval(), 500);
    QCOMPARE(h.form->Timer4.interval(), 1000);
    QCOMPARE(h.form->Timer2.timerType(), Qt::PreciseTimer);
    QVERIFY(h.boxes.isEmpty());
}

void TestTransaction::transmissionGoesOutAndShows()
{
    FormHarness h;
    h.form->Label12->setText(QStringLiteral("earlier"));
    send(*h.form, QStringLiteral("C00\r"));
    QCOMPARE(h.sent(4), QByteArray("C00\r"));
    QCOMPARE(h.form->Label11->text(), QStringLiteral(" C 0 0 CR "));
    QCOMPARE(h.form->Label12->text(), QStringLiteral("earlier")); // RXD untouched
    QCOMPARE(h.form->AwaitingReply, quint8(1));                   // Awaiting
    QVERIFY(h.form->Timer2.isActive());
    QVERIFY(h.form->Timer4.isActive());
}

void TestTransaction::replyInPiecesIsRenderedAgain()
{
    FormHarness h;
    send(*h.form, QStringLiteral("CR0\r"));
    QVERIFY(h.reply("0"));
    QCOMPARE(h.form->Label12->text(), QStringLiteral(" 0 "));
    QCOMPARE(h.form->AwaitingReply, quint8(0)); // Collecting
    QVERIFY(h.form->Timer2.isActive());
    QVERIFY(h.reply("0\r"));
    QCOMPARE(h.form->Label12->text(), QStringLiteral(" 0 0 CR "));
    QCOMPARE(h.form->RxBuffer, QStringLiteral("00\r"));
    h.form->Timer2_Timer(); // window ends silently after a reply
    QCOMPARE(h.form->Label12->text(), QStringLiteral(" 0 0 CR "));
    QVERIFY(h.form->RxBuffer.isEmpty());
    QVERIFY(!h.form->Timer2.isActive()); // Idle
}

void TestTransaction::missingReplyShowsTimeOutMark()
{
    FormHarness h;
    send(*h.form, QStringLiteral("C00\r"));
    h.form->Timer2_Timer();
    QCOMPARE(h.form->Label12->text(), QStringLiteral(" X X X X"));
    QCOMPARE(h.form->Label11->text(), QStringLiteral(" C 0 0 CR ")); // until Timer4
    QCOMPARE(h.form->AwaitingReply, quint8(0));
    QVERIFY(!h.form->Timer2.isActive());
    QVERIFY(h.form->Timer4.isActive());
}

void TestTransaction::secondCommandInsideWindowAppends()
{
    FormHarness h;
    send(*h.form, QStringLiteral("CR1\r"));
    QVERIFY(h.reply("1\r"));
    send(*h.form, QStringLiteral("CR0\r"));
    QCOMPARE(h.form->AwaitingReply, quint8(1));
    QVERIFY(h.reply("00\r"));
    QCOMPARE(h.form->Label12->text(), QStringLiteral(" 1 CR 0 0 CR "));
}

void TestTransaction::charactersAfterWindowStayForNextReply()
{
    FormHarness h;
    send(*h.form, QStringLiteral("C00\r"));
    h.form->Timer2_Timer();
    h.form->Timer4_Timer();
    QVERIFY(h.reply("7")); // late: shown at once
    QCOMPARE(h.form->Label12->text(), QStringLiteral(" 7 "));
    QVERIFY(!h.form->Timer2.isActive()); // starts no window
    QVERIFY(h.form->Timer4.isActive());  // but is cleared from the monitor in time
    send(*h.form, QStringLiteral("CR1\r"));
    QVERIFY(h.reply("2\r"));
    QCOMPARE(h.form->Label12->text(), QStringLiteral(" 7 2 CR "));
}

void TestTransaction::monitorClearing()
{
    FormHarness h;
    send(*h.form, QStringLiteral("CR0\r"));
    QVERIFY(h.reply("00\r"));
    h.form->Label25->setText(QStringLiteral(" Power ON"));
    h.form->Timer4_Timer();
    QVERIFY(h.form->Label11->text().isEmpty());
    QVERIFY(h.form->Label12->text().isEmpty());
    QVERIFY(h.form->Label25->text().isEmpty());
    QVERIFY(!h.form->Timer4.isActive());
    QCOMPARE(h.form->RxBuffer, QStringLiteral("00\r")); // Timer4 leaves the buffer alone
}

void TestTransaction::shortClearDelayLeavesTimeOutMark()
{
    FormHarness h;
    send(*h.form, QStringLiteral("C00\r"));
    h.form->Timer4_Timer(); // clear delay not longer than the window
    h.form->Timer2_Timer();
    QCOMPARE(h.form->Label12->text(), QStringLiteral(" X X X X"));
    QVERIFY(!h.form->Timer4.isActive()); // stays until the next clear
}

void TestTransaction::emptyInputStillEndsAwaiting()
{
    FormHarness h;
    send(*h.form, QStringLiteral("C00\r"));
    h.form->MSComm1_OnComm(); // raised, but CommEvent is not "received": ignored
    QCOMPARE(h.form->AwaitingReply, quint8(1));
    QVERIFY(h.reply("5"));
    QCOMPARE(h.form->AwaitingReply, quint8(0));
    h.form->Timer2_Timer();
    QCOMPARE(h.form->Label12->text(), QStringLiteral(" 5 "));
}

void TestTransaction::closedPortStillRunsTheExchange()
{
    FormHarness h;
    QVERIFY(!h.form->MSComm1.setPortOpen(false));
    send(*h.form, QStringLiteral("C00\r"));
    QCOMPARE(h.form->Label11->text(), QStringLiteral(" C 0 0 CR "));
    QCOMPARE(h.peer.read(0, 100), QByteArray());
    h.form->Timer2_Timer();
    QCOMPARE(h.form->Label12->text(), QStringLiteral(" X X X X"));
    QVERIFY(h.boxes.isEmpty()); // no box per press
}

void TestTransaction::floodIsBounded()
{
    FormHarness h;
    // Fed in pieces that fit the pty, as a line delivers them.
    for (int sent = 0; sent < 40000; sent += 1000) {
        QVERIFY(h.peer.write(QByteArray(1000, 'A')));
        QVERIFY(waitUntil([&] { return h.form->RxBuffer.size() >= qMin(sent + 1000, 32767); }));
    }
    QTest::qWait(50);
    QCOMPARE(h.form->RxBuffer.size(), kMaxRenderedChars);
    QCOMPARE(h.form->Label12->text().size(), 1 + 2 * kMaxRenderedChars);
    // A command during the flood still goes out at once; its reply is read from its start,
    // although the flood had filled the buffer; the window end empties the buffer.
    send(*h.form, QStringLiteral("CR PROJH\r"));
    QVERIFY(h.peer.read(9, 2000).startsWith("CR PROJH\r"));
    QVERIFY(h.peer.write("01234\r"));
    QVERIFY(waitUntil([&] { return h.form->Label25->text() == QStringLiteral("1234 Hour Use"); }));
    QCOMPARE(h.form->RxBuffer.size(), kMaxRenderedChars);
    QVERIFY(h.form->RxBuffer.endsWith(QStringLiteral("01234\r")));
    h.form->Timer2_Timer();
    QVERIFY(h.form->RxBuffer.isEmpty());
}

void TestTransaction::markupInReplyIsShownAsText()
{
    FormHarness h;
    h.form->Label11->setText(QStringLiteral("<b>x</b>"));
    QCOMPARE(h.form->Label11->textFormat(), Qt::PlainText);
    QCOMPARE(h.form->Label25->textFormat(), Qt::PlainText);
}

// Steps: "send:TEXT" (CR added), "reply:BYTES", "reopen" (the port chosen again), "tick2", "tick4".
void TestTransaction::statusDecodesOnlyTheReplyToTheLastCommand_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("rxd");
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("reading");
    QTest::newRow("status then setting in one window")
        << QStringList{"send:CR0", "reply:00\r", "send:CR4", "reply:11\r"} << " 0 0 CR 1 1 CR "
        << " Normally" << 0;
    QTest::newRow("status then projector hours in one window")
        << QStringList{"send:CR0", "reply:00\r", "send:CR PROJH", "reply:456\r"}
        << " 0 0 CR 4 5 6 CR "
        << "456 Hour Use" << 456;
    QTest::newRow("stray byte before the port is chosen again")
        << QStringList{"reply:8", "reopen", "send:CR0", "reply:00\r"} << " 0 0 CR "
        << " Power ON" << 0;
    QTest::newRow("late reply after the monitor cleared, then a new query")
        << QStringList{"send:CR0", "tick2", "tick4", "reply:80", "tick4", "send:CR0", "reply:00\r"}
        << " 8 0 0 0 CR "
        << " Power ON" << 0;
    QTest::newRow("reply in two pieces after a stray byte")
        << QStringList{"reply:8", "send:CR0", "reply:0", "reply:0\r"} << " 8 0 0 CR "
        << " Power ON" << 0;
    QTest::newRow("reply split across the window's end: its rest is not decoded")
        << QStringList{"send:CR PROJH", "reply:12", "tick2", "reply:34\r"} << " 3 4 CR "
        << "12 Hour Use" << 12;
    QTest::newRow("whole reply after the window's end")
        << QStringList{"send:CR PROJH", "tick2", "reply:34\r"} << " 3 4 CR "
        << "34 Hour Use" << 34;
    QTest::newRow("split reply, then the next query decodes")
        << QStringList{"send:CR PROJH", "reply:12",      "tick2",
                       "reply:34\r",    "send:CR PROJH", "reply:56\r"}
        << " 3 4 CR 5 6 CR "
        << "56 Hour Use" << 56;
}

void TestTransaction::statusDecodesOnlyTheReplyToTheLastCommand()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, rxd);
    QFETCH(QString, status);
    QFETCH(int, reading);
    FormHarness h;
    for (const QString& step : steps) {
        const QString arg =
            step.section(u':', 1).replace(QStringLiteral("\\r"), QStringLiteral("\r"));
        if (step.startsWith(u"send:")) send(*h.form, arg + u'\r');
        if (step.startsWith(u"reply:")) QVERIFY(h.reply(arg.toLatin1()));
        if (step == u"reopen") h.form->Option1_Click();
        if (step == u"tick2") h.form->Timer2_Timer();
        if (step == u"tick4") h.form->Timer4_Timer();
    }
    QCOMPARE(h.form->Label12->text(), rxd); // the monitor still shows everything collected
    QCOMPARE(h.form->Label25->text(), status);
    QCOMPARE(h.form->ReadingValue, qint16(reading));
}

void TestTransaction::emptyReceiveEventEndsAwaiting()
{
    FormHarness h;
    send(*h.form, QStringLiteral("C00\r"));
    h.form->MSComm1.injectReceived({}); // characters announced, none to read
    QCOMPARE(h.form->AwaitingReply, quint8(0));
    h.form->Timer2_Timer();
    QCOMPARE(h.form->Label12->text(), QStringLiteral(" ")); // no time-out mark
}

QTEST_MAIN(TestTransaction)
#include "tst_transaction.moc"
