// The server mode as a building's control system meets it: the PJLink client package from the
// npm registry against `zeva-control --serve` on the virtual projector; and a window serving
// PJLink behind its operator's press.
#include "exchange/headless_exchange.h"
#include "form_harness.h"
#include "panel/command_table.h"
#include "pjlink/pjlink_server.h"
#include "sim_process.h"
#include "window/window_exchange_line.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>

class TstPjlinkServe : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void packageClient_data();
    void packageClient();
    void passwordFileOnlyForItsOwner();
    void serveHandsOverAndReopens();
    void windowServesPjlink_data();
    void windowServesPjlink();
    void connectionBounds_data();
    void connectionBounds();
    void lineFeedsHoldNothing();
    void acceptsAgainAfterRunningOut();
};

namespace
{

const QString kClientDir = QStringLiteral(ZEVA_PJLINK_CLIENT_DIR);
constexpr int kCountDownMs = 600;

QString program()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../src/zeva-control");
}

// `zeva-control --serve` on the device, PJLink on a free port of the loopback address.
class ServeProcess
{
  public:
    ServeProcess(const QString& device, const QStringList& extra)
    {
        process_.setReadChannel(QProcess::StandardError);
        process_.start(program(),
                       QStringList{"--serve", "--com1", device, "--pjlink", "127.0.0.1:0"} + extra);
        static const QRegularExpression serving(QStringLiteral("PJLink on port (\\d+)"));
        QByteArray err;
        while (port_ == 0 && process_.waitForReadyRead(5000)) {
            err += process_.readAllStandardError();
            port_ = serving.match(QString::fromLocal8Bit(err)).captured(1).toUShort();
        }
    }
    ~ServeProcess()
    {
        process_.terminate();
        if (!process_.waitForFinished(3000)) process_.kill();
    }
    quint16 port() const { return port_; }
    QProcess& process() { return process_; }

  private:
    QProcess process_;
    quint16 port_ = 0;
};

QStringList runClient(quint16 port, const QString& password, const QStringList& operations)
{
    QProcess node;
    node.setWorkingDirectory(kClientDir);
    node.start(QStringLiteral("node"),
               QStringList{"client.js", QString::number(port), password} + operations);
    if (!node.waitForFinished(30000)) return {"client did not finish"};
    return QString::fromUtf8(node.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

// One line of a PJLink conversation, which ends with CR alone.
QByteArray readLine(QTcpSocket& client)
{
    QByteArray line;
    waitUntil([&] {
        line += client.read(1024);
        return line.endsWith('\r');
    });
    return line;
}

bool noted(const QSignalSpy& spy, const QString& source, const QString& what)
{
    return std::any_of(spy.cbegin(), spy.cend(), [&](const QList<QVariant>& args) {
        return args[0].toString() == source && args[1].toString().startsWith(what);
    });
}

bool haveClient()
{
    QProcess node;
    node.start(QStringLiteral("node"), {"--version"});
    return node.waitForFinished(5000) && node.exitCode() == 0 &&
           QFile::exists(kClientDir + QStringLiteral("/node_modules/pjlink"));
}

QString passwordFile(const QTemporaryDir& dir, const QByteArray& password, QFile::Permissions p)
{
    QFile file(dir.filePath(QStringLiteral("pjlink-password")));
    file.open(QIODevice::WriteOnly);
    file.write(password + '\n');
    file.setPermissions(p);
    return file.fileName();
}

} // namespace

void TstPjlinkServe::packageClient_data()
{
    QTest::addColumn<QByteArray>("password");    // the server's; empty for none
    QTest::addColumn<QString>("clientPassword"); // "-" for none
    QTest::addColumn<QStringList>("operations");
    QTest::addColumn<QStringList>("expected");
    const QString wait = QStringLiteral("wait:%1").arg(kCountDownMs + 200);
    QTest::newRow("power on through the count-down")
        << QByteArray() << "-" << QStringList{"power?", "power:on", "power?", wait, "power?"}
        << QStringList{"power? 0", "power:on ok", "power? 3", wait + " \"waited\"", "power? 1"};
    QTest::newRow("input") << QByteArray() << "-"
                           << QStringList{"input?", "input:21", "input?", "input:12", "input?"}
                           << QStringList{"input? \"11\"", "input:21 ok", "input? \"21\"",
                                          "input:12 ok", "input? \"12\""};
    QTest::newRow("mute") << QByteArray() << "-"
                          << QStringList{"mute?", "mute:true,true", "mute?", "mute:false,true"}
                          << QStringList{
                                 "mute? {\"audio\":false,\"video\":false}", "mute:true,true ok",
                                 "mute? {\"audio\":true,\"video\":true}", "mute:false,true ok"};
    QTest::newRow("lamp and error status")
        << QByteArray() << "-" << QStringList{"lamp?", "errors?", "power:on", wait, "lamp?"}
        << QStringList{"lamp? [{\"hours\":123,\"on\":false}]", "errors? null", "power:on ok",
                       wait + " \"waited\"", "lamp? [{\"hours\":123,\"on\":true}]"};
    QTest::newRow("right password")
        << QByteArray("s3cret") << "s3cret" << QStringList{"power?"} << QStringList{"power? 0"};
    QTest::newRow("wrong password") << QByteArray("s3cret") << "guess" << QStringList{"power?"}
                                    << QStringList{"power? error Authorization failed"};
}

void TstPjlinkServe::packageClient()
{
    QFETCH(QByteArray, password);
    QFETCH(QString, clientPassword);
    QFETCH(QStringList, operations);
    QFETCH(QStringList, expected);
    if (!haveClient()) QSKIP("node or the npm package pjlink is missing: run scripts/npm-deps.sh");
    SimProcess sim({"--transition-ms", QString::number(kCountDownMs)});
    QTemporaryDir dir;
    QStringList extra{"--name", "hall-3"};
    if (!password.isEmpty())
        extra << "--pjlink-password-file"
              << passwordFile(dir, password, QFile::ReadOwner | QFile::WriteOwner);
    ServeProcess serve(sim.device(), extra);
    QVERIFY2(serve.port() != 0, serve.process().readAllStandardError().constData());
    QCOMPARE(runClient(serve.port(), clientPassword, operations), expected);
}

void TstPjlinkServe::passwordFileOnlyForItsOwner()
{
    SimProcess sim({});
    QTemporaryDir dir;
    const QString file = passwordFile(dir, "s3cret", QFile::ReadOwner | QFile::ReadGroup);
    QProcess serve;
    serve.start(program(), {"--serve", "--com1", sim.device(), "--pjlink", "127.0.0.1:0",
                            "--pjlink-password-file", file});
    QVERIFY(serve.waitForFinished(5000));
    QCOMPARE(serve.exitCode(), 1);
    QVERIFY(serve.readAllStandardError().contains("only its owner may read"));
}

void TstPjlinkServe::windowServesPjlink_data()
{
    QTest::addColumn<bool>("pressFirst");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QStringList>("senders");
    QTest::newRow("behind the operator's press")
        << true << QByteArray("%1INPT=21\r") << QStringList{"operator", "pjlink 127.0.0.1"};
    QTest::newRow("interrupted by a press")
        << false << QByteArray("%1INPT=ERR3\r") << QStringList{"pjlink 127.0.0.1", "operator"};
}

// A script hands its query to the server, which then loses the line and opens it again; all of
// it on stderr and in the log.
void TstPjlinkServe::serveHandsOverAndReopens()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("projector"));
    const QString log = dir.filePath(QStringLiteral("history.log"));
    auto sim = std::make_unique<SimProcess>(QStringList{"--hangup-after", "1", "--link", link});
    ServeProcess serve(link, {"--log", log});
    QProcess script;
    script.start(program(), {"--query", "status", "--com1", link});
    QVERIFY(script.waitForFinished(10000));
    QCOMPARE(script.readAllStandardOutput(), QByteArray("CR0\t 8 0 CR \t Stand by\n"));
    QByteArray err;
    const auto said = [&](const char* text) {
        return waitUntil(
            [&] { return (err += serve.process().readAllStandardError()).contains(text); }, 10000);
    };
    QVERIFY2(said("the line was lost"), err.constData());
    // The first projector removes its link as it ends: wait for that, so that it cannot take
    // the second one's link with it when the pseudo-terminal's number comes round again.
    QProcess& first = sim->process();
    QVERIFY(first.state() == QProcess::NotRunning || first.waitForFinished(10000));
    sim = std::make_unique<SimProcess>(QStringList{"--link", link});
    QVERIFY2(said(": open again"), err.constData());
    QFile file(log);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray lines = file.readAll();
    for (const char* entry :
         {"\tTX\t C R 0 CR \t43 52 30 0D\t\tscript\n", "\tLOST\t", "\tRECONNECTED\t"})
        QVERIFY2(lines.contains(entry), lines.constData());
}

// A PJLink request waits for the operator's exchange and goes out after it; a press while it
// is out ends it. The history names each command's sender.
void TstPjlinkServe::windowServesPjlink()
{
    QFETCH(bool, pressFirst);
    QFETCH(QByteArray, answer);
    QFETCH(QStringList, senders);
    FormHarness panel;
    PjlinkServer server(*windowQueue(*panel.form, {}, panel.form.get()), {"w", "i"}, {});
    QVERIFY(!server.listen({QHostAddress::LocalHost, 0}));
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server.port());
    QCOMPARE(readLine(client), QByteArray("PJLINK 0\r"));
    const auto press = [&] { panel.form->Command_Click(*findCommandRow(u"Command44")); };
    if (pressFirst) press(); // STATUS: a reply window of 2 s
    if (pressFirst) QVERIFY(panel.reply("80\r"));
    client.write("%1INPT ?\r");
    if (pressFirst) QVERIFY(!waitUntil([&] { return client.bytesAvailable() > 0; }, 1000));
    QByteArray sent; // the window's timers must run meanwhile
    QVERIFY(waitUntil([&] { return (sent += panel.peer.read(1, 1)).endsWith("CR1\r"); }, 3000));
    if (pressFirst)
        QVERIFY(panel.reply("2\r"));
    else
        press();
    QCOMPARE(readLine(client), answer);
    const ExchangeHistory& h = panel.form->history;
    QStringList sources;
    for (quint64 seq = h.firstSeq(); seq < h.endSeq(); ++seq)
        if (h.entry(seq).kind == EntryKind::Tx) sources << h.source(h.entry(seq));
    QCOMPARE(sources, senders);
}

void TstPjlinkServe::connectionBounds_data()
{
    QTest::addColumn<int>("others"); // clients connected before this one
    QTest::addColumn<QByteArray>("send");
    QTest::addColumn<QByteArray>("answer"); // after the greeting; empty: the server closes
    QTest::newRow("the 17th client") << 16 << QByteArray() << QByteArray();
    QTest::newRow("the 16th client") << 15 << QByteArray("%1CLSS ?\r") << QByteArray("%1CLSS=1\r");
    QTest::newRow("silent client") << 0 << QByteArray() << QByteArray();
    QTest::newRow("line too long") << 0 << QByteArray(136, 'x') << QByteArray();
    QTest::newRow("line not open") << 0 << QByteArray("%1POWR ?\r") << QByteArray("%1POWR=ERR3\r");
}

// A server must survive any client: bounded clients, lines and silence.
void TstPjlinkServe::connectionBounds()
{
    QFETCH(int, others);
    QFETCH(QByteArray, send);
    QFETCH(QByteArray, answer);
    HeadlessExchange line; // never opened
    ExchangeQueue queue(line);
    PjlinkServer server(queue, {"n", "i"}, {});
    server.setIdleMs(300);
    server.setLoginMs(300);
    server.setMaxPerAddress(PjlinkServer::kMaxClients); // every client comes from one address
    QVERIFY(!server.listen({QHostAddress::LocalHost, 0}));
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int i = 0; i <= others; ++i) {
        clients.push_back(std::make_unique<QTcpSocket>());
        clients.back()->connectToHost(QHostAddress::LocalHost, server.port());
        QVERIFY(clients.back()->waitForConnected(2000));
        if (i < others) QCOMPARE(readLine(*clients.back()), QByteArray("PJLINK 0\r"));
    }
    QTcpSocket& client = *clients.back();
    const bool refused = others == PjlinkServer::kMaxClients;
    if (!refused) QCOMPARE(readLine(client), QByteArray("PJLINK 0\r"));
    client.write(send);
    if (!answer.isEmpty())
        QCOMPARE(readLine(client), answer);
    else
        QVERIFY(waitUntil([&] { return client.state() == QAbstractSocket::UnconnectedState; }));
    QCOMPARE(server.clientCount(), qMin(others + (answer.isEmpty() ? 0 : 1), 16));
}

// Clients that send only line feeds hold no place past the login deadline, and no more of them
// than the per-address share: a client after them gets in.
void TstPjlinkServe::lineFeedsHoldNothing()
{
    HeadlessExchange line;
    ExchangeQueue queue(line);
    PjlinkServer server(queue, {"n", "i"}, {});
    server.setLoginMs(500);
    QSignalSpy spy(&server, &PjlinkServer::noted);
    QVERIFY(!server.listen({QHostAddress::LocalHost, 0}));
    std::vector<std::unique_ptr<QTcpSocket>> holders;
    for (int i = 0; i <= PjlinkServer::kMaxPerAddress; ++i) {
        holders.push_back(std::make_unique<QTcpSocket>());
        holders.back()->connectToHost(QHostAddress::LocalHost, server.port());
        QVERIFY(holders.back()->waitForConnected(2000));
    }
    QVERIFY(
        waitUntil([&] { return holders.back()->state() == QAbstractSocket::UnconnectedState; }));
    holders.pop_back();
    QVERIFY(noted(spy, "pjlink 127.0.0.1", "refused: 4 clients from this address"));
    QTimer feed; // a line feed each tenth of the deadline
    connect(&feed, &QTimer::timeout, [&] {
        for (auto& h : holders)
            h->write("\n");
    });
    feed.start(50);
    QVERIFY(waitUntil([&] { return server.clientCount() == 0; }));
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server.port());
    QCOMPARE(readLine(client), QByteArray("PJLINK 0\r"));
    client.write("%1CLSS ?\r");
    QCOMPARE(readLine(client), QByteArray("%1CLSS=1\r"));
}

// Out of descriptors, the listener waits and accepts again once there are some.
void TstPjlinkServe::acceptsAgainAfterRunningOut()
{
    HeadlessExchange line;
    ExchangeQueue queue(line);
    PjlinkServer server(queue, {"n", "i"}, {});
    QSignalSpy spy(&server, &PjlinkServer::noted);
    QVERIFY(!server.listen({QHostAddress::LocalHost, 0}));
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server.port());
    QVERIFY(client.waitForConnected(2000));
    rlimit was{};
    QCOMPARE(::getrlimit(RLIMIT_NOFILE, &was), 0);
    const int lowestFree = ::dup(0); // every descriptor below it is taken
    ::close(lowestFree);
    rlimit low = was;
    low.rlim_cur = rlim_t(lowestFree);
    QCOMPARE(::setrlimit(RLIMIT_NOFILE, &low), 0);
    const bool failed = waitUntil([&] { return noted(spy, "pjlink", "cannot accept"); });
    QCOMPARE(::setrlimit(RLIMIT_NOFILE, &was), 0);
    QVERIFY(failed);
    QCOMPARE(readLine(client), QByteArray("PJLINK 0\r"));
    QVERIFY(noted(spy, "pjlink", "accepting connections again"));
}

QTEST_MAIN(TstPjlinkServe)
#include "tst_pjlink_serve.moc"
