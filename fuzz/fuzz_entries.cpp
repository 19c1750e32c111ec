#include "fuzz_entries.h"

#include "link/display_form.h"
#include "link/line_settings.h"
#include "status/decode.h"
#include "status/number_reader.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale.h>

namespace
{

// clang-format off
// Commands byte 0 selects, by its value modulo the count.
const char* const kQueries[] = {
    // decoded queries   // not decoded
    "CR0\r",             "CR LAMPMODE\r",
    "CR1\r",             "cr0\r",
    "CR4\r",             "cr projh\r",
    "CR PROJH\r",        "CR0",
    "CR PRESSURE\r",     "CR PRESSURE \r",
    "CR3\r",             "CR6\r\r",
    "CR6\r",             "XYZ\r",
};

// Every status text the three code queries can show.
const char* const kCodeTexts[][12] = {
    /* CR0 */ {" Power ON", " Stand by", " Count down", " Cooling down", " Power FAIL",
               " TEMPERETURE WARNING & COOLING DOWN", " TEMPERETURE WARNING (POWER ON)",
               " TEMPERETURE WARNING and RECOVERD", " NO KEY INPUT",
               " LAMP OFF & TEMPERETURE WARNING by PWR MANAGEMENT",
               " LAMP OFF by Power Management"},
    /* CR1 */ {" COMPUTER 1", " VIDEO", " COMPUTER 2 or DVI or WI or MCI"},
    /* CR4 */ {" Normally", " Top/Bottom reversal", " Left/Right reversal",
               " Top/Bottom , Left/Right reversal"},
};
// clang-format on

QString latin1(const uint8_t* data, size_t size)
{
    return QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size));
}

QString utf16(const uint8_t* data, size_t size)
{
    QString text(qsizetype(size / 2), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        text[i] = QChar(char16_t(data[2 * i] | data[2 * i + 1] << 8));
    return text;
}

void checkRendering(const QString& text)
{
    const QString out = DisplayForm(text);
    const qsizetype n = qMin(text.size(), kMaxRenderedChars);
    FUZZ_CHECK(out.startsWith(u' ') && out.endsWith(u' '), out);
    // Every character takes two to four places.
    FUZZ_CHECK(out.size() >= 1 + 2 * n && out.size() <= 1 + 4 * n, QString::number(out.size()));
    for (const QChar c : out)
        FUZZ_CHECK(c.unicode() >= 0x20 && c.unicode() <= 0x7e, out);
}

QRegularExpression codeShape(int row)
{
    QStringList texts;
    for (const char* text : kCodeTexts[row]) {
        if (text) texts << QRegularExpression::escape(QString::fromLatin1(text));
    }
    return QRegularExpression("^(" + texts.join('|') + ")$");
}

// The status shapes of the decoded queries; an invalid expression for the others.
const QRegularExpression& statusShape(const QString& command)
{
    static const QString shown = QStringLiteral("[\\x20-\\x7a]");
    static const QHash<QString, QRegularExpression> shapes = {
        {"CR0\r", codeShape(0)},
        {"CR1\r", codeShape(1)},
        {"CR4\r", codeShape(2)},
        {"CR3\r", QRegularExpression("^ " + shown + "{0,7} Hour Use$")},
        {"CR PROJH\r", QRegularExpression("^(-?[1-9][0-9]{0,4}|0) Hour Use$")},
        {"CR PRESSURE\r", QRegularExpression("^(-?[1-9][0-9]{0,3}|0) hPa$")},
        {"CR6\r", QRegularExpression("^  S1= " + shown + "{0,9} C  ,   S2= " + shown +
                                     "{0,8} C , S3=" + shown + "{0,10} C$")},
    };
    static const QRegularExpression none(QStringLiteral("("));
    const auto it = shapes.constFind(command);
    return it == shapes.constEnd() ? none : *it;
}

void checkDecoded(const QString& command, const QString& reply, const Decoded& d)
{
    const QRegularExpression& shape = statusShape(command);
    const QString detail = command + u'|' + reply + u'|' + d.status.value_or("(kept)");
    if (!shape.isValid()) {
        FUZZ_CHECK(!d.status && !d.readingValue, detail);
        return;
    }
    if (d.status) FUZZ_CHECK(shape.match(*d.status).hasMatch(), detail);
    const bool numeric = command == "CR PROJH\r" || command == "CR PRESSURE\r";
    FUZZ_CHECK(d.readingValue.has_value() == (numeric && d.status.has_value()), detail);
    if (d.readingValue)
        FUZZ_CHECK(d.status->section(u' ', 0, 0).toInt() == *d.readingValue, detail);
    if (command == "CR PRESSURE\r" && d.readingValue)
        FUZZ_CHECK(*d.readingValue >= -6865 && *d.readingValue <= 7077, detail);
    // A plain decimal reply that fits is read as itself.
    static const QRegularExpression plain(QStringLiteral("^([0-9]{1,5})(\r|$)"));
    const QRegularExpressionMatch m = plain.match(reply);
    if (command == "CR PROJH\r" && m.hasMatch() && m.captured(1).toInt() <= 32767)
        FUZZ_CHECK(d.readingValue == m.captured(1).toInt(), detail);
}

// The C library's correctly rounded reading of a plain decimal number, whatever the locale.
double cReading(const QString& text)
{
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return strtod_l(text.toLatin1().constData(), nullptr, c);
}

void checkNumber(const QString& text, const NumberReading& r)
{
    FUZZ_CHECK(std::isfinite(r.value), text);
    if (!r.ok) FUZZ_CHECK(r.value == 0, text);
    static const QRegularExpression decimal(
        QStringLiteral("^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?$"));
    if (decimal.match(text).hasMatch()) {
        const double expected = cReading(text);
        FUZZ_CHECK(r.ok == std::isfinite(expected), text);
        if (r.ok) FUZZ_CHECK(r.value == expected, text + " read as " + QString::number(r.value));
    }
    static const QRegularExpression hex(QStringLiteral("^&[Hh]([0-9A-Fa-f]{1,40})$"));
    const QRegularExpressionMatch m = hex.match(text);
    if (m.hasMatch()) {
        const QString digits = m.captured(1).remove(QRegularExpression("^0+"));
        const bool fits = digits.size() <= 8;
        FUZZ_CHECK(r.ok == fits, text);
        if (fits) FUZZ_CHECK(r.value == double(digits.toULongLong(nullptr, 16)), text);
    }
}

void checkRounding(double v)
{
    const std::optional<qint16> r = roundToInt16(v);
    const QString detail = QString::number(v, 'g', 17);
    if (!r) {
        FUZZ_CHECK(!(v >= -32768.5 && v < 32767.5), detail);
        return;
    }
    const double off = std::fabs(double(*r) - v);
    FUZZ_CHECK(off <= 0.5, detail);
    if (off == 0.5) FUZZ_CHECK(*r % 2 == 0, detail);
    bool ok = false;
    FUZZ_CHECK(decimalText(*r).toInt(&ok) == *r && ok, detail);
}

QString settingsText(const LineSettings& s)
{
    const QString parity = QStringLiteral("N?EOSM").at(int(s.parity));
    const QString stop = s.stopBits == QSerialPort::OneAndHalfStop ? QStringLiteral("1.5")
                                                                   : QString::number(s.stopBits);
    return QStringLiteral("%1,%2,%3,%4").arg(s.baud).arg(parity).arg(int(s.dataBits)).arg(stop);
}

void checkSettings(const QString& text)
{
    const LineSettingsResult r = parseLineSettings(text);
    if (!r.settings) {
        FUZZ_CHECK(r.error.startsWith(QStringLiteral("Invalid port settings \"")), r.error);
        return;
    }
    const LineSettings& s = *r.settings;
    FUZZ_CHECK(r.error.isEmpty(), r.error);
    FUZZ_CHECK(s.baud > 0, text);
    FUZZ_CHECK(s.parity == QSerialPort::NoParity || (s.parity >= 2 && s.parity <= 5), text);
    FUZZ_CHECK(s.dataBits >= 5 && s.dataBits <= 8, text);
    FUZZ_CHECK(s.stopBits >= QSerialPort::OneStop && s.stopBits <= QSerialPort::OneAndHalfStop,
               text);
    const LineSettingsResult again = parseLineSettings(settingsText(s));
    FUZZ_CHECK(again.settings && again.settings->baud == s.baud &&
                   again.settings->parity == s.parity && again.settings->dataBits == s.dataBits &&
                   again.settings->stopBits == s.stopBits,
               text + " -> " + settingsText(s));
}

} // namespace

QString queryForByte(uint8_t byte)
{
    return QString::fromLatin1(kQueries[byte % std::size(kQueries)]);
}

void fuzzFail(const char* condition, const QString& detail, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n  with: %s\n", file, line, condition,
                 qUtf8Printable(detail.left(2000)));
    std::abort();
}

void fuzzDisplayForm(const uint8_t* data, size_t size)
{
    const QString text = latin1(data, size);
    checkRendering(text);
    checkRendering(utf16(data, size));
    // A first byte of 0xFF tiles the text past the longest rendering: the rest is dropped.
    if (size > 0 && data[0] == 0xFF) {
        const QString tiled = text.repeated(kMaxRenderedChars / qsizetype(size) + 1);
        checkRendering(tiled);
        FUZZ_CHECK(DisplayForm(tiled) == DisplayForm(tiled.left(kMaxRenderedChars)), text);
    }
}

void fuzzDecodeReply(const uint8_t* data, size_t size)
{
    if (size == 0) return;
    const QString command = queryForByte(data[0]);
    const QString reply = latin1(data + 1, size - 1);
    checkDecoded(command, reply, decodeReply(command, DisplayForm(reply)));
}

void fuzzNumberReader(const uint8_t* data, size_t size)
{
    const QString text = latin1(data, size);
    const NumberReading r = readNumber(text);
    checkNumber(text, r);
    if (r.ok) checkRounding(r.value);
    // The rendering's blanks join the digits again, so plain text reads the same rendered.
    const bool plain =
        std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c >= u' ' && c <= u'z'; });
    if (plain && text.size() <= kMaxRenderedChars) {
        const NumberReading rendered = readNumber(DisplayForm(text));
        FUZZ_CHECK(rendered.ok == r.ok && rendered.value == r.value, text);
    }
    // The raw bytes as a double, to reach the rounding's edges directly.
    if (size >= sizeof(double)) {
        double v;
        std::memcpy(&v, data, sizeof v);
        checkRounding(v);
    }
}

void fuzzLineSettings(const uint8_t* data, size_t size)
{
    checkSettings(latin1(data, size));
    checkSettings(QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size)));
}
