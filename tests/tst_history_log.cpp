#include "form_harness.h"
#include "history/history_log.h"
#include "status/display_form.h"

#include <QDateTime>
#include <QLabel>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// The history log: one line per entry that parses back, a start that stops on a log that cannot be
// opened, and one message when the log goes away under a running panel.
class TestHistoryLog : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void linesParseBackForEveryByte_data();
    void linesParseBackForEveryByte();
    void messagesAndStatusHaveTheirFields();
    void logThatCannotBeOpenedStopsTheStart_data();
    void logThatCannotBeOpenedStopsTheStart();
    void fullDiskGivesOneMessage();
    void deletedLogGivesOneMessageAndPanelGoesOn();
};

namespace
{

struct ParsedLine {
    QDateTime time;
    QString direction;
    QString rendering;
    QByteArray bytes;
    QString status;
    QString source;
};

ParsedLine parse(const QByteArray& line)
{
    const QStringList f = QString::fromUtf8(line).split(QLatin1Char('\t'));
    if (f.size() != 6) return {};
    return {QDateTime::fromString(f[0], Qt::ISODateWithMs), f[1], f[2],
            QByteArray::fromHex(f[3].toLatin1()),           f[4], f[5]};
}

QList<QByteArray> linesOf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QList<QByteArray> lines = file.readAll().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

QString program()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../src/zeva-control");
}

} // namespace

void TestHistoryLog::linesParseBackForEveryByte_data()
{
    QTest::addColumn<bool>("sent");
    QTest::newRow("sent") << true;
    QTest::newRow("received") << false;
}

void TestHistoryLog::linesParseBackForEveryByte()
{
    QFETCH(bool, sent);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("history.log"));
    ExchangeHistory history;
    HistoryLog log;
    QVERIFY(!log.open(path));
    log.attach(history);
    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    QString all;
    for (int b = 0; b < 256; ++b) {
        const QString one(1, QChar(b));
        sent ? history.addTx(one, false) : history.addRx(one, true);
        all += one;
    }
    sent ? history.addTx(all, false) : history.addRx(all, true);
    const QList<QByteArray> lines = linesOf(path);
    QCOMPARE(lines.size(), 257);
    for (int b = 0; b <= 256; ++b) {
        const ParsedLine p = parse(lines[b]);
        QVERIFY2(p.time.isValid(), lines[b].constData());
        QVERIFY(p.time.toMSecsSinceEpoch() >= before - 1);
        QCOMPARE(p.direction, sent ? QStringLiteral("TX") : QStringLiteral("RX"));
        const QByteArray expected = b < 256 ? QByteArray(1, char(b)) : all.toLatin1();
        QCOMPARE(p.bytes, expected);
        QCOMPARE(p.rendering, DisplayForm(QString::fromLatin1(expected)));
        QVERIFY(p.status.isEmpty());
    }
}

void TestHistoryLog::messagesAndStatusHaveTheirFields()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("history.log"));
    ExchangeHistory history;
    HistoryLog log;
    QVERIFY(!log.open(path));
    log.attach(history);
    history.addStatus(u" Power ON");
    history.addTimeOut(u" X X X X");
    history.addPortFailed(u"COM2 (/dev/x): no such device.\tCheck\nthe cable");
    history.addTx(u"CR0\r", false);
    history.setNextSource(u"pjlink 192.0.2.7");
    history.addTx(u"CR1\r", false);
    history.addTx(u"CR3\r", false); // the source was for one command only
    const QList<QByteArray> lines = linesOf(path);
    QCOMPARE(lines.size(), 6);
    QCOMPARE(parse(lines[0]).source, QString());
    QCOMPARE(parse(lines[3]).source, QStringLiteral("operator"));
    QCOMPARE(parse(lines[4]).source, QStringLiteral("pjlink 192.0.2.7"));
    QCOMPARE(parse(lines[5]).source, QStringLiteral("operator"));
    QCOMPARE(parse(lines[0]).direction, QStringLiteral("STATUS"));
    QCOMPARE(parse(lines[0]).status, QStringLiteral(" Power ON"));
    QCOMPARE(parse(lines[1]).rendering, QStringLiteral(" X X X X"));
    QCOMPARE(parse(lines[2]).direction, QStringLiteral("FAILED"));
    QCOMPARE(parse(lines[2]).rendering,
             QStringLiteral("COM2 (/dev/x): no such device. Check the cable"));
}

void TestHistoryLog::logThatCannotBeOpenedStopsTheStart_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("missing folder") << "/nonexistent-folder/history.log";
    QTest::newRow("a folder") << "/tmp";
}

void TestHistoryLog::logThatCannotBeOpenedStopsTheStart()
{
    QFETCH(QString, path);
    QProcess zeva;
    zeva.start(program(), {QStringLiteral("--log"), path});
    QVERIFY(zeva.waitForFinished(10000));
    QCOMPARE(zeva.exitCode(), 2);
    const QString text = QString::fromLocal8Bit(zeva.readAllStandardError());
    QVERIFY2(text.contains(QStringLiteral("cannot open the history log ") + path),
             qPrintable(text));
}

void TestHistoryLog::fullDiskGivesOneMessage()
{
    ExchangeHistory history;
    HistoryLog log;
    QVERIFY(!log.open(QStringLiteral("/dev/full")));
    log.attach(history);
    QSignalSpy failed(&log, &HistoryLog::failed);
    for (int i = 0; i < 5; ++i)
        history.addTx(u"C00\r", false);
    QCOMPARE(failed.size(), 1);
    QVERIFY(failed.first().first().toString().contains(QStringLiteral("/dev/full")));
    QCOMPARE(history.size(), 5); // the history itself goes on
}

void TestHistoryLog::deletedLogGivesOneMessageAndPanelGoesOn()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("history.log"));
    HistoryLog log;
    QVERIFY(!log.open(path));
    FormHarness h(kMissingDevice, false);
    h.form->attachLog(log);
    h.form->Form_Load();
    QVERIFY(h.boxes.isEmpty());
    QVERIFY(QFile::remove(path));
    for (int i = 0; i < 3; ++i) {
        h.form->LastCommand = QStringLiteral("C00\r");
        h.form->Hyouji(h.form->LastCommand, 1);
        QCOMPARE(h.sent(4), QByteArray("C00\r"));
    }
    QVERIFY(waitUntil([&] { return !h.boxes.isEmpty(); }));
    QTest::qWait(50);
    QCOMPARE(h.boxes.size(), 1);
    QVERIFY2(h.boxes.first().contains(path), qPrintable(h.boxes.first()));
    QVERIFY(!QFile::exists(path));          // not brought back
    h.form->Hyouji(h.form->LastCommand, 1); // and the panel goes on
    QCOMPARE(h.sent(4), QByteArray("C00\r"));
    QTest::qWait(50);
    QCOMPARE(h.boxes.size(), 1);
    QCOMPARE(h.form->Label11->text(), QStringLiteral(" C 0 0 CR "));
}

QTEST_MAIN(TestHistoryLog)
#include "tst_history_log.moc"
