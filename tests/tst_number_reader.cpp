#include "status/display_form.h"
#include "status/number_reader.h"

#include <QTest>
#include <cfloat>

class TstNumberReader : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void readNumber_data();
    void readNumber();
    void readNumberRadix_data();
    void readNumberRadix();
    void readNumberLimits_data();
    void readNumberLimits();
    void roundToInt16_data();
    void roundToInt16();
    void decimalText_data();
    void decimalText();
};

namespace
{

void addReadingColumns()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("ok");
}

// Exact comparison: the reading must be the correctly rounded double, not merely close.
void checkReading()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QFETCH(bool, ok);
    const NumberReading r = ::readNumber(text);
    QCOMPARE(r.ok, ok);
    QVERIFY2(r.value == value, qPrintable(QString::number(r.value, 'g', 17)));
}

QString repeated(int count, char c)
{
    return QString(count, QLatin1Char(c));
}

} // namespace

void TstNumberReader::readNumber_data()
{
    addReadingColumns();
    // clang-format off
    QTest::newRow("empty text reads 0")               << QString()                    << 0.0    << true;
    QTest::newRow("rendered 01234 and CR")            << DisplayForm("01234\r")       << 1234.0 << true;
    QTest::newRow("rendered 12.5 and CR")             << DisplayForm("12.5\r")        << 12.5   << true;
    QTest::newRow("blanks tabs LFs anywhere")         << "\t1 \n2\t 3\n"              << 123.0  << true;
    QTest::newRow("blank inside the exponent")        << "1 E - 2"                    << 0.01   << true;
    QTest::newRow("plus sign")                        << "+7"                         << 7.0    << true;
    QTest::newRow("minus sign")                       << "-7"                         << -7.0   << true;
    QTest::newRow("sign alone reads 0")               << "-"                          << 0.0    << true;
    QTest::newRow("two signs read 0")                 << "--5"                        << 0.0    << true;
    QTest::newRow("sign after digits stops")          << "5-3"                        << 5.0    << true;
    QTest::newRow("letter first reads 0")             << "A12"                        << 0.0    << true;
    QTest::newRow("question mark first reads 0")      << DisplayForm("\x01" "5")      << 0.0    << true;
    QTest::newRow("point alone reads 0")              << "."                          << 0.0    << true;
    QTest::newRow("trailing point")                   << "5."                         << 5.0    << true;
    QTest::newRow("leading point")                    << ".25"                        << 0.25   << true;
    QTest::newRow("negative leading point")           << "-.5"                        << -0.5   << true;
    QTest::newRow("second point stops")               << "1.2.3"                      << 1.2    << true;
    QTest::newRow("comma is no decimal point")        << "1,5"                        << 1.0    << true;
    QTest::newRow("exponent E")                       << "1E3"                        << 1000.0 << true;
    QTest::newRow("exponent lower-case e")            << "1e3"                        << 1000.0 << true;
    QTest::newRow("exponent D")                       << "1D3"                        << 1000.0 << true;
    QTest::newRow("exponent lower-case d negative")   << "1d-2"                       << 0.01   << true;
    QTest::newRow("exponent with plus")               << "2.5E+2"                     << 250.0  << true;
    QTest::newRow("rendered exponent with D and CR")  << DisplayForm("1D2\r")         << 100.0  << true;
    QTest::newRow("E without digits ends before E")   << "1E"                         << 1.0    << true;
    QTest::newRow("E+ without digits ends before E")  << "1E+"                        << 1.0    << true;
    QTest::newRow("E then CR ends before E")          << DisplayForm("1E\r")          << 1.0    << true;
    QTest::newRow("exponent alone reads 0")           << "E5"                         << 0.0    << true;
    QTest::newRow("point and exponent read 0")        << ".E5"                        << 0.0    << true;
    QTest::newRow("point after exponent stops")       << "1E2.5"                      << 100.0  << true;
    QTest::newRow("full-width digit is no digit")     << QString::fromUtf8("\xEF\xBC\x91") << 0.0 << true;
    // clang-format on
}

void TstNumberReader::readNumber()
{
    checkReading();
}

// "&H"/"&O" digits are unsigned; more than 32 bits does not fit.
void TstNumberReader::readNumberRadix_data()
{
    addReadingColumns();
    // clang-format off
    QTest::newRow("hex upper case")                   << "&H1F"                       << 31.0   << true;
    QTest::newRow("hex lower case")                   << "&h1f"                       << 31.0   << true;
    QTest::newRow("hex 16 bits is unsigned")          << "&HFFFF"                     << 65535.0 << true;
    QTest::newRow("hex 32 bits fits")                 << "&HFFFFFFFF"                 << 4294967295.0 << true;
    QTest::newRow("hex 33 bits does not fit")         << "&H100000000"                << 0.0    << false;
    QTest::newRow("hex leading zeros fit")            << "&H" + repeated(40, '0') + "FF" << 255.0 << true;
    QTest::newRow("hex without digits reads 0")       << "&H"                         << 0.0    << true;
    QTest::newRow("hex stops at G")                   << "&H1G"                       << 1.0    << true;
    QTest::newRow("hex spread by blanks")             << " & H 1 F "                  << 31.0   << true;
    QTest::newRow("octal upper case")                 << "&O17"                       << 15.0   << true;
    QTest::newRow("octal lower case")                 << "&o777"                      << 511.0  << true;
    QTest::newRow("octal stops at 8")                 << "&O178"                      << 15.0   << true;
    QTest::newRow("octal 32 bits fits")               << "&O37777777777"              << 4294967295.0 << true;
    QTest::newRow("octal 33 bits does not fit")       << "&O40000000000"              << 0.0    << false;
    QTest::newRow("ampersand alone reads 0")          << "&"                          << 0.0    << true;
    QTest::newRow("ampersand and other letter")       << "&X1"                        << 0.0    << true;
    QTest::newRow("sign before ampersand reads 0")    << "-&H10"                      << 0.0    << true;
    QTest::newRow("hex has no point")                 << "&H1.8"                      << 1.0    << true;
    // clang-format on
}

void TstNumberReader::readNumberRadix()
{
    checkReading();
}

void TstNumberReader::readNumberLimits_data()
{
    addReadingColumns();
    const QString halfwayAbove2p53 = "9007199254740993." + repeated(1000, '0') + "1";
    // clang-format off
    QTest::newRow("largest double")                   << "1.7976931348623157E308"     << DBL_MAX << true;
    QTest::newRow("just above largest double")        << "1.8E308"                    << 0.0    << false;
    QTest::newRow("exponent overflow")                << "1E999"                      << 0.0    << false;
    QTest::newRow("exponent D overflow")              << "-1D999"                     << 0.0    << false;
    QTest::newRow("huge exponent digits")             << "1E" + repeated(40, '9')     << 0.0    << false;
    QTest::newRow("huge negative exponent is 0")      << "1E-" + repeated(40, '9')    << 0.0    << true;
    QTest::newRow("zero with huge exponent is 0")     << "0E999"                      << 0.0    << true;
    QTest::newRow("smallest subnormal")               << "4.9406564584124654E-324"    << 4.9406564584124654e-324 << true;
    QTest::newRow("32767 nines overflow")             << repeated(32767, '9')         << 0.0    << false;
    QTest::newRow("rendered 32767 nines overflow")    << DisplayForm(repeated(32767, '9')) << 0.0 << false;
    QTest::newRow("32767 zeros read 0")               << repeated(32767, '0')         << 0.0    << true;
    QTest::newRow("leading zeros then 1234")          << repeated(32763, '0') + "1234" << 1234.0 << true;
    QTest::newRow("long fraction underflows to 0")    << "0." + repeated(32765, '0') + "1" << 0.0 << true;
    QTest::newRow("400 digits scaled back")           << "1" + repeated(399, '0') + "E-399" << 1.0 << true;
    QTest::newRow("dropped digits round up")          << halfwayAbove2p53             << 9007199254740994.0 << true;
    QTest::newRow("exact halfway rounds to even")     << "9007199254740993"           << 9007199254740992.0 << true;
    QTest::newRow("0.1 with 1000 zeros behind")       << "0.1" + repeated(1000, '0')  << 0.1    << true;
    // clang-format on
}

void TstNumberReader::readNumberLimits()
{
    checkReading();
}

void TstNumberReader::roundToInt16_data()
{
    QTest::addColumn<double>("v");
    QTest::addColumn<bool>("fits");
    QTest::addColumn<int>("expected");
    // clang-format off
    QTest::newRow("12.5 to even 12")                  << 12.5       << true  << 12;
    QTest::newRow("13.5 to even 14")                  << 13.5       << true  << 14;
    QTest::newRow("-2.5 to even -2")                  << -2.5       << true  << -2;
    QTest::newRow("-3.5 to even -4")                  << -3.5       << true  << -4;
    QTest::newRow("0.5 to even 0")                    << 0.5        << true  << 0;
    QTest::newRow("just below half")                  << 2.4999999999999996 << true << 2;
    QTest::newRow("just above half")                  << 2.5000000000000004 << true << 3;
    QTest::newRow("negative zero")                    << -0.0       << true  << 0;
    QTest::newRow("pressure of 0")                    << 105.55555555555556 << true << 106;
    QTest::newRow("largest")                          << 32767.0    << true  << 32767;
    QTest::newRow("smallest")                         << -32768.0   << true  << -32768;
    QTest::newRow("32767.4 still fits")               << 32767.4    << true  << 32767;
    QTest::newRow("32767.5 rounds out")               << 32767.5    << false << 0;
    QTest::newRow("-32768.5 to even -32768")          << -32768.5   << true  << -32768;
    QTest::newRow("-32768.6 rounds out")              << -32768.6   << false << 0;
    QTest::newRow("65535 does not wrap")              << 65535.0    << false << 0;
    QTest::newRow("huge")                             << 1e300      << false << 0;
    QTest::newRow("infinity")                         << qInf()     << false << 0;
    QTest::newRow("negative infinity")                << -qInf()    << false << 0;
    QTest::newRow("not a number")                     << qQNaN()    << false << 0;
    // clang-format on
}

void TstNumberReader::roundToInt16()
{
    QFETCH(double, v);
    QFETCH(bool, fits);
    QFETCH(int, expected);
    const std::optional<qint16> r = ::roundToInt16(v);
    QCOMPARE(r.has_value(), fits);
    if (fits) QCOMPARE(int(*r), expected);
}

void TstNumberReader::decimalText_data()
{
    QTest::addColumn<int>("v");
    QTest::addColumn<QString>("text");
    QTest::newRow("negative") << -12 << "-12";
    QTest::newRow("zero") << 0 << "0";
    QTest::newRow("positive") << 1234 << "1234";
    QTest::newRow("largest") << 32767 << "32767";
    QTest::newRow("smallest") << -32768 << "-32768";
}

void TstNumberReader::decimalText()
{
    QFETCH(int, v);
    QFETCH(QString, text);
    QCOMPARE(::decimalText(qint16(v)), text);
}

QTEST_APPLESS_MAIN(TstNumberReader)
#include "tst_number_reader.moc"
