// The PJLink mapping, one row per request, and one client's conversation: authentication,
// framing and the bounds that end a connection.
#include "pjlink/pjlink_guesses.h"
#include "pjlink/pjlink_session.h"

#include <QTest>

class TstPjlink : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void mapping_data();
    void mapping();
    void powerStates_data();
    void powerStates();
    void muteIsTheLastSet();
    void conversation_data();
    void conversation();
    void guessWaits_data();
    void guessWaits();
    void notesUnderFlood();
};

namespace
{

const QString kAck = QStringLiteral("\x06\r");
const QString kNone = QStringLiteral("-"); // no reply in time

// Runs a request as the bridge does: the row's commands get the replies in turn.
QByteArray answerTo(const QByteArray& line, const QStringList& replies, QStringList& sent,
                    PjlinkDevice& device)
{
    const PjlinkRequest request = parsePjlinkRequest(line);
    if (!request.row) return pjlinkAnswerLine(request, request.error);
    PjlinkRun run(*request.row, device);
    for (qsizetype i = 0; std::optional<QString> command = run.nextCommand(); ++i) {
        sent << *command;
        const QString reply = replies.value(i, kNone);
        run.take(reply == kNone ? std::nullopt : std::optional(reply));
    }
    return pjlinkAnswerLine(request, run.answer());
}

PjlinkDevice device()
{
    return {"projector one", "zeva-control 1.40"};
}

} // namespace

void TstPjlink::mapping_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QStringList>("replies");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QByteArray>("answer");
    const auto row = [](const char* name, const char* request, QStringList replies,
                        QStringList sent, const char* answer) {
        QTest::newRow(name) << QByteArray(request) << replies << sent << QByteArray(answer);
    };
    row("power on", "%1POWR 1", {kAck}, {"C00"}, "%1POWR=OK\r");
    row("power off", "%1POWR 0", {kAck}, {"C02"}, "%1POWR=OK\r");
    row("power state", "%1POWR ?", {"00\r"}, {"CR0"}, "%1POWR=1\r");
    // The other inputs, set and read back, are in the npm client's rows against the simulator.
    row("input PC1", "%1INPT 11", {kAck}, {"C05"}, "%1INPT=OK\r");
    row("input is PC1", "%1INPT ?", {"1\r"}, {"CR1"}, "%1INPT=11\r");
    row("no show on", "%1AVMT 11", {kAck}, {"C0D"}, "%1AVMT=OK\r");
    row("no show off", "%1AVMT 10", {kAck}, {"C0E"}, "%1AVMT=OK\r");
    row("audio mute on", "%1AVMT 21", {kAck}, {"C0B"}, "%1AVMT=OK\r");
    row("audio mute off", "%1AVMT 20", {kAck}, {"C0C"}, "%1AVMT=OK\r");
    row("both on", "%1AVMT 31", {kAck, kAck}, {"C0D", "C0B"}, "%1AVMT=OK\r");
    row("both off", "%1AVMT 30", {kAck, kAck}, {"C0E", "C0C"}, "%1AVMT=OK\r");
    row("mute state", "%1AVMT ?", {}, {}, "%1AVMT=30\r");
    row("error status", "%1ERST ?", {"08\r"}, {"CR0"}, "%1ERST=001000\r");
    row("lamp lit", "%1LAMP ?", {"0123\r", "00\r"}, {"CR3", "CR0"}, "%1LAMP=123 1\r");
    row("lamp dark", "%1LAMP ?", {"12345\r", "40\r"}, {"CR3", "CR0"}, "%1LAMP=12345 0\r");
    row("name", "%1NAME ?", {}, {}, "%1NAME=projector one\r");
    row("other info", "%1INFO ?", {}, {}, "%1INFO=zeva-control 1.40\r");
    // What the projector makes of it.
    row("setting refused", "%1POWR 1", {"?\r"}, {"C00"}, "%1POWR=ERR2\r");
    row("query refused", "%1INPT ?", {"?\r"}, {"CR1"}, "%1INPT=ERR3\r");
    row("no reply", "%1POWR ?", {kNone}, {"CR0"}, "%1POWR=ERR3\r");
    row("reply without CR", "%1POWR 0", {"\x06"}, {"C02"}, "%1POWR=ERR3\r");
    row("unexpected reply", "%1POWR 1", {"00\r"}, {"C00"}, "%1POWR=ERR4\r");
    row("unknown state", "%1POWR ?", {"99\r"}, {"CR0"}, "%1POWR=ERR4\r");
    row("unknown input", "%1INPT ?", {"4\r"}, {"CR1"}, "%1INPT=ERR4\r");
    row("second of two refused", "%1AVMT 31", {kAck, "?\r"}, {"C0D", "C0B"}, "%1AVMT=ERR2\r");
    row("first of two not taken", "%1AVMT 31", {"00\r"}, {"C0D"}, "%1AVMT=ERR4\r");
    row("first of two unanswered", "%1AVMT 30", {kNone}, {"C0E"}, "%1AVMT=ERR3\r");
    row("lamp hours unreadable", "%1LAMP ?", {"12a4\r", "00\r"}, {"CR3", "CR0"}, "%1LAMP=ERR4\r");
    row("lamp hours too long", "%1LAMP ?", {"123456\r", "00\r"}, {"CR3", "CR0"}, "%1LAMP=ERR4\r");
    // What the client asked.
    row("unknown command", "%1FOOO ?", {}, {}, "%1FOOO=ERR1\r");
    row("class 2", "%2POWR ?", {}, {}, "%2POWR=ERR1\r");
    row("lower case", "%1powr ?", {}, {}, "%1powr=ERR1\r");
    row("no header", "POWR ?", {}, {}, "%1WR ?=ERR1\r");
    row("unknown parameter", "%1POWR 2", {}, {}, "%1POWR=ERR2\r");
    row("no parameter", "%1POWR", {}, {}, "%1POWR=ERR2\r");
    row("no separator", "%1POWR?", {}, {}, "%1POWR=ERR2\r");
    row("blank after", "%1POWR ? ", {}, {}, "%1POWR=ERR2\r");
    row("set for a query", "%1INST 11", {}, {}, "%1INST=ERR2\r");
}

void TstPjlink::mapping()
{
    QFETCH(QByteArray, request);
    QFETCH(QStringList, replies);
    QFETCH(QStringList, sent);
    QFETCH(QByteArray, answer);
    PjlinkDevice d = device();
    QStringList actual;
    QCOMPARE(answerTo(request, replies, actual, d), answer);
    QCOMPARE(actual, sent);
}

void TstPjlink::powerStates_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QByteArray>("power");
    QTest::addColumn<QByteArray>("errors");
    const auto row = [](const char* name, const char* reply, const char* power, const char* err) {
        QTest::newRow(name) << QString::fromLatin1(reply) << QByteArray(power) << QByteArray(err);
    };
    row("power on", "00\r", "1", "000000");
    row("stand-by", "80\r", "0", "000000");
    row("count down", "40\r", "3", "000000");
    row("cooling down", "20\r", "2", "000000");
    row("power failure", "10\r", "ERR4", "000002");
    row("temperature warning cooling down", "28\r", "2", "002000");
    row("temperature warning power on", "08\r", "1", "001000");
    row("temperature warning recovered", "88\r", "0", "001000");
    row("no key input", "02\r", "1", "000000");
    row("lamp off and temperature", "24\r", "2", "011000");
    row("lamp off by power management", "04\r", "0", "010000");
}

void TstPjlink::powerStates()
{
    QFETCH(QString, reply);
    QFETCH(QByteArray, power);
    QFETCH(QByteArray, errors);
    PjlinkDevice d = device();
    QStringList sent;
    QCOMPARE(answerTo("%1POWR ?", {reply}, sent, d), "%1POWR=" + power + '\r');
    QCOMPARE(answerTo("%1ERST ?", {reply}, sent, d), "%1ERST=" + errors + '\r');
}

// Only a command the projector took changes what AVMT ? says, one command at a time.
void TstPjlink::muteIsTheLastSet()
{
    PjlinkDevice d = device();
    QStringList sent;
    const auto state = [&] { return answerTo("%1AVMT ?", {}, sent, d); };
    answerTo("%1AVMT 31", {kAck, kAck}, sent, d);
    QCOMPARE(state(), "%1AVMT=31\r");
    answerTo("%1AVMT 10", {kAck}, sent, d);
    QCOMPARE(state(), "%1AVMT=21\r");
    answerTo("%1AVMT 20", {"?\r"}, sent, d);
    QCOMPARE(state(), "%1AVMT=21\r");
    answerTo("%1AVMT 20", {kAck}, sent, d);
    QCOMPARE(state(), "%1AVMT=30\r");
    QCOMPARE(answerTo("%1AVMT 31", {kAck, "?\r"}, sent, d), "%1AVMT=ERR2\r");
    QCOMPARE(state(), "%1AVMT=11\r"); // No Show went on before the audio mute was refused
}

void TstPjlink::conversation_data()
{
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<QByteArray>("input");
    // One letter per step: R a request of the table, E one answered with an error, N nothing
    // to answer, A refused, C closed.
    QTest::addColumn<QByteArray>("steps");
    const QByteArray digest = "5d8409bc1c3fa39749434aa3a5c38682"; // the PJLink example
    const QByteArray pw = "JBMIAProjectorLink";
    const QByteArray longest = "%1NAME " + QByteArray(128, 'x');
    const auto row = [](const char* name, QByteArray password, QByteArray input, const char* s) {
        QTest::newRow(name) << password << input << QByteArray(s);
    };
    row("no password", "", "%1POWR ?\r%1INPT ?\r", "RR");
    row("line feed ignored", "", "%1POWR ?\r\n%1INPT ?\n\r", "RR");
    row("empty line", "", "\r%1POWR ?\r", "NR");
    row("unfinished", "", "%1POWR ?\r%1IN", "R");
    row("unknown command", "", "%1FOOO ?\r%1POWR ?\r", "ER");
    row("right digest", pw, digest + "%1POWR ?\r%1INPT ?\r", "RR");
    row("digest in capitals", pw, digest.toUpper() + "%1POWR ?\r", "R");
    row("digest alone", pw, digest + "\r%1POWR ?\r", "NR");
    row("digest repeated", pw, digest + "%1POWR ?\r" + digest + "%1INPT ?\r", "RR");
    row("wrong digest", pw, QByteArray(32, '0') + "%1POWR ?\r%1INPT ?\r", "A");
    row("no digest", pw, "%1POWR ?\r", "A");
    row("short digest", pw, digest.left(31) + "\r", "A");
    row("longest line", "", longest + '\r', "E");
    row("longest line after the digest", pw, digest + longest + '\r', "E");
    row("line too long", "", longest + "x\r", "C");
    row("not ASCII", "", "%1POWR ?\r%1NAME \xC3\xA9\r", "RC");
    row("control character", "", "%1POWR\t?\r", "C");
    row("NUL", "", QByteArray("%1PO\0WR ?\r", 10), "C");
}

void TstPjlink::conversation()
{
    QFETCH(QByteArray, password);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, steps);
    PjlinkSession session(password, "498e4a67");
    QCOMPARE(session.greeting(), password.isEmpty() ? "PJLINK 0\r" : "PJLINK 1 498e4a67\r");
    QByteArray seen;
    for (qsizetype at = 0; at < input.size(); ++at) {
        QByteArray piece = input.mid(at, 1); // a byte at a time: framing must not care
        PjlinkSession::Step s = session.next(piece);
        QVERIFY(piece.isEmpty() || s.kind != PjlinkSession::Kind::NeedMore);
        switch (s.kind) {
        case PjlinkSession::Kind::Request:
            seen += s.request.row ? 'R' : 'E';
            break;
        case PjlinkSession::Kind::Nothing:
            seen += 'N';
            break;
        case PjlinkSession::Kind::Refused:
            QCOMPARE(s.text, "PJLINK ERRA\r");
            seen += 'A';
            at = input.size();
            break;
        case PjlinkSession::Kind::Close:
            seen += 'C';
            at = input.size();
            break;
        case PjlinkSession::Kind::NeedMore:
            break;
        }
    }
    QCOMPARE(seen, steps);
}

void TstPjlink::guessWaits_data()
{
    QTest::addColumn<QStringList>("guesses"); // "address@ms"
    QTest::addColumn<QList<int>>("waits");
    const auto row = [](const char* name, QStringList guesses, QList<int> waits) {
        QTest::newRow(name) << guesses << waits;
    };
    row("first", {"a@0"}, {250});
    row("doubling up to 4 s", {"a@0", "a@1", "a@2", "a@3", "a@4", "a@5", "a@6"},
        {250, 500, 1000, 2000, 4000, 4000, 4000});
    row("each address its own", {"a@0", "a@1", "b@2", "a@3"}, {250, 500, 250, 1000});
    row("forgotten after a minute", {"a@0", "a@1", "a@60001"}, {250, 500, 250});
    row("kept within the minute", {"a@0", "a@59999"}, {250, 500});
}

void TstPjlink::guessWaits()
{
    QFETCH(QStringList, guesses);
    QFETCH(QList<int>, waits);
    PjlinkGuesses g;
    QList<int> seen;
    for (const QString& guess : guesses)
        seen << g.wrong(guess.section(u'@', 0, 0), guess.section(u'@', 1).toLongLong());
    QCOMPARE(seen, waits);
}

// A flood from one address leaves a burst, then two lines a second, counting what it left out;
// another address is not held back by it.
void TstPjlink::notesUnderFlood()
{
    PjlinkNoteLimit limit;
    int passed = 0;
    for (int i = 0; i < 1000; ++i)
        passed += limit.admit("a", "x", 0).has_value();
    QCOMPARE(passed, PjlinkNoteLimit::kBurst);
    QCOMPARE(limit.admit("b", "x", 0), QString("x"));
    QCOMPARE(limit.admit("a", "x", 499), std::nullopt);
    QCOMPARE(limit.admit("a", "x", 500), QString("x (981 lines left out before this one)"));
}

QTEST_GUILESS_MAIN(TstPjlink)
#include "tst_pjlink.moc"
