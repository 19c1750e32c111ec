// The request queue on the line without a window, a pty as the projector: two requests in a
// row, the first answered as the row says.
#include "exchange/exchange_queue.h"
#include "exchange/headless_exchange.h"
#include "pty_peer.h"

#include <QTest>

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

} // namespace

class TestExchangeQueue : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void twoRequests_data();
    void twoRequests();
};

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
