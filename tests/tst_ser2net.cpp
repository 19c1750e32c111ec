// The panel through ser2net, a server we did not write, on both of its accepters: RFC 2217 and
// raw TCP. ser2net serves a pseudo-terminal whose other end is the test or the virtual
// projector.
#include "form_harness.h"
#include "panel/command_table.h"
#include "process_stats.h"
#include "ser2net_process.h"
#include "sim_process.h"

#include <QLabel>
#include <QRadioButton>
#include <QSignalSpy>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace
{

QByteArray allBytes()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    return all;
}

// The output speed the pty's slave is set to, as ser2net set it; 0 when it cannot be read.
speed_t ptySpeed(const QString& slavePath)
{
    const int fd = ::open(QFile::encodeName(slavePath), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return 0;
    termios tio{};
    const speed_t speed = ::tcgetattr(fd, &tio) == 0 ? cfgetospeed(&tio) : 0;
    ::close(fd);
    return speed;
}

// What ser2net wrote on the device, while the panel's event loop runs.
QByteArray deviceRead(PtyPeer& device, qsizetype n, int timeoutMs = 5000)
{
    QByteArray got;
    waitUntil(
        [&] {
            got += device.read();
            return got.size() >= n;
        },
        timeoutMs);
    return got;
}

// A panel whose COM1 is `address`.
struct NetPanel {
    FormHarness h{kMissingDevice, false};
    explicit NetPanel(const QString& address)
    {
        h.form->MSComm1.setDevices(address, kMissingDevice);
        h.form->Form_Load();
    }
    Form1& form() { return *h.form; }
    void status() { form().Command_Click(*findCommandRow(u"Command44")); }
};

} // namespace

class TestSer2net : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void everyByteRoundTrips_data();
    void everyByteRoundTrips();
    void statusDecodesFromTheVirtualProjector_data();
    void statusDecodesFromTheVirtualProjector();
    void speedChoiceReachesThePty();
    void killedServerIsOneLostLineAndReconnects();
};

void TestSer2net::initTestCase()
{
    if (Ser2netProcess::program().isEmpty())
        QSKIP("ser2net is not installed (apt-get install ser2net): the end-to-end tests of "
              "serial over the network are skipped");
}

void TestSer2net::everyByteRoundTrips_data()
{
    QTest::addColumn<bool>("rfc2217");
    QTest::newRow("raw TCP accepter") << false;
    QTest::newRow("RFC 2217 accepter") << true;
}

void TestSer2net::everyByteRoundTrips()
{
    QFETCH(bool, rfc2217);
    PtyPeer device;
    Ser2netProcess server(device.slavePath());
    QVERIFY(server.start());
    SerialComm comm;
    comm.setDevices(rfc2217 ? server.rfc2217Address() : server.rawAddress(), kMissingDevice);
    QVERIFY(!comm.setSettings(QStringLiteral("19200,N,8,1")));
    QVERIFY(!comm.setPortOpen(true));
    QVERIFY(!comm.Output(QString::fromLatin1(allBytes()))); // waits for the line to be ready
    QCOMPARE(deviceRead(device, 256), allBytes());

    QSignalSpy events(&comm, &SerialComm::OnComm);
    QVERIFY(device.write(allBytes()));
    QString got;
    QVERIFY(waitUntil([&] {
        got += comm.Input();
        return got.size() >= 256;
    }));
    QCOMPARE(got, QString::fromLatin1(allBytes()));
    QVERIFY(comm.PortOpen());
}

void TestSer2net::statusDecodesFromTheVirtualProjector_data()
{
    everyByteRoundTrips_data();
}

void TestSer2net::statusDecodesFromTheVirtualProjector()
{
    QFETCH(bool, rfc2217);
    SimProcess sim({});
    QVERIFY(!sim.device().isEmpty());
    Ser2netProcess server(sim.device());
    QVERIFY(server.start());
    NetPanel p(rfc2217 ? server.rfc2217Address() : server.rawAddress());
    p.status(); // pressed while the connection is still being made
    QVERIFY(waitUntil([&] { return !p.form().Label25->text().isEmpty(); }, 5000));
    QCOMPARE(p.form().Label25->text(), QStringLiteral(" Stand by"));
    QVERIFY(p.h.boxes.isEmpty());
}

void TestSer2net::speedChoiceReachesThePty()
{
    PtyPeer device;
    Ser2netProcess server(device.slavePath());
    QVERIFY(server.start());
    NetPanel p(server.rfc2217Address());
    QVERIFY(waitUntil([&] { return ptySpeed(device.slavePath()) == B19200; }, 5000));
    p.form().Option4->setChecked(true);
    p.form().Option4_Click();
    QVERIFY(waitUntil([&] { return ptySpeed(device.slavePath()) == B9600; }, 3000));
    p.form().Option3->setChecked(true);
    p.form().Option3_Click();
    QVERIFY(waitUntil([&] { return ptySpeed(device.slavePath()) == B19200; }, 3000));
    QVERIFY(p.h.boxes.isEmpty());
}

void TestSer2net::killedServerIsOneLostLineAndReconnects()
{
    PtyPeer device;
    Ser2netProcess server(device.slavePath());
    QVERIFY(server.start());
    NetPanel p(server.rfc2217Address());
    QSignalSpy reconnected(&p.form().MSComm1, &SerialComm::reconnected);
    p.status();
    QCOMPARE(deviceRead(device, 4), QByteArray("CR0\r"));

    server.kill();
    QVERIFY(waitUntil([&] { return !p.h.boxes.isEmpty(); }, 5000));
    QVERIFY2(p.h.boxes[0].contains(QStringLiteral("lost")), qPrintable(p.h.boxes[0]));
    const double before = cpuSeconds();
    QTest::qWait(1500); // tries in the background, without a spin and without a box
    QVERIFY2(cpuSeconds() - before < 0.05, "CPU while the server is away");
    QCOMPARE(p.h.boxes.size(), 1);

    QVERIFY(server.start());
    QVERIFY(reconnected.count() || reconnected.wait(8000));
    QVERIFY(p.form().MSComm1.PortOpen());
    QVERIFY(!p.form().portFailed());
    QCOMPARE(p.h.boxes.size(), 1);
    p.status();
    QCOMPARE(deviceRead(device, 4), QByteArray("CR0\r"));
    QVERIFY(device.write("00\r"));
    QVERIFY(waitUntil([&] { return p.form().Label25->text() == QStringLiteral(" Power ON"); }));
}

QTEST_MAIN(TestSer2net)
#include "tst_ser2net.moc"
