#include "form_harness.h"
#include "panel/command_table.h"
#include "process_stats.h"
#include "sim_process.h"
#include "status/display_form.h"

#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <atomic>
#include <csignal>
#include <thread>

// The panel against a misbehaving line: the virtual projector's fault modes, a busy port, a
// flood. The window must stay up, say what happened once, and keep working.
namespace
{

// A panel whose COM1 is the virtual projector started with `options`.
struct SimPanel {
    SimProcess sim;
    FormHarness h{kMissingDevice, false};
    explicit SimPanel(const QStringList& options) : sim(options)
    {
        h.form->MSComm1.setDevices(sim.device(), kMissingDevice);
        h.form->Form_Load();
    }
    Form1& form() { return *h.form; }
    void press(const char16_t* control) { form().Command_Click(*findCommandRow(control)); }
};

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void hangUpClosesReportsOnceAndIdles();
    void garbageRepliesNeverBreakTheStatusLine();
    void lateAndPiecewiseReplies();
    void floodStaysBoundedAndCommandsStillGoOut();
    void portHeldByAnotherProcess();
    void idlePanelUsesNoCpu();
    void signalsEndThePanelAsEndDoes_data();
    void signalsEndThePanelAsEndDoes();
};

void TestFaults::hangUpClosesReportsOnceAndIdles()
{
    SimPanel p({QStringLiteral("--hangup-after"), QStringLiteral("1")});
    QVERIFY(p.form().MSComm1.PortOpen());
    p.press(u"Command44");
    QVERIFY(waitUntil([&] { return !p.h.boxes.isEmpty(); }, 5000));
    QVERIFY(!p.form().MSComm1.PortOpen());
    const double before = cpuSeconds();
    QTest::qWait(1000);
    QVERIFY2(cpuSeconds() - before < 0.05, "CPU after the hang-up");
    QCOMPARE(p.h.boxes.size(), 1);
    p.press(u"Command44"); // the panel stays usable with the port closed
    p.form().Timer2_Timer();
    QCOMPARE(p.form().Label12->text(), QStringLiteral(" X X X X"));
}

void TestFaults::garbageRepliesNeverBreakTheStatusLine()
{
    SimPanel p({QStringLiteral("--garbage"), QStringLiteral("--seed"), QStringLiteral("7")});
    const QRegularExpression hours(QStringLiteral("^-?\\d+ Hour Use$"));
    for (int i = 0; i < 30; ++i) {
        p.press(i % 2 ? u"Command64" : u"Command44");
        QVERIFY(waitUntil([&] { return p.form().RxBuffer.size() >= 3; }, 2000));
        QTest::qWait(20);
        const QString status = p.form().Label25->text();
        QVERIFY2(status.isEmpty() || status.startsWith(QLatin1Char(' ')) ||
                     hours.match(status).hasMatch(),
                 qPrintable(status));
        p.form().Timer2_Timer();
    }
    QVERIFY(p.form().MSComm1.PortOpen());
    QVERIFY(p.h.boxes.isEmpty());
}

void TestFaults::lateAndPiecewiseReplies()
{
    {
        SimPanel p({QStringLiteral("--late"), QStringLiteral("700")});
        p.press(u"Command19"); // a 500 ms window, on real time
        QVERIFY(
            waitUntil([&] { return p.form().Label12->text() == QStringLiteral(" X X X X"); }, 650));
        QVERIFY(waitUntil([&] { return !p.form().RxBuffer.isEmpty(); }, 2000));
        QCOMPARE(p.form().Label12->text(), QStringLiteral(" ACK CR ")); // late: shown anyway
    }
    SimPanel p({QStringLiteral("--pieces"), QStringLiteral("2")});
    p.press(u"Command44");
    QVERIFY(waitUntil([&] { return p.form().RxBuffer.endsWith(QLatin1Char('\r')); }, 2000));
    QCOMPARE(p.form().Label25->text(), QStringLiteral(" Stand by"));
}

void TestFaults::floodStaysBoundedAndCommandsStillGoOut()
{
    // 115200 baud of random bytes written from a thread, as a line delivers them.
    FormHarness h;
    std::atomic<bool> stop{false};
    std::thread flooder([&] {
        QByteArray chunk(58, '\0');
        quint32 x = 12345;
        while (!stop) {
            for (char& c : chunk)
                c = char((x = x * 1664525u + 1013904223u) >> 24);
            h.peer.write(chunk);
            QThread::msleep(5);
        }
    });
    QTest::qWait(1000);
    const long rssBefore = rssKiB();
    h.peer.drain();
    QElapsedTimer sent;
    for (int i = 0; i < 10; ++i) {
        h.form->Command_Click(*findCommandRow(u"Command44"));
        sent.start();
        QVERIFY(h.peer.read(4, 500).startsWith("CR0\r"));
        QVERIFY2(sent.elapsed() < 50, "a command during the flood waits");
        QTest::qWait(200);
        QVERIFY(h.form->RxBuffer.size() <= kMaxRenderedChars);
    }
    const long growth = rssKiB() - rssBefore;
    stop = true;
    flooder.join();
#ifndef __SANITIZE_ADDRESS__ // the sanitizer keeps freed memory in quarantine
    QVERIFY2(growth < 4096, qPrintable(QStringLiteral("%1 KiB").arg(growth)));
#else
    Q_UNUSED(growth);
#endif
    QVERIFY(h.form->MSComm1.PortOpen());
}

void TestFaults::portHeldByAnotherProcess()
{
    SimProcess sim({});
    QProcess holder; // the real panel holds COM1
    holder.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../src/zeva-control"),
                 {QStringLiteral("--com1"), sim.device()});
    QVERIFY(holder.waitForStarted());
    QTest::qWait(1500);
    QCOMPARE(holder.state(), QProcess::Running);
    FormHarness h{kMissingDevice, false};
    h.form->MSComm1.setDevices(sim.device(), kMissingDevice);
    h.form->Form_Load();
    QCOMPARE(h.boxes.size(), 1);
    QVERIFY2(h.boxes[0].contains(QStringLiteral("in use")), qPrintable(h.boxes[0]));
    QVERIFY(!h.form->MSComm1.PortOpen());
    holder.terminate();
    QVERIFY(holder.waitForFinished(3000));
    h.form->Option1_Click(); // free again: choosing the port opens it
    QVERIFY(h.form->MSComm1.PortOpen());
}

void TestFaults::idlePanelUsesNoCpu()
{
    SimProcess sim({});
    QProcess panel;
    panel.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../src/zeva-control"),
                {QStringLiteral("--com1"), sim.device()});
    QVERIFY(panel.waitForStarted());
    QTest::qWait(1500);
    auto ticks = [&] {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(panel.processId()));
        if (!stat.open(QIODevice::ReadOnly)) return -1L;
        const QList<QByteArray> f = stat.readAll().split(')').last().split(' ');
        return f.value(12).toLong() + f.value(13).toLong(); // utime + stime
    };
    const long before = ticks();
    QTest::qWait(2000);
    const long used = ticks() - before;
    QCOMPARE(panel.state(), QProcess::Running);
    QVERIFY2(used >= 0 && used <= 10, qPrintable(QString::number(used))); // ≤ 5 % of 2 s
    panel.terminate();
    panel.waitForFinished(3000);
}

void TestFaults::signalsEndThePanelAsEndDoes_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("startUpBox"); // COM1 cannot be opened: start-up's box is open
    QTest::newRow("SIGTERM") << SIGTERM << false;
    QTest::newRow("SIGINT") << SIGINT << false;
    QTest::newRow("SIGTERM, start-up box open") << SIGTERM << true;
    QTest::newRow("SIGINT, start-up box open") << SIGINT << true;
}

void TestFaults::signalsEndThePanelAsEndDoes()
{
    QFETCH(int, signal);
    QFETCH(bool, startUpBox);
    SimProcess sim({});
    const QString device = startUpBox ? QStringLiteral("/dev/zeva-nonexistent") : sim.device();
    QString name = device;
    name.remove(QStringLiteral("/dev/")).replace(u'/', u'_');
    const QString lock = QStringLiteral("/run/lock/LCK..") + name;
    QProcess panel;
    panel.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../src/zeva-control"),
                {QStringLiteral("--com1"), device, QStringLiteral("--com2"), device});
    QVERIFY(panel.waitForStarted());
    QVERIFY(startUpBox || waitUntil([&] { return QFile::exists(lock); }, 5000));
    QTest::qWait(startUpBox ? 1000 : 300); // into the box's loop, or the window's
    ::kill(panel.processId(), signal);
    QVERIFY(panel.waitForFinished(3000));
    QCOMPARE(panel.exitStatus(), QProcess::NormalExit);
    QCOMPARE(panel.exitCode(), 0);
    QVERIFY(!QFile::exists(lock)); // the port was closed, its lock removed
}

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
