#include "link/serial_comm.h"
#include "process_stats.h"
#include "pty_peer.h"

#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    void portHeldElsewhereIsInUse_data();
    void portHeldElsewhereIsInUse();
    void unusableDevicesAreNamed_data();
    void unusableDevicesAreNamed();
    void linkAndTargetShareOneLock();
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

void TestSerialComm::portHeldElsewhereIsInUse_data()
{
    QTest::addColumn<QString>("hold");
    QTest::newRow("exclusive flock, as pyserial's exclusive mode takes") << "flock";
    QTest::newRow("exclusive mode, which root could open past") << "TIOCEXCL";
    QTest::newRow("lock file of a live process, a minute old") << "lock file";
}

void TestSerialComm::portHeldElsewhereIsInUse()
{
    QFETCH(QString, hold);
    PtyPeer peer;
    const int holder =
        ::open(QFile::encodeName(peer.slavePath()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(holder >= 0);
    QProcess owner; // the live process the lock file names
    QFile lockFile(QStringLiteral("/var/lock/LCK..") + peer.slavePath().mid(5).replace(u'/', u'_'));
    const auto cleanUp = qScopeGuard([&] {
        ::ioctl(holder, TIOCNXCL);
        ::close(holder);
        lockFile.remove();
        owner.kill();
        owner.waitForFinished();
    });
    if (hold == u"flock") QCOMPARE(::flock(holder, LOCK_EX | LOCK_NB), 0);
    if (hold == u"TIOCEXCL") QCOMPARE(::ioctl(holder, TIOCEXCL), 0);
    if (hold == u"lock file") {
        owner.start(QStringLiteral("sleep"), {QStringLiteral("60")});
        QVERIFY(owner.waitForStarted());
        if (!lockFile.open(QIODevice::WriteOnly)) QSKIP("/var/lock is not writable here");
        // The UUCP form: the process number in ten characters and a line feed.
        lockFile.write(QByteArray::number(owner.processId()).rightJustified(10, ' ') + '\n');
        QVERIFY(lockFile.setFileTime(QDateTime::currentDateTime().addSecs(-60),
                                     QFileDevice::FileModificationTime));
        lockFile.close();
    }
    SerialComm comm;
    comm.setDevices(peer.slavePath(), kMissing());
    const CommError error = comm.setPortOpen(true);
    QVERIFY(error);
    QVERIFY2(error->contains(QStringLiteral("in use")), qPrintable(*error));
    if (hold == u"lock file") QVERIFY(lockFile.exists());
}

void TestSerialComm::unusableDevicesAreNamed_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("fragment");
    QTest::newRow("null device") << "/dev/null"
                                 << "not a serial port";
    QTest::newRow("zero device") << "/dev/zero"
                                 << "not a serial port";
    QTest::newRow("regular file") << "file"
                                  << "not a serial port";
    QTest::newRow("named pipe") << "fifo"
                                << "not a serial port";
    QTest::newRow("5000-character missing path") << "long"
                                                 << "too long";
}

void TestSerialComm::unusableDevicesAreNamed()
{
    QFETCH(QString, kind);
    QFETCH(QString, fragment);
    QTemporaryDir dir;
    QString device = kind;
    if (kind == u"file") {
        device = dir.filePath(kind);
        QFile file(device);
        QVERIFY(file.open(QIODevice::WriteOnly));
    } else if (kind == u"fifo") {
        device = dir.filePath(kind);
        QCOMPARE(::mkfifo(QFile::encodeName(device).constData(), 0600), 0);
    } else if (kind == u"long") {
        device = QStringLiteral("/dev/") + QString(5000, u'x');
    }
    SerialComm comm;
    comm.setDevices(device, kMissing());
    const CommError error = comm.setPortOpen(true);
    QVERIFY(error);
    QVERIFY2(error->contains(fragment), qPrintable(error->left(200)));
    QVERIFY(!error->contains(QStringLiteral("in use")));
}

void TestSerialComm::linkAndTargetShareOneLock()
{
    // A link whose name alone would not fit a lock file name opens the device it names, and a
    // second opener through the device's own path finds it taken.
    PtyPeer peer;
    QTemporaryDir dir;
    const QString link = dir.filePath(QString(250, u'l'));
    QVERIFY(QFile::link(peer.slavePath(), link));
    SerialComm viaLink, viaTarget;
    viaLink.setDevices(link, kMissing());
    viaTarget.setDevices(peer.slavePath(), kMissing());
    const CommError opened = viaLink.setPortOpen(true);
    QVERIFY2(!opened, qPrintable(opened.value_or(QString()).right(120)));
    const CommError refused = viaTarget.setPortOpen(true);
    QVERIFY(refused);
    QVERIFY2(refused->contains(QStringLiteral("in use")), qPrintable(*refused));
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
    const QString description = lost.at(0).at(0).toString();
    QVERIFY2(description.contains(QStringLiteral("unplugged or the other end hung up")) &&
                 !description.contains(QStringLiteral("No such file")),
             qPrintable(description));
    const double before = cpuSeconds();
    QTest::qWait(1000);
    const double used = cpuSeconds() - before;
    QCOMPARE(lost.count(), 1);
    QVERIFY2(used < 0.05, qPrintable(QString::number(used)));
}

QTEST_GUILESS_MAIN(TestSerialComm)
#include "tst_serial_comm.moc"
