// The request queue: its rules step by step on a line the row ends itself, and on the line
// without a window with a pty as the projector, two requests in a row.
#include "exchange/exchange_queue.h"
#include "exchange/headless_exchange.h"
#include "pty_peer.h"

#include <QTest>
#include <memory>

namespace
{

constexpr int kWindowMs = 300;
const QString kNotCalled = QStringLiteral("not called");

QString describe(const std::optional<ExchangeAnswer>& a)
{
    if (!a) return kNotCalled;
    const char* outcomes[] = {"Replied", "TimedOut", "Interrupted", "NotOpen"};
    return QLatin1String(outcomes[int(a->outcome)]) + u' ' + a->reply;
}

// A line whose exchanges, and whose operator, the row's steps drive.
class SteppedLine : public ExchangeLine
{
  public:
    bool open = true;
    bool operatorBusy = false;
    QStringList* trace = nullptr;
    bool isOpen() const override { return open; }
    bool busy() const override { return operatorBusy; }
    void start(const QString& command, int) override { *trace << u'>' + command; }
    void end(ExchangeOutcome outcome, const QString& reply) { Q_EMIT finished(outcome, reply); }
};

QString answerText(const ExchangeAnswer& a)
{
    const char* outcomes[] = {nullptr, "timeout", "interrupted", "notopen"};
    return a.outcome == ExchangeOutcome::Replied ? a.reply.chopped(1)
                                                 : QLatin1String(outcomes[int(a.outcome)]);
}

} // namespace

class TestExchangeQueue : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void rules_data();
    void rules();
    void twoRequests_data();
    void twoRequests();
};

void TestExchangeQueue::rules_data()
{
    // Steps: +A submit A, -A cancel it, r:X the line's reply X, t its time-out, busy and idle
    // the operator's own exchange, press the operator's press during ours, closed the line,
    // end the queue gone as the window ends, silent the line never ending ours. The trace is
    // the steps with what followed each: >A A went out on the line, A=X its one answer.
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("trace");
    const auto row = [](const char* name, const char* steps, const char* trace) {
        QTest::newRow(name) << QString(steps) << QString(trace);
    };
    row("order kept", "+A +B +C r:1 t r:3", "+A >A +B +C r:1 A=1 >B t B=timeout >C r:3 C=3");
    row("operator first", "busy +A idle r:1", "busy +A idle >A r:1 A=1");
    row("a press interrupts", "+A +B press idle r:2",
        "+A >A +B press A=interrupted idle >B r:2 B=2");
    row("cancelled queued: never sent", "+A +B -B r:1", "+A >A +B -B r:1 A=1");
    row("abandoned behind the operator", "busy +A -A idle +B", "busy +A -A idle +B >B");
    row("cancelled in flight: no answer", "+A +B -A r:1 r:2", "+A >A +B -A r:1 >B r:2 B=2");
    row("one answer per request", "+A r:1 r:2 t", "+A >A r:1 A=1 r:2 t");
    row("closed line", "closed +A +B", "closed +A A=notopen +B B=notopen");
    row("window ends: nothing again", "+A +B end r:1", "+A >A +B end r:1");
    row("a line that never ends", "+A +B silent", "+A >A +B silent A=timeout >B");
}

void TestExchangeQueue::rules()
{
    QFETCH(QString, steps);
    QStringList trace;
    SteppedLine line;
    line.trace = &trace;
    auto queue = std::make_unique<ExchangeQueue>(line);
    QMap<QString, quint64> ids;
    QSet<QString> open; // submitted, neither answered nor cancelled
    for (const QString& step : steps.split(u' ')) {
        trace << step;
        const QString name = step.mid(1);
        if (step.startsWith(u'+'))
            ids[name] = queue->submit(name, 1, "test", [&trace, &open, name](auto& a) {
                trace << name + u'=' + answerText(a);
                open.remove(name);
            });
        if (step.startsWith(u'+')) open.insert(name);
        if (step.startsWith(u'-')) queue->cancel(ids.value(name));
        if (step.startsWith(u'-')) open.remove(name);
        if (step.startsWith(u"r:")) line.end(ExchangeOutcome::Replied, step.mid(2) + u'\r');
        if (step == u"t") line.end(ExchangeOutcome::TimedOut, {});
        if (step == u"busy" || step == u"press") line.operatorBusy = true;
        if (step == u"press") line.end(ExchangeOutcome::Interrupted, {});
        if (step == u"idle") line.operatorBusy = false;
        if (step == u"closed") line.open = false;
        if (step == u"end") queue.reset();
        if (step == u"silent") QTRY_VERIFY(!trace.last().startsWith(u"silent"));
        // Until the queue can do nothing more before the next step.
        QCoreApplication::processEvents();
        QTRY_VERIFY(!queue || line.busy() || queue->inFlight() || open.isEmpty());
    }
    QTEST(trace.join(u' '), "trace");
}

void TestExchangeQueue::twoRequests_data()
{
    QTest::addColumn<bool>("open");
    QTest::addColumn<QByteArray>("answer"); // to the first command
    QTest::addColumn<int>("cancel");        // 0 none; 1 the first once sent; 2 the second at once
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QByteArray>("received");
    QTest::newRow("replies in turn") << true << QByteArray("00\r") << 0 << "Replied 00\r"
                                     << "Replied 1\r" << QByteArray("CR0\rCR1\r");
    QTest::newRow("a time-out keeps what came") << true << QByteArray("0") << 0 << "TimedOut 0"
                                                << "Replied 1\r" << QByteArray("CR0\rCR1\r");
    QTest::newRow("cancelled in flight: never answered, the next goes on")
        << true << QByteArray("00\r") << 1 << kNotCalled << "Replied 1\r"
        << QByteArray("CR0\rCR1\r");
    QTest::newRow("cancelled while queued: never sent")
        << true << QByteArray("00\r") << 2 << "Replied 00\r" << kNotCalled << QByteArray("CR0\r");
    QTest::newRow("a closed line") << false << QByteArray() << 0 << "NotOpen "
                                   << "NotOpen " << QByteArray();
}

void TestExchangeQueue::twoRequests()
{
    QFETCH(bool, open);
    QFETCH(QByteArray, answer);
    QFETCH(int, cancel);
    PtyPeer peer;
    HeadlessExchange line;
    if (open) QVERIFY(!line.open(peer.slavePath(), peer.slavePath(), 1, "9600,N,8,1"));
    ExchangeQueue queue(line);
    std::optional<ExchangeAnswer> answers[2];
    const quint64 first = queue.submit("CR0", kWindowMs, "test", [&](auto& a) { answers[0] = a; });
    const quint64 second = queue.submit("CR1", kWindowMs, "test", [&](auto& a) { answers[1] = a; });
    QVERIFY(!answers[0] && !answers[1]); // never inside submit()
    if (cancel == 2) queue.cancel(second);
    QByteArray wire;
    if (open) {
        QTRY_COMPARE_WITH_TIMEOUT(wire += peer.read(), QByteArray("CR0\r"), 2000);
        if (cancel == 1) queue.cancel(first);
        QVERIFY(peer.write(answer));
        if (cancel != 2)
            QTRY_COMPARE_WITH_TIMEOUT(wire += peer.read(), QByteArray("CR0\rCR1\r"), 2000);
        QVERIFY(cancel == 2 || peer.write("1\r"));
    }
    QTest::qWait(2 * kWindowMs); // every end has come by now
    wire += peer.read();
    QTEST(describe(answers[0]), "first");
    QTEST(describe(answers[1]), "second");
    QTEST(wire, "received");
}

QTEST_MAIN(TestExchangeQueue)
#include "tst_exchange_queue.moc"
