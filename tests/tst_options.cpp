#include "app/options.h"
#include "link/line_settings.h"

#include <QProcess>
#include <QTest>

class TestOptions : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void commandLine_data();
    void commandLine();
    void scriptOptions_data();
    void scriptOptions();
    void settingsString_data();
    void settingsString();
    void programExitCodes_data();
    void programExitCodes();
};

void TestOptions::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("com1");
    QTest::addColumn<QString>("com2");
    QTest::addColumn<bool>("error");
    QTest::addColumn<bool>("listPorts");
    const QString d1 = defaultDevice(1), d2 = defaultDevice(2);
    QTest::newRow("defaults") << QStringList{} << d1 << d2 << false << false;
    QTest::newRow("both, separate values")
        << QStringList{"--com1", "/dev/ttyUSB0", "--com2", "/dev/pts/3"} << "/dev/ttyUSB0"
        << "/dev/pts/3" << false << false;
    QTest::newRow("equals form") << QStringList{"--com2=/dev/serial/by-id/usb-x"} << d1
                                 << "/dev/serial/by-id/usb-x" << false << false;
    QTest::newRow("log takes its file")
        << QStringList{"--log", "/tmp/h.log", "--com1", "/dev/ttyUSB0"} << "/dev/ttyUSB0" << d2
        << false << false;
    QTest::newRow("missing value") << QStringList{"--com1"} << d1 << d2 << true << false;
    QTest::newRow("empty value") << QStringList{"--com1="} << d1 << d2 << true << false;
    QTest::newRow("unknown option") << QStringList{"--baud", "9600"} << d1 << d2 << true << false;
    QTest::newRow("stray argument") << QStringList{"/dev/ttyS0"} << d1 << d2 << true << false;
    QTest::newRow("list ports") << QStringList{"--list-ports"} << d1 << d2 << false << true;
    QTest::newRow("list ports after a device")
        << QStringList{"--com1", "/dev/ttyUSB0", "--list-ports"} << "/dev/ttyUSB0" << d2 << false
        << true;
    QTest::newRow("list ports takes no value")
        << QStringList{"--list-ports=/dev/ttyS0"} << d1 << d2 << true << false;
    QTest::newRow("help takes no value") << QStringList{"--help=now"} << d1 << d2 << true << false;
    QTest::newRow("version takes no value")
        << QStringList{"--version=2"} << d1 << d2 << true << false;
    QTest::newRow("list ports misspelt") << QStringList{"--list-port"} << d1 << d2 << true << false;
    QTest::newRow("raw TCP address") << QStringList{"--com1", "socket://10.0.0.5:4001"}
                                     << "socket://10.0.0.5:4001" << d2 << false << false;
    QTest::newRow("RFC 2217 address, IPv6") << QStringList{"--com2=rfc2217://[fd00::5]:2217"} << d1
                                            << "rfc2217://[fd00::5]:2217" << false << false;
    QTest::newRow("address without a port")
        << QStringList{"--com1", "socket://projector"} << d1 << d2 << true << false;
    QTest::newRow("port out of range")
        << QStringList{"--com1", "rfc2217://projector:70000"} << d1 << d2 << true << false;
    QTest::newRow("port zero") << QStringList{"--com1", "socket://projector:0"} << d1 << d2 << true
                               << false;
    QTest::newRow("unknown scheme")
        << QStringList{"--com2", "telnet://projector:23"} << d1 << d2 << true << false;
    QTest::newRow("no host") << QStringList{"--com1", "socket://:4001"} << d1 << d2 << true
                             << false;
}

void TestOptions::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(QString, com1);
    QFETCH(QString, com2);
    QFETCH(bool, error);
    QFETCH(bool, listPorts);
    const Options o = parseOptions(args);
    QCOMPARE(!o.error.isEmpty(), error);
    if (error) return;
    QCOMPARE(o.listPorts, listPorts);
    QCOMPARE(o.com1, com1);
    QCOMPARE(o.com2, com2);
}

void TestOptions::scriptOptions_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("sends");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("settings");
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<bool>("json");
    QTest::addColumn<QString>("error");
    const QString fast = QStringLiteral("19200,N,8,1");
    QTest::newRow("one send, defaults")
        << QStringList{"--send", "CR0"} << QStringList{"CR0"} << 1 << fast << 2000 << false << "";
    QTest::newRow("sends, queries and power in order")
        << QStringList{"--power=on", "--send", "CF IMAGE REAL", "--query", "pressure",
                       "--power",    "off"}
        << QStringList{"C00", "CF IMAGE REAL", "CR PRESSURE", "C02"} << 1 << fast << 2000 << false
        << "";
    QTest::newRow("every setting")
        << QStringList{"--query",      "hours",     "--port", "2",
                       "--speed=9600", "--timeout", "150",    "--json"}
        << QStringList{"CR PROJH"} << 2 << "9600,N,8,1" << 150 << true << "";
    QTest::newRow("empty text sends a lone CR")
        << QStringList{"--send="} << QStringList{""} << 1 << fast << 2000 << false << "";
    QTest::newRow("line break in the text") << QStringList{"--send", "CR0\nC00"} << QStringList{}
                                            << 1 << fast << 2000 << false << "without line breaks";
    QTest::newRow("unknown query") << QStringList{"--query", "lamp"} << QStringList{} << 1 << fast
                                   << 2000 << false << "status, input, lamp-hours";
    QTest::newRow("power neither on nor off")
        << QStringList{"--power", "1"} << QStringList{} << 1 << fast << 2000 << false << "on, off";
    QTest::newRow("port 3") << QStringList{"--send", "CR0", "--port", "3"} << QStringList{} << 1
                            << fast << 2000 << false << "--port takes 1 or 2";
    QTest::newRow("speed 4800") << QStringList{"--send", "CR0", "--speed", "4800"} << QStringList{}
                                << 1 << fast << 2000 << false << "--speed takes 19200 or 9600";
    QTest::newRow("zero time-out") << QStringList{"--send", "CR0", "--timeout", "0"}
                                   << QStringList{} << 1 << fast << 2000 << false << "--timeout";
    QTest::newRow("send without text") << QStringList{"--send"} << QStringList{} << 1 << fast
                                       << 2000 << false << "--send needs a value";
    QTest::newRow("json for the window") << QStringList{"--json"} << QStringList{} << 1 << fast
                                         << 2000 << false << "--json needs --send";
    QTest::newRow("json takes no value")
        << QStringList{"--send", "CR0", "--json=1"} << QStringList{} << 1 << fast << 2000 << false
        << "takes no value";
}

void TestOptions::scriptOptions()
{
    QFETCH(QStringList, args);
    QFETCH(QStringList, sends);
    QFETCH(int, port);
    QFETCH(QString, settings);
    QFETCH(int, timeoutMs);
    QFETCH(bool, json);
    QFETCH(QString, error);
    const Options o = parseOptions(args);
    QVERIFY2(error.isEmpty() ? o.error.isEmpty() : o.error.contains(error), qPrintable(o.error));
    if (!error.isEmpty()) return;
    QCOMPARE(o.sends, sends);
    QCOMPARE(o.port, port);
    QCOMPARE(o.settings, settings);
    QCOMPARE(o.timeoutMs, timeoutMs);
    QCOMPARE(o.json, json);
}

void TestOptions::settingsString_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("baud");
    QTest::newRow("start-up settings") << "19200,N,8,1" << true << 19200;
    QTest::newRow("slow speed") << "9600,N,8,1" << true << 9600;
    QTest::newRow("lower-case parity, 2 stop") << "4800,e,7,2" << true << 4800;
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("three fields") << "19200,N,8" << false << 0;
    QTest::newRow("speed not a number") << "fast,N,8,1" << false << 0;
    QTest::newRow("zero speed") << "0,N,8,1" << false << 0;
    QTest::newRow("bad parity") << "19200,X,8,1" << false << 0;
    QTest::newRow("nine data bits") << "19200,N,9,1" << false << 0;
    QTest::newRow("three stop bits") << "19200,N,8,3" << false << 0;
}

void TestOptions::settingsString()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(int, baud);
    const LineSettingsResult r = parseLineSettings(text);
    QCOMPARE(r.settings.has_value(), valid);
    if (valid)
        QCOMPARE(r.settings->baud, baud);
    else
        QVERIFY(r.error.contains(text.isEmpty() ? QStringLiteral("\"\"") : text));
}

void TestOptions::programExitCodes_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");
    QTest::newRow("version") << QStringList{"--version"} << 0 << "zeva-control 1.40\n";
    QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage: zeva-control";
    QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << "unknown option '--bogus'";
    QTest::newRow("a device alone") << QStringList{"/dev/ttyUSB0"} << 2 << "goes after --com1";
    QTest::newRow("query misnamed") << QStringList{"--query", "power"} << 2 << "takes one of";
    QTest::newRow("missing device") << QStringList{"--com2"} << 2 << "needs a device path";
    QTest::newRow("log without a file") << QStringList{"--log"} << 2 << "needs a file name";
    QTest::newRow("log with a script")
        << QStringList{"--log", "/tmp/h.log", "--send", "CR0"} << 2 << "does not go with --send";
    QTest::newRow("address without a port")
        << QStringList{"--com1", "socket://projector"} << 2 << "no port; write HOST:PORT";
    QTest::newRow("port out of range")
        << QStringList{"--com2=rfc2217://projector:65536"} << 2 << "the port 65536 is out of range";
    QTest::newRow("unknown scheme")
        << QStringList{"--com1", "ssh://projector:22"} << 2 << "unknown scheme 'ssh://'";
    QTest::newRow("a second password file, as the service's options could add")
        << QStringList{"--serve", "--pjlink",
                       "4352",    "--pjlink-password-file",
                       "/run/a",  "--pjlink-password-file",
                       "/etc/b"}
        << 2 << "option --pjlink-password-file is given twice";
}

void TestOptions::programExitCodes()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QProcess program;
    program.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../src/zeva-control"),
                  args);
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitCode(), exitCode);
    const QString text =
        QString::fromLocal8Bit(program.readAllStandardOutput() + program.readAllStandardError());
    QVERIFY2(text.contains(output), qPrintable(text));
    // A mistake: the one line that says what was wrong, then where to look, and no more.
    if (exitCode == 2)
        QVERIFY2(text.startsWith(QLatin1String("zeva-control: ")) &&
                     text.endsWith(QLatin1String("\nTry 'zeva-control --help'.\n")) &&
                     text.count(QLatin1Char('\n')) == 2,
                 qPrintable(text));
}

QTEST_GUILESS_MAIN(TestOptions)
#include "tst_options.moc"
