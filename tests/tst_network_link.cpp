// MSComm1 over the network against real loopback sockets: a raw TCP peer, servers that hang up
// or stop reading, and an RFC 2217 server that negotiates. Each failure's sentence is checked
// end to end, through the program, in tst_network_script.
#include "link/serial_comm.h"
#include "link/tcp_transport.h"
#include "scripted_peer.h"
#include "ser2net_process.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <memory>

namespace
{

const QString kMissing = QStringLiteral("/dev/zeva-test-no-such-device");

QByteArray allBytes()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    return all;
}

QByteArray readAtLeast(QTcpSocket* peer, qsizetype n, int timeoutMs = 3000)
{
    QByteArray got = peer->readAll();
    QDeadlineTimer deadline(timeoutMs);
    while (got.size() < n && !deadline.hasExpired() && peer->waitForReadyRead(50))
        got += peer->readAll();
    while (got.size() < n && !deadline.hasExpired()) {
        QTest::qWait(5);
        got += peer->readAll();
    }
    return got;
}

} // namespace

class TestNetworkLink : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void rawPortIsReadyWhenOpenAndCarriesEveryByte();
    void nothingIsKeptWhileNegotiating();
    void droppedConnectionIsOneLostLineThenReopens();
    void closingStopsTheReopening();
    void stalledPeerIsALostLine_data();
    void stalledPeerIsALostLine();
    void malformedAddressIsRefusedAtOpen();
    void pausesGrowToHalfAMinute_data();
    void pausesGrowToHalfAMinute();
};

void TestNetworkLink::rawPortIsReadyWhenOpenAndCarriesEveryByte()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    SerialComm comm;
    comm.setDevices(QStringLiteral("socket://127.0.0.1:%1").arg(server.serverPort()), kMissing);
    QVERIFY(comm.Output(QStringLiteral("C00\r"))); // nothing is kept for a line not open
    QVERIFY(!comm.setPortOpen(true));
    QVERIFY(comm.PortOpen()); // connected on return
    QVERIFY(!comm.Output(QStringLiteral("CR0\r")));
    QVERIFY(server.waitForNewConnection(3000));
    std::unique_ptr<QTcpSocket> peer(server.nextPendingConnection());
    QCOMPARE(readAtLeast(peer.get(), 4), QByteArray("CR0\r"));

    QVERIFY(!comm.Output(QString::fromLatin1(allBytes())));
    QCOMPARE(readAtLeast(peer.get(), 256), allBytes());
    QSignalSpy events(&comm, &SerialComm::OnComm);
    peer->write(allBytes());
    peer->flush();
    QString got;
    QDeadlineTimer deadline(3000);
    while (got.size() < 256 && !deadline.hasExpired() && (events.count() || events.wait(500)))
        got += comm.Input();
    QCOMPARE(got, QString::fromLatin1(allBytes()));
}

void TestNetworkLink::nothingIsKeptWhileNegotiating()
{
    ScriptedPeer peer(ScriptedPeer::Kind::Rfc2217);
    Rfc2217Transport line(QStringLiteral("127.0.0.1"), peer.port());
    QSignalSpy ready(&line, &Transport::ready);
    line.openLater(*parseLineSettings(QStringLiteral("19200,N,8,1")).settings);
    // A held Zoom while the server negotiates: sent later, each would arrive stale.
    for (int i = 0; i < 20; ++i)
        (void)line.write("C47\r");
    QVERIFY(!line.isOpen());
    QVERIFY(ready.wait(3000));
    QVERIFY(!line.write("CR0\r"));
    QByteArray got;
    char buf[64];
    QDeadlineTimer deadline(2000);
    while (got.size() < 4 && !deadline.hasExpired()) {
        pollfd p{peer.connection(), POLLIN, 0};
        if (::poll(&p, 1, 50) > 0)
            got += QByteArray(buf, qMax<ssize_t>(0, ::recv(p.fd, buf, 64, 0)));
    }
    QCOMPARE(got, QByteArray("CR0\r"));
}

void TestNetworkLink::droppedConnectionIsOneLostLineThenReopens()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    SerialComm comm;
    comm.setReopensLostLine(true);
    comm.setDevices(kMissing, QStringLiteral("socket://127.0.0.1:%1").arg(server.serverPort()));
    QVERIFY(!comm.setCommPort(2));
    QVERIFY(!comm.setPortOpen(true));
    QVERIFY(server.waitForNewConnection(3000));
    std::unique_ptr<QTcpSocket> peer(server.nextPendingConnection());
    QSignalSpy lost(&comm, &SerialComm::lineLost);
    QSignalSpy reconnected(&comm, &SerialComm::reconnected);
    peer->close();
    QVERIFY(lost.wait(3000));
    QVERIFY2(lost.at(0).at(0).toString().contains(QStringLiteral("lost")),
             qPrintable(lost.at(0).at(0).toString()));
    QVERIFY(!comm.PortOpen());
    // The first try comes a second later; it reaches the same address, silently.
    QVERIFY(reconnected.wait(4000));
    QCOMPARE(lost.count(), 1);
    QVERIFY(comm.PortOpen());
    QCOMPARE(comm.CommPort(), 2);
    QVERIFY(server.waitForNewConnection(1000) || server.hasPendingConnections());
    peer.reset(server.nextPendingConnection());
    QVERIFY(!comm.Output(QStringLiteral("CR0\r")));
    QCOMPARE(readAtLeast(peer.get(), 4), QByteArray("CR0\r"));
}

void TestNetworkLink::closingStopsTheReopening()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    SerialComm comm;
    comm.setReopensLostLine(true);
    comm.setDevices(QStringLiteral("socket://127.0.0.1:%1").arg(server.serverPort()), kMissing);
    QVERIFY(!comm.setPortOpen(true));
    QVERIFY(server.waitForNewConnection(3000));
    std::unique_ptr<QTcpSocket> peer(server.nextPendingConnection());
    QSignalSpy lost(&comm, &SerialComm::lineLost);
    peer->close();
    QVERIFY(lost.wait(3000));
    QVERIFY(!comm.setPortOpen(false)); // as END does
    QTest::qWait(1500);
    QVERIFY(!server.hasPendingConnections());
    QVERIFY(!comm.PortOpen());
}

void TestNetworkLink::stalledPeerIsALostLine_data()
{
    QTest::addColumn<int>("peerKind");
    QTest::addColumn<int>("chunk");
    QTest::addColumn<int>("writes");
    QTest::addColumn<QString>("sentence");
    const int neverRead = int(ScriptedPeer::Kind::NeverRead);
    QTest::newRow("one block, never taken: 5 s") << neverRead << 1024 * 1024 << 1 << "for 5 s";
    QTest::newRow("50 KB commands: the bound")
        << neverRead << 50 * 1024 << 200 << "bytes were waiting";
    QTest::newRow("Telnet answers never read")
        << int(ScriptedPeer::Kind::PingPong) << 1 << 0 << "bytes were waiting";
}

void TestNetworkLink::stalledPeerIsALostLine()
{
    QFETCH(int, peerKind);
    QFETCH(int, chunk);
    QFETCH(int, writes);
    QFETCH(QString, sentence);
    ScriptedPeer peer{ScriptedPeer::Kind(peerKind)};
    SerialComm comm;
    comm.setDevices(peer.address(), kMissing);
    QVERIFY(!comm.setSettings(QStringLiteral("19200,N,8,1")));
    QVERIFY(!comm.setPortOpen(true));
    QSignalSpy lost(&comm, &SerialComm::lineLost);
    const QString command(chunk - 1, QLatin1Char('A'));
    for (int i = 0; i < writes && comm.PortOpen(); ++i)
        (void)comm.Output(command + QLatin1Char('\r'));
    QVERIFY(lost.count() || lost.wait(TcpTransport::kDrainTimeoutMs + 1500));
    QCOMPARE(lost.count(), 1);
    const QString text = lost.at(0).at(0).toString();
    QVERIFY2(text.contains(sentence) && text.contains(QStringLiteral("the line was lost")),
             qPrintable(text));
    QVERIFY(!comm.PortOpen());
    QVERIFY(comm.Output(command)); // not open: nothing is kept for later
}

void TestNetworkLink::malformedAddressIsRefusedAtOpen()
{
    SerialComm comm;
    comm.setDevices(QStringLiteral("socket://projector"), kMissing);
    const CommError error = comm.setPortOpen(true);
    QVERIFY(error);
    QVERIFY2(error->contains(QStringLiteral("no port")), qPrintable(*error));
    QVERIFY(!comm.PortOpen());
}

void TestNetworkLink::pausesGrowToHalfAMinute_data()
{
    QTest::addColumn<int>("attempt");
    QTest::addColumn<int>("pauseMs");
    QTest::newRow("first try") << 0 << 1000;
    QTest::newRow("second") << 1 << 2000;
    QTest::newRow("third") << 2 << 4000;
    QTest::newRow("fifth") << 4 << 16000;
    QTest::newRow("sixth: the longest") << 5 << 30000;
    QTest::newRow("and so on") << 40 << 30000;
}

void TestNetworkLink::pausesGrowToHalfAMinute()
{
    QFETCH(int, attempt);
    QFETCH(int, pauseMs);
    QCOMPARE(Reconnector::pauseMs(attempt), pauseMs);
}

QTEST_GUILESS_MAIN(TestNetworkLink)
#include "tst_network_link.moc"
