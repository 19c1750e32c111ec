// The faults the virtual projector puts on the line: how replies are cut, delayed and
// littered (planned without a line), and what the real executable does on a pseudo-terminal.
#include "sim_projector.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace
{

constexpr int kWaitMs = 2000;
const QByteArray kTemperatures("+25.0 +31.5 +40.2\r");

QString simPath()
{
    const QString fromEnv = qEnvironmentVariable("ZEVA_SIM");
    return fromEnv.isEmpty() ? QStringLiteral(ZEVA_SIM_FALLBACK) : fromEnv;
}

// True when `part`'s bytes all occur in `whole`, in the same order.
bool isInOrderIn(const QByteArray& part, const QByteArray& whole)
{
    qsizetype at = 0;
    for (const char c : whole)
        if (at < part.size() && c == part[at]) ++at;
    return at == part.size();
}

QByteArray joined(const QList<ReplyPiece>& plan)
{
    QByteArray all;
    for (const ReplyPiece& piece : plan)
        all += piece.bytes;
    return all;
}

// One read from the panel's end, with when it came.
struct Arrival {
    QByteArray bytes;
    qint64 atMs = 0;
};

// The simulator as a child process with the panel's end of its line opened raw.
class FaultySim
{
  public:
    explicit FaultySim(const QStringList& args)
    {
        process.start(simPath(), args);
        if (!process.waitForStarted() || !process.waitForReadyRead(kWaitMs)) return;
        const QByteArray path = process.readLine().trimmed();
        fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0) return;
        termios tio{};
        tcgetattr(fd, &tio);
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
        clock.start();
    }
    ~FaultySim()
    {
        if (fd >= 0) ::close(fd);
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }

    bool send(const QByteArray& bytes)
    {
        clock.restart();
        return ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }

    // What one read brings within timeoutMs; sets hungUp when the line has ended instead.
    Arrival readOnce(int timeoutMs)
    {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0) return {};
        char buf[4096];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n == 0 || (n < 0 && errno == EIO)) hungUp = true;
        return {n > 0 ? QByteArray(buf, n) : QByteArray(), clock.elapsed()};
    }

    // Reads until `count` bytes came, the line ended or the wait is over.
    QList<Arrival> readArrivals(qsizetype count)
    {
        QList<Arrival> arrivals;
        qsizetype got = 0;
        while (got < count && !hungUp && clock.elapsed() < kWaitMs) {
            const Arrival arrival = readOnce(int(kWaitMs - clock.elapsed()));
            if (arrival.bytes.isEmpty()) continue;
            got += arrival.bytes.size();
            arrivals.append(arrival);
        }
        return arrivals;
    }

    QByteArray readUntilHangUp()
    {
        QByteArray all;
        while (!hungUp && clock.elapsed() < kWaitMs)
            all += readOnce(int(kWaitMs - clock.elapsed())).bytes;
        return all;
    }

    // Bytes that arrive within the next `ms`.
    qsizetype countFor(int ms)
    {
        QElapsedTimer window;
        window.start();
        qsizetype count = 0;
        while (window.elapsed() < ms)
            count += readOnce(int(ms - window.elapsed())).bytes.size();
        return count;
    }

    QProcess process;
    QElapsedTimer clock; // since the last send
    int fd = -1;
    bool hungUp = false;
};

} // namespace

class TestSimFaults : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void plan_data();
    void plan();
    void garbage_data();
    void garbage();
    void garbageUsesAllByteValues();
    void badOptionIsUsageError_data();
    void badOptionIsUsageError();
    void hangsUpAfterAnswering_data();
    void hangsUpAfterAnswering();
    void floodRate();
    void floodNeverFreezes();
    void lateAnswer();
    void lateRepliesDoNotAddUp();
    void piecesArriveApart_data();
    void piecesArriveApart();
    void garbageRepeatsWithSeed();
};

void TestSimFaults::plan_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<ReplyStyle>("style");
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<QList<int>>("delays");

    const int pause = kPiecePauseMs;
    // clang-format off
    //                                    reply          style {silent, pieces, garbage, late}
    QTest::newRow("plain reply whole")     << QByteArray("80\r") << ReplyStyle{}                  << QByteArrayList{"80\r"}           << QList<int>{0};
    QTest::newRow("two pieces, longer last")<< QByteArray("80\r") << ReplyStyle{false, 2, 0, 0}   << QByteArrayList{"8", "0\r"}       << QList<int>{0, pause};
    QTest::newRow("ack in two pieces")     << QByteArray("\x06\r") << ReplyStyle{false, 2, 0, 0}  << QByteArrayList{"\x06", "\r"}     << QList<int>{0, pause};
    QTest::newRow("three even pieces")     << kTemperatures      << ReplyStyle{false, 3, 0, 0}    << QByteArrayList{"+25.0 ", "+31.5 ", "+40.2\r"} << QList<int>{0, pause, pause};
    QTest::newRow("four pieces, 4-4-5-5")  << kTemperatures      << ReplyStyle{false, 4, 0, 0}    << QByteArrayList{"+25.", "0 +3", "1.5 +", "40.2\r"} << QList<int>{0, pause, pause, pause};
    QTest::newRow("more pieces than bytes")<< QByteArray("80\r") << ReplyStyle{false, 9, 0, 0}    << QByteArrayList{"8", "0", "\r"}   << QList<int>{0, pause, pause};
    QTest::newRow("late whole reply")      << QByteArray("80\r") << ReplyStyle{false, 1, 0, 300}  << QByteArrayList{"80\r"}           << QList<int>{300};
    QTest::newRow("late only before first")<< QByteArray("80\r") << ReplyStyle{false, 2, 0, 300}  << QByteArrayList{"8", "0\r"}       << QList<int>{300, pause};
    QTest::newRow("silent says nothing")   << QByteArray("80\r") << ReplyStyle{true, 1, 0, 0}     << QByteArrayList{}                 << QList<int>{};
    QTest::newRow("silent wins over all")  << QByteArray("80\r") << ReplyStyle{true, 3, 3, 300}   << QByteArrayList{}                 << QList<int>{};
    QTest::newRow("no reply, no garbage")  << QByteArray()       << ReplyStyle{false, 2, 3, 0}    << QByteArrayList{}                 << QList<int>{};
    QTest::newRow("zero pieces as one")    << QByteArray("80\r") << ReplyStyle{false, 0, 0, 0}    << QByteArrayList{"80\r"}           << QList<int>{0};
    // clang-format on
}

void TestSimFaults::plan()
{
    QFETCH(QByteArray, reply);
    QFETCH(ReplyStyle, style);
    QFETCH(QByteArrayList, pieces);
    QFETCH(QList<int>, delays);
    QRandomGenerator random(1);
    QByteArrayList gotPieces;
    QList<int> gotDelays;
    for (const ReplyPiece& piece : planReply(reply, style, random)) {
        gotPieces << piece.bytes;
        gotDelays << piece.delayMs;
    }
    QCOMPARE(gotPieces, pieces);
    QCOMPARE(gotDelays, delays);
}

void TestSimFaults::garbage_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("pieces");
    QTest::addColumn<quint32>("seed");
    // clang-format off
    QTest::newRow("status, whole")        << QByteArray("80\r") << 1 << 1u;
    QTest::newRow("ack, whole")           << QByteArray("\x06\r") << 1 << 2u;
    QTest::newRow("temperatures, pieces") << kTemperatures      << 3 << 3u;
    QTest::newRow("one byte per piece")   << QByteArray("?\r")  << 10 << 4u;
    // clang-format on
}

// Garbage adds its bytes around and between the reply's own, which stay in order; pieces
// then cut the littered reply as they would a clean one.
void TestSimFaults::garbage()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, pieces);
    QFETCH(quint32, seed);
    const ReplyStyle style{false, pieces, 3, 0};
    QRandomGenerator random(seed);
    const QList<ReplyPiece> plan = planReply(reply, style, random);
    const QByteArray all = joined(plan);
    QCOMPARE(all.size(), reply.size() + 3);
    QVERIFY(isInOrderIn(reply, all));
    QCOMPARE(plan.size(), qMin(qsizetype(pieces), all.size()));

    QRandomGenerator again(seed);
    QCOMPARE(joined(planReply(reply, style, again)), all);
}

void TestSimFaults::garbageUsesAllByteValues()
{
    QRandomGenerator random(5);
    QByteArray littered;
    for (int i = 0; i < 200; ++i)
        littered += joined(planReply("\r", ReplyStyle{false, 1, 3, 0}, random));
    bool low = false;
    bool high = false;
    for (const char c : littered) {
        low = low || uchar(c) < 0x20;
        high = high || uchar(c) >= 0x80;
    }
    QVERIFY(low && high);
}

void TestSimFaults::badOptionIsUsageError_data()
{
    QTest::addColumn<QStringList>("args");
    // clang-format off
    QTest::newRow("no pieces")              << QStringList{"--pieces", "0"};
    QTest::newRow("pieces not a number")    << QStringList{"--pieces", "two"};
    QTest::newRow("negative lateness")      << QStringList{"--late", "-1"};
    QTest::newRow("flood beyond the limit") << QStringList{"--flood", "1000001"};
    QTest::newRow("hang up before any")     << QStringList{"--hangup-after", "0"};
    QTest::newRow("seed beyond 32 bits")    << QStringList{"--seed", "4294967296"};
    QTest::newRow("split and pieces")       << QStringList{"--split", "--pieces", "3"};
    // clang-format on
}

void TestSimFaults::badOptionIsUsageError()
{
    QFETCH(QStringList, args);
    QProcess process;
    process.start(simPath(), args);
    QVERIFY(process.waitForFinished(kWaitMs));
    QCOMPARE(process.exitCode(), 2);
    QVERIFY(process.readAllStandardOutput().isEmpty());
}

void TestSimFaults::hangsUpAfterAnswering_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("answered");
    // clang-format off
    QTest::newRow("after the first")              << QStringList{"--hangup-after", "1"} << QByteArray("CR0\r")         << QByteArray("80\r");
    QTest::newRow("after the second")             << QStringList{"--hangup-after", "2"} << QByteArray("C06\rCR1\r")    << QByteArray("\x06\r3\r");
    QTest::newRow("later command unanswered")     << QStringList{"--hangup-after", "1"} << QByteArray("CR0\rCR1\r")    << QByteArray("80\r");
    QTest::newRow("late answer still delivered")  << QStringList{"--hangup-after", "1", "--late", "300"} << QByteArray("CR0\r") << QByteArray("80\r");
    QTest::newRow("all pieces delivered")         << QStringList{"--hangup-after", "1", "--pieces", "3"} << QByteArray("CR0\r") << QByteArray("80\r");
    QTest::newRow("silent hangs up at once")      << QStringList{"--hangup-after", "1", "--silent"} << QByteArray("CR0\r") << QByteArray();
    // clang-format on
}

void TestSimFaults::hangsUpAfterAnswering()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, answered);
    FaultySim sim(args);
    QVERIFY(sim.fd >= 0);
    QVERIFY(sim.send(sent));
    QCOMPARE(sim.readUntilHangUp(), answered);
    QVERIFY(sim.hungUp);
    QVERIFY(sim.process.waitForFinished(kWaitMs));
    QCOMPARE(sim.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.process.exitCode(), 0);
}

void TestSimFaults::floodRate()
{
    FaultySim sim({"--flood", "5000"});
    QVERIFY(sim.fd >= 0);
    sim.countFor(100); // what piled up before the line was opened
    const qsizetype count = sim.countFor(1000);
    QVERIFY2(count > 3500 && count < 6500, qPrintable(QString::number(count)));
}

// Nobody reads while the flood fills the line; the simulator still stops on request at once.
void TestSimFaults::floodNeverFreezes()
{
    FaultySim sim({"--flood", "1000000"});
    QVERIFY(sim.fd >= 0);
    QTest::qWait(700);
    sim.process.terminate();
    QVERIFY(sim.process.waitForFinished(500));
    QCOMPARE(sim.process.exitCode(), 0);
}

void TestSimFaults::lateAnswer()
{
    FaultySim sim({"--late", "300"});
    QVERIFY(sim.fd >= 0);
    QVERIFY(sim.send("CR0\r"));
    QCOMPARE(sim.readOnce(250).bytes, QByteArray());
    const QList<Arrival> arrivals = sim.readArrivals(3);
    QCOMPARE(arrivals.size(), 1);
    QCOMPARE(arrivals.first().bytes, QByteArray("80\r"));
    QVERIFY2(arrivals.first().atMs >= 295, qPrintable(QString::number(arrivals.first().atMs)));
}

// Each reply is due a fixed time after its own command, not after the reply before it.
void TestSimFaults::lateRepliesDoNotAddUp()
{
    FaultySim sim({"--late", "300"});
    QVERIFY(sim.fd >= 0);
    QVERIFY(sim.send("CR0\rCR1\rCR4\r"));
    QByteArray all;
    for (const Arrival& arrival : sim.readArrivals(8))
        all += arrival.bytes;
    QCOMPARE(all, QByteArray("80\r1\r11\r"));
    QVERIFY2(sim.clock.elapsed() < 550, qPrintable(QString::number(sim.clock.elapsed())));
}

void TestSimFaults::piecesArriveApart_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArrayList>("pieces");
    // clang-format off
    QTest::newRow("three pieces")        << QStringList{"--pieces", "3"} << QByteArray("CR6\r") << QByteArrayList{"+25.0 ", "+31.5 ", "+40.2\r"};
    QTest::newRow("split is two pieces") << QStringList{"--split"}       << QByteArray("CR0\r") << QByteArrayList{"8", "0\r"};
    QTest::newRow("capped at one byte")  << QStringList{"--pieces", "9"} << QByteArray("CR0\r") << QByteArrayList{"8", "0", "\r"};
    // clang-format on
}

void TestSimFaults::piecesArriveApart()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, command);
    QFETCH(QByteArrayList, pieces);
    FaultySim sim(args);
    QVERIFY(sim.fd >= 0);
    QVERIFY(sim.send(command));
    const QList<Arrival> arrivals = sim.readArrivals(pieces.join().size());
    QByteArrayList got;
    for (const Arrival& arrival : arrivals)
        got << arrival.bytes;
    QCOMPARE(got, pieces);
    // A busy machine can wake this reader late for one piece and on time for the next, so the
    // gaps between reads prove nothing; but the last piece cannot come before the pauses in
    // front of it have passed.
    const qint64 pauses = kPiecePauseMs * (arrivals.size() - 1);
    QVERIFY2(arrivals.last().atMs >= pauses - 5, qPrintable(QString::number(arrivals.last().atMs)));
}

void TestSimFaults::garbageRepeatsWithSeed()
{
    QByteArrayList replies;
    for (int run = 0; run < 2; ++run) {
        FaultySim sim({"--garbage", "--seed", "42"});
        QVERIFY(sim.fd >= 0);
        QVERIFY(sim.send("CR0\r"));
        QByteArray reply;
        for (const Arrival& arrival : sim.readArrivals(6))
            reply += arrival.bytes;
        QCOMPARE(reply.size(), 6);
        QVERIFY(isInOrderIn("80\r", reply));
        replies << reply;
    }
    QCOMPARE(replies[0], replies[1]);
}

QTEST_GUILESS_MAIN(TestSimFaults)
#include "tst_sim_faults.moc"
