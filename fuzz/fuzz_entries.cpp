#include "fuzz_entries.h"

#include "decode_model.h"

#include "link/line_settings.h"
#include "status/decode.h"
#include "status/display_form.h"
#include "status/number_reader.h"

#include <QRegularExpression>
#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <string_view>

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
// clang-format on

// Inputs at least this long that start with 0xFF are also rendered tiled past the bound.
constexpr size_t kTileFromBytes = 4096;

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

// The piece of one character, row by row from the mapping; empty for a printable one, which
// stands for itself followed by a blank.
std::string_view mnemonicPiece(char16_t c)
{
    if (c == 6) return "ACK ";
    if (c == 13) return "CR ";
    if (c == 10) return "LF  ";
    if (c < 32) return "? ";
    if (c <= 122) return {};
    return "? ";
}

// Whether `out` holds `c`'s piece at `at`; moves `at` past it.
bool pieceAt(const QString& out, qsizetype& at, char16_t c)
{
    const std::string_view piece = mnemonicPiece(c);
    const QChar* o = out.constData();
    if (piece.empty()) {
        at += 2;
        return at <= out.size() && o[at - 2] == QChar(c) && o[at - 1] == u' ';
    }
    for (const char p : piece) {
        if (at >= out.size() || o[at++] != QLatin1Char(p)) return false;
    }
    return true;
}

// Walks the rendering piece by piece beside the text: a leading blank, then the piece of each
// of the first kMaxRenderedChars characters, and nothing after them.
void checkRendering(const QString& text)
{
    const QString out = DisplayForm(text);
    const qsizetype n = qMin(text.size(), kMaxRenderedChars);
    FUZZ_CHECK(out.startsWith(u' '), out.left(200));
    qsizetype at = 1;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        FUZZ_CHECK(pieceAt(out, at, c), QStringLiteral("character %1 (%2)").arg(i).arg(int(c)));
    }
    FUZZ_CHECK(at == out.size(), QStringLiteral("%1 left over").arg(out.size() - at));
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
    // One way only to match each text, possessively: the digits split between "[0-9]+" and
    // "[0-9]*" around an optional point made a failing match quadratic in the length.
    static const QRegularExpression decimal(
        QStringLiteral("^[+-]?+([0-9]++(\\.[0-9]*+)?+|\\.[0-9]++)([eE][+-]?+[0-9]++)?+$"));
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
    // A long input that starts with 0xFF is tiled just past the longest rendering, so the
    // pieces must stop at the bound. Only long ones: tiling even a two-byte input made it cost
    // as much as the longest, and the fuzzer, which lengthens its inputs only as fast as it
    // runs them, then stayed below 500 bytes.
    if (size >= kTileFromBytes && data[0] == 0xFF)
        checkRendering(text.repeated(kMaxRenderedChars / qsizetype(size) + 1));
}

void fuzzDecodeReply(const uint8_t* data, size_t size)
{
    if (size == 0) return;
    const QString command = queryForByte(data[0]);
    const QString caption = DisplayForm(latin1(data + 1, size - 1));
    const Decoded program = decodeReply(command, caption);
    const ModelDecoded model = modelDecode(command, caption);
    // Made only when a check fails: building it for every input cost a third of the time.
    const auto detail = [&] {
        return command + u'|' + caption.left(400) + u'|' + program.status.value_or("(kept)") +
               u'|' + model.status.value_or("(kept)");
    };
    FUZZ_CHECK(program.status == model.status, detail());
    FUZZ_CHECK(program.readingValue == model.reading, detail());
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
