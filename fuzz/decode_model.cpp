#include "decode_model.h"

#include <QLatin1String>
#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <string>

namespace
{

struct CodeRow {
    const char* command; // as sent
    int prefixLength;    // how many characters of the RXD line are compared
    const char* prefix;
    const char* text;
};

// clang-format off
// The three code tables, one row each, in the order they are tried.
const CodeRow kCodeRows[] = {
    // command  length  prefix   text
    {"CR0\r",   4,      " 0 0",  " Power ON"},
    {"CR0\r",   4,      " 8 0",  " Stand by"},
    {"CR0\r",   4,      " 4 0",  " Count down"},
    {"CR0\r",   4,      " 2 0",  " Cooling down"},
    {"CR0\r",   4,      " 1 0",  " Power FAIL"},
    {"CR0\r",   4,      " 2 8",  " TEMPERETURE WARNING & COOLING DOWN"},
    {"CR0\r",   4,      " 0 8",  " TEMPERETURE WARNING (POWER ON)"},
    {"CR0\r",   4,      " 8 8",  " TEMPERETURE WARNING and RECOVERD"},
    {"CR0\r",   4,      " 0 2",  " NO KEY INPUT"},
    {"CR0\r",   4,      " 2 4",  " LAMP OFF & TEMPERETURE WARNING by PWR MANAGEMENT"},
    {"CR0\r",   4,      " 0 4",  " LAMP OFF by Power Management"},
    {"CR1\r",   2,      " 1",    " COMPUTER 1"},
    {"CR1\r",   2,      " 2",    " VIDEO"},
    {"CR1\r",   2,      " 3",    " COMPUTER 2 or DVI or WI or MCI"},
    {"CR4\r",   4,      " 1 1",  " Normally"},
    {"CR4\r",   4,      " 1 0",  " Top/Bottom reversal"},
    {"CR4\r",   4,      " 0 1",  " Left/Right reversal"},
    {"CR4\r",   4,      " 0 0",  " Top/Bottom , Left/Right reversal"},
};
// clang-format on

// Characters `first` to `last` of the line, counted from 1; those beyond its end are missing.
QString positions(const QString& line, int first, int last)
{
    QString out;
    for (int p = first; p <= last && p <= line.size(); ++p)
        out += line[p - 1];
    return out;
}

// What the number is read from: the line before its first control-character mnemonic (the
// reading stops there, and hexadecimal digits must not run on into "CR" or "ACK"), without
// its blanks. Before the first mnemonic every piece is a character and a blank, so none of
// the three mnemonics can appear there by accident.
std::string readingText(const QString& caption)
{
    qsizetype end = caption.size();
    for (const char* mnemonic : {"CR ", "ACK ", "LF  "}) {
        const qsizetype at = caption.indexOf(QLatin1String(mnemonic));
        if (at >= 0) end = std::min(end, at);
    }
    std::string text;
    for (qsizetype i = 0; i < end; ++i) {
        if (caption[i] != u' ') text += caption[i].toLatin1();
    }
    return text;
}

std::string run(const std::string& s, size_t& i, int (*isDigit)(int))
{
    const size_t from = i;
    while (i < s.size() && isDigit(static_cast<unsigned char>(s[i])))
        ++i;
    return s.substr(from, i - from);
}

// Digit classes of their own: the C library's depend on the locale the application set.
int isDecimal(int c)
{
    return c >= '0' && c <= '9';
}
int isOctal(int c)
{
    return c >= '0' && c <= '7';
}
int isHex(int c)
{
    return isDecimal(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// "&H" or "&O" digits as an unsigned 32-bit value; nullopt beyond it.
std::optional<double> radixNumber(const std::string& s)
{
    const int base = (s[1] == 'H' || s[1] == 'h') ? 16 : (s[1] == 'O' || s[1] == 'o') ? 8 : 0;
    if (base == 0) return 0.0;
    size_t i = 2;
    std::string digits = run(s, i, base == 16 ? isHex : isOctal);
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
    if (digits.size() > 12) return std::nullopt;
    const unsigned long long value = digits.empty() ? 0 : std::stoull(digits, nullptr, base);
    if (value > 0xFFFFFFFFull) return std::nullopt;
    return double(value);
}

// Sign, digits, point, digits, exponent (E or D), read by the C library; nullopt when the
// number is too large for a double.
std::optional<double> modelNumber(const std::string& s)
{
    if (s.size() >= 2 && s[0] == '&') return radixNumber(s);
    if (!s.empty() && s[0] == '&') return 0.0;
    size_t i = 0;
    std::string number;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) number += s[i++];
    const std::string whole = run(s, i, isDecimal);
    number += whole;
    std::string fraction;
    if (i < s.size() && s[i] == '.') {
        ++i;
        fraction = run(s, i, isDecimal);
        number += '.' + fraction;
    }
    if (whole.empty() && fraction.empty()) return 0.0;
    if (i < s.size() && std::string("EeDd").find(s[i]) != std::string::npos) {
        size_t j = i + 1;
        std::string sign;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) sign = s[j++];
        const std::string exponent = run(s, j, isDecimal);
        if (!exponent.empty()) number += 'e' + sign + exponent;
    }
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
    const double v = strtod_l(number.c_str(), nullptr, c);
    if (std::isinf(v)) return std::nullopt;
    return v;
}

// Nearest, ties to even: the floating-point unit's own rounding mode.
std::optional<qint16> modelRound(double v)
{
    const double r = std::nearbyint(v);
    if (r < -32768.0 || r > 32767.0) return std::nullopt;
    return qint16(r);
}

// A digit before the first control character: a decimal one anywhere, or a hexadecimal one
// right after "&H". Without one the reply gives no reading at all.
bool holdsDigit(const std::string& s)
{
    if (std::any_of(s.begin(), s.end(), isDecimal)) return true;
    return s.size() > 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h') && isHex(s[2]);
}

std::optional<qint16> reading(const QString& caption)
{
    const std::string text = readingText(caption);
    if (!holdsDigit(text)) return std::nullopt;
    const std::optional<double> v = modelNumber(text);
    if (!v) return std::nullopt;
    return modelRound(*v);
}

ModelDecoded projectorHours(const QString& caption)
{
    const std::optional<qint16> v = reading(caption);
    if (!v) return {};
    return {QString::number(*v) + " Hour Use", *v};
}

ModelDecoded airPressure(const QString& caption)
{
    const std::optional<qint16> v = reading(caption);
    if (!v || *v < -6553 || *v > 6553) return {};
    const int fiveFold = *v * 5;
    double p = fiveFold / 1024.0;
    p = p - 0.204;
    p = p / 0.00459;
    p = p + 150.0;
    const std::optional<qint16> hPa = modelRound(p);
    if (!hPa) return {};
    return {QString::number(*hPa) + " hPa", *hPa};
}

} // namespace

ModelDecoded modelDecode(const QString& lastCommand, const QString& caption)
{
    for (const CodeRow& row : kCodeRows) {
        if (lastCommand == QLatin1String(row.command) &&
            caption.left(row.prefixLength) == QLatin1String(row.prefix))
            return {QString::fromLatin1(row.text), std::nullopt};
    }
    if (lastCommand == "CR3\r") return {positions(caption, 1, 8) + " Hour Use", std::nullopt};
    if (lastCommand == "CR6\r")
        return {"  S1=" + positions(caption, 1, 10) + " C  ,   S2= " + positions(caption, 15, 22) +
                    " C , S3=" + positions(caption, 25, 34) + " C",
                std::nullopt};
    if (lastCommand == "CR PROJH\r") return projectorHours(caption);
    if (lastCommand == "CR PRESSURE\r") return airPressure(caption);
    return {};
}
