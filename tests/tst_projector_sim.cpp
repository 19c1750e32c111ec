// The virtual projector: its state machine driven with explicit times, and the real
// executable on a pseudo-terminal.
#include "sim_options.h"
#include "sim_projector.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace
{

const QByteArray kAckCR("\x06\r");
constexpr int kReplyWaitMs = 2000;

// Plays "time|command" steps, e.g. "3000|C02", and returns the last reply.
QByteArray play(SimProjector& sim, const QStringList& steps)
{
    QByteArray reply;
    for (const QString& step : steps) {
        const qsizetype bar = step.indexOf('|');
        reply = sim.answer(step.mid(bar + 1).toLatin1(), step.left(bar).toLongLong());
    }
    return reply;
}

QString simPath()
{
    const QString fromEnv = qEnvironmentVariable("ZEVA_SIM");
    return fromEnv.isEmpty() ? QStringLiteral(ZEVA_SIM_FALLBACK) : fromEnv;
}

// The simulator as a child process with the panel's end of its line opened raw.
class RunningSim
{
  public:
    explicit RunningSim(const QStringList& args)
    {
        process.start(simPath(), args);
        if (!process.waitForStarted() || !process.waitForReadyRead(kReplyWaitMs)) return;
        slavePath = QString::fromLocal8Bit(process.readLine().trimmed());
        openLine();
    }
    ~RunningSim()
    {
        if (fd >= 0) ::close(fd);
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }

    // Opens the slave raw, as the panel's serial layer does.
    void openLine()
    {
        if (fd >= 0) ::close(fd);
        fd = ::open(QFile::encodeName(slavePath).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0) return;
        termios tio{};
        tcgetattr(fd, &tio);
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }

    bool send(const QByteArray& bytes)
    {
        return ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }

    // Whatever arrives in one burst: waits for the first byte, then takes what is there.
    QByteArray readBurst(int timeoutMs = kReplyWaitMs)
    {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0) return {};
        char buf[256];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        return n > 0 ? QByteArray(buf, n) : QByteArray();
    }

    // Everything up to and including the first CR.
    QByteArray readReply()
    {
        return readWhile([](const QByteArray& got) { return !got.contains('\r'); });
    }

    QByteArray readBytes(qsizetype count)
    {
        return readWhile([count](const QByteArray& got) { return got.size() < count; });
    }

    template <typename More> QByteArray readWhile(More more)
    {
        QByteArray got;
        QElapsedTimer clock;
        clock.start();
        while (more(got) && clock.elapsed() < kReplyWaitMs)
            got += readBurst(int(kReplyWaitMs - clock.elapsed()));
        return got;
    }

    QProcess process;
    QString slavePath;
    int fd = -1;
};

} // namespace

class TestProjectorSim : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void replies_data();
    void replies();
    void knownCommandsAcknowledged_data();
    void knownCommandsAcknowledged();
    void temperatureReplyHasReadableFields();
    void framer_data();
    void framer();
    void endToEnd();
    void answersAfterPanelReopens();
    void countDownEndsOnItsOwn();
    void splitReplyArrivesInTwoPieces();
    void silentNeverAnswers();
    void linkMadeAndRemoved();
    void unknownOptionIsUsageError();
    void commandLine_data();
    void commandLine();
};

void TestProjectorSim::replies_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QByteArray>("reply");

    // clang-format off
    QTest::newRow("standby at start")              << QStringList{"0|CR0"}                                   << QByteArray("80\r");
    QTest::newRow("power on is acknowledged")      << QStringList{"0|C00"}                                   << kAckCR;
    QTest::newRow("count down after power on")     << QStringList{"0|C00", "2999|CR0"}                       << QByteArray("40\r");
    QTest::newRow("on once count-down is over")    << QStringList{"0|C00", "3000|CR0"}                       << QByteArray("00\r");
    QTest::newRow("power on again while on")       << QStringList{"0|C00", "3000|C00", "3001|CR0"}           << QByteArray("00\r");
    QTest::newRow("cooling after power off")       << QStringList{"0|C00", "4000|C02", "6999|CR0"}           << QByteArray("20\r");
    QTest::newRow("standby once cooled")           << QStringList{"0|C00", "4000|C02", "7000|CR0"}           << QByteArray("80\r");
    QTest::newRow("power on while cooling ignored")<< QStringList{"0|C00", "4000|C02", "5000|C00", "7000|CR0"} << QByteArray("80\r");
    QTest::newRow("power off in standby ignored")  << QStringList{"0|C02", "10|CR0"}                         << QByteArray("80\r");
    QTest::newRow("input 1 at start")              << QStringList{"0|CR1"}                                   << QByteArray("1\r");
    QTest::newRow("PC2 reads as 3")                << QStringList{"0|C06", "0|CR1"}                          << QByteArray("3\r");
    QTest::newRow("VIDEO reads as 2")              << QStringList{"0|C07", "0|CR1"}                          << QByteArray("2\r");
    QTest::newRow("PC1 after VIDEO reads as 1")    << QStringList{"0|C07", "0|C05", "0|CR1"}                 << QByteArray("1\r");
    QTest::newRow("lamp full at start")            << QStringList{"0|CR LAMPMODE"}                           << QByteArray("FUL\r");
    QTest::newRow("lamp eco follows setting")      << QStringList{"0|CF LAMPMODE ECO", "0|CR LAMPMODE"}      << QByteArray("ECO\r");
    QTest::newRow("lamp back to full")             << QStringList{"0|CF LAMPMODE ECO", "0|CF LAMPMODE FUL", "0|CR LAMPMODE"} << QByteArray("FUL\r");
    QTest::newRow("lamp hours four digits")        << QStringList{"0|CR3"}                                   << QByteArray("0123\r");
    QTest::newRow("setting normal")                << QStringList{"0|CR4"}                                   << QByteArray("11\r");
    QTest::newRow("projector hours")               << QStringList{"0|CR PROJH"}                              << QByteArray("01234\r");
    QTest::newRow("pressure reading")              << QStringList{"0|CR PRESSURE"}                           << QByteArray("512\r");
    QTest::newRow("unknown code")                  << QStringList{"0|C99"}                                   << QByteArray("?\r");
    QTest::newRow("query in lower case unknown")   << QStringList{"0|cr0"}                                   << QByteArray("?\r");
    QTest::newRow("trailing blank unknown")        << QStringList{"0|CR0 "}                                  << QByteArray("?\r");
    QTest::newRow("empty line unknown")            << QStringList{"0|"}                                      << QByteArray("?\r");
    QTest::newRow("unknown leaves state alone")    << QStringList{"0|C06", "0|XYZ", "0|CR1"}                 << QByteArray("3\r");
    // clang-format on
}

void TestProjectorSim::replies()
{
    QFETCH(QStringList, steps);
    QFETCH(QByteArray, reply);
    SimProjector sim;
    QCOMPARE(play(sim, steps), reply);
}

void TestProjectorSim::knownCommandsAcknowledged_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::newRow("longest setting") << QByteArray("CF SOURCE S-VIDEO");
    QTest::newRow("image mode") << QByteArray("CF IMAGE CUSTOM4");
    QTest::newRow("fan speed") << QByteArray("CF FANSPEED NOR");
    QTest::newRow("direct code without interval") << QByteArray("C8A");
    QTest::newRow("caption-as-command button") << QByteArray("C01");
    QTest::newRow("arrow pad right") << QByteArray("C3A");
    QTest::newRow("lens shift down") << QByteArray("C5E");
    QTest::newRow("power off") << QByteArray("C02");
}

void TestProjectorSim::knownCommandsAcknowledged()
{
    QFETCH(QByteArray, command);
    SimProjector sim;
    QCOMPARE(sim.answer(command, 0), kAckCR);
}

// The panel reads the three temperatures from reply characters 1-5, 8-11 and 13-17.
void TestProjectorSim::temperatureReplyHasReadableFields()
{
    SimProjector sim;
    const QByteArray reply = sim.answer("CR6", 0);
    QCOMPARE(reply.size(), 18);
    QVERIFY(reply.endsWith('\r'));
    for (const auto& [from, length] : {std::pair{1, 5}, {8, 4}, {13, 5}}) {
        bool ok = false;
        const QByteArray field = reply.mid(from - 1, length);
        field.toDouble(&ok);
        QVERIFY2(ok && !field.contains(' '), field.constData());
    }
}

void TestProjectorSim::framer_data()
{
    QTest::addColumn<QByteArrayList>("chunks");
    QTest::addColumn<QByteArrayList>("commands");

    const QByteArray tooLong(CommandFramer::kMaxLine + 1, 'A');
    const QByteArray longest(CommandFramer::kMaxLine, 'A');
    // clang-format off
    QTest::newRow("CR ends a command")       << QByteArrayList{"CR0\r"}            << QByteArrayList{"CR0"};
    QTest::newRow("no CR yet, no command")   << QByteArrayList{"CR0"}              << QByteArrayList{};
    QTest::newRow("LF ignored")              << QByteArrayList{"\nCR0\r\n"}        << QByteArrayList{"CR0"};
    QTest::newRow("command in three pieces") << QByteArrayList{"C", "0", "0\r"}    << QByteArrayList{"C00"};
    QTest::newRow("two commands at once")    << QByteArrayList{"C00\rCR0\r"}       << QByteArrayList{"C00", "CR0"};
    QTest::newRow("bare CR is empty")        << QByteArrayList{"\r"}               << QByteArrayList{""};
    QTest::newRow("longest line kept")       << QByteArrayList{longest + "\r"}     << QByteArrayList{longest};
    QTest::newRow("overlong line emptied")   << QByteArrayList{tooLong + "\rCR0\r"} << QByteArrayList{"", "CR0"};
    QTest::newRow("overlong across pieces")  << QByteArrayList{tooLong, "xyz", "\rC00\r"} << QByteArrayList{"", "C00"};
    // clang-format on
}

void TestProjectorSim::framer()
{
    QFETCH(QByteArrayList, chunks);
    QFETCH(QByteArrayList, commands);
    CommandFramer framer;
    QByteArrayList got;
    for (const QByteArray& chunk : chunks)
        got += framer.feed(chunk);
    QCOMPARE(got, commands);
}

void TestProjectorSim::endToEnd()
{
    RunningSim sim({});
    QVERIFY2(sim.fd >= 0, qPrintable("cannot open slave " + sim.slavePath));
    QVERIFY(sim.send("CR0\r"));
    QCOMPARE(sim.readReply(), QByteArray("80\r"));
    QVERIFY(sim.send("C00\r"));
    QCOMPARE(sim.readReply(), kAckCR);
    QVERIFY(sim.send("CR0\r"));
    QCOMPARE(sim.readReply(), QByteArray("40\r"));

    sim.process.terminate();
    QVERIFY(sim.process.waitForFinished(kReplyWaitMs));
    QCOMPARE(sim.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.process.exitCode(), 0);
}

void TestProjectorSim::answersAfterPanelReopens()
{
    RunningSim sim({});
    QVERIFY(sim.fd >= 0);
    QVERIFY(sim.send("C06\r"));
    QCOMPARE(sim.readReply(), kAckCR);
    sim.openLine(); // closes and opens again, as a port change in the panel does
    QVERIFY(sim.fd >= 0);
    QVERIFY(sim.send("CR1\r"));
    QCOMPARE(sim.readReply(), QByteArray("3\r"));
}

void TestProjectorSim::countDownEndsOnItsOwn()
{
    RunningSim sim({"--transition-ms", "100"});
    QVERIFY(sim.fd >= 0);
    QVERIFY(sim.send("C00\r"));
    QCOMPARE(sim.readReply(), kAckCR);
    QTest::qWait(150);
    QVERIFY(sim.send("CR0\r"));
    QCOMPARE(sim.readReply(), QByteArray("00\r"));
}

void TestProjectorSim::splitReplyArrivesInTwoPieces()
{
    RunningSim sim({"--split"});
    QVERIFY(sim.fd >= 0);
    QVERIFY(sim.send("CR0\r"));
    QCOMPARE(sim.readBurst(), QByteArray("8"));
    QCOMPARE(sim.readBurst(), QByteArray("0\r"));

    // A second reply waits for the first to be complete instead of cutting into it.
    QVERIFY(sim.send("CR0\rCR1\r"));
    QCOMPARE(sim.readBytes(5), QByteArray("80\r1\r"));
}

void TestProjectorSim::silentNeverAnswers()
{
    RunningSim sim({"--silent"});
    QVERIFY(sim.fd >= 0);
    QVERIFY(sim.send("CR0\r"));
    QCOMPARE(sim.readBurst(300), QByteArray());
}

void TestProjectorSim::linkMadeAndRemoved()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("projector");
    QVERIFY(QFile::link("/nonexistent", link)); // a stale link from an earlier run is replaced
    RunningSim sim({"--link", link});
    QVERIFY(sim.fd >= 0);
    QCOMPARE(QFileInfo(link).symLinkTarget(), sim.slavePath);

    ::kill(pid_t(sim.process.processId()), SIGINT);
    QVERIFY(sim.process.waitForFinished(kReplyWaitMs));
    QCOMPARE(sim.process.exitCode(), 0);
    QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
}

void TestProjectorSim::unknownOptionIsUsageError()
{
    QProcess process;
    process.start(simPath(), {"--no-such-option"});
    QVERIFY(process.waitForFinished(kReplyWaitMs));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 2);
    const QByteArray err = process.readAllStandardError();
    QVERIFY(err.contains("no-such-option"));
    QVERIFY(err.contains("--hangup-after <n>")); // the help follows the error
    QVERIFY(process.readAllStandardOutput().isEmpty());
}

void TestProjectorSim::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<int>("pieces");
    QTest::addColumn<int>("lateMs");
    QTest::newRow("defaults") << QStringList{} << -1 << 1 << 0;
    QTest::newRow("split") << QStringList{"--split", "--late", "250"} << -1 << 2 << 250;
    QTest::newRow("pieces with =") << QStringList{"--pieces=7"} << -1 << 7 << 0;
    QTest::newRow("split and pieces") << QStringList{"--split", "--pieces=3"} << 2 << 1 << 0;
    QTest::newRow("late beyond its range") << QStringList{"--late=600001"} << 2 << 1 << 0;
    QTest::newRow("late not a number") << QStringList{"--late=soon"} << 2 << 1 << 0;
    QTest::newRow("stray argument") << QStringList{"extra"} << 2 << 1 << 0;
    QTest::newRow("help") << QStringList{"-h"} << 0 << 1 << 0;
    QTest::newRow("listen and link")
        << QStringList{"--listen=7000", "--link=/tmp/x"} << 2 << 1 << 0;
    QTest::newRow("listen port too big") << QStringList{"--listen=65536"} << 2 << 1 << 0;
    QTest::newRow("IPv6 without brackets") << QStringList{"--listen=::1:7000"} << 2 << 1 << 0;
    QTest::newRow("listen on a name") << QStringList{"--listen=localhost:7000"} << 2 << 1 << 0;
}

// The reading itself, which prints nothing: what the program then prints is tested above.
void TestProjectorSim::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(int, pieces);
    QFETCH(int, lateMs);
    const SimCommandLine line = readSimCommandLine(QStringList{"zeva-projector-sim"} + args);
    QCOMPARE(line.exitCode, exitCode);
    QCOMPARE(line.error.isEmpty(), exitCode != 2);
    QCOMPARE(line.options.style.pieces, pieces);
    QCOMPARE(line.options.style.lateMs, lateMs);
}

QTEST_GUILESS_MAIN(TestProjectorSim)
#include "tst_projector_sim.moc"
