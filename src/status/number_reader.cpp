#include "status/number_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

namespace
{

// Significant decimal digits kept. A double is decided by at most 767 of them; a sticky
// digit stands in for the rest, so the result is correctly rounded however long the input.
constexpr std::size_t kKeptDigits = 800;
// Exponent digits saturate here, far beyond any double, so the cap changes no result.
constexpr qint64 kExponentCap = 1'000'000'000;
// Power of ten of the leading digit from which a value is surely beyond the largest double
// (1e309 > 1.8e308), and below which it is surely below the smallest subnormal (4.9e-324).
constexpr qint64 kOverflowPower = 309;
constexpr qint64 kUnderflowPower = -400;
// "&H"/"&O" digits are read as an unsigned value; more than 32 bits does not fit.
constexpr quint64 kMaxRadixValue = 0xFFFF'FFFFu;

char16_t asciiUpper(char16_t c)
{
    return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
}

int digitValue(char16_t c, int base)
{
    int d = -1;
    if (c >= u'0' && c <= u'9')
        d = c - u'0';
    else if (asciiUpper(c) >= u'A' && asciiUpper(c) <= u'F')
        d = asciiUpper(c) - u'A' + 10;
    return d < base ? d : -1;
}

// Walks the text, stepping over the blanks, tabs and LFs that the reading ignores.
class Cursor
{
  public:
    explicit Cursor(QStringView text) : text_(text) { skipIgnored(); }
    char16_t peek() const { return pos_ < text_.size() ? text_[pos_].unicode() : u'\0'; }
    void advance()
    {
        ++pos_;
        skipIgnored();
    }
    // Steps over the next character if it is `upper` (letters in either case).
    bool take(char16_t upper)
    {
        if (asciiUpper(peek()) != upper) return false;
        advance();
        return true;
    }
    // Steps over a '+' or '-'; true for '-'.
    bool takeSign()
    {
        if (take(u'-')) return true;
        take(u'+');
        return false;
    }
    int takeDigit(int base)
    {
        const int d = digitValue(peek(), base);
        if (d >= 0) advance();
        return d;
    }

  private:
    void skipIgnored()
    {
        while (pos_ < text_.size() && isIgnored(text_[pos_].unicode()))
            ++pos_;
    }
    static bool isIgnored(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n'; }

    QStringView text_;
    qsizetype pos_ = 0;
};

// Significant digits of a decimal mantissa: value = digits * 10^power.
struct Mantissa {
    std::string digits; // no leading zeros
    qint64 power = 0;
    bool dropped = false; // a non-zero digit beyond kKeptDigits was left out
    bool any = false;     // at least one digit was read

    void add(int d, bool fraction)
    {
        any = true;
        if (digits.empty() && d == 0) {
            power -= fraction ? 1 : 0;
        } else if (digits.size() < kKeptDigits) {
            digits += char('0' + d);
            power -= fraction ? 1 : 0;
        } else {
            power += fraction ? 0 : 1;
            dropped = dropped || d != 0;
        }
    }
};

// The exponent after the mantissa, or 0 when none follows. "1E" or "1E+" without digits
// ends the number before the E, which is the same as an exponent of 0.
qint64 readExponent(Cursor& c)
{
    if (!c.take(u'E') && !c.take(u'D')) return 0;
    const bool negative = c.takeSign();
    qint64 e = 0;
    for (int d; (d = c.takeDigit(10)) >= 0;)
        e = std::min(e * 10 + d, kExponentCap);
    return negative ? -e : e;
}

NumberReading toDouble(const Mantissa& m, qint64 exponent, bool negative)
{
    // Called only once a digit was read: every result here says so.
    if (m.digits.empty()) return {0, true, true};
    std::string text = m.digits;
    qint64 power = m.power + exponent;
    if (m.dropped) {
        text += '1';
        --power;
    }
    const qint64 leading = power + qint64(text.size()) - 1;
    if (leading >= kOverflowPower) return {0, false, true};
    if (leading < kUnderflowPower) return {0, true, true};
    // Digits and an exponent only, no decimal point: independent of the C locale.
    text += 'e' + std::to_string(power);
    const double v = std::strtod(text.c_str(), nullptr);
    if (std::isinf(v)) return {0, false, true};
    return {negative ? -v : v, true, true};
}

NumberReading readRadix(Cursor& c, int base)
{
    quint64 value = 0;
    bool any = false;
    for (int d; (d = c.takeDigit(base)) >= 0; any = true) {
        value = value * quint64(base) + quint64(d);
        if (value > kMaxRadixValue) return {0, false, true};
    }
    return {double(value), true, any};
}

} // namespace

NumberReading readNumber(QStringView text)
{
    Cursor c(text);
    if (c.take(u'&')) {
        if (c.take(u'H')) return readRadix(c, 16);
        if (c.take(u'O')) return readRadix(c, 8);
        return {};
    }
    const bool negative = c.takeSign();
    Mantissa m;
    for (int d; (d = c.takeDigit(10)) >= 0;)
        m.add(d, false);
    if (c.take(u'.')) {
        for (int d; (d = c.takeDigit(10)) >= 0;)
            m.add(d, true);
    }
    if (!m.any) return {};
    return toDouble(m, readExponent(c), negative);
}

std::optional<qint16> roundToInt16(double v)
{
    if (!std::isfinite(v)) return std::nullopt;
    const double below = std::floor(v);
    const double fraction = v - below; // exact for every finite double
    double nearest = fraction < 0.5 ? below : below + 1;
    if (fraction == 0.5 && std::fmod(below, 2.0) == 0) nearest = below;
    if (nearest < -32768 || nearest > 32767) return std::nullopt;
    return qint16(nearest);
}

QString decimalText(qint16 v)
{
    return QString::number(int(v));
}
