#include "status/decode.h"

#include "status/number_reader.h"

#include <QStringView>
#include <algorithm>
#include <span>

namespace
{

struct CodeRow {
    QStringView prefix; // first characters of the RXD line
    QStringView text;   // status line text
};

// clang-format off
// STATUS, "CR0": power and warning state, from the first 4 characters.
constexpr CodeRow kPowerStates[] = {
    // prefix  text
    {u" 0 0",  u" Power ON"},
    {u" 8 0",  u" Stand by"},
    {u" 4 0",  u" Count down"},
    {u" 2 0",  u" Cooling down"},
    {u" 1 0",  u" Power FAIL"},
    {u" 2 8",  u" TEMPERETURE WARNING & COOLING DOWN"},
    {u" 0 8",  u" TEMPERETURE WARNING (POWER ON)"},
    {u" 8 8",  u" TEMPERETURE WARNING and RECOVERD"},
    {u" 0 2",  u" NO KEY INPUT"},
    {u" 2 4",  u" LAMP OFF & TEMPERETURE WARNING by PWR MANAGEMENT"},
    {u" 0 4",  u" LAMP OFF by Power Management"},
};

// MODE, "CR1": selected input, from the first 2 characters (the first reply character).
constexpr CodeRow kInputs[] = {
    // prefix  text
    {u" 1",    u" COMPUTER 1"},
    {u" 2",    u" VIDEO"},
    {u" 3",    u" COMPUTER 2 or DVI or WI or MCI"},
};

// SETTING, "CR4": picture reversal, from the first 4 characters.
constexpr CodeRow kReversals[] = {
    // prefix  text
    {u" 1 1",  u" Normally"},
    {u" 1 0",  u" Top/Bottom reversal"},
    {u" 0 1",  u" Left/Right reversal"},
    {u" 0 0",  u" Top/Bottom , Left/Right reversal"},
};
// clang-format on

// Air pressure from the sensor reading v: the five-fold must fit 16 bits.
constexpr qint16 kMaxPressureReading = 6553;
constexpr double kPressureCounts = 1024.0;
constexpr double kPressureOffset = 0.204;
constexpr double kPressureSlope = 0.00459;
constexpr double kPressureBase = 150.0;

// Lamp hours show the first four reply characters in their monitor rendering.
constexpr qsizetype kLampHoursLength = 8;

const QString kHourUse = QStringLiteral(" Hour Use");

Decoded matchCode(std::span<const CodeRow> table, qsizetype prefixLength, const QString& rxd)
{
    const QStringView prefix = QStringView(rxd).left(prefixLength);
    for (const CodeRow& row : table) {
        if (prefix == row.prefix) return {row.text.toString(), std::nullopt};
    }
    return {};
}

Decoded powerState(const QString& rxd)
{
    return matchCode(kPowerStates, 4, rxd);
}
Decoded selectedInput(const QString& rxd)
{
    return matchCode(kInputs, 2, rxd);
}
Decoded pictureReversal(const QString& rxd)
{
    return matchCode(kReversals, 4, rxd);
}

Decoded lampHours(const QString& rxd)
{
    return {rxd.left(kLampHoursLength) + kHourUse, {}};
}

// The line up to the first control-character mnemonic ("CR ", "LF  ", "ACK "). Every plain
// piece of the rendering is a character and a blank, so a piece whose second character is not
// a blank is a mnemonic. A decimal number never continues into one anyway, but the A and C
// of "ACK" and "CR" would read as hexadecimal digits: "&H1F" and CR must read 31, not 508.
QStringView beforeFirstMnemonic(QStringView rxd)
{
    qsizetype piece = 1; // after the leading blank
    while (piece + 1 < rxd.size() && rxd[piece + 1] == u' ')
        piece += 2;
    return piece + 1 < rxd.size() ? rxd.left(piece) : rxd;
}

bool holdsDecimalDigit(QStringView text)
{
    return std::ranges::any_of(text, [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// The reading of the line as a 16-bit integer; nullopt when it does not fit, and when no digit
// comes before the first control character: a refusal ("?"), an ACK or a bare CR is no reading
// of zero. A reply with digits that is no number at its start still reads 0, as designed.
std::optional<qint16> reading16(const QString& rxd)
{
    const QStringView text = beforeFirstMnemonic(rxd);
    const NumberReading r = readNumber(text);
    if (!r.anyDigit && !holdsDecimalDigit(text)) return std::nullopt;
    return r.ok ? roundToInt16(r.value) : std::nullopt;
}

// Readings that do not fit, and replies that give none, keep both the status line and the
// reading: a wrapped number or a made-up zero would be a wrong reading shown as a right one.
Decoded projectorHours(const QString& rxd)
{
    const std::optional<qint16> v = reading16(rxd);
    if (!v) return {};
    return {decimalText(*v) + kHourUse, v};
}

Decoded airPressure(const QString& rxd)
{
    const std::optional<qint16> v = reading16(rxd);
    if (!v || *v < -kMaxPressureReading || *v > kMaxPressureReading)
        return {}; // kept for the same reasons as the projector hours
    const qint16 fiveFold = qint16(*v * 5);
    const double p =
        (fiveFold / kPressureCounts - kPressureOffset) / kPressureSlope + kPressureBase;
    const std::optional<qint16> hPa = roundToInt16(p); // -6865..7077 for such readings
    if (!hPa) return {};
    return {decimalText(*hPa) + QStringLiteral(" hPa"), hPa};
}

// Three sensors at fixed places of the line (0-based here); ranges beyond its end give what
// is there, possibly nothing.
Decoded temperatures(const QString& rxd)
{
    return {QStringLiteral("  S1=") + rxd.mid(0, 10) + QStringLiteral(" C  ,   S2= ") +
                rxd.mid(14, 8) + QStringLiteral(" C , S3=") + rxd.mid(24, 10) +
                QStringLiteral(" C"),
            {}};
}

struct QueryBranch {
    QStringView command; // as sent, with its one CR
    Decoded (*decode)(const QString& rxd);
};

// clang-format off
// In the order the queries are tested.
constexpr QueryBranch kBranches[] = {
    // command            decoding
    {u"CR0\r",            powerState},
    {u"CR1\r",            selectedInput},
    {u"CR4\r",            pictureReversal},
    {u"CR PROJH\r",       projectorHours},
    {u"CR PRESSURE\r",    airPressure},
    {u"CR3\r",            lampHours},
    {u"CR6\r",            temperatures},
};
// clang-format on

} // namespace

Decoded decodeReply(const QString& lastCommand, const QString& rxdCaption)
{
    for (const QueryBranch& branch : kBranches) {
        if (lastCommand == branch.command) return branch.decode(rxdCaption);
    }
    return {};
}
