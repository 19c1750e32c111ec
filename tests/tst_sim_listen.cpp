// The virtual projector on a TCP port, with the real panel's scripted road through it.
#include <QCoreApplication>
#include <QProcess>
#include <QTcpSocket>
#include <QTest>
#include <QUrl>

namespace
{

constexpr int kReplyWaitMs = 2000;

QString simPath()
{
    const QString fromEnv = qEnvironmentVariable("ZEVA_SIM");
    return fromEnv.isEmpty() ? QStringLiteral(ZEVA_SIM_FALLBACK) : fromEnv;
}

} // namespace

class TestSimListen : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void listenAnswersThePanel_data();
    void listenAnswersThePanel();
};

void TestSimListen::listenAnswersThePanel_data()
{
    QTest::addColumn<QString>("listen");
    QTest::addColumn<QString>("printed"); // the first line, up to the port
    QTest::addColumn<bool>("held");       // another client holds the line; it left, when false
    QTest::addColumn<int>("exitCode");
    QTest::newRow("address left out") << "0"
                                      << "socket://127.0.0.1:" << false << 0;
    QTest::newRow("IPv6 loopback") << "[::1]:0"
                                   << "socket://[::1]:" << false << 0;
    QTest::newRow("line held by another") << "127.0.0.1:0"
                                          << "socket://127.0.0.1:" << true << 4;
}

// The real panel's scripted road, through the address the simulator prints. A client came and
// went before the panel, or is still there.
void TestSimListen::listenAnswersThePanel()
{
    QFETCH(QString, listen);
    QFETCH(QString, printed);
    QFETCH(bool, held);
    QFETCH(int, exitCode);
    QProcess sim;
    sim.start(simPath(), {"--listen", listen});
    QVERIFY(sim.waitForReadyRead(kReplyWaitMs));
    const QString address = QString::fromUtf8(sim.readLine().trimmed());
    if (address.isEmpty() && listen.startsWith('[')) QSKIP("no IPv6 loopback here");
    QVERIFY2(address.startsWith(printed), qPrintable(address));
    QTcpSocket other;
    const QUrl url(address);
    other.connectToHost(url.host(), quint16(url.port()));
    QVERIFY(other.waitForConnected(kReplyWaitMs));
    other.write("CR0\r"); // answered: the simulator has taken this client
    QVERIFY(other.waitForReadyRead(kReplyWaitMs));
    if (!held) other.disconnectFromHost();

    QProcess panel;
    panel.start(QCoreApplication::applicationDirPath() + "/../src/zeva-control",
                {"--com1", address, "--query", "status"});
    QVERIFY(panel.waitForFinished(3 * kReplyWaitMs));
    QVERIFY2(panel.exitCode() == exitCode, panel.readAllStandardError().constData());
    if (exitCode == 0) QVERIFY(panel.readAllStandardOutput().startsWith("CR0"));
    sim.terminate();
    QVERIFY(sim.waitForFinished(kReplyWaitMs));
}

QTEST_GUILESS_MAIN(TestSimListen)
#include "tst_sim_listen.moc"
