// Commands handed over to a running window: the real window on a pty, the real zeva-control, and
// the test as the projector. Each row is a sequence of steps on both ends.
#include "form_harness.h"
#include "handover/handover_server.h"
#include "panel/command_table.h"
#include "window/window_exchange_line.h"

#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>

namespace
{

enum class Op {
    Run,        // the script under test starts
    Background, // another script starts beside it
    Await,      // the projector has received this
    Reply,      // the projector sends this
    Press,      // the operator presses this button
    Tick,       // the reply window ends now (Timer2)
    Sleep,      // time passes
    CloseWindow,
    ReplyWindowIs, // the reply window just started runs this many ms
};

struct Step {
    Op op;
    QByteArray text = {};
    int ms = 0;
};
using Steps = QList<Step>;

Step run(const char* args)
{
    return {Op::Run, args};
}
Step await(const char* bytes)
{
    return {Op::Await, bytes};
}
Step reply(const QByteArray& bytes)
{
    return {Op::Reply, bytes};
}

QString program()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../src/zeva-control");
}

} // namespace

Q_DECLARE_METATYPE(Steps)

class TestHandover : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void rules_data();
    void rules();

  private:
    QTemporaryDir runtimeDir_;
};

void TestHandover::initTestCase()
{
    QVERIFY(runtimeDir_.isValid());
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir_.path()));
    // A command waits a second in the window's queue, not a quarter minute.
    qputenv("ZEVA_HANDOVER_QUEUE_MS", "1000");
}

void TestHandover::rules_data()
{
    QTest::addColumn<QByteArray>("stray");
    QTest::addColumn<Steps>("steps");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("status"); // the window's status line at the end; "-": not looked at
    QTest::addColumn<QByteArray>("received"); // all the projector received
    QTest::addColumn<QString>("says");        // on stderr: what ran out, or what came instead
    const QString power = QStringLiteral("CR0\t 0 0 CR \t Power ON\n");
    for (int stray : {32766, 32767}) {
        QTest::addRow("a reply after %d stray characters", stray)
            << QByteArray(stray, 'x') << Steps{run("--query status"), await("CR0\r"), reply("00\r")}
            << 0 << power << " Power ON" << QByteArray("CR0\r") << "";
    }
    QTest::newRow("an operator's press interrupts it and keeps its own reply")
        << QByteArray()
        << Steps{run("--send CR0 --send CR1"),
                 await("CR0\r"),
                 {Op::Press, "Command17"},
                 await("CR0\rC00\r"),
                 reply("00\r"),
                 reply("\x06\r"),
                 {Op::Tick, "\x06\r"},
                 await("CR0\rC00\rCR1\r"),
                 reply("1\r")}
        << 5 << "CR0\t X X X X\nCR1\t 1 CR \t COMPUTER 1\n"
        << " COMPUTER 1" << QByteArray("CR0\rC00\rCR1\r")
        << "CR0: interrupted by the operator's command\n";
    QTest::newRow("a tail after the CR is decoded with its reply")
        << QByteArray() << Steps{run("--query hours"), await("CR PROJH\r"), reply("01234\r"),
                                 {Op::Sleep, {}, 50},  reply("\n"),         {Op::Sleep, {}, 100}}
        << 0 << "CR PROJH\t 0 1 2 3 4 CR \t1234 Hour Use\n"
        << "1234 Hour Use" << QByteArray("CR PROJH\r") << "";
    QTest::newRow("a script that gave up leaves nothing queued")
        << QByteArray()
        << Steps{{Op::Background, "--send X --timeout 3000"},
                 await("X\r"),
                 run("--send CR0 --send CR1 --timeout 1000")}
        << 3 << "CR0\t X X X X\n"
        << "-" << QByteArray("X\r") << "CR0: not sent: waited 1000 ms in the panel's queue\n";
    QTest::newRow("the script's reply window ends with its exchange")
        << QByteArray()
        << Steps{run("--send C0B --timeout 1000"),
                 await("C0B\r"),
                 {Op::Sleep, {}, 1200},
                 {Op::Press, "Command18"},
                 {Op::ReplyWindowIs, {}, 500}}
        << 3 << "C0B\t X X X X\n"
        << "-" << QByteArray("C0B\rC02\r") << "C0B: no reply within its reply window of 1000 ms\n";
    QTest::newRow("the window ends: the command out is unanswered, the next goes direct")
        << QByteArray()
        << Steps{run("--send C0B --send CR0 --timeout 1500"),
                 await("C0B\r"),
                 {Op::CloseWindow},
                 await("C0B\rCR0\r"),
                 reply("80\r")}
        << 3 << "C0B\t X X X X\nCR0\t 8 0 CR \t Stand by\n"
        << "-" << QByteArray("C0B\rCR0\r") << "C0B: unanswered: the panel ended after sending it\n";
}

// The window with its hand-over on a pty, the scripts started against it, and what the
// projector's end of the line has received.
struct Scene {
    std::unique_ptr<FormHarness> panel = std::make_unique<FormHarness>();
    std::unique_ptr<HandoverServer> server =
        std::make_unique<HandoverServer>(windowQueues(*panel->form));
    PtyPeer& peer = panel->peer;
    QByteArray wire;
    QProcess script;
    QProcess other;

    void play(const Step& step);
    void await(const QByteArray& bytes);
};

void Scene::play(const Step& step)
{
    Form1* form = panel->form.get();
    switch (step.op) {
    case Op::Run:
    case Op::Background: {
        QProcess& p = step.op == Op::Run ? script : other;
        p.start(program(), QString::fromLatin1(step.text).split(u' ') +
                               QStringList{"--com1", peer.slavePath()});
        QVERIFY(p.waitForStarted(5000));
        break;
    }
    case Op::Await:
        return await(step.text);
    case Op::Reply:
        QVERIFY(peer.write(step.text));
        break;
    case Op::Press:
        form->Command_Click(*findCommandRow(QString::fromLatin1(step.text)));
        break;
    case Op::Tick:
        QVERIFY(waitUntil([&] { return form->RxBuffer.endsWith(QString::fromLatin1(step.text)); }));
        form->Timer2_Timer();
        break;
    case Op::Sleep:
        QTest::qWait(step.ms);
        break;
    case Op::CloseWindow:
        // As the window ends on END or a termination signal: the port first, then the rest.
        form->Command16_Click();
        server.reset();
        panel->form.reset();
        break;
    case Op::ReplyWindowIs:
        QVERIFY(form->Timer2.isActive());
        QCOMPARE(form->Timer2.interval(), step.ms);
        break;
    }
}

void Scene::await(const QByteArray& bytes)
{
    // Generous: a loaded machine may take seconds to start a program.
    const bool came = waitUntil([&] { return (wire += peer.read()).startsWith(bytes); }, 10000);
    if (!came) qWarning() << script.readAllStandardError();
    QVERIFY2(came, wire.constData());
    QCOMPARE(wire, bytes);
}

void TestHandover::rules()
{
    QFETCH(QByteArray, stray);
    QFETCH(Steps, steps);
    Scene scene;
    QVERIFY(scene.server->listen(scene.peer.slavePath()));
    // In pieces that the pty takes whole, while the window reads them.
    for (qsizetype at = 0; at < stray.size(); at += 1000)
        QVERIFY(scene.panel->reply(stray.mid(at, 1000)));
    for (const Step& step : steps) {
        scene.play(step);
        if (QTest::currentTestFailed()) return;
    }
    QProcess& script = scene.script;
    QVERIFY(waitUntil([&] { return script.state() == QProcess::NotRunning; }, 10000));
    QVERIFY(waitUntil([&] { return scene.other.state() == QProcess::NotRunning; }, 10000));
    QTest::qWait(100); // nothing more goes out for a script that has ended
    scene.wire += scene.peer.read();
    const QString err = QString::fromLatin1(script.readAllStandardError());
    QFETCH(int, exitCode);
    QVERIFY2(script.exitCode() == exitCode, qPrintable(err));
    QTEST(err, "says");
    QTEST(QString::fromLatin1(script.readAllStandardOutput()), "out");
    QFETCH(QString, status);
    if (status != u"-") QCOMPARE(scene.panel->form->Label25->text(), status);
    QTEST(scene.wire, "received");
}

QTEST_MAIN(TestHandover)
#include "tst_handover.moc"
