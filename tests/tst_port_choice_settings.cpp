// The ports the operator chose, kept in a settings file: read back, hand-edited into nonsense,
// and written by two panels at once.
#include "ports/port_choice_settings.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

class TestPortChoiceSettings : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void handEdited_data();
    void handEdited();
    void unreadableIsNotWrittenOver();
    void typed_data();
    void typed();
    void twoPanelsWriteAtOnce();
};

namespace
{

// One panel's side of twoPanelsWriteAtOnce: `rounds` choices of one port, each kept at once.
int writeRounds(const QString& path, const QString& key, int rounds)
{
    QSettings store(path, QSettings::IniFormat);
    PortChoice before;
    for (int i = 0; i < rounds; ++i) {
        PortChoice after = before;
        (key == QLatin1String("com1") ? after.com1 : after.com2) =
            QStringLiteral("/dev/%1-%2").arg(key).arg(i);
        if (!writePortChoice(store, before, after).isEmpty()) return 1;
        before = after;
    }
    return 0;
}

} // namespace

void TestPortChoiceSettings::handEdited_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("com1");
    QTest::addColumn<QString>("com2");
    QTest::addColumn<QStringList>("problems"); // a word of each
    QTest::newRow("both kept") << QByteArray("[ports]\ncom1=/dev/ttyUSB0\n"
                                             "com2=rfc2217://[::1]:2217\n")
                               << "/dev/ttyUSB0"
                               << "rfc2217://[::1]:2217" << QStringList{};
    QTest::newRow("a list") << QByteArray("[ports]\ncom1=/dev/a, /dev/b\ncom2=/dev/ttyS1\n") << ""
                            << "/dev/ttyS1" << QStringList{"no device for ports/com1"};
    QTest::newRow("a relative name") << QByteArray("[ports]\ncom2=ttyUSB0\n") << ""
                                     << "" << QStringList{"not a device path"};
    QTest::newRow("an address without a port")
        << QByteArray("[ports]\ncom1=socket://projector\n") << ""
        << "" << QStringList{"not a device address"};
    QTest::newRow("a variant of another type")
        << QByteArray("[ports]\ncom1=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)\n") << ""
        << "" << QStringList{"no device"};
    QTest::newRow("an unclosed section") << QByteArray("[ports\ncom1=/dev/ttyS0\n") << ""
                                         << "" << QStringList{"cannot be read"};
}

void TestPortChoiceSettings::handEdited()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, com1);
    QFETCH(QString, com2);
    QFETCH(QStringList, problems);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("zeva-control.conf"));
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly) && out.write(file) == file.size());
    out.close();
    QSettings store(path, QSettings::IniFormat);
    const PortChoiceRead read = readPortChoice(store);
    QCOMPARE(read.choice.com1, com1);
    QCOMPARE(read.choice.com2, com2);
    QCOMPARE(read.problems.size(), problems.size());
    for (qsizetype i = 0; i < problems.size(); ++i) {
        QVERIFY2(read.problems[i].contains(problems[i]), qPrintable(read.problems[i]));
        QVERIFY(read.problems[i].contains(path)); // says which file
    }
}

void TestPortChoiceSettings::unreadableIsNotWrittenOver()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("zeva-control.conf"));
    const QByteArray nonsense("[ports\ncom1=/dev/ttyUSB3\nmy notes\n");
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly) && out.write(nonsense) == nonsense.size());
    out.close();
    QSettings store(path, QSettings::IniFormat);
    const QString error = writePortChoice(store, {}, {QStringLiteral("/dev/ttyS0"), {}});
    QVERIFY(error.contains(QLatin1String("this run only")));
    QFile in(path);
    QVERIFY(in.open(QIODevice::ReadOnly));
    QCOMPARE(in.readAll(), nonsense);
}

void TestPortChoiceSettings::typed_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("refusal"); // a word of it, or empty
    QTest::newRow("an existing device") << "/dev/null"
                                        << "";
    QTest::newRow("a missing device") << "/dev/ttyUSB97"
                                      << "no device /dev/ttyUSB97";
    QTest::newRow("a port the system lists") << "COM7"
                                             << "";
    QTest::newRow("a relative name") << "."
                                     << "whole path";
    QTest::newRow("a raw TCP address") << "socket://127.0.0.1:4001"
                                       << "";
    QTest::newRow("an address with a user") << "rfc2217://me@host:2217"
                                            << "no user name";
    QTest::newRow("an unknown scheme") << "tcp://127.0.0.1:4001"
                                       << "unknown scheme";
}

void TestPortChoiceSettings::typed()
{
    QFETCH(QString, text);
    QFETCH(QString, refusal);
    const QString said = checkTypedDevice(text, {QStringLiteral("COM7")});
    QVERIFY2(refusal.isEmpty() ? said.isEmpty() : said.contains(refusal), qPrintable(said));
}

void TestPortChoiceSettings::twoPanelsWriteAtOnce()
{
    // Two processes, as two panels are: QSettings' lock is between processes.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("zeva-control.conf"));
    constexpr int kRounds = 150;
    QProcess panels[2];
    const char* keys[] = {"com1", "com2"};
    for (int i = 0; i < 2; ++i)
        panels[i].start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("--write-rounds"), path, QLatin1String(keys[i]),
                         QString::number(kRounds)});
    for (QProcess& p : panels) {
        QVERIFY(p.waitForFinished(60'000));
        QCOMPARE(p.exitCode(), 0);
    }
    // Each panel's last choice is there, neither lost to the other's writing.
    QSettings store(path, QSettings::IniFormat);
    const PortChoiceRead read = readPortChoice(store);
    QCOMPARE(read.problems, QStringList{});
    QCOMPARE(read.choice.com1, QStringLiteral("/dev/com1-%1").arg(kRounds - 1));
    QCOMPARE(read.choice.com2, QStringLiteral("/dev/com2-%1").arg(kRounds - 1));
}

int main(int argc, char** argv)
{
    if (argc == 5 && qstrcmp(argv[1], "--write-rounds") == 0)
        return writeRounds(QString::fromLocal8Bit(argv[2]), QString::fromLatin1(argv[3]),
                           atoi(argv[4]));
    QCoreApplication app(argc, argv);
    TestPortChoiceSettings test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_port_choice_settings.moc"
