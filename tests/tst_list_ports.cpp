#include "ports/default_devices.h"
#include "ports/list_ports.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(PortRecord)

class TestListPorts : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void formatting_data();
    void formatting();
    void byIdLinks();
    void linkWithoutKnownPortIsListed();
    void realBinary();
};

namespace
{
const QString kByIdFtdi =
    QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0");
const QString kHeader =
    QStringLiteral("Serial ports (pass the path or its by-id link to --com1 or --com2):\n");
} // namespace

void TestListPorts::formatting_data()
{
    QTest::addColumn<QList<PortRecord>>("ports");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QStringList>("com"); // what COM1 and COM2 stand for

    QTest::newRow("no ports: a clear message")
        << QList<PortRecord>{}
        << QStringLiteral("No serial ports found. Plug in the serial adapter and run zeva-control "
                          "--list-ports again, or pass any device path with --com1 DEVICE.\n")
        << QStringList{};
    QTest::newRow("USB adapter with every field")
        << QList<PortRecord>{{"/dev/ttyUSB0", "FT232R USB UART", "FTDI", "A1B2C3", {kByIdFtdi}}}
        << kHeader +
               "\n/dev/ttyUSB0\n"
               "  description:   FT232R USB UART\n"
               "  maker:         FTDI\n"
               "  serial number: A1B2C3\n"
               "  by-id:         " +
               kByIdFtdi + "\n"
        << QStringList{};
    QTest::newRow("built-in port: path only")
        << QList<PortRecord>{{"/dev/ttyS0", {}, {}, {}, {}}} << kHeader + "\n/dev/ttyS0\n"
        << QStringList{};
    QTest::newRow("numbered ports sort as numbers")
        << QList<PortRecord>{{"/dev/ttyS10", {}, {}, {}, {}},
                             {"/dev/ttyUSB0", {}, {}, {}, {}},
                             {"/dev/ttyS2", {}, {}, {}, {}}}
        << kHeader + "\n/dev/ttyS2\n\n/dev/ttyS10\n\n/dev/ttyUSB0\n"
        << QStringList{};
    QTest::newRow("device texts lose control characters")
        << QList<PortRecord>{{"/dev/ttyACM0", "evil\x1b[2Jclear", "maker\r\nline", {}, {}}}
        << kHeader + "\n/dev/ttyACM0\n"
                     "  description:   evil?[2Jclear\n"
                     "  maker:         maker??line\n"
        << QStringList{};
    QTest::newRow("two links to one port, sorted")
        << QList<PortRecord>{{"/dev/ttyUSB1",
                              {},
                              {},
                              {},
                              {"/dev/serial/by-id/z", "/dev/serial/by-id/a"}}}
        << kHeader + "\n/dev/ttyUSB1\n"
                     "  by-id:         /dev/serial/by-id/a\n"
                     "  by-id:         /dev/serial/by-id/z\n"
        << QStringList{};
    QTest::newRow("COM1 by its by-id link, COM2 over the network")
        << QList<PortRecord>{{"/dev/ttyS0", {}, {}, {}, {}},
                             {"/dev/ttyUSB0", {}, {}, {}, {kByIdFtdi}}}
        << kHeader + "\n/dev/ttyS0\n\n/dev/ttyUSB0 (COM1)\n  by-id:         " + kByIdFtdi +
               "\n\nCOM1 stands for " + kByIdFtdi + "\nCOM2 stands for rfc2217://10.0.0.5:2217\n"
        << QStringList{kByIdFtdi, "rfc2217://10.0.0.5:2217"};
    QTest::newRow("no ports, still says what COM1 and COM2 are")
        << QList<PortRecord>{}
        << QStringLiteral("No serial ports found. Plug in the serial adapter and run zeva-control "
                          "--list-ports again, or pass any device path with --com1 DEVICE.\n"
                          "\nCOM1 stands for /dev/ttyS0\nCOM2 stands for /dev/ttyS1\n")
        << QStringList{"/dev/ttyS0", "/dev/ttyS1"};
}

void TestListPorts::formatting()
{
    QFETCH(QList<PortRecord>, ports);
    QFETCH(QString, expected);
    QFETCH(QStringList, com);
    QCOMPARE(formatPortList(ports, com), expected);
}

void TestListPorts::byIdLinks()
{
    QTemporaryDir devices;
    QVERIFY(devices.isValid());
    const QString target = devices.filePath(QStringLiteral("ttyUSB7"));
    QFile device(target);
    QVERIFY(device.open(QIODevice::WriteOnly));
    device.close();
    QVERIFY(QDir().mkdir(devices.filePath(QStringLiteral("by-id"))));
    const QString byId = devices.filePath(QStringLiteral("by-id"));
    QVERIFY(QFile::link(QStringLiteral("../ttyUSB7"), byId + QStringLiteral("/usb-one")));
    QVERIFY(QFile::link(target, byId + QStringLiteral("/usb-two")));
    QVERIFY(QFile::link(devices.filePath(QStringLiteral("gone")),
                        byId + QStringLiteral("/usb-unplugged")));
    QFile plain(byId + QStringLiteral("/not-a-link"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();

    const QMultiHash<QString, QString> links = byIdLinksIn(byId);
    const QString canonical = QFileInfo(target).canonicalFilePath();
    QCOMPARE(links.size(), 2);
    QStringList found = links.values(canonical);
    found.sort();
    QCOMPARE(found,
             (QStringList{byId + QStringLiteral("/usb-one"), byId + QStringLiteral("/usb-two")}));
    QVERIFY(byIdLinksIn(devices.filePath(QStringLiteral("no-such-dir"))).isEmpty());
}

void TestListPorts::linkWithoutKnownPortIsListed()
{
    QTemporaryDir devices;
    QVERIFY(devices.isValid());
    const QString target = devices.filePath(QStringLiteral("ttyUSB9"));
    QFile device(target);
    QVERIFY(device.open(QIODevice::WriteOnly));
    device.close();
    QVERIFY(QFile::link(target, devices.filePath(QStringLiteral("usb-adapter"))));

    const QList<PortRecord> ports = systemPorts(devices.path());
    const QString canonical = QFileInfo(target).canonicalFilePath();
    const auto it = std::find_if(ports.begin(), ports.end(),
                                 [&](const PortRecord& p) { return p.path == canonical; });
    QVERIFY(it != ports.end());
    QCOMPARE(it->byIdLinks, QStringList{devices.filePath(QStringLiteral("usb-adapter"))});
}

void TestListPorts::realBinary()
{
    // Whatever this machine has (often nothing, or only built-in ttyS ports), the program lists
    // exactly what the library sees, says so clearly when that is nothing, and succeeds.
    QProcess program;
    // Listing needs no display: run it as from a plain text console.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(QLatin1String(name));
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(ZEVA_CONTROL_BINARY), {QStringLiteral("--list-ports")});
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QCOMPARE(program.readAllStandardError(), QByteArray());
    const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
    const QList<PortRecord> ports = systemPorts();
    const DefaultDevices com = defaultDevices();
    QCOMPARE(out, formatPortList(ports, {com.com1, com.com2}));
    QVERIFY(out.contains(QStringLiteral("COM1 stands for ") + com.com1));
    if (ports.isEmpty()) QVERIFY(out.startsWith(QStringLiteral("No serial ports found.")));
}

QTEST_GUILESS_MAIN(TestListPorts)
#include "tst_list_ports.moc"
