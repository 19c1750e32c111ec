#include "status/display_form.h"

#include <QTest>

class TestDisplayForm : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void rendering_data();
    void rendering();
    void everyCodeBelow256();
    void lengthLimit();
};

void TestDisplayForm::rendering_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty string") << QString() << " ";
    QTest::newRow("lone CR") << "\r"
                             << " CR ";
    QTest::newRow("command C00 with CR") << "C00\r"
                                         << " C 0 0 CR ";
    QTest::newRow("ACK alone") << QString(QChar(6)) << " ACK ";
    QTest::newRow("LF has two blanks") << "\n"
                                       << " LF  ";
    QTest::newRow("tab is a question mark") << "\t"
                                            << " ? ";
    QTest::newRow("NUL and 31") << QString(QChar(0)) + QChar(31) << " ? ? ";
    QTest::newRow("blank shows as two blanks") << " "
                                               << "   ";
    QTest::newRow("z is itself") << "z"
                                 << " z ";
    QTest::newRow("brace and above") << "{|}~"
                                     << " ? ? ? ? ";
    QTest::newRow("DEL and Latin-1") << QString(QChar(127)) + QChar(0xE9) << " ? ? ";
    QTest::newRow("above 8 bits") << QString(QChar(0x3042)) << " ? ";
    QTest::newRow("lower case kept") << "abc"
                                     << " a b c ";
    QTest::newRow("reply 00 CR") << "00\r"
                                 << " 0 0 CR ";
    QTest::newRow("first piece of 00") << "0"
                                       << " 0 ";
}

void TestDisplayForm::rendering()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(DisplayForm(text), expected);
}

void TestDisplayForm::everyCodeBelow256()
{
    for (int c = 0; c < 256; ++c) {
        const QString out = DisplayForm(QString(QChar(c)));
        QVERIFY(out.startsWith(QLatin1Char(' ')) && out.endsWith(QLatin1Char(' ')));
        if (c >= 32 && c <= 'z')
            QCOMPARE(out, QStringLiteral(" %1 ").arg(QChar(c)));
        else if (c != 6 && c != 10 && c != 13)
            QCOMPARE(out, QStringLiteral(" ? "));
    }
}

void TestDisplayForm::lengthLimit()
{
    const QString longest(kMaxRenderedChars, QLatin1Char('A'));
    QCOMPARE(DisplayForm(longest).size(), 1 + 2 * kMaxRenderedChars);
    // Longer strings render their first 32767 characters, never more.
    QCOMPARE(DisplayForm(longest + QLatin1String("BBBB")), DisplayForm(longest));
}

QTEST_GUILESS_MAIN(TestDisplayForm)
#include "tst_display_form.moc"
