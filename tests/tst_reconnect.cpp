// Reopening a lost line by itself: the panel was given a link to a pty; the pty hangs up and the
// link goes, as a USB adapter's by-id link does when it is pulled; a new pty comes back under the
// same link. And a network server that accepts and hangs up at once: one box for the outage.
#include "form_harness.h"
#include "panel/command_table.h"
#include "scripted_peer.h"
#include "status/display_form.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>

namespace
{

QByteArray deviceRead(PtyPeer& device, qsizetype n)
{
    QByteArray got;
    waitUntil([&] {
        got += device.read();
        return got.size() >= n;
    });
    return got;
}

// A panel on COM1 = a link to a first pty, whose line has just been lost.
struct LostLinkPanel {
    QTemporaryDir dir;
    QString link = dir.filePath(QStringLiteral("projector"));
    PtyPeer first;
    PtyPeer second; // COM2
    FormHarness h{kMissingDevice, false};
    bool ready = false;

    LostLinkPanel()
    {
        if (!QFile::link(first.slavePath(), link)) return;
        h.form->MSComm1.setDevices(link, second.slavePath());
        h.form->Form_Load();
        if (!h.form->MSComm1.PortOpen()) return;
        first.hangUp();
        QFile::remove(link);
        ready = waitUntil([&] { return !h.boxes.isEmpty(); });
    }
    Form1& form() { return *h.form; }
};

} // namespace

class TestReconnect : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void deviceComingBackIsReopenedSilently();
    void portChoiceStillOpensAtOnce();
    void endStopsTheTries();
    void serverHangingUpAtOnceIsOneBoxWithGrowingPauses();
};

void TestReconnect::deviceComingBackIsReopenedSilently()
{
    LostLinkPanel p;
    QVERIFY(p.ready);
    QVERIFY(!p.form().MSComm1.PortOpen());
    QVERIFY(p.form().portFailed());
    QCOMPARE(p.form().Option1->toolTip(), p.link); // the option names what it stands for
    QTest::qWait(1200); // a try or more while the device is away: still one box
    QCOMPARE(p.h.boxes.size(), 1);

    PtyPeer back;
    QVERIFY(QFile::link(back.slavePath(), p.link));
    QElapsedTimer clock;
    clock.start();
    QVERIFY(waitUntil([&] { return p.form().MSComm1.PortOpen(); }, 2500));
    QVERIFY2(clock.elapsed() <= 2000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!p.form().portFailed());
    QCOMPARE(p.form().MSComm1.CommPort(), 1);
    QCOMPARE(p.h.boxes.size(), 1);
    QVERIFY(p.form().Label12->text().isEmpty()); // nothing shows until the projector speaks

    p.form().Command_Click(*findCommandRow(u"Command44"));
    QCOMPARE(deviceRead(back, 4), QByteArray("CR0\r"));
    QVERIFY(back.write("00\r"));
    QVERIFY(waitUntil([&] { return p.form().Label25->text() == QStringLiteral(" Power ON"); }));
}

void TestReconnect::portChoiceStillOpensAtOnce()
{
    LostLinkPanel p;
    QVERIFY(p.ready);
    p.form().Command33_Click();
    p.form().Option2->click();
    QVERIFY(p.form().MSComm1.PortOpen());
    QCOMPARE(p.form().MSComm1.CommPort(), 2);
    // COM1's device coming back does not take the line from the operator's choice.
    PtyPeer back;
    QVERIFY(QFile::link(back.slavePath(), p.link));
    QTest::qWait(1500);
    QCOMPARE(p.form().MSComm1.CommPort(), 2);
    QVERIFY(p.form().MSComm1.PortOpen());
    p.form().Hyouji(QStringLiteral("C00\r"), 1);
    QCOMPARE(deviceRead(p.second, 4), QByteArray("C00\r"));
    QCOMPARE(p.h.boxes.size(), 1);
}

void TestReconnect::endStopsTheTries()
{
    LostLinkPanel p;
    QVERIFY(p.ready);
    p.form().Command16_Click();
    QCOMPARE(p.h.endCalls, 1);
    PtyPeer back;
    QVERIFY(QFile::link(back.slavePath(), p.link));
    QTest::qWait(1500);
    QVERIFY(!p.form().MSComm1.PortOpen());
}

void TestReconnect::serverHangingUpAtOnceIsOneBoxWithGrowingPauses()
{
    ScriptedPeer peer(ScriptedPeer::Kind::AcceptAndClose);
    FormHarness h(kMissingDevice, false);
    Form1& f = *h.form;
    f.MSComm1.setDevices(peer.address(), kMissingDevice);
    f.Form_Load();
    QVERIFY(waitUntil([&] { return !h.boxes.isEmpty(); }));
    QCOMPARE(peer.accepted(), 1); // start-up's reopening kept the first connection

    // A press while the line is down: shown, recorded as not sent, and timed out.
    f.Command_Click(*findCommandRow(u"Command44"));
    QCOMPARE(f.Label11->text(), DisplayForm(QStringLiteral("CR0\r")));
    f.Timer2_Timer();
    QCOMPARE(f.Label12->text(), QStringLiteral(" X X X X"));

    QTest::qWait(3500); // attempts after 1 s, then 2 s more: both fail as the first did
    QCOMPARE(h.boxes.size(), 1);
    QCOMPARE(peer.accepted(), 3);
    QList<qint64> retries;
    int opened = 0;
    bool notSent = false;
    for (quint64 seq = f.history.firstSeq(); seq < f.history.endSeq(); ++seq) {
        const HistoryEntry& e = f.history.entry(seq);
        if (e.kind == EntryKind::Retry) retries << e.timeMs;
        opened += e.kind == EntryKind::PortOpened ? 1 : 0;
        notSent = notSent || e.kind == EntryKind::NotSent;
    }
    QCOMPARE(opened, 1);
    QVERIFY(notSent);
    QCOMPARE(retries.size(), 2);
    QVERIFY2(retries[1] - retries[0] >= 1800, qPrintable(QString::number(retries[1] - retries[0])));
    QVERIFY(f.portFailed());
    QVERIFY(!f.MSComm1.PortOpen());
}

QTEST_MAIN(TestReconnect)
#include "tst_reconnect.moc"
