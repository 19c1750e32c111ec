// The server mode as a site runs it under its service manager: a log rotated under it, a device
// that appears after the server has started, a password file that is not a file.
#include "form_harness.h"
#include "sim_process.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/stat.h>

class TstServe : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void hangUpReopensTheLog();
    void waitsForItsDevice();
    void passwordFile_data();
    void passwordFile();
};

namespace
{

QString program()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../src/zeva-control");
}

// `zeva-control --serve` with what it has said on stderr so far.
class Serve
{
  public:
    explicit Serve(const QStringList& args, const QProcessEnvironment& env = {})
    {
        if (!env.isEmpty()) process_.setProcessEnvironment(env);
        process_.start(program(), QStringList{"--serve"} + args);
    }
    ~Serve()
    {
        process_.terminate();
        if (!process_.waitForFinished(3000)) process_.kill();
    }
    // Waits for `text` on stderr, or for the server to end.
    bool said(const char* text)
    {
        waitUntil(
            [&] {
                err_ += process_.readAllStandardError();
                return err_.contains(text) || process_.state() == QProcess::NotRunning;
            },
            10000);
        err_ += process_.readAllStandardError();
        return err_.contains(text);
    }
    QByteArray err() const { return err_; }
    QProcess& process() { return process_; }

  private:
    QProcess process_;
    QByteArray err_;
};

// A script's status query, handed over to the server; what it printed.
QByteArray queryStatus(const QString& device)
{
    QProcess script;
    script.start(program(), {"--query", "status", "--com1", device});
    script.waitForFinished(10000);
    return script.readAllStandardOutput();
}

const QByteArray kStandBy = "CR0\t 8 0 CR \t Stand by\n";

} // namespace

// logrotate moves the log away and sends SIGHUP: the server goes on in a new file of the name.
void TstServe::hangUpReopensTheLog()
{
    SimProcess sim({});
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("serve.log"));
    Serve serve({"--com1", sim.device(), "--log", log});
    QVERIFY2(serve.said(": serving"), serve.err().constData());
    QVERIFY(QFile::rename(log, log + QStringLiteral(".1")));
    ::kill(pid_t(serve.process().processId()), SIGHUP);
    QVERIFY2(serve.said("reopened"), serve.err().constData());
    QCOMPARE(queryStatus(sim.device()), kStandBy);
    QCOMPARE(serve.process().state(), QProcess::Running); // else the script used the port
    QFile reopened(log);
    QVERIFY(reopened.open(QIODevice::ReadOnly));
    QVERIFY(reopened.readAll().contains("\tTX\t C R 0 CR \t"));
}

// At boot an adapter often appears after its server has started.
void TstServe::waitsForItsDevice()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("projector"));
    Serve serve({"--com1", link});
    QVERIFY2(serve.said("no such device yet"), serve.err().constData());
    SimProcess sim({"--link", link});
    QVERIFY2(serve.said(": open\n"), serve.err().constData());
    QCOMPARE(queryStatus(link), kStandBy);
    QCOMPARE(serve.err().count("no such device"), 1);
    QVERIFY2(!serve.err().contains("choose"), serve.err().constData());
}

void TstServe::passwordFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("saying");
    QTest::newRow("a named pipe, refused without waiting for a writer")
        << "fifo" << QByteArray("must be a regular file");
    QTest::newRow("a line end alone, the unit's stand-in for no password")
        << "empty" << QByteArray("it asks for no password");
    QTest::newRow("a credential that systemd's ACL leaves readable by the group")
        << "credential" << QByteArray("it asks for a password");
}

void TstServe::passwordFile()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, saying);
    SimProcess sim({});
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("pjlink-password"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (kind == u"fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(kind == u"empty" ? "\n" : "s3cret\n");
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }
    if (kind == u"credential") {
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup);
        env.insert(QStringLiteral("CREDENTIALS_DIRECTORY"), dir.path());
    }
    Serve serve({"--com1", sim.device(), "--pjlink", "127.0.0.1:0", "--pjlink-password-file", path},
                env);
    QVERIFY2(serve.said(saying.constData()), serve.err().constData());
    if (kind != u"fifo") return;
    QVERIFY(serve.process().state() == QProcess::NotRunning ||
            serve.process().waitForFinished(5000));
    QCOMPARE(serve.process().exitCode(), 1);
}

QTEST_GUILESS_MAIN(TstServe)
#include "tst_serve.moc"
