#include "form_harness.h"
#include "panel/command_table.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

// The free command entry and the status line, through Form1 with a pty as the projector.
class TestEntry : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void init();
    void sendPutsTypedTextAndCrOnTheLine_data();
    void sendPutsTypedTextAndCrOnTheLine();
    void typedQueryIsDecodedLikeTheButton();
    void replyInTwoPiecesDecodesWhenPrefixCompletes();
    void pressureAndTemperaturesFromTheEntry();
    void lowerCaseQueryIsNotDecoded();
    void clsEmptiesOnlyTheBox();
    void enterSendsNothing();
    void outOfRangeKeepsStatusAndReading();

  private:
    std::unique_ptr<FormHarness> h;
    Form1& form() { return *h->form; }
    void type(const QString& text)
    {
        form().Text1->setText(text);
        QTest::mouseClick(qobject_cast<QPushButton*>(form().control(QStringLiteral("Command53"))),
                          Qt::LeftButton);
    }
};

void TestEntry::init()
{
    h = std::make_unique<FormHarness>();
    form().show();
    QVERIFY(QTest::qWaitForWindowExposed(&form()));
}

void TestEntry::sendPutsTypedTextAndCrOnTheLine_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("txd");
    QTest::newRow("empty box sends a lone CR") << "" << QByteArray("\r") << " CR ";
    QTest::newRow("query as typed") << "CR0" << QByteArray("CR0\r") << " C R 0 CR ";
    QTest::newRow("blanks and case kept")
        << " cf x " << QByteArray(" cf x \r") << "   c f   x   CR ";
    QTest::newRow("brace shows as ?") << "{" << QByteArray("{\r") << " ? CR ";
    QTest::newRow("Latin-1 goes out as one byte") << "\u00e9" << QByteArray("\xe9\r") << " ? CR ";
    QTest::newRow("beyond 8 bits goes out as ?") << "\u3042" << QByteArray("?\r") << " ? CR ";
}

void TestEntry::sendPutsTypedTextAndCrOnTheLine()
{
    QFETCH(QString, typed);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, txd);
    form().Timer2.setInterval(2000);
    type(typed);
    QCOMPARE(h->sent(bytes.size()), bytes);
    QCOMPARE(form().Label11->text(), txd);
    QCOMPARE(form().EntryText, typed);
    QCOMPARE(form().LastCommand, typed + QLatin1Char('\r'));
    QCOMPARE(form().Text1->text(), typed); // kept for another press
    QCOMPARE(form().Timer2.interval(), 500);
    QCOMPARE(form().Timer4.interval(), 1000);
}

void TestEntry::typedQueryIsDecodedLikeTheButton()
{
    type(QStringLiteral("CR0"));
    QVERIFY(h->reply("00\r"));
    QCOMPARE(form().Label25->text(), QStringLiteral(" Power ON"));
    form().Timer2_Timer();
    form().Command_Click(*findCommandRow(u"Command44"));
    QVERIFY(h->reply("80\r"));
    QCOMPARE(form().Label25->text(), QStringLiteral(" Stand by"));
}

void TestEntry::replyInTwoPiecesDecodesWhenPrefixCompletes()
{
    form().Label25->setText(QStringLiteral(" earlier"));
    form().Command_Click(*findCommandRow(u"Command44"));
    QVERIFY(h->reply("0"));
    QCOMPARE(form().Label25->text(), QStringLiteral(" earlier"));
    QVERIFY(h->reply("0\r"));
    QCOMPARE(form().Label25->text(), QStringLiteral(" Power ON"));
    form().Timer2_Timer();
    form().Command_Click(*findCommandRow(u"Command64")); // hours show every piece
    QVERIFY(h->reply("12"));
    QCOMPARE(form().Label25->text(), QStringLiteral("12 Hour Use"));
    QVERIFY(h->reply("34\r"));
    QCOMPARE(form().Label25->text(), QStringLiteral("1234 Hour Use"));
    QCOMPARE(form().ReadingValue, qint16(1234));
}

void TestEntry::pressureAndTemperaturesFromTheEntry()
{
    type(QStringLiteral("CR PRESSURE"));
    QVERIFY(h->reply("1023\r"));
    QCOMPARE(form().Label25->text(), QStringLiteral("1194 hPa"));
    QCOMPARE(form().ReadingValue, qint16(1194));
    form().Timer2_Timer();
    type(QStringLiteral("CR6"));
    QVERIFY(h->reply("abcdefghijklmnopq\r"));
    QCOMPARE(form().Label25->text(),
             QStringLiteral("  S1= a b c d e C  ,   S2=  h i j k C , S3= m n o p q C"));
}

void TestEntry::lowerCaseQueryIsNotDecoded()
{
    form().Label25->setText(QStringLiteral(" kept"));
    type(QStringLiteral("cr0"));
    QVERIFY(h->reply("00\r"));
    QCOMPARE(form().Label12->text(), QStringLiteral(" 0 0 CR "));
    QCOMPARE(form().Label25->text(), QStringLiteral(" kept"));
}

void TestEntry::clsEmptiesOnlyTheBox()
{
    type(QStringLiteral("C00"));
    QVERIFY(h->reply("\x06\r"));
    const QString txd = form().Label11->text(), rxd = form().Label12->text();
    QTest::mouseClick(qobject_cast<QPushButton*>(form().control(QStringLiteral("Command54"))),
                      Qt::LeftButton);
    QVERIFY(form().Text1->text().isEmpty());
    QCOMPARE(form().Label11->text(), txd);
    QCOMPARE(form().Label12->text(), rxd);
    QCOMPARE(form().EntryText, QStringLiteral("C00"));
    QCOMPARE(form().LastCommand, QStringLiteral("C00\r"));
}

void TestEntry::enterSendsNothing()
{
    form().Text1->setFocus();
    QTest::keyClicks(form().Text1, QStringLiteral("CR0"));
    QTest::keyClick(form().Text1, Qt::Key_Return);
    QTest::keyClick(form().Text1, Qt::Key_Enter);
    QCOMPARE(h->peer.read(0, 50), QByteArray());
    QVERIFY(form().LastCommand.isEmpty());
}

void TestEntry::outOfRangeKeepsStatusAndReading()
{
    form().Command_Click(*findCommandRow(u"Command64"));
    QVERIFY(h->reply("100\r"));
    form().Timer2_Timer();
    form().Command_Click(*findCommandRow(u"Command64"));
    QVERIFY(h->reply("99999\r"));
    QCOMPARE(form().Label25->text(), QStringLiteral("100 Hour Use"));
    QCOMPARE(form().ReadingValue, qint16(100));
    QVERIFY(form().MSComm1.PortOpen());
}

QTEST_MAIN(TestEntry)
#include "tst_entry.moc"
