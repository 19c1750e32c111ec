// The Ports dialog: a device chosen there reaches the port and is what the next run uses, a
// command line still wins, and what cannot be used is said and changes nothing.
#include "form_harness.h"
#include "panel/command_table.h"
#include "ports/port_choice_settings.h"
#include "sim_process.h"
#include "window/ports_dialog.h"

#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>

namespace
{

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run runProgram(const QStringList& args)
{
    QProcess p;
    p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../src/zeva-control"), args);
    Run r;
    if (!p.waitForFinished(20000)) return r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

PortChoice keptChoice()
{
    return readPortChoice(*openPortChoiceStore()).choice;
}

// Types `com1` into the dialog and presses OK.
PortsDialog& choose(Form1& form, const QString& com1)
{
    form.showPortsDialog();
    PortsDialog& dialog = *form.portsDialog();
    dialog.deviceBox(1)->setEditText(com1);
    dialog.accept();
    return dialog;
}

} // namespace

class TestPortsDialog : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void init();
    void choiceReachesThePortAndTheNextRun();
    void reachedFromTheMenuOfCom();
    void refused_data();
    void refused();
    void deviceThatWillNotOpenGivesTheBox();
    void nonsenseInTheFileIsSaid();

  private:
    QTemporaryDir configHome_;
};

void TestPortsDialog::initTestCase()
{
    // This process and the programs it starts keep their settings here, before any is read.
    QVERIFY(configHome_.isValid());
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
    QVERIFY(!sim.device().isEmpty());
    PortsDialog& dialog = choose(f, sim.device());
    QVERIFY(dialog.isHidden());
    // The port in use was reopened on the new device: a press reaches the virtual projector.
    QVERIFY(f.MSComm1.PortOpen());
    QCOMPARE(f.MSComm1.devicePath(1), sim.device());
    QCOMPARE(f.Option1->toolTip(), sim.device());
    f.Command_Click(*findCommandRow(u"Command44")); // STATUS
    QVERIFY(waitUntil([&] { return f.Label25->text() == QStringLiteral(" Stand by"); }));
    QVERIFY(h.boxes.isEmpty());
    QCOMPARE(keptChoice().com1, sim.device());
    QCOMPARE(keptChoice().com2, QString()); // left as it was: not written
    h.form.reset();                         // the port is free for the next run
    // The next run uses the kept choice; a command line wins over it.
    const Run kept = runProgram({"--query", "status"});
    QVERIFY2(kept.exitCode == 0, qPrintable(kept.err));
    QCOMPARE(kept.out, QStringLiteral("CR0\t 8 0 CR \t Stand by\n"));
    PtyPeer other;
    const Run given =
        runProgram({"--query", "status", "--com1", other.slavePath(), "--timeout", "200"});
    QCOMPARE(given.exitCode, 3);
    QCOMPARE(other.read(4, 1000), QByteArray("CR0\r"));
}

void TestPortsDialog::reachedFromTheMenuOfCom()
{
    FormHarness h;
    Form1& f = *h.form;
    f.show();
    QTimer::singleShot(50, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu && !menu->actions().isEmpty()) menu->actions().first()->trigger();
        if (menu) menu->close();
    });
    Q_EMIT f.control(QStringLiteral("Command33"))->customContextMenuRequested(QPoint(2, 2));
    QVERIFY(f.portsDialog() && f.portsDialog()->isVisible());
    QCOMPARE(f.portsDialog()->deviceBox(1)->currentText(), h.peer.slavePath());
    QVERIFY(f.Frame8->isHidden()); // the designed window unchanged by it
}

void TestPortsDialog::refused_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("said");
    QTest::newRow("a device that does not exist")
        << kMissingDevice << "There is no device " + kMissingDevice + " on this machine.";
    QTest::newRow("an address without a port") << "socket://projector"
                                               << "'socket://projector' is not a device address";
    QTest::newRow("nothing") << ""
                             << "COM1 needs a device.";
}

void TestPortsDialog::refused()
{
    QFETCH(QString, typed);
    QFETCH(QString, said);
    FormHarness h;
    Form1& f = *h.form;
    PortsDialog& dialog = choose(f, typed);
    QVERIFY(dialog.isVisible()); // still open, to be mended
    const QString message = dialog.messageLine()->text();
    QVERIFY2(message.startsWith(QStringLiteral("COM1: ") + said), qPrintable(message));
    QVERIFY(message.endsWith(QStringLiteral("It stays %1.").arg(h.peer.slavePath())));
    QCOMPARE(f.MSComm1.devicePath(1), h.peer.slavePath());
    QVERIFY(f.MSComm1.PortOpen());
    QVERIFY(!QFileInfo::exists(openPortChoiceStore()->fileName()));
}

void TestPortsDialog::deviceThatWillNotOpenGivesTheBox()
{
    // It exists, so it is kept, but it is no serial line: the port choice's own box.
    FormHarness h;
    Form1& f = *h.form;
    choose(f, QStringLiteral("/dev/null"));
    QCOMPARE(h.boxes.size(), 1);
    QVERIFY(f.portFailed());
    QCOMPARE(f.MSComm1.CommPort(), 2);
    QVERIFY(f.Option2->isChecked());
    QCOMPARE(keptChoice().com1, QStringLiteral("/dev/null"));
}

void TestPortsDialog::nonsenseInTheFileIsSaid()
{
    const QString path = openPortChoiceStore()->fileName();
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[ports]\ncom1=socket://projector\n");
    file.close();
    const Run r = runProgram({"--list-ports"});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.err.section(QLatin1Char('\n'), 0, 0),
             QStringLiteral("zeva-control: %1, ports/com1: 'socket://projector' is not a device "
                            "address: no port; write HOST:PORT")
                 .arg(path));
}

QTEST_MAIN(TestPortsDialog)
#include "tst_ports_dialog.moc"
