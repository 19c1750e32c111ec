// The Telnet side of RFC 2217 on byte fixtures: what a server sends, piece by piece, and what
// comes out as data and as answers.
#include "link/telnet_codec.h"

#include <QTest>

namespace
{

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QString spaced(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex(' '));
}

// What ser2net sends as soon as a client connects to a telnet(rfc2217) accepter.
const char* const kSer2netStorm = "ff fb 03 ff fd 03 ff fb 01 ff fe 01 ff fd 00 ff fb 00 ff fd 2c";

} // namespace

class TestTelnetCodec : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void pieces_data();
    void pieces();
    void greetingThenStormAnswersOnlyTheRefusal();
    void dataIsEscapedOnTheWayOut();
    void lineCommandsAndTheirAcks();
    void anAckThatNeverComes();
    void overlongSubnegotiationIsCut();
};

void TestTelnetCodec::pieces_data()
{
    QTest::addColumn<QStringList>("pieces"); // hex, fed one after the other
    QTest::addColumn<QString>("data");
    QTest::addColumn<QString>("replies");
    QTest::addColumn<bool>("comPort");
    const auto row = [](const char* name, QStringList pieces, const char* data, const char* replies,
                        bool comPort = false) {
        QTest::newRow(name) << pieces << spaced(hex(data)) << spaced(hex(replies)) << comPort;
    };
    row("plain data", {"43 30 30 0d"}, "43 30 30 0d", "");
    row("0xFF doubled in data", {"41 ff ff 42"}, "41 ff 42", "");
    row("IAC split across reads", {"41 ff", "ff 42"}, "41 ff 42", "");
    row("verb and option split across reads", {"ff", "fb", "01 41"}, "41", "ff fe 01");
    row("ser2net's connect storm", {kSer2netStorm}, "",
        "ff fd 03 ff fb 03 ff fe 01 ff fb 00 ff fd 00 ff fb 2c", true);
    row("storm one byte at a time", QString::fromLatin1(kSer2netStorm).split(QLatin1Char(' ')), "",
        "ff fd 03 ff fb 03 ff fe 01 ff fb 00 ff fd 00 ff fb 2c", true);
    row("an option asked for twice is refused once",
        {"ff fb 18 ff fb 18 ff fd 18", "ff fd 18 ff fb 18"}, "", "ff fe 18 ff fc 18");
    row("an agreed option offered again gets no answer", {"ff fb 00 ff fb 00 ff fd 00 ff fd 00"},
        "", "ff fd 00 ff fb 00");
    row("an option withdrawn is acknowledged", {"ff fb 03 ff fc 03 ff fc 03"}, "",
        "ff fd 03 ff fe 03");
    row("0xFF inside a sub-negotiation, data around it", {"41 ff fa 2c 65 00 00 ff ff ff f0 42"},
        "41 42", "");
    row("sub-negotiation split at its IAC SE", {"ff fa 2c 6b 00 ff", "f0 43"}, "43", "");
    row("NOTIFY messages are ignored", {"ff fa 2c 6a 60 ff f0 ff fa 2c 6b 30 ff f0 0d"}, "0d", "");
    row("a command inside a sub-negotiation ends it", {"ff fa 2c 65 ff fb 01 41"}, "41",
        "ff fe 01");
    row("NOP, go-ahead and a stray SE carry nothing", {"ff f1 30 ff f9 31 ff f0 32"}, "30 31 32",
        "");
}

void TestTelnetCodec::pieces()
{
    QFETCH(QStringList, pieces);
    QFETCH(QString, data);
    QFETCH(QString, replies);
    QFETCH(bool, comPort);
    TelnetCodec codec;
    QByteArray gotData, gotReplies;
    for (const QString& piece : pieces) {
        gotData += codec.feed(hex(qPrintable(piece)));
        gotReplies += codec.takeReplies();
    }
    QCOMPARE(spaced(gotData), data);
    QCOMPARE(spaced(gotReplies), replies);
    QCOMPARE(codec.comPortActive(), comPort);
}

void TestTelnetCodec::greetingThenStormAnswersOnlyTheRefusal()
{
    TelnetCodec codec;
    QCOMPARE(spaced(codec.greeting()), spaced(hex("ff fb 00 ff fd 00 ff fb 03 ff fd 03 ff fb 2c")));
    QCOMPARE(codec.feed(hex(kSer2netStorm)), QByteArray());
    // Our requests crossed the server's: only the echo it offers is answered, once.
    QCOMPARE(spaced(codec.takeReplies()), spaced(hex("ff fe 01")));
    QVERIFY(codec.comPortActive());
    QCOMPARE(codec.refusals(1), 1);
}

void TestTelnetCodec::dataIsEscapedOnTheWayOut()
{
    QCOMPARE(TelnetCodec::escape(hex("00 ff 41 ff ff")), hex("00 ff ff 41 ff ff ff ff"));
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    TelnetCodec codec;
    QCOMPARE(codec.feed(TelnetCodec::escape(all)), all);
}

void TestTelnetCodec::lineCommandsAndTheirAcks()
{
    TelnetCodec codec;
    // 65535 baud has 0xFF bytes in its value: doubled inside the sub-negotiation.
    const QByteArray sent = codec.lineCommands({65535, 8, telnet::kParityNone, telnet::kStopOne});
    QCOMPARE(spaced(sent), spaced(hex("ff fa 2c 01 00 00 ff ff ff ff ff f0"
                                      "ff fa 2c 02 08 ff f0 ff fa 2c 03 01 ff f0"
                                      "ff fa 2c 04 01 ff f0 ff fa 2c 05 01 ff f0")));
    QCOMPARE(codec.acksAwaited(), 4);
    // As ser2net answers: a modem-state notice first, acks in pieces, SET-CONTROL's too.
    codec.feed(hex("ff fa 2c 6b 00 ff f0 ff fa 2c 65 00 00 ff ff ff"));
    QCOMPARE(codec.acksAwaited(), 4);
    codec.feed(hex("ff ff f0 ff fa 2c 66 08 ff f0 ff fa 2c 67 01 ff f0"));
    QCOMPARE(codec.acksAwaited(), 1);
    codec.feed(hex("ff fa 2c 68 01 ff f0 ff fa 2c 69 01 ff f0"));
    QCOMPARE(codec.acksAwaited(), 0);
    QCOMPARE(codec.takeReplies(), QByteArray());
}

void TestTelnetCodec::anAckThatNeverComes()
{
    TelnetCodec codec;
    codec.feed(hex(kSer2netStorm));
    codec.lineCommands({19200, 8, telnet::kParityNone, telnet::kStopOne});
    // Everything but the stop size; data keeps flowing meanwhile.
    QCOMPARE(codec.feed(hex("ff fa 2c 65 00 00 4b 00 ff f0 ff fa 2c 66 08 ff f0 30"
                            "ff fa 2c 67 01 ff f0 ff fa 2c 69 01 ff f0")),
             hex("30"));
    QCOMPARE(codec.acksAwaited(), 1);
}

void TestTelnetCodec::overlongSubnegotiationIsCut()
{
    TelnetCodec codec;
    QByteArray bytes = hex("ff fa 2c 6a");
    bytes += QByteArray(10000, 'x');
    codec.feed(bytes);
    QCOMPARE(codec.pendingSubnegotiation(), TelnetCodec::kMaxSubnegotiation);
    QVERIFY(codec.overlong()); // past any COM-PORT-OPTION message: the transport ends it
    QCOMPARE(codec.feed(hex("ff f0 41")), hex("41"));
    QCOMPARE(codec.pendingSubnegotiation(), 0);
}

QTEST_GUILESS_MAIN(TestTelnetCodec)
#include "tst_telnet_codec.moc"
