#include "status/decode.h"

#include "status/display_form.h"
#include "status/number_reader.h"

#include <QStringView>
#include <algorithm>
#include <iterator>

namespace
{

using S = DecodedState;
using namespace Qt::StringLiterals;

// clang-format off
constexpr StateRow kStates[] = {
    // STATUS, "CR0": power and warning state, from the first 4 characters.
    // command  prefix  state                          name                               text
    {u"CR0\r", u" 0 0", S::PowerOn,                    "on"_L1,                            u" Power ON"},
    {u"CR0\r", u" 8 0", S::Standby,                    "standby"_L1,                       u" Stand by"},
    {u"CR0\r", u" 4 0", S::CountDown,                  "countdown"_L1,                     u" Count down"},
    {u"CR0\r", u" 2 0", S::Cooling,                    "cooling"_L1,                       u" Cooling down"},
    {u"CR0\r", u" 1 0", S::PowerFail,                  "power_fail"_L1,                    u" Power FAIL"},
    {u"CR0\r", u" 2 8", S::TemperatureWarningCooling,  "temperature_warning_cooling"_L1,   u" TEMPERETURE WARNING & COOLING DOWN"},
    {u"CR0\r", u" 0 8", S::TemperatureWarningOn,       "temperature_warning_on"_L1,        u" TEMPERETURE WARNING (POWER ON)"},
    {u"CR0\r", u" 8 8", S::TemperatureWarningRecovered, "temperature_warning_recovered"_L1, u" TEMPERETURE WARNING and RECOVERD"},
    {u"CR0\r", u" 0 2", S::NoKeyInput,                 "no_key_input"_L1,                  u" NO KEY INPUT"},
    {u"CR0\r", u" 2 4", S::LampOffTemperatureWarning,  "lamp_off_temperature_warning"_L1,  u" LAMP OFF & TEMPERETURE WARNING by PWR MANAGEMENT"},
    {u"CR0\r", u" 0 4", S::LampOff,                    "lamp_off"_L1,                      u" LAMP OFF by Power Management"},
    // MODE, "CR1": selected input, from the first 2 characters (the first reply character).
    {u"CR1\r", u" 1",   S::Pc1,                        "pc1"_L1,                           u" COMPUTER 1"},
    {u"CR1\r", u" 2",   S::Video,                      "video"_L1,                         u" VIDEO"},
    {u"CR1\r", u" 3",   S::Pc2,                        "pc2"_L1,                           u" COMPUTER 2 or DVI or WI or MCI"},
    // SETTING, "CR4": picture reversal, from the first 4 characters.
    {u"CR4\r", u" 1 1", S::Normal,                     "normal"_L1,                        u" Normally"},
    {u"CR4\r", u" 1 0", S::TopBottom,                  "top_bottom"_L1,                    u" Top/Bottom reversal"},
    {u"CR4\r", u" 0 1", S::LeftRight,                  "left_right"_L1,                    u" Left/Right reversal"},
    {u"CR4\r", u" 0 0", S::TopBottomLeftRight,         "top_bottom_left_right"_L1,         u" Top/Bottom , Left/Right reversal"},
};
// clang-format on

// The rows are in the order of the states, so a state finds its row by number.
constexpr bool inStateOrder()
{
    for (size_t i = 0; i < std::size(kStates); ++i)
        if (size_t(kStates[i].state) != i) return false;
    return true;
}
static_assert(inStateOrder());

// Air pressure from the sensor reading v: the five-fold must fit 16 bits.
constexpr qint16 kMaxPressureReading = 6553;
constexpr double kPressureCounts = 1024.0;
constexpr double kPressureOffset = 0.204;
constexpr double kPressureSlope = 0.00459;
constexpr double kPressureBase = 150.0;

// Lamp hours show the first four reply characters in their monitor rendering.
constexpr qsizetype kLampHoursLength = 8;

const QString kHourUse = QStringLiteral(" Hour Use");

// The state whose row is for `command` and whose prefix the line starts with; nothing for a
// command without states.
Decoded matchState(QStringView command, const QString& rxd)
{
    for (const StateRow& row : kStates) {
        if (row.command == command && QStringView(rxd).startsWith(row.prefix))
            return {row.text.toString(), std::nullopt, row.state};
    }
    return {};
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
// The queries whose answers are no fixed set (those are the state rows).
constexpr QueryBranch kBranches[] = {
    // command            decoding
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
    return matchState(lastCommand, rxdCaption);
}

Decoded decodeExchange(const QString& sent, QStringView reply)
{
    return decodeReply(sent, DisplayForm(reply));
}

std::span<const StateRow> stateRows()
{
    return kStates;
}

const StateRow& stateRow(DecodedState state)
{
    return kStates[size_t(state)];
}
