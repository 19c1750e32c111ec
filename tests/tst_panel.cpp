#include "form_harness.h"
#include "panel/adjuster_table.h"
#include "panel/command_table.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QWindow>
#include <termios.h>

// Every button of the panel against a pty peer: what goes on the line and what the press leaves
// in the timers and fields.
class TestPanel : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void init();
    void commandRows_data();
    void commandRows();
    void adjusterRows_data();
    void adjusterRows();
    void intervalsCarryOver_data();
    void intervalsCarryOver();
    void arrowPadByContext_data();
    void arrowPadByContext();
    void arrowContextTransitions();
    void ticksRepeatUntilRelease();
    void releaseAnywhereAndDoubleClick();
    void keyboardDoesNotDriveAdjusters();
    void returnAndEnterActivateTheFocusedButton_data();
    void returnAndEnterActivateTheFocusedButton();
    void lostReleaseStopsTheRepeatOnce();
    void realTimeHoldOfZoom();
    void heldArrowWaitsForTheLine();

  private:
    std::unique_ptr<FormHarness> h;
    QPushButton* button(const char* name) const
    {
        return qobject_cast<QPushButton*>(h->form->control(QLatin1String(name)));
    }
    void click(const char* name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    void press(const char* name) { QTest::mousePress(button(name), Qt::LeftButton); }
    void release(const char* name) { QTest::mouseRelease(button(name), Qt::LeftButton); }
    QByteArray sent() { return h->peer.read(1, 1000); }
};

void TestPanel::init()
{
    h = std::make_unique<FormHarness>();
    h->form->show();
    QVERIFY(QTest::qWaitForWindowExposed(h->form.get()));
}

void TestPanel::commandRows_data()
{
    QTest::addColumn<QString>("control");
    for (const CommandRow& row : commandTable())
        QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(row.group, row.control)))
            << row.control;
}

void TestPanel::commandRows()
{
    QFETCH(QString, control);
    const CommandRow& row = *findCommandRow(control);
    Form1& f = *h->form;
    click(row.control);
    QCOMPARE(h->peer.read(int(qstrlen(row.command)) + 1, 2000), QByteArray(row.command) + '\r');
    QCOMPARE(f.LastCommand, QLatin1String(row.command) + QLatin1Char('\r'));
    QCOMPARE(f.Timer2.interval(), row.hasIntervals() ? row.replyWindowMs : 500);
    QCOMPARE(f.Timer4.interval(), row.hasIntervals() ? row.clearDelayMs : 1000);
    QVERIFY(f.Timer2.isActive() && f.Timer4.isActive());
    QCOMPARE(f.Label11->text().count(QLatin1String("CR ")), 1);
    QCOMPARE(f.ArrowContext, quint8(row.navigation ? 1 : 0));
    QCOMPARE(f.Timer1.interval(), 200);
    QVERIFY(!f.Timer1.isActive());
}

void TestPanel::adjusterRows_data()
{
    QTest::addColumn<QString>("control");
    for (const AdjusterRow& row : adjusterTable())
        QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(row.group, row.control)))
            << row.control;
}

void TestPanel::adjusterRows()
{
    QFETCH(QString, control);
    const AdjusterRow& row = *findAdjusterByControl(control);
    const bool arrow = row.kind == AdjusterKind::Arrow;
    Form1& f = *h->form;
    press(row.control);
    QCOMPARE(sent(), QByteArray(row.command) + '\r');
    QCOMPARE(f.HoldCode, row.holdCode);
    QVERIFY(f.Timer1.isActive());
    QCOMPARE(f.Timer1.interval(), arrow ? 200 : row.repeatMs); // context 0: arrows keep everything
    QCOMPARE(f.Timer2.interval(), arrow ? 500 : row.replyWindowMs);
    QCOMPARE(f.Timer4.interval(), arrow ? 1000 : row.clearDelayMs);

    f.RxBuffer = QStringLiteral("late");
    release(row.control);
    QCOMPARE(f.HoldCode, quint8(0));
    QVERIFY(!f.Timer1.isActive());
    QVERIFY(!f.Timer2.isActive());
    QVERIFY(f.Timer4.isActive());
    QCOMPARE(f.Timer2.interval(), 500);
    QCOMPARE(f.Timer4.interval(), 1000);
    QVERIFY(f.Label11->text().isEmpty() && f.Label12->text().isEmpty());
    QVERIFY(f.RxBuffer.isEmpty());
    QCOMPARE(f.Timer1.interval(), row.dZoom ? 5 : (arrow ? 200 : row.repeatMs));
    QCOMPARE(f.ArrowContext, quint8(row.dZoom ? 3 : 0));
    QCOMPARE(h->peer.read(0, 50), QByteArray()); // sent exactly once
}

void TestPanel::intervalsCarryOver_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>("pressed");
    QTest::addColumn<int>("window");
    QTest::addColumn<int>("clear");
    QTest::newRow("OFF first after start-up") << QStringList{} << "Command18" << 500 << 1000;
    QTest::newRow("POWER ON then OFF") << QStringList{"Command17"} << "Command18" << 5000 << 5500;
    QTest::newRow("AUDIO MUTE ON then IMAGE")
        << QStringList{"Command19"} << "Command73" << 500 << 1000;
    QTest::newRow("query then DISPLAY CLEAR")
        << QStringList{"Command44"} << "Command3" << 2000 << 2500;
    QTest::newRow("C01 then P-Timer") << QStringList{"Command52"} << "Command39" << 3000 << 3500;
    QTest::newRow("SEND then OFF")
        << QStringList{"Command17", "Command53"} << "Command18" << 500 << 1000;
}

void TestPanel::intervalsCarryOver()
{
    QFETCH(QStringList, before);
    QFETCH(QString, pressed);
    QFETCH(int, window);
    QFETCH(int, clear);
    for (const QString& name : before)
        click(qPrintable(name));
    click(qPrintable(pressed));
    QCOMPARE(h->form->Timer2.interval(), window);
    QCOMPARE(h->form->Timer4.interval(), clear);
}

void TestPanel::arrowPadByContext_data()
{
    QTest::addColumn<QStringList>("before"); // clicks, or "+Name" for a press and release
    QTest::addColumn<int>("repeat");
    QTest::addColumn<int>("window");
    QTest::addColumn<int>("clear");
    QTest::newRow("context 0 keeps the query's intervals")
        << QStringList{"Command44"} << 200 << 2000 << 2500;
    QTest::newRow("context 1 after MENU ON") << QStringList{"Command23"} << 200 << 150 << 190;
    QTest::newRow("context 1, repeat left by VOL +")
        << QStringList{"Command23", "+Command1"} << 250 << 150 << 190;
    QTest::newRow("context 3 after D.Zoom release") << QStringList{"+Command49"} << 5 << 5 << 5;
    QTest::newRow("context 3, repeat left by Zoom +")
        << QStringList{"+Command48", "+Command15"} << 50 << 5 << 5;
    QTest::newRow("A-IMAGE after D.Zoom: context 1")
        << QStringList{"+Command48", "Command13"} << 200 << 150 << 190;
}

void TestPanel::arrowPadByContext()
{
    QFETCH(QStringList, before);
    QFETCH(int, repeat);
    QFETCH(int, window);
    QFETCH(int, clear);
    for (const QString& step : before) {
        if (step.startsWith(QLatin1Char('+'))) {
            press(qPrintable(step.mid(1)));
            release(qPrintable(step.mid(1)));
        } else {
            click(qPrintable(step));
        }
    }
    h->peer.drain();
    const std::pair<const char*, QByteArray> arrows[] = {
        {"Command5", "C3C\r"}, {"Command7", "C3D\r"}, {"Command9", "C3B\r"}, {"Command8", "C3A\r"}};
    for (const auto& [name, bytes] : arrows) {
        press(name);
        QCOMPARE(sent(), bytes);
        QCOMPARE(h->form->Timer1.interval(), repeat);
        QCOMPARE(h->form->Timer2.interval(), window);
        QCOMPARE(h->form->Timer4.interval(), clear);
        release(name);
        if (window != 150 && window != 5) break; // context 0: the release resets 500/1000
    }
}

void TestPanel::arrowContextTransitions()
{
    Form1& f = *h->form;
    QCOMPARE(f.ArrowContext, quint8(0));
    press("Command48"); // a D.Zoom press alone changes nothing
    QCOMPARE(f.ArrowContext, quint8(0));
    release("Command48");
    QCOMPARE(f.ArrowContext, quint8(3));
    click("Command23");
    QCOMPARE(f.ArrowContext, quint8(1));
    click("Command24"); // MENU OFF leaves it
    QCOMPARE(f.ArrowContext, quint8(1));
    press("Command49");
    release("Command49");
    QCOMPARE(f.ArrowContext, quint8(3));
    QCOMPARE(f.Timer1.interval(), 5);
    click("Command13");
    QCOMPARE(f.ArrowContext, quint8(1));
    QCOMPARE(f.Timer1.interval(), 200);
}

void TestPanel::ticksRepeatUntilRelease()
{
    Form1& f = *h->form;
    press("Command1");
    QCOMPARE(sent(), QByteArray("C09\r"));
    for (int tick = 0; tick < 2; ++tick) {
        QTRY_COMPARE(f.MSComm1.OutBufferCount(), 0); // a tick waits for the line to carry the last
        f.Timer1_Timer();
    }
    QCOMPARE(h->peer.read(8, 1000), QByteArray("C09\rC09\r"));
    QVERIFY(f.Timer1.isActive());
    release("Command1");
    f.Timer1_Timer(); // a tick after the release sends nothing
    QCOMPARE(h->peer.read(0, 50), QByteArray());
}

void TestPanel::releaseAnywhereAndDoubleClick()
{
    Form1& f = *h->form;
    QPushButton* zoom = button("Command15");
    QTest::mousePress(zoom, Qt::RightButton);
    QTest::mouseRelease(zoom, Qt::RightButton, {}, QPoint(-200, -200)); // far outside
    QCOMPARE(f.HoldCode, quint8(0));
    QVERIFY(!f.Timer1.isActive());
    h->peer.drain();
    // Through the window, as the platform delivers it: press, release, press + double click.
    QWindow* window = f.windowHandle();
    const QPoint at = zoom->mapTo(&f, zoom->rect().center());
    QTest::mouseDClick(window, Qt::LeftButton, {}, at);
    QTest::mouseRelease(window, Qt::LeftButton, {}, at);
    QCOMPARE(h->peer.read(8, 1000), QByteArray("C47\rC47\r"));
    QCOMPARE(h->peer.read(0, 50), QByteArray());
    QVERIFY(!f.Timer1.isActive());
}

void TestPanel::keyboardDoesNotDriveAdjusters()
{
    QPushButton* vol = button("Command1");
    vol->setFocus();
    QTest::keyClick(vol, Qt::Key_Space);
    QTest::keyClick(vol, Qt::Key_Return);
    QTest::keyClick(vol, Qt::Key_Enter);
    vol->click();
    QCOMPARE(h->peer.read(0, 50), QByteArray());
    QCOMPARE(h->form->HoldCode, quint8(0));
    QVERIFY(!vol->autoRepeat());
}

void TestPanel::returnAndEnterActivateTheFocusedButton_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Return") << int(Qt::Key_Return);
    QTest::newRow("Enter on the keypad") << int(Qt::Key_Enter);
}

void TestPanel::returnAndEnterActivateTheFocusedButton()
{
    QFETCH(int, key);
    h->form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(h->form.get()));
    QPushButton* status = button("Command44");
    status->setFocus();
    QTest::keyClick(status, Qt::Key(key));
    QCOMPARE(h->peer.read(4, 1000), QByteArray("CR0\r"));
    QTest::keyPress(status, Qt::Key(key));
    QKeyEvent repeat(QEvent::KeyPress, key, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(status, &repeat); // the key held down: sent once only
    QTest::keyRelease(status, Qt::Key(key));
    QCOMPARE(h->peer.read(4, 1000), QByteArray("CR0\r"));
    QCOMPARE(h->peer.read(0, 100), QByteArray());
    // A first press that comes marked as a repeat (its key went down in another window) counts.
    QApplication::sendEvent(status, &repeat);
    QApplication::sendEvent(status, &repeat);
    QTest::keyRelease(status, Qt::Key(key));
    QCOMPARE(h->peer.read(4, 1000), QByteArray("CR0\r"));
    QCOMPARE(h->peer.read(0, 100), QByteArray());
}

void TestPanel::lostReleaseStopsTheRepeatOnce()
{
    Form1& f = *h->form;
    press("Command59");
    QVERIFY(f.Timer1.isActive());
    button("Command59")->hide(); // the release can no longer arrive
    QVERIFY(!f.Timer1.isActive());
    QCOMPARE(f.HoldCode, quint8(0));
    f.Timer4.setInterval(777); // a second release would put 1000 back
    release("Command59");
    QCOMPARE(f.Timer4.interval(), 777);

    button("Command59")->show();
    QVERIFY(QTest::qWaitForWindowActive(&f));
    press("Command48");
    QWidget other; // another window takes the activation during the hold
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QVERIFY(!f.Timer1.isActive());
    QCOMPARE(f.ArrowContext, quint8(3)); // the release steps ran, D.Zoom's included
}

void TestPanel::realTimeHoldOfZoom()
{
    press("Command15");
    QTest::qWait(2000);
    release("Command15");
    const QByteArray bytes = h->peer.read(0, 200);
    const int count = int(bytes.count("C47\r"));
    QCOMPARE(bytes.size(), count * 4);
    QVERIFY2(count >= 36 && count <= 44, qPrintable(QString::number(count))); // 1 + 2000/50
}

// After a D.Zoom release the arrows repeat every 5 ms, while a 9600-baud line needs 4.2 ms for
// one command alone. A pty carries bytes at once: the serial layer counts what the line cannot
// have carried yet. A long write stands for the traffic that keeps the line busy.
void TestPanel::heldArrowWaitsForTheLine()
{
    Form1& f = *h->form;
    f.Option4_Click();
    termios line{};
    QCOMPARE(::tcgetattr(h->peer.masterFd(), &line), 0);
    QCOMPARE(::cfgetospeed(&line), speed_t(B9600));
    click("Command48");
    QCOMPARE(f.ArrowContext, quint8(3));
    QVERIFY(h->peer.read(4, 1000).startsWith("C30"));
    h->peer.drain();
    press("Command5");
    f.Timer1.stop();                                     // ticked by hand from here
    const QByteArray busy = QByteArray(479, 'x') + '\r'; // half a second at 9600 baud
    QVERIFY(!f.MSComm1.Output(QString::fromLatin1(busy)));
    for (int tick = 0; tick < 3; ++tick)
        f.Timer1_Timer(); // skipped: nothing queues behind the busy line
    QVERIFY(f.MSComm1.OutBufferCount() > 0);
    QTRY_COMPARE(f.MSComm1.OutBufferCount(), 0);
    f.Timer1_Timer();
    release("Command5");
    f.Timer1_Timer(); // a tick already due when the release came
    const QByteArray arrow("C3C\r");
    QCOMPARE(h->peer.read(int(busy.size()) + 8, 1000), arrow + busy + arrow);
    QCOMPARE(h->peer.read(0, 50), QByteArray());
}

QTEST_MAIN(TestPanel)
#include "tst_panel.moc"
