#include "status/decode.h"
#include "status/display_form.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

class TstDecode : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void tableCodes_data();
    void tableCodes();
    void tableMisses_data();
    void tableMisses();
    void notDecoded_data();
    void notDecoded();
    void lampHours_data();
    void lampHours();
    void projectorHours_data();
    void projectorHours();
    void airPressure_data();
    void airPressure();
    void temperatures_data();
    void temperatures();
    void readingsThatDoNotFit_data();
    void readingsThatDoNotFit();
    void replyInPieces_data();
    void replyInPieces();
    void randomRepliesKeepTheirShape();
};

namespace
{

const QString kStatus = QStringLiteral("CR0\r");
const QString kMode = QStringLiteral("CR1\r");
const QString kSetting = QStringLiteral("CR4\r");
const QString kLampTime = QStringLiteral("CR3\r");
const QString kProjectorHours = QStringLiteral("CR PROJH\r");
const QString kPressure = QStringLiteral("CR PRESSURE\r");
const QString kTemperatures = QStringLiteral("CR6\r");
const QString kLampMode = QStringLiteral("CR LAMPMODE\r");

struct CodeCase {
    const char* name;
    const QString& command;
    const char* reply;
    const char* state; // its plain name
    const char* text;
};

// clang-format off
const CodeCase kCodeCases[] = {
    // name                              command   reply    state                            text
    {"STATUS 00 power on",               kStatus,  "00\r",  "on",                            " Power ON"},
    {"STATUS 80 stand by",               kStatus,  "80\r",  "standby",                       " Stand by"},
    {"STATUS 40 count down",             kStatus,  "40\r",  "countdown",                     " Count down"},
    {"STATUS 20 cooling down",           kStatus,  "20\r",  "cooling",                       " Cooling down"},
    {"STATUS 10 power fail",             kStatus,  "10\r",  "power_fail",                    " Power FAIL"},
    {"STATUS 28 warning and cooling",    kStatus,  "28\r",  "temperature_warning_cooling",   " TEMPERETURE WARNING & COOLING DOWN"},
    {"STATUS 08 warning power on",       kStatus,  "08\r",  "temperature_warning_on",        " TEMPERETURE WARNING (POWER ON)"},
    {"STATUS 88 warning recovered",      kStatus,  "88\r",  "temperature_warning_recovered", " TEMPERETURE WARNING and RECOVERD"},
    {"STATUS 02 no key input",           kStatus,  "02\r",  "no_key_input",                  " NO KEY INPUT"},
    {"STATUS 24 lamp off and warning",   kStatus,  "24\r",  "lamp_off_temperature_warning",  " LAMP OFF & TEMPERETURE WARNING by PWR MANAGEMENT"},
    {"STATUS 04 lamp off",               kStatus,  "04\r",  "lamp_off",                      " LAMP OFF by Power Management"},
    {"MODE 1 computer 1",                kMode,    "1\r",   "pc1",                           " COMPUTER 1"},
    {"MODE 2 video",                     kMode,    "2\r",   "video",                         " VIDEO"},
    {"MODE 3 computer 2",                kMode,    "3\r",   "pc2",                           " COMPUTER 2 or DVI or WI or MCI"},
    {"SETTING 11 normally",              kSetting, "11\r",  "normal",                        " Normally"},
    {"SETTING 10 top/bottom",            kSetting, "10\r",  "top_bottom",                    " Top/Bottom reversal"},
    {"SETTING 01 left/right",            kSetting, "01\r",  "left_right",                    " Left/Right reversal"},
    {"SETTING 00 both",                  kSetting, "00\r",  "top_bottom_left_right",         " Top/Bottom , Left/Right reversal"},
};
// clang-format on

const QVariant kKeeps; // the status line or the reading stays as it is

QVariant asVariant(const std::optional<QString>& s)
{
    return s ? QVariant(*s) : QVariant();
}
QVariant asVariant(const std::optional<qint16>& v)
{
    return v ? QVariant(int(*v)) : QVariant();
}

void addColumns()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QVariant>("status");
    QTest::addColumn<QVariant>("reading");
    QTest::addColumn<QVariant>("state");
}

void addRow(const char* name, const QString& command, const QString& reply, const QVariant& status,
            const QVariant& reading = kKeeps, const QVariant& state = {})
{
    QTest::newRow(name) << command << reply << status << reading << state;
}

// The RXD caption is built from the reply the way the monitor renders it.
void checkRow()
{
    QFETCH(QString, command);
    QFETCH(QString, reply);
    QFETCH(QVariant, status);
    QFETCH(QVariant, reading);
    QFETCH(QVariant, state);
    const Decoded d = decodeReply(command, DisplayForm(reply));
    QCOMPARE(asVariant(d.status), status);
    QCOMPARE(asVariant(d.readingValue), reading);
    QCOMPARE(d.state ? QVariant(QString(stateRow(*d.state).name)) : QVariant(), state);
}

} // namespace

void TstDecode::tableCodes_data()
{
    addColumns();
    for (const CodeCase& c : kCodeCases)
        addRow(c.name, c.command, c.reply, QString(c.text), kKeeps, QString(c.state));
    addRow("STATUS code without CR yet", kStatus, "00", " Power ON", kKeeps, "on");
    addRow("STATUS code with more behind", kStatus, "0012\r", " Power ON", kKeeps, "on");
    addRow("MODE only first character counts", kMode, "12\r", " COMPUTER 1", kKeeps, "pc1");
}
void TstDecode::tableCodes()
{
    checkRow();
}

void TstDecode::tableMisses_data()
{
    addColumns();
    addRow("STATUS unlisted code", kStatus, "99\r", kKeeps);
    addRow("STATUS nothing received", kStatus, "", kKeeps);
    addRow("STATUS first of two pieces", kStatus, "0", kKeeps);
    addRow("STATUS behind earlier MODE reply", kStatus, "1\r00\r", kKeeps);
    addRow("STATUS lower-case hex code", kStatus, "0a\r", kKeeps);
    addRow("STATUS blank before code", kStatus, " 00\r", kKeeps);
    addRow("MODE reply 4", kMode, "4\r", kKeeps);
    addRow("MODE reply ACK", kMode, "\x06", kKeeps);
    addRow("SETTING unlisted code", kSetting, "22\r", kKeeps);
    addRow("SETTING single character", kSetting, "1\r", kKeeps);
}
void TstDecode::tableMisses()
{
    checkRow();
}

void TstDecode::notDecoded_data()
{
    addColumns();
    addRow("lower-case cr0", "cr0\r", "00\r", kKeeps);
    addRow("L-MODE reply 00", kLampMode, "00\r", kKeeps);
    addRow("L-MODE reply digits", kLampMode, "1234\r", kKeeps);
    addRow("STATUS without CR", "CR0", "00\r", kKeeps);
    addRow("STATUS with two CRs", "CR0\r\r", "00\r", kKeeps);
    addRow("STATUS with leading blank", " CR0\r", "00\r", kKeeps);
    addRow("STATUS with trailing blank", "CR0 \r", "00\r", kKeeps);
    addRow("STATUS ended by LF", "CR0\n", "00\r", kKeeps);
    addRow("lower-case projector hours", "cr projh\r", "1234\r", kKeeps);
    addRow("unknown query CR2", "CR2\r", "1234\r", kKeeps);
    addRow("nothing sent yet", QString(), "00\r", kKeeps);
    addRow("power command", "C00\r", "\x06", kKeeps);
}
void TstDecode::notDecoded()
{
    checkRow();
}

void TstDecode::lampHours_data()
{
    addColumns();
    addRow("reply 1234", kLampTime, "1234\r", " 1 2 3 4 Hour Use");
    addRow("reply 512 brings in C of CR", kLampTime, "512\r", " 5 1 2 C Hour Use");
    addRow("reply 12345 cut after four", kLampTime, "12345\r", " 1 2 3 4 Hour Use");
    addRow("nothing received", kLampTime, "", "  Hour Use");
    addRow("reply ACK", kLampTime, "\x06", " ACK  Hour Use");
    addRow("reply with control character", kLampTime,
           "1\x01"
           "23\r",
           " 1 ? 2 3 Hour Use");
}
void TstDecode::lampHours()
{
    checkRow();
}

void TstDecode::projectorHours_data()
{
    addColumns();
    addRow("reply 01234", kProjectorHours, "01234\r", "1234 Hour Use", 1234);
    addRow("12.5 to even 12", kProjectorHours, "12.5\r", "12 Hour Use", 12);
    addRow("13.5 to even 14", kProjectorHours, "13.5\r", "14 Hour Use", 14);
    addRow("-2.5 to even -2", kProjectorHours, "-2.5\r", "-2 Hour Use", -2);
    addRow("reply starting with a letter", kProjectorHours, "A12\r", "0 Hour Use", 0);
    addRow("reply starting with ACK", kProjectorHours,
           "\x06"
           "12\r",
           kKeeps);
    addRow("refusal", kProjectorHours, "?\r", kKeeps);
    addRow("ACK alone", kProjectorHours, "\x06\r", kKeeps);
    addRow("bare CR", kProjectorHours, "\r", kKeeps);
    addRow("sign alone so far", kProjectorHours, "-", kKeeps);
    addRow("zero", kProjectorHours, "0\r", "0 Hour Use", 0);
    addRow("zero with a point", kProjectorHours, "0.0\r", "0 Hour Use", 0);
    addRow("nothing received", kProjectorHours, "", kKeeps);
    addRow("largest", kProjectorHours, "32767\r", "32767 Hour Use", 32767);
    addRow("smallest", kProjectorHours, "-32768\r", "-32768 Hour Use", -32768);
    addRow("-32768.5 to even", kProjectorHours, "-32768.5\r", "-32768 Hour Use", -32768);
    addRow("exponent D", kProjectorHours, "1D3\r", "1000 Hour Use", 1000);
    addRow("exponent E negative", kProjectorHours, "15E-1\r", "2 Hour Use", 2);
    addRow("hexadecimal", kProjectorHours, "&H7FFF\r", "32767 Hour Use", 32767);
    addRow("hex digits end at the CR", kProjectorHours, "&H1F\r", "31 Hour Use", 31);
    addRow("hex digits end at the ACK", kProjectorHours, "&H1\x06", "1 Hour Use", 1);
    addRow("hex without digits before CR", kProjectorHours, "&H\r", kKeeps);
    addRow("hex of letters only", kProjectorHours, "&HFF\r", "255 Hour Use", 255);
    addRow("octal", kProjectorHours, "&O777\r", "511 Hour Use", 511);
    addRow("digits after LF ignored", kProjectorHours, "12\n34\r", "12 Hour Use", 12);
    addRow("behind an earlier reply", kProjectorHours, "7\r1234\r", "7 Hour Use", 7);
}
void TstDecode::projectorHours()
{
    checkRow();
}

void TstDecode::airPressure_data()
{
    addColumns();
    addRow("reading 0", kPressure, "0\r", "106 hPa", 106);
    addRow("reading 512", kPressure, "512\r", "650 hPa", 650);
    addRow("reading 1023", kPressure, "1023\r", "1194 hPa", 1194);
    addRow("reply starting with a letter", kPressure, "X1\r", "106 hPa", 106);
    addRow("refusal", kPressure, "?\r", kKeeps);
    addRow("ACK", kPressure, "\x06", kKeeps);
    addRow("largest reading 6553", kPressure, "6553\r", "7077 hPa", 7077);
    addRow("smallest reading -6553", kPressure, "-6553\r", "-6865 hPa", -6865);
    addRow("reading rounded first", kPressure, "511.5\r", "650 hPa", 650);
    addRow("hexadecimal 3FF", kPressure, "&H3FF\r", "1194 hPa", 1194);
}
void TstDecode::airPressure()
{
    checkRow();
}

void TstDecode::temperatures_data()
{
    addColumns();
    addRow("letters a to q", kTemperatures, "abcdefghijklmnopq\r",
           "  S1= a b c d e C  ,   S2=  h i j k C , S3= m n o p q C");
    addRow("short reply 12", kTemperatures, "12\r", "  S1= 1 2 CR  C  ,   S2=  C , S3= C");
    addRow("nothing received", kTemperatures, "", "  S1=  C  ,   S2=  C , S3= C");
    addRow("digits", kTemperatures, "+25.0,+31.5,+40.0\r",
           "  S1= + 2 5 . 0 C  ,   S2=  3 1 . 5 C , S3= + 4 0 . 0 C");
}
void TstDecode::temperatures()
{
    checkRow();
}

// A reading that does not fit keeps both the status line and the reading: nothing wraps.
void TstDecode::readingsThatDoNotFit_data()
{
    addColumns();
    addRow("hours 32768", kProjectorHours, "32768\r", kKeeps);
    addRow("hours -32769", kProjectorHours, "-32769\r", kKeeps);
    addRow("hours 32767.5 rounds out", kProjectorHours, "32767.5\r", kKeeps);
    addRow("hours hex FFFF is not -1", kProjectorHours, "&HFFFF\r", kKeeps);
    addRow("hours hex 33 bits", kProjectorHours, "&H100000000\r", kKeeps);
    addRow("hours octal 33 bits", kProjectorHours, "&O40000000000\r", kKeeps);
    addRow("hours exponent overflow", kProjectorHours, "1E999\r", kKeeps);
    addRow("hours 400 digits", kProjectorHours, QString(400, u'9') + "\r", kKeeps);
    addRow("pressure 6554", kPressure, "6554\r", kKeeps);
    addRow("pressure -6554", kPressure, "-6554\r", kKeeps);
    addRow("pressure 6553.5 rounds out", kPressure, "6553.5\r", kKeeps);
    addRow("pressure 65535", kPressure, "65535\r", kKeeps);
    addRow("pressure exponent overflow", kPressure, "1D999\r", kKeeps);
}
void TstDecode::readingsThatDoNotFit()
{
    checkRow();
}

void TstDecode::replyInPieces_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("pieces");
    QTest::addColumn<QVariantList>("statuses"); // after each piece
    QTest::newRow("STATUS 0 then 0 CR")
        << kStatus << QStringList{"0", "0\r"} << QVariantList{kKeeps, " Power ON"};
    QTest::newRow("hours 12 then 34 CR") << kProjectorHours << QStringList{"12", "34\r"}
                                         << QVariantList{"12 Hour Use", "1234 Hour Use"};
    QTest::newRow("lamp time 5 then 12 CR") << kLampTime << QStringList{"5", "12\r"}
                                            << QVariantList{" 5  Hour Use", " 5 1 2 C Hour Use"};
    QTest::newRow("pressure 5 then 12 CR")
        << kPressure << QStringList{"5", "12\r"} << QVariantList{"111 hPa", "650 hPa"};
}

// Every piece is appended and the whole buffer decoded again.
void TstDecode::replyInPieces()
{
    QFETCH(QString, command);
    QFETCH(QStringList, pieces);
    QFETCH(QVariantList, statuses);
    QString buffer;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        buffer += pieces.at(i);
        QCOMPARE(asVariant(decodeReply(command, DisplayForm(buffer)).status), statuses.at(i));
    }
}

namespace
{

QString randomReply(QRandomGenerator& random, int length)
{
    // Half the replies use the characters a reading is made of, so numbers do occur.
    static const QByteArray kNumberish("0123456789+-.EeDd&HhOoAaFf \t\r\n\x06", 31);
    const bool numberish = random.bounded(2) == 0;
    QByteArray bytes(length, '\0');
    for (char& b : bytes) {
        b = numberish ? kNumberish.at(random.bounded(int(kNumberish.size())))
                      : char(random.bounded(256));
    }
    return QString::fromLatin1(bytes);
}

// The status line shapes a query may produce; empty for queries that are not decoded.
QRegularExpression allowedShape(const QString& command)
{
    QStringList texts;
    for (const CodeCase& c : kCodeCases) {
        if (c.command == command) texts << QRegularExpression::escape(c.text);
    }
    if (!texts.isEmpty()) return QRegularExpression("^(" + texts.join('|') + ")$");
    const QString shown = "[\\x20-\\x7a]";
    if (command == kLampTime) return QRegularExpression("^ " + shown + "{0,7} Hour Use$");
    if (command == kProjectorHours) return QRegularExpression("^(-?[1-9][0-9]{0,4}|0) Hour Use$");
    if (command == kPressure) return QRegularExpression("^(-?[1-9][0-9]{0,3}|0) hPa$");
    if (command == kTemperatures)
        return QRegularExpression("^  S1= " + shown + "{0,9} C  ,   S2= " + shown +
                                  "{0,8} C , S3=" + shown + "{0,10} C$");
    return {};
}

void checkShape(const QString& command, const QRegularExpression& shape, const Decoded& d)
{
    if (shape.pattern().isEmpty()) {
        QVERIFY(!d.status && !d.readingValue);
        return;
    }
    if (d.status)
        QVERIFY2(shape.match(*d.status).hasMatch(), qPrintable(command + '|' + *d.status));
    const bool numeric = command == kProjectorHours || command == kPressure;
    QCOMPARE(d.readingValue.has_value(), numeric && d.status.has_value());
    if (d.readingValue) QCOMPARE(d.status->section(' ', 0, 0).toInt(), int(*d.readingValue));
    if (command == kPressure && d.readingValue)
        QVERIFY(*d.readingValue >= -6865 && *d.readingValue <= 7077);
}

} // namespace

// Random bytes never crash the decoding and give only the shapes the status line allows.
void TstDecode::randomRepliesKeepTheirShape()
{
    const QString commands[] = {kStatus,   kMode,         kSetting,  kLampTime, kProjectorHours,
                                kPressure, kTemperatures, kLampMode, "XYZ\r"};
    QList<QRegularExpression> shapes;
    for (const QString& command : commands)
        shapes << allowedShape(command);
    QRandomGenerator random(20240517);
    for (int i = 0; i < 20000; ++i) {
        const int length = i % 1000 == 999 ? random.bounded(32768) : random.bounded(201);
        const QString caption = DisplayForm(randomReply(random, length));
        for (qsizetype c = 0; c < shapes.size(); ++c) {
            checkShape(commands[c], shapes.at(c), decodeReply(commands[c], caption));
            if (QTest::currentTestFailed())
                QFAIL(qPrintable("reply " + QString::number(i) + " rendered as " + caption));
        }
    }
    // The longest reply the monitor renders, all digits: too large, so nothing is shown.
    const QString longest = DisplayForm(QString(kMaxRenderedChars, u'9'));
    QVERIFY(!decodeReply(kProjectorHours, longest).status);
    QVERIFY(!decodeReply(kPressure, longest).status);
}

QTEST_APPLESS_MAIN(TstDecode)
#include "tst_decode.moc"
