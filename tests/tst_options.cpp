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
    QTest::newRow("missing device") << QStringList{"--com2"} << 2 << "needs a device path";
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
    if (exitCode == 2) QVERIFY(text.contains(QStringLiteral("Usage: zeva-control")));
}

QTEST_GUILESS_MAIN(TestOptions)
#include "tst_options.moc"
