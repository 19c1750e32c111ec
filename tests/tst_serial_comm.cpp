#include "link/serial_comm.h"
#include "process_stats.h"
#include "pty_peer.h"

#include <QSignalSpy>
#include <QTest>

namespace
{

QString kMissing()
{
    return QStringLiteral("/dev/zeva-test-no-such-device");
}

} // namespace

class TestSerialComm : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void outputAndInputAreBytes();
    void portNumberAndSettings();
    void openFailuresAreDescribed_data();
    void openFailuresAreDescribed();
    void secondOpenerIsRefused();
    void writingWhileClosedFailsQuietly();
    void hangUpClosesOnceAndStaysIdle();
};

void TestSerialComm::outputAndInputAreBytes()
{
    PtyPeer peer;
    SerialComm comm;
    comm.setDevices(peer.slavePath(), kMissing());
    QVERIFY(!comm.setSettings(QStringLiteral("19200,N,8,1")));
    QVERIFY(!comm.setPortOpen(true));
    QVERIFY(comm.PortOpen());

    QVERIFY(!comm.Output(QStringLiteral("C00\r") + QChar(0xE9) + QChar(0x3042)));
    QCOMPARE(peer.read(6, 2000), QByteArray("C00\r\xE9?"));

    QSignalSpy events(&comm, &SerialComm::OnComm);
    peer.write(QByteArray("0\x06\xFF", 3));
    QVERIFY(events.wait(2000));
    QCOMPARE(comm.CommEvent(), SerialComm::kEvReceive);
    QString got = comm.Input();
    while (got.size() < 3 && events.wait(500))
        got += comm.Input();
    QCOMPARE(got, QString(QLatin1String("0\x06\xFF", 3)));
}

void TestSerialComm::portNumberAndSettings()
{
    PtyPeer peer;
    SerialComm comm;
    comm.setDevices(peer.slavePath(), kMissing());
    QVERIFY(comm.setCommPort(3)); // only COM1 and COM2 exist
    QCOMPARE(comm.CommPort(), 1);
    QVERIFY(comm.setSettings(QStringLiteral("19200,N,8"))); // malformed: refused, old kept
    QVERIFY(!comm.setSettings(QStringLiteral("19200,N,8,1")));
    QVERIFY(!comm.setPortOpen(true));
    QVERIFY(comm.setCommPort(2));                             // not while open
    QVERIFY(!comm.setSettings(QStringLiteral("9600,N,8,1"))); // effective on the open port
    QVERIFY(comm.PortOpen());
    QCOMPARE(comm.Settings(), QStringLiteral("9600,N,8,1"));
    QVERIFY(!comm.setPortOpen(false));
    QVERIFY(!comm.setPortOpen(false)); // closing a closed port is harmless
}

void TestSerialComm::openFailuresAreDescribed_data()
{
    QTest::addColumn<int>("injected");
    QTest::addColumn<QString>("fragment");
    QTest::newRow("missing device") << -1 << "no such device";
    QTest::newRow("lock held by another program")
        << int(QSerialPort::PermissionError) << "in use by another program";
    QTest::newRow("unknown platform error") << int(QSerialPort::UnknownError) << "COM1";
}

void TestSerialComm::openFailuresAreDescribed()
{
    QFETCH(int, injected);
    QFETCH(QString, fragment);
    PtyPeer peer;
    SerialComm comm;
    comm.setDevices(injected < 0 ? kMissing() : peer.slavePath(), kMissing());
    if (injected >= 0) comm.injectOpenFailure(QSerialPort::SerialPortError(injected));
    const CommError error = comm.setPortOpen(true);
    QVERIFY(error);
    QVERIFY2(error->contains(fragment), qPrintable(*error));
    QVERIFY(!comm.PortOpen());
    if (injected >= 0) QVERIFY(!comm.setPortOpen(true)); // the injection is used up
}

void TestSerialComm::secondOpenerIsRefused()
{
    PtyPeer peer;
    SerialComm first, second;
    first.setDevices(peer.slavePath(), kMissing());
    second.setDevices(peer.slavePath(), kMissing());
    QVERIFY(!first.setPortOpen(true));
    const CommError error = second.setPortOpen(true);
    QVERIFY(error);
    QVERIFY2(error->contains(QStringLiteral("in use")), qPrintable(*error));
}

void TestSerialComm::writingWhileClosedFailsQuietly()
{
    SerialComm comm;
    comm.setDevices(kMissing(), kMissing());
    const CommError error = comm.Output(QStringLiteral("C00\r"));
    QVERIFY(error);
    QVERIFY(error->contains(QStringLiteral("not open")));
    QCOMPARE(comm.Input(), QString());
}

void TestSerialComm::hangUpClosesOnceAndStaysIdle()
{
    PtyPeer peer;
    SerialComm comm;
    comm.setDevices(peer.slavePath(), kMissing());
    QVERIFY(!comm.setPortOpen(true));
    QSignalSpy lost(&comm, &SerialComm::lineLost);
    peer.hangUp();
    QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 3000);
    QVERIFY(!comm.PortOpen());
    const double before = cpuSeconds();
    QTest::qWait(1000);
    const double used = cpuSeconds() - before;
    QCOMPARE(lost.count(), 1);
    QVERIFY2(used < 0.05, qPrintable(QString::number(used)));
}

QTEST_GUILESS_MAIN(TestSerialComm)
#include "tst_serial_comm.moc"
