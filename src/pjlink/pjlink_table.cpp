#include "pjlink/pjlink_table.h"

#include "panel/command_table.h"
#include "status/decode.h"

#include <QStringView>
#include <algorithm>

namespace
{

const QString kAck = QStringLiteral("\x06\r");
const QString kRefused = QStringLiteral("?\r");
const QByteArray kOk = "OK";
const QByteArray kUnavailable = "ERR3";
const QByteArray kOutOfParameter = "ERR2";
const QByteArray kFailure = "ERR4";

using S = DecodedState;

// What the power state the STATUS query decodes means to PJLink, one row per state. The warning
// states go to the nearest power state: the first digit of the reply (0 on, 8 stand-by, 2
// cooling) where it says one, stand-by where the lamp is off.
struct PowerStateRow {
    DecodedState state;
    const char* power;  // POWR ?
    const char* errors; // ERST ?: fan, lamp, temperature, cover, filter, other
};

// clang-format off
constexpr PowerStateRow kPowerStates[] = {
    // decoded state                    POWR ?  ERST ?
    {S::PowerOn,                        "1",    "000000"},
    {S::Standby,                        "0",    "000000"},
    {S::CountDown,                      "3",    "000000"},
    {S::Cooling,                        "2",    "000000"},
    {S::PowerFail,                      "ERR4", "000002"},
    {S::TemperatureWarningCooling,      "2",    "002000"},
    {S::TemperatureWarningOn,           "1",    "001000"},
    {S::TemperatureWarningRecovered,    "0",    "001000"},
    {S::NoKeyInput,                     "1",    "000000"},
    {S::LampOffTemperatureWarning,      "2",    "011000"},
    {S::LampOff,                        "0",    "010000"},
};

// What the input the MODE query decodes means to PJLink.
struct InputRow {
    DecodedState state;
    const char* input; // INPT ?
};

constexpr InputRow kInputStates[] = {
    // decoded state    INPT ?
    {S::Pc1,            "11"},
    {S::Pc2,            "12"},
    {S::Video,          "21"},
};
// clang-format on

// What each mute command the projector took leaves AVMT ? to say: the projector cannot be
// asked, so the state is the last one set through this bridge, command by command (AVMT 31
// whose "C0B" is refused has still switched No Show on).
struct MuteEffect {
    const char* command;
    bool PjlinkDevice::*state;
    bool on;
};

// clang-format off
constexpr MuteEffect kMuteEffects[] = {
    // command  state                       on
    {"C0D",     &PjlinkDevice::videoMuted,  true},
    {"C0E",     &PjlinkDevice::videoMuted,  false},
    {"C0B",     &PjlinkDevice::audioMuted,  true},
    {"C0C",     &PjlinkDevice::audioMuted,  false},
};
// clang-format on

// PJLink lamp hours have at most five digits.
constexpr qsizetype kMaxLampDigits = 5;

// What the panel's decoding makes of the reply to the row's command `i`.
std::optional<DecodedState> stateOf(const PjlinkRow& row, int i, const QString& reply)
{
    return decodeExchange(QLatin1String(row.commands[size_t(i)]) + u'\r', reply).state;
}

const PowerStateRow* powerStateOf(const PjlinkRow& row, int i, const QString& reply)
{
    const std::optional<DecodedState> state = stateOf(row, i, reply);
    const auto it = std::ranges::find(kPowerStates, state, &PowerStateRow::state);
    return it == std::end(kPowerStates) ? nullptr : &*it;
}

QByteArray acknowledged(const PjlinkRow&, PjlinkDevice&, std::span<const QString> replies)
{
    const bool all = std::ranges::all_of(replies, [](const QString& r) { return r == kAck; });
    return all ? kOk : kFailure;
}

QByteArray lastMute(const PjlinkRow&, PjlinkDevice& device, std::span<const QString>)
{
    if (device.videoMuted && device.audioMuted) return "31";
    if (device.videoMuted) return "11";
    if (device.audioMuted) return "21";
    return "30";
}

QByteArray powerState(const PjlinkRow& row, PjlinkDevice&, std::span<const QString> replies)
{
    const PowerStateRow* state = powerStateOf(row, 0, replies[0]);
    return state ? QByteArray(state->power) : kFailure;
}

QByteArray errorStatus(const PjlinkRow& row, PjlinkDevice&, std::span<const QString> replies)
{
    const PowerStateRow* state = powerStateOf(row, 0, replies[0]);
    return state ? QByteArray(state->errors) : kFailure;
}

QByteArray selectedInput(const PjlinkRow& row, PjlinkDevice&, std::span<const QString> replies)
{
    const auto it = std::ranges::find(kInputStates, stateOf(row, 0, replies[0]), &InputRow::state);
    return it == std::end(kInputStates) ? kFailure : QByteArray(it->input);
}

// Hours from the L-TIME reply (digits and CR), and the lamp lit while the power state is on.
QByteArray lampHours(const PjlinkRow& row, PjlinkDevice&, std::span<const QString> replies)
{
    const QStringView digits = QStringView(replies[0]).chopped(1);
    const bool readable =
        !digits.isEmpty() && digits.size() <= kMaxLampDigits &&
        std::ranges::all_of(digits, [](QChar c) { return c >= u'0' && c <= u'9'; });
    if (!readable) return kFailure;
    const PowerStateRow* state = powerStateOf(row, 1, replies[1]);
    const bool lit = state && qstrcmp(state->power, "1") == 0;
    return QByteArray::number(digits.toInt()) + (lit ? " 1" : " 0");
}

QByteArray inputList(const PjlinkRow&, PjlinkDevice&, std::span<const QString>)
{
    return kPjlinkInputs.toByteArray();
}
QByteArray projectorName(const PjlinkRow&, PjlinkDevice& device, std::span<const QString>)
{
    return device.name;
}
QByteArray maker(const PjlinkRow&, PjlinkDevice&, std::span<const QString>)
{
    return kPjlinkMaker.toByteArray();
}
QByteArray model(const PjlinkRow&, PjlinkDevice&, std::span<const QString>)
{
    return kPjlinkModel.toByteArray();
}
QByteArray otherInfo(const PjlinkRow&, PjlinkDevice& device, std::span<const QString>)
{
    return device.info;
}
QByteArray classNumber(const PjlinkRow&, PjlinkDevice&, std::span<const QString>)
{
    return "1";
}

struct RequestRow {
    const char* body;
    const char* param;
    // The panel's buttons whose commands are sent, in this order; nullptr after the last.
    std::array<const char*, kMaxPjlinkCommands> buttons;
    PjlinkAnswer answer;
};

// clang-format off
// One row per PJLink request, in the order of the PJLink command list.
constexpr RequestRow kRequests[] = {
    // request       panel buttons               answer
    {"POWR", "1",    {"Command17"},              acknowledged},
    {"POWR", "0",    {"Command18"},              acknowledged},
    {"POWR", "?",    {"Command44"},              powerState},
    {"INPT", "11",   {"Command40"},              acknowledged},
    {"INPT", "12",   {"Command63"},              acknowledged},
    {"INPT", "21",   {"Command28"},              acknowledged},
    {"INPT", "?",    {"Command45"},              selectedInput},
    {"AVMT", "11",   {"Command21"},              acknowledged},
    {"AVMT", "10",   {"Command22"},              acknowledged},
    {"AVMT", "21",   {"Command19"},              acknowledged},
    {"AVMT", "20",   {"Command20"},              acknowledged},
    {"AVMT", "31",   {"Command21", "Command19"}, acknowledged},
    {"AVMT", "30",   {"Command22", "Command20"}, acknowledged},
    {"AVMT", "?",    {},                         lastMute},
    {"ERST", "?",    {"Command44"},              errorStatus},
    {"LAMP", "?",    {"Command46", "Command44"}, lampHours},
    {"INST", "?",    {},                         inputList},
    {"NAME", "?",    {},                         projectorName},
    {"INF1", "?",    {},                         maker},
    {"INF2", "?",    {},                         model},
    {"INFO", "?",    {},                         otherInfo},
    {"CLSS", "?",    {},                         classNumber},
};
// clang-format on

// A button without a reply window of its own (POWER OFF) waits this long here.
constexpr int kNoButtonWindowMs = 2000;

// The requests with the commands and reply windows of their buttons, as the command table has
// them: the longest window of the row's commands serves each of them.
std::array<PjlinkRow, std::size(kRequests)> requestRows()
{
    std::array<PjlinkRow, std::size(kRequests)> rows{};
    for (size_t i = 0; i < rows.size(); ++i) {
        const RequestRow& r = kRequests[i];
        rows[i] = {r.body, r.param, {}, 0, r.answer};
        for (size_t c = 0; c < r.buttons.size() && r.buttons[c]; ++c) {
            const CommandRow* button = findCommandRow(QString::fromLatin1(r.buttons[c]));
            if (!button) qFatal("PJLink %s %s: no button %s", r.body, r.param, r.buttons[c]);
            rows[i].commands[c] = button->command;
            rows[i].replyWindowMs =
                std::max(rows[i].replyWindowMs,
                         button->hasIntervals() ? button->replyWindowMs : kNoButtonWindowMs);
        }
    }
    return rows;
}

const std::array<PjlinkRow, std::size(kRequests)>& rows()
{
    static const auto table = requestRows();
    return table;
}

} // namespace

std::span<const PjlinkRow> pjlinkTable()
{
    return rows();
}

const PjlinkRow* findPjlinkRow(QByteArrayView body, QByteArrayView param)
{
    const auto it = std::ranges::find_if(rows(), [&](const PjlinkRow& row) {
        return body == QByteArrayView(row.body) && param == QByteArrayView(row.param);
    });
    return it == rows().end() ? nullptr : &*it;
}

bool isPjlinkBody(QByteArrayView body)
{
    return std::ranges::any_of(
        rows(), [&](const PjlinkRow& row) { return body == QByteArrayView(row.body); });
}

std::optional<QByteArray> pjlinkFailure(const PjlinkRow& row, const std::optional<QString>& reply)
{
    if (!reply || !reply->endsWith(u'\r')) return kUnavailable;
    if (*reply == kRefused) return row.isQuery() ? kUnavailable : kOutOfParameter;
    if (!row.isQuery() && *reply != kAck) return kFailure; // the next command waits for an ACK
    return std::nullopt;
}

PjlinkRun::PjlinkRun(const PjlinkRow& row, PjlinkDevice& device) : row_(row), device_(device)
{
    finishIfDone(); // a request without commands is answered at once
}

std::optional<QString> PjlinkRun::nextCommand() const
{
    if (done_) return std::nullopt;
    return QString::fromLatin1(row_.commands[size_t(taken_)]);
}

void PjlinkRun::take(const std::optional<QString>& reply)
{
    if (done_) return;
    if (const std::optional<QByteArray> failure = pjlinkFailure(row_, reply)) {
        answer_ = *failure;
        done_ = true;
        return;
    }
    for (const MuteEffect& e : kMuteEffects)
        if (qstrcmp(e.command, row_.commands[size_t(taken_)]) == 0) device_.*e.state = e.on;
    replies_[size_t(taken_++)] = *reply;
    finishIfDone();
}

void PjlinkRun::finishIfDone()
{
    if (taken_ < row_.commandCount()) return;
    answer_ = row_.answer(row_, device_, std::span(replies_).first(size_t(taken_)));
    done_ = true;
}
