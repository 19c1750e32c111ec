#include "form_harness.h"
#include "panel/views.h"
#include "process_stats.h"

#include "panel/adjuster_table.h"
#include "status/display_form.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <termios.h>

namespace
{
// The speed the line really runs at, as the pty's own settings say.
speed_t lineSpeed(const PtyPeer& peer)
{
    termios t{};
    return ::tcgetattr(peer.masterFd(), &t) == 0 ? cfgetospeed(&t) : B0;
}
} // namespace

class TestPortChoice : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void startUpState();
    void speedChangeKeepsPortOpen();
    void com2ReopensOnTheOtherDevice();
    void failedChoiceWarnsThenRecovers_data();
    void failedChoiceWarnsThenRecovers();
    void busyPortIsDescribed();
    void startUpWithMissingCom1();
    void frameShownByComAndHiddenByTimer();
    void endClosesThePort();
    void hangUpIsReportedOnceAndRecovers();
    void hangUpInsideATransmissionWarnsAfterIt();
    void markupInADevicePathIsShownAsText();
};

void TestPortChoice::startUpState()
{
    FormHarness h;
    Form1& f = *h.form;
    QCOMPARE(f.PortSettings, QStringLiteral("19200,N,8,1"));
    QCOMPARE(f.MSComm1.Settings(), QStringLiteral("19200,N,8,1"));
    QCOMPARE(f.MSComm1.CommPort(), 1);
    QVERIFY(f.MSComm1.PortOpen());
    QVERIFY(f.Option1->isChecked());
    QVERIFY(f.Option3->isChecked());
    QVERIFY(f.Frame8->isHidden());
    QCOMPARE(f.windowHeightTwips(), kCompactHeightTwips);
    QCOMPARE(f.HoldCode, quint8(0));
    QVERIFY(f.RxBuffer.isEmpty());
    QVERIFY(!f.Timer1.isActive() && !f.Timer2.isActive() && !f.Timer3.isActive() &&
            !f.Timer4.isActive());
    QVERIFY(h.boxes.isEmpty());
}

void TestPortChoice::speedChangeKeepsPortOpen()
{
    FormHarness h;
    Form1& f = *h.form;
    f.Command33_Click();
    f.Option4->setChecked(true);
    f.Option4_Click();
    QCOMPARE(f.MSComm1.Settings(), QStringLiteral("9600,N,8,1"));
    QCOMPARE(f.PortSettings, QStringLiteral("9600,N,8,1"));
    QVERIFY(f.MSComm1.PortOpen());
    QCOMPARE(f.MSComm1.CommPort(), 1);
    QVERIFY(f.Frame8->isHidden());
    QVERIFY(f.Option1->isChecked()); // port and speed are separate choices
    QCOMPARE(lineSpeed(h.peer), speed_t(B9600));
    f.Option3->setChecked(true);
    f.Option3_Click();
    QCOMPARE(lineSpeed(h.peer), speed_t(B19200));
}

void TestPortChoice::com2ReopensOnTheOtherDevice()
{
    PtyPeer second;
    FormHarness h(second.slavePath());
    Form1& f = *h.form;
    f.Command33_Click();
    f.Option2_Click();
    QVERIFY(f.MSComm1.PortOpen());
    QCOMPARE(f.MSComm1.CommPort(), 2);
    QVERIFY(f.Frame8->isHidden());
    f.LastCommand = QStringLiteral("C00\r");
    f.Hyouji(f.LastCommand, 1);
    QCOMPARE(second.read(4, 2000), QByteArray("C00\r"));
    QCOMPARE(h.peer.read(0, 50), QByteArray());
}

void TestPortChoice::failedChoiceWarnsThenRecovers_data()
{
    QTest::addColumn<QString>("com2");
    QTest::addColumn<QString>("sentence");
    QTest::newRow("missing device") << kMissingDevice << "no such device";
    QTest::newRow("network address that refuses") << "socket://127.0.0.1:9"
                                                  << "refused the connection";
}

void TestPortChoice::failedChoiceWarnsThenRecovers()
{
    QFETCH(QString, com2);
    QFETCH(QString, sentence);
    FormHarness h(com2);
    Form1& f = *h.form;
    f.Command33_Click();
    f.Option2->click(); // as the operator does
    QCOMPARE(h.boxes.size(), 1);
    QVERIFY2(h.boxes[0].contains(sentence), qPrintable(h.boxes[0]));
    QCOMPARE(f.MSComm1.CommPort(), 1);
    QVERIFY(f.Option1->isChecked()); // the frame shows the port in use
    QVERIFY(!f.MSComm1.PortOpen());
    QVERIFY(f.Frame8->isVisible() || !f.Frame8->isHidden());
    QTest::qWait(50); // nothing more comes later: no second box, no late opening
    QCOMPARE(h.boxes.size(), 1);
    QVERIFY(!f.MSComm1.PortOpen());

    f.Option1->click(); // choosing a port after a failure opens it
    QCOMPARE(h.boxes.size(), 1);
    QVERIFY(f.MSComm1.PortOpen());
    QCOMPARE(f.MSComm1.CommPort(), 1);
    QVERIFY(f.Frame8->isHidden());
    QVERIFY(!f.portFailed());
}

void TestPortChoice::busyPortIsDescribed()
{
    PtyPeer second;
    FormHarness h(second.slavePath());
    h.form->MSComm1.injectOpenFailure(QSerialPort::PermissionError);
    h.form->Option2_Click();
    QCOMPARE(h.boxes.size(), 1);
    QVERIFY2(h.boxes[0].contains(QStringLiteral("COM2")), qPrintable(h.boxes[0]));
    QVERIFY(h.boxes[0].contains(QStringLiteral("in use")));
    QVERIFY(!h.form->MSComm1.PortOpen());
}

void TestPortChoice::startUpWithMissingCom1()
{
    FormHarness h(kMissingDevice, false);
    Form1& f = *h.form;
    f.MSComm1.setDevices(kMissingDevice, h.peer.slavePath());
    f.Form_Load();
    QCOMPARE(h.boxes.size(), 1); // one report, not one per attempt
    QVERIFY(h.boxes[0].contains(QStringLiteral("COM1")));
    QVERIFY(!f.MSComm1.PortOpen());
    f.Hyouji(f.LastCommand, 1); // the panel stays usable
    f.Option2_Click();
    QVERIFY(f.MSComm1.PortOpen());
    QCOMPARE(f.MSComm1.CommPort(), 2);
}

void TestPortChoice::frameShownByComAndHiddenByTimer()
{
    FormHarness h;
    Form1& f = *h.form;
    f.Command33_Click();
    QVERIFY(!f.Frame8->isHidden());
    QVERIFY(f.Timer3.isActive());
    QCOMPARE(f.Timer3.interval(), 5000);
    f.Timer3_Timer();
    QVERIFY(f.Frame8->isHidden());
    QVERIFY(!f.Timer3.isActive());
    f.Timer3_Timer(); // a tick with the frame hidden only stops the timer
    QVERIFY(f.Frame8->isHidden());
}

void TestPortChoice::endClosesThePort()
{
    FormHarness h;
    h.form->show();
    h.form->LastCommand = QStringLiteral("CR0\r");
    h.form->Hyouji(h.form->LastCommand, 1); // still awaiting a reply
    h.form->Command16_Click();
    QVERIFY(!h.form->MSComm1.PortOpen());
    QVERIFY(!h.form->isVisible());
    QCOMPARE(h.endCalls, 1);
    h.form->Command16_Click(); // with the port already closed, still ends
    QCOMPARE(h.endCalls, 2);
}

void TestPortChoice::hangUpIsReportedOnceAndRecovers()
{
    PtyPeer second;
    FormHarness h(second.slavePath());
    Form1& f = *h.form;
    h.peer.hangUp();
    QVERIFY(waitUntil([&] { return !h.boxes.isEmpty(); }));
    QVERIFY(!f.MSComm1.PortOpen());
    const double before = cpuSeconds();
    QTest::qWait(1000);
    QVERIFY2(cpuSeconds() - before < 0.05, "idle after a hang-up");
    QCOMPARE(h.boxes.size(), 1);
    QVERIFY2(h.boxes[0].contains(QStringLiteral("lost")), qPrintable(h.boxes[0]));
    f.Option2_Click();
    QVERIFY(f.MSComm1.PortOpen());
    QCOMPARE(f.MSComm1.CommPort(), 2);
}

void TestPortChoice::hangUpInsideATransmissionWarnsAfterIt()
{
    FormHarness h;
    Form1& f = *h.form;
    QStringList stateAtBox;
    Form1::setMessageBoxHook([&](const QString& text, const QString&) {
        stateAtBox << text << f.Label11->text() << QString::number(f.AwaitingReply)
                   << QString::number(f.Timer2.isActive());
    });
    const AdjusterRow& zoom = adjusterTable().front();
    f.Adjuster_MouseDown(zoom);
    h.peer.read(1, 1000);
    QVERIFY(waitUntil([&] { return f.MSComm1.OutBufferCount() == 0; })); // the repeat is due
    h.peer.hangUp();
    f.Timer1_Timer(); // the repeat's write finds the line gone
    QVERIFY(stateAtBox.isEmpty());
    QVERIFY(waitUntil([&] { return !stateAtBox.isEmpty(); }));
    const QString tx = DisplayForm(QLatin1String(zoom.command) + QLatin1Char('\r'));
    QCOMPARE(stateAtBox.mid(1), (QStringList{tx, "1", "1"})); // the transmission had finished
    QVERIFY2(stateAtBox[0].contains(QStringLiteral("unplugged or the other end hung up")),
             qPrintable(stateAtBox[0]));
    f.Adjuster_MouseUp(zoom);
    QVERIFY(!f.Timer1.isActive());
    QCOMPARE(f.HoldCode, quint8(0));
    QTest::qWait(100);
    QCOMPARE(stateAtBox.size(), 4); // one box for one lost line
}

void TestPortChoice::markupInADevicePathIsShownAsText()
{
    FormHarness h(kMissingDevice, false);
    Form1::setMessageBoxHook({}); // the real box
    const QString device = QStringLiteral("<h1>BIG</h1><img src=/usr/share/icons/x.png>");
    h.form->MSComm1.setDevices(device, kMissingDevice);
    QString shown;
    Qt::TextFormat format = Qt::AutoText;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->text();
            format = box->textFormat();
            box->accept();
        }
    });
    closer.start(10);
    h.form->Form_Load();
    QCOMPARE(format, Qt::PlainText);
    QVERIFY2(shown.contains(device), qPrintable(shown));
}

QTEST_MAIN(TestPortChoice)
#include "tst_port_choice.moc"
