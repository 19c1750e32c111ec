// The scripted road, end to end: the real zeva-control binary against the virtual projector,
// directly and through a running panel that holds the port.
#include "form_harness.h"
#include "handover/handover_server.h"
#include "handover/handover_socket.h"
#include "handover/handover_wire.h"
#include "panel/command_table.h"
#include "sim_process.h"
#include "window/window_exchange_line.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace
{

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

QString program()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../src/zeva-control");
}

// Runs the program to its end; the event loop keeps turning, so a panel in this process answers.
Run runProgram(const QStringList& args, const QProcessEnvironment& env = {})
{
    QProcess p;
    if (!env.isEmpty()) p.setProcessEnvironment(env);
    p.start(program(), args);
    Run r;
    if (!p.waitForStarted(5000) ||
        !waitUntil([&] { return p.state() == QProcess::NotRunning; }, 20000))
        return r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

QString modeOf(const QString& path)
{
    struct stat st {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return {};
    return QString::number(st.st_mode & 0777, 8);
}

// A panel answers on this socket (a file alone may be left by one that died).
bool panelListening(const QString& socket)
{
    QLocalSocket probe;
    probe.connectToServer(socket);
    return probe.waitForConnected(100);
}

// A listening socket at `path` whose server, as the kernel tells it, runs as `uid`.
int plantSocket(const QString& path, uid_t uid)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const uid_t was = ::geteuid();
    const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                    ::chmod(name.constData(), 0666) == 0 && ::seteuid(uid) == 0 &&
                    ::listen(fd, 4) == 0 && ::seteuid(was) == 0;
    return ok ? fd : -1;
}

} // namespace

class TestSend : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void exitStatus_data();
    void exitStatus();
    void cannotOpenSaysWhatTheWindowSays();
    void namedQueriesAsJson_data();
    void namedQueriesAsJson();
    void noWindowLibraries();
    void handedOverToRunningPanel();
    void queuedBehindOperatorsExchange();
    void panelEnds_data();
    void panelEnds();
    void plantedSocketRefused_data();
    void plantedSocketRefused();

  private:
    QTemporaryDir runtimeDir_;
};

void TestSend::initTestCase()
{
    QVERIFY(runtimeDir_.isValid());
    // This process, the programs it starts and the panels all find their sockets here.
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir_.path()));
    QVERIFY(QFileInfo::exists(qEnvironmentVariable("ZEVA_SIM")));
}

void TestSend::exitStatus_data()
{
    QTest::addColumn<QStringList>("simOptions");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("line");
    const QStringList none;
    QTest::newRow("reply") << none << QStringList{"--send", "CR0"} << 0
                           << "CR0\t 8 0 CR \t Stand by\n";
    QTest::newRow("refused with ?") << none << QStringList{"--send", "CX9"} << 1 << "CX9\t ? CR \n";
    QTest::newRow("refused after a reply") << none << QStringList{"--send", "CR1", "--send", "CX9"}
                                           << 1 << "CR1\t 1 CR \t COMPUTER 1\nCX9\t ? CR \n";
    QTest::newRow("time-out") << QStringList{"--silent"}
                              << QStringList{"--send", "CR0", "--timeout", "300"} << 3
                              << "CR0\t X X X X\n";
    QTest::newRow("9600 on COM2") << none << QStringList{"--port", "2",       "--speed",
                                                         "9600",   "--query", "setting"}
                                  << 0 << "CR4\t 1 1 CR \t Normally\n";
    // Power on between two status queries: the second sees the projector counting down.
    QTest::newRow("commands go out in order")
        << none << QStringList{"--send", "CR0", "--power", "on", "--send", "CR0"} << 0
        << "CR0\t 8 0 CR \t Stand by\nC00\t ACK CR \nCR0\t 4 0 CR \t Count down\n";
}

void TestSend::exitStatus()
{
    QFETCH(QStringList, simOptions);
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, line);
    SimProcess sim(simOptions);
    QVERIFY(!sim.device().isEmpty());
    const Run r = runProgram(args + QStringList{"--com1", sim.device(), "--com2", sim.device()});
    QVERIFY2(r.exitCode == exitCode, qPrintable(r.err));
    QCOMPARE(r.out, line);
}

void TestSend::cannotOpenSaysWhatTheWindowSays()
{
    SerialComm window;
    window.setDevices(kMissingDevice, kMissingDevice);
    const CommError sentence = window.setPortOpen(true);
    QVERIFY(sentence);
    const Run r = runProgram({"--send", "CR0", "--com1", kMissingDevice});
    QCOMPARE(r.exitCode, 4);
    QCOMPARE(r.out, QString());
    QCOMPARE(r.err, *sentence + u'\n');
}

void TestSend::namedQueriesAsJson_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QJsonValue>("reading");
    QTest::addColumn<QJsonValue>("state");
    const QJsonValue none(QJsonValue::Null);
    QTest::newRow("status") << "status"
                            << "CR0"
                            << " Stand by" << none << QJsonValue("standby");
    QTest::newRow("hours") << "hours"
                           << "CR PROJH"
                           << "1234 Hour Use" << QJsonValue(1234) << none;
    QTest::newRow("pressure") << "pressure"
                              << "CR PRESSURE"
                              << "650 hPa" << QJsonValue(650) << none;
    QTest::newRow("temperatures") << "temperatures"
                                  << "CR6"
                                  << "  S1= + 2 5 . 0 C  ,   S2=  3 1 . 5 C , S3= + 4 0 . 2 C"
                                  << QJsonValue(QJsonArray{25, 31.5, 40.2}) << none;
    QTest::newRow("lamp hours") << "lamp-hours"
                                << "CR3"
                                << " 0 1 2 3 Hour Use" << QJsonValue(123) << none;
}

void TestSend::namedQueriesAsJson()
{
    QFETCH(QString, name);
    QFETCH(QString, command);
    QFETCH(QString, status);
    QFETCH(QJsonValue, reading);
    QFETCH(QJsonValue, state);
    SimProcess sim({});
    const Run r = runProgram({"--query", name, "--json", "--com1", sim.device()});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.endsWith(u'\n') && r.out.count(u'\n') == 1);
    QJsonParseError error;
    const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8(), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(o.value(QStringLiteral("command")).toString(), command);
    const QString reply = o.value(QStringLiteral("reply")).toString();
    QVERIFY(reply.endsWith(u'\r'));
    QCOMPARE(o.value(QStringLiteral("reply_hex")).toString(), reply.toLatin1().toHex());
    QCOMPARE(o.value(QStringLiteral("status")).toString(), status);
    QCOMPARE(o.value(QStringLiteral("reading")), reading);
    QCOMPARE(o.value(QStringLiteral("state")), state);
    QCOMPARE(o.value(QStringLiteral("timed_out")), QJsonValue(false));
    QVERIFY(o.value(QStringLiteral("ms")).isDouble());
}

void TestSend::noWindowLibraries()
{
    // No display at all: a window would abort. The loader lists every library it maps.
    SimProcess sim({});
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(QLatin1String(name));
    env.insert(QStringLiteral("LD_DEBUG"), QStringLiteral("files"));
    const Run r = runProgram({"--send", "CR0", "--com1", sim.device()}, env);
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.err.contains(QStringLiteral("libQt6SerialPort")));
    for (const char* library : {"libQt6Gui", "libQt6Widgets", "zeva-panel", "platforms/"})
        QVERIFY2(!r.err.contains(QLatin1String(library)), library);
}

void TestSend::handedOverToRunningPanel()
{
    SimProcess sim({});
    FormHarness panel(kMissingDevice, false);
    panel.form->MSComm1.setDevices(sim.device(), kMissingDevice);
    panel.form->Form_Load();
    QVERIFY(panel.form->MSComm1.PortOpen());
    HandoverServer server(windowQueues(*panel.form));
    QVERIFY(server.listen(sim.device()));
    const QString socket = handoverSocketPath(sim.device());
    QCOMPARE(server.socketPaths(), QStringList{socket});
    QCOMPARE(modeOf(socket), QStringLiteral("600")); // only this user may connect

    const Run r = runProgram({"--send", "CR0", "--query", "input", "--com1", sim.device()});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QCOMPARE(r.out, QStringLiteral("CR0\t 8 0 CR \t Stand by\nCR1\t 1 CR \t COMPUTER 1\n"));
    // The panel sent them as typed commands: its monitor and status line show the last exchange.
    QCOMPARE(panel.form->Label11->text(), QStringLiteral(" C R 1 CR "));
    QCOMPARE(panel.form->Label12->text(), QStringLiteral(" 1 CR "));
    QCOMPARE(panel.form->Label25->text(), QStringLiteral(" COMPUTER 1"));
    QVERIFY(panel.boxes.isEmpty());
}

void TestSend::queuedBehindOperatorsExchange()
{
    SimProcess sim({});
    FormHarness panel(kMissingDevice, false);
    panel.form->MSComm1.setDevices(sim.device(), kMissingDevice);
    panel.form->Form_Load();
    HandoverServer server(windowQueues(*panel.form));
    QVERIFY(server.listen(sim.device()));
    // The operator's STATUS press opens a reply window of 2 s just before the script starts.
    panel.form->Command_Click(*findCommandRow(u"Command44"));
    QSignalSpy windowEnds(&panel.form->Timer2, &QTimer::timeout);
    int windowsEndedBeforeScript = -1;
    QProcess script;
    script.start(program(), {"--query", "input", "--com1", sim.device()});
    QVERIFY(waitUntil(
        [&] {
            if (windowsEndedBeforeScript < 0 && panel.form->LastCommand == u"CR1\r")
                windowsEndedBeforeScript = int(windowEnds.count());
            return script.state() == QProcess::NotRunning;
        },
        10000));
    QCOMPARE(script.exitCode(), 0);
    QCOMPARE(QString::fromLatin1(script.readAllStandardOutput()),
             QStringLiteral("CR1\t 1 CR \t COMPUTER 1\n"));
    QCOMPARE(windowsEndedBeforeScript, 1);
}

void TestSend::panelEnds_data()
{
    QTest::addColumn<bool>("killed");
    QTest::newRow("killed: its socket is left behind") << true;
    QTest::newRow("terminated: its socket is removed") << false;
}

void TestSend::panelEnds()
{
    QFETCH(bool, killed);
    SimProcess sim({});
    QProcess panel;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    panel.setProcessEnvironment(env);
    panel.start(program(), {"--com1", sim.device(), "--com2", kMissingDevice});
    const QString socket = handoverSocketPath(sim.device());
    QVERIFY(waitUntil([&] { return panelListening(socket); }, 10000));
    const Run through = runProgram({"--send", "CR0", "--com1", sim.device()});
    QVERIFY2(through.exitCode == 0, qPrintable(through.err));
    if (killed)
        panel.kill(); // no chance to remove its socket
    else
        panel.terminate(); // as a session ending does
    QVERIFY(panel.waitForFinished(5000));
    QCOMPARE(QFileInfo::exists(socket), killed);
    if (!killed) QCOMPARE(panel.exitStatus(), QProcess::NormalExit);
    // Either way the script then opens the port itself.
    const Run direct = runProgram({"--send", "CR0", "--com1", sim.device()});
    QVERIFY2(direct.exitCode == 0, qPrintable(direct.err));
    QCOMPARE(direct.out, QStringLiteral("CR0\t 8 0 CR \t Stand by\n"));
    QFile::remove(socket); // the next test's line may get the same device name
}

void TestSend::plantedSocketRefused_data()
{
    QTest::addColumn<int>("folderMode");
    QTest::addColumn<uint>("server"); // the user the planted socket's server runs as
    QTest::addColumn<QString>("refusal");
    const uint self = ::geteuid();
    QTest::newRow("folder others may enter") << 0777 << self << "others may enter the hand-over";
    QTest::newRow("server of another user") << 0700 << 65534u << "is served by user 65534";
}

// Another user's socket, or one in a folder others may write to, is not asked: the script
// goes to the port itself.
void TestSend::plantedSocketRefused()
{
    QFETCH(int, folderMode);
    QFETCH(uint, server);
    QFETCH(QString, refusal);
    if (server != ::geteuid() && ::geteuid() != 0) QSKIP("only root can listen as another user");
    QTemporaryDir dir;
    QCOMPARE(::chmod(QFile::encodeName(dir.path()).constData(), mode_t(folderMode)), 0);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir.path()));
    const QString path = handoverSocketPath(kMissingDevice);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir_.path()));
    QLocalServer planted;
    QVERIFY(planted.listen(plantSocket(path, server)));
    QByteArray heard;
    connect(&planted, &QLocalServer::newConnection, [&] {
        QLocalSocket* script = planted.nextPendingConnection();
        script->write(versionLine());
        connect(script, &QLocalSocket::readyRead, [&heard, script] { heard += script->readAll(); });
    });
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
    const Run r = runProgram({"--send", "CR0", "--com1", kMissingDevice}, env);
    QVERIFY2(r.err.contains(refusal), qPrintable(r.err));
    QCOMPARE(heard, QByteArray());
    QCOMPARE(r.exitCode, 4);
}

QTEST_MAIN(TestSend)
#include "tst_send.moc"
