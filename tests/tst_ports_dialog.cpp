// The Ports dialog and the choice it keeps: on the port, in the next run, refused or hand-edited
// into nonsense (said, and nothing changed), and written by two panels at once.
#include "form_harness.h"
#include "panel/command_table.h"
#include "ports/default_devices.h"
#include "ports/port_choice_settings.h"
#include "sim_process.h"
#include "window/ports_dialog.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QTemporaryDir>

namespace
{

std::tuple<int, QString, QString> runProgram(const QStringList& args)
{
    QProcess p;
    p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../src/zeva-control"), args);
    if (!p.waitForFinished(20000)) return {-1, {}, {}};
    return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
            QString::fromLocal8Bit(p.readAllStandardError())};
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write(bytes);
}

PortsDialog& choose(Form1& form, const QString& com1)
{
    form.showPortsDialog();
    form.portsDialog()->deviceBox(1)->setEditText(com1);
    form.portsDialog()->accept();
    return *form.portsDialog();
}

// One panel's side of twoPanelsWriteAtOnce: `rounds` choices of one port, each kept at once.
int writeRounds(const QString& path, const QString& key, int rounds)
{
    QSettings store(path, QSettings::IniFormat);
    PortChoice before;
    for (int i = 0; i < rounds; ++i) {
        PortChoice after = before;
        (key == QLatin1String("com1") ? after.com1 : after.com2) = key + QString::number(i);
        if (!writePortChoice(store, before, after).isEmpty()) return 1;
        before = after;
    }
    return 0;
}

} // namespace

class TestPortsDialog : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void init();
    void choiceReachesThePortAndTheNextRun();
    void refused_data();
    void refused();
    void keptChoiceReadByTheProgram_data();
    void keptChoiceReadByTheProgram();
    void twoPanelsWriteAtOnce();

  private:
    QTemporaryDir configHome_;
};

void TestPortsDialog::initTestCase()
{
    // This process and the programs it starts keep their settings here, before any is read.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome_.path()));
    QVERIFY(QFileInfo::exists(qEnvironmentVariable("ZEVA_SIM")));
}

void TestPortsDialog::init()
{
    QFile::remove(openPortChoiceStore()->fileName());
}

void TestPortsDialog::choiceReachesThePortAndTheNextRun()
{
    FormHarness h;
    Form1& f = *h.form;
    SimProcess sim({});
    QVERIFY(choose(f, sim.device()).isHidden());
    // The port in use was reopened on the new device: a press reaches the virtual projector.
    f.Command_Click(*findCommandRow(u"Command44")); // STATUS
    QVERIFY(waitUntil([&] { return f.Label25->text() == QStringLiteral(" Stand by"); }));
    h.form.reset(); // the port is free for the next run, which uses the choice
    const auto [status, out, err] = runProgram({"--query", "status"});
    QVERIFY2(status == 0, qPrintable(err));
    QCOMPARE(out, QStringLiteral("CR0\t 8 0 CR \t Stand by\n"));
}

void TestPortsDialog::refused_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("said"); // in the dialog, or empty: kept, and the box when it fails
    QTest::newRow("a device that does not exist")
        << kMissingDevice << "There is no device " + kMissingDevice + " on this machine.";
    QTest::newRow("kept, but no serial line") << "/dev/null"
                                              << "";
}

void TestPortsDialog::refused()
{
    QFETCH(QString, typed);
    QFETCH(QString, said);
    FormHarness h;
    PortsDialog& dialog = choose(*h.form, typed);
    const QString message = dialog.messageLine()->text();
    if (said.isEmpty()) {
        // The port choice's own box; the choice stays the operator's.
        QCOMPARE(h.boxes.size(), 1);
        QCOMPARE(readPortChoice(*openPortChoiceStore()).choice.com1, typed);
        return;
    }
    QVERIFY(dialog.isVisible()); // still open, to be mended
    QVERIFY2(message.startsWith(QStringLiteral("COM1: ") + said), qPrintable(message));
    QVERIFY(message.endsWith(QStringLiteral("It stays %1.").arg(h.peer.slavePath())));
    QVERIFY(h.form->MSComm1.PortOpen());
    QVERIFY(!QFileInfo::exists(openPortChoiceStore()->fileName()));
}

void TestPortsDialog::keptChoiceReadByTheProgram_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("devices"); // COM1's and COM2's; empty: the default one
    QTest::addColumn<QString>("said");        // on stderr, after the file's name
    const QByteArray both("[ports]\ncom1=/dev/ttyUSB0\ncom2=rfc2217://[::1]:2217\n");
    QTest::newRow("both used") << both << QStringList{}
                               << QStringList{"/dev/ttyUSB0", "rfc2217://[::1]:2217"} << "";
    QTest::newRow("the command line wins") << both << QStringList{"--com2", "/dev/ttyS7"}
                                           << QStringList{"/dev/ttyUSB0", "/dev/ttyS7"} << "";
    QTest::newRow("a list") << QByteArray("[ports]\ncom1=/dev/a, /dev/b\n") << QStringList{}
                            << QStringList{"", ""}
                            << " holds no device for ports/com1; it is not used.";
    QTest::newRow("an unclosed section")
        << QByteArray("[ports\ncom1=/dev/ttyUSB0\n") << QStringList{} << QStringList{"", ""}
        << " cannot be read; the ports chosen there are not used.";
}

void TestPortsDialog::keptChoiceReadByTheProgram()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, args);
    QFETCH(QStringList, devices);
    QFETCH(QString, said);
    const QString path = openPortChoiceStore()->fileName();
    writeFile(path, file);
    const DefaultDevices defaults = defaultDevices();
    const auto [status, out, err] = runProgram(QStringList{"--list-ports"} + args);
    QCOMPARE(status, 0);
    QVERIFY(out.endsWith(QStringLiteral("COM1 stands for %1\nCOM2 stands for %2\n")
                             .arg(devices[0].isEmpty() ? defaults.com1 : devices[0],
                                  devices[1].isEmpty() ? defaults.com2 : devices[1])));
    QCOMPARE(err, said.isEmpty() ? QString() : "zeva-control: " + path + said + "\n");
    // A file that cannot be read may hold what the operator wants back: it is not written over.
    const bool written = writePortChoice(*openPortChoiceStore(), {}, {"/dev/ttyS0", {}}).isEmpty();
    QFile in(path);
    QVERIFY(in.open(QIODevice::ReadOnly) && (in.readAll() == file) != written);
}

void TestPortsDialog::twoPanelsWriteAtOnce()
{
    // Two processes, as two panels are; each one's last choice must be there in the end.
    const QString path = configHome_.filePath(QStringLiteral("both.conf"));
    constexpr int kRounds = 150;
    QProcess panels[2];
    for (int i = 0; i < 2; ++i)
        panels[i].start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("--write-rounds"), path, QStringLiteral("com%1").arg(i + 1),
                         QString::number(kRounds)});
    for (QProcess& p : panels)
        QVERIFY(p.waitForFinished(60'000) && p.exitCode() == 0);
    QSettings store(path, QSettings::IniFormat);
    for (const char* key : {"com1", "com2"})
        QCOMPARE(store.value(QStringLiteral("ports/") + key), key + QString::number(kRounds - 1));
}

int main(int argc, char** argv)
{
    if (argc == 5 && qstrcmp(argv[1], "--write-rounds") == 0)
        return writeRounds(QString::fromLocal8Bit(argv[2]), QString::fromLatin1(argv[3]),
                           atoi(argv[4]));
    QApplication app(argc, argv);
    TestPortsDialog test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_ports_dialog.moc"
