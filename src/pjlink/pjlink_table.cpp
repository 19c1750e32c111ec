#include "pjlink/pjlink_table.h"

#include "status/decode.h"
#include "status/display_form.h"

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

// What the STATUS reply ("CR0") means to PJLink, one row per status line text. The warning
// states go to the nearest power state: the first digit of the reply (0 on, 8 stand-by, 2
// cooling) where it says one, stand-by where the lamp is off.
struct PowerStateRow {
    QStringView status; // as the panel's status line shows it
    const char* power;  // POWR ?
    const char* errors; // ERST ?: fan, lamp, temperature, cover, filter, other
};

// clang-format off
constexpr PowerStateRow kPowerStates[] = {
    // status line                                          POWR ?  ERST ?
    {u" Power ON",                                          "1",    "000000"},
    {u" Stand by",                                          "0",    "000000"},
    {u" Count down",                                        "3",    "000000"},
    {u" Cooling down",                                      "2",    "000000"},
    {u" Power FAIL",                                        "ERR4", "000002"},
    {u" TEMPERETURE WARNING & COOLING DOWN",                "2",    "002000"},
    {u" TEMPERETURE WARNING (POWER ON)",                    "1",    "001000"},
    {u" TEMPERETURE WARNING and RECOVERD",                  "0",    "001000"},
    {u" NO KEY INPUT",                                      "1",    "000000"},
    {u" LAMP OFF & TEMPERETURE WARNING by PWR MANAGEMENT",  "2",    "011000"},
    {u" LAMP OFF by Power Management",                      "0",    "010000"},
};

// What the MODE reply ("CR1") means to PJLink.
struct InputRow {
    QStringView status; // as the panel's status line shows it
    const char* input;  // INPT ?
};

constexpr InputRow kInputStates[] = {
    // status line                          INPT ?
    {u" COMPUTER 1",                        "11"},
    {u" COMPUTER 2 or DVI or WI or MCI",    "12"},
    {u" VIDEO",                             "21"},
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

// The status line the panel would show for this reply to `query`, as it decodes it.
std::optional<QString> statusOf(const char* query, const QString& reply)
{
    return decodeReply(QLatin1String(query) + u'\r', DisplayForm(reply)).status;
}

const PowerStateRow* powerStateOf(const QString& reply)
{
    const std::optional<QString> status = statusOf("CR0", reply);
    if (!status) return nullptr;
    const auto it = std::ranges::find(kPowerStates, QStringView(*status), &PowerStateRow::status);
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

QByteArray powerState(const PjlinkRow&, PjlinkDevice&, std::span<const QString> replies)
{
    const PowerStateRow* state = powerStateOf(replies[0]);
    return state ? QByteArray(state->power) : kFailure;
}

QByteArray errorStatus(const PjlinkRow&, PjlinkDevice&, std::span<const QString> replies)
{
    const PowerStateRow* state = powerStateOf(replies[0]);
    return state ? QByteArray(state->errors) : kFailure;
}

QByteArray selectedInput(const PjlinkRow&, PjlinkDevice&, std::span<const QString> replies)
{
    const std::optional<QString> status = statusOf("CR1", replies[0]);
    if (!status) return kFailure;
    const auto it = std::ranges::find(kInputStates, QStringView(*status), &InputRow::status);
    return it == std::end(kInputStates) ? kFailure : QByteArray(it->input);
}

// Hours from the L-TIME reply ("CR3": digits and CR), and the lamp lit while the power
// state is on.
QByteArray lampHours(const PjlinkRow&, PjlinkDevice&, std::span<const QString> replies)
{
    const QStringView digits = QStringView(replies[0]).chopped(1);
    const bool readable =
        !digits.isEmpty() && digits.size() <= kMaxLampDigits &&
        std::ranges::all_of(digits, [](QChar c) { return c >= u'0' && c <= u'9'; });
    if (!readable) return kFailure;
    const PowerStateRow* state = powerStateOf(replies[1]);
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

// clang-format off
// One row per PJLink request, in the order of the PJLink command list. The reply windows are
// those of the panel's buttons for the same commands (POWER OFF has none: 2000 ms here).
constexpr PjlinkRow kRows[] = {
    // request       projector commands    reply ms  answer
    {"POWR", "1",    {"C00"},              5000,     acknowledged},
    {"POWR", "0",    {"C02"},              2000,     acknowledged},
    {"POWR", "?",    {"CR0"},              2000,     powerState},
    {"INPT", "11",   {"C05"},              2000,     acknowledged},
    {"INPT", "12",   {"C06"},              2000,     acknowledged},
    {"INPT", "21",   {"C07"},              2000,     acknowledged},
    {"INPT", "?",    {"CR1"},              2000,     selectedInput},
    {"AVMT", "11",   {"C0D"},              500,      acknowledged},
    {"AVMT", "10",   {"C0E"},              500,      acknowledged},
    {"AVMT", "21",   {"C0B"},              500,      acknowledged},
    {"AVMT", "20",   {"C0C"},              500,      acknowledged},
    {"AVMT", "31",   {"C0D", "C0B"},       500,      acknowledged},
    {"AVMT", "30",   {"C0E", "C0C"},       500,      acknowledged},
    {"AVMT", "?",    {},                   0,        lastMute},
    {"ERST", "?",    {"CR0"},              2000,     errorStatus},
    {"LAMP", "?",    {"CR3", "CR0"},       2000,     lampHours},
    {"INST", "?",    {},                   0,        inputList},
    {"NAME", "?",    {},                   0,        projectorName},
    {"INF1", "?",    {},                   0,        maker},
    {"INF2", "?",    {},                   0,        model},
    {"INFO", "?",    {},                   0,        otherInfo},
    {"CLSS", "?",    {},                   0,        classNumber},
};
// clang-format on

} // namespace

std::span<const PjlinkRow> pjlinkTable()
{
    return kRows;
}

const PjlinkRow* findPjlinkRow(QByteArrayView body, QByteArrayView param)
{
    const auto it = std::ranges::find_if(kRows, [&](const PjlinkRow& row) {
        return body == QByteArrayView(row.body) && param == QByteArrayView(row.param);
    });
    return it == std::end(kRows) ? nullptr : &*it;
}

bool isPjlinkBody(QByteArrayView body)
{
    return std::ranges::any_of(
        kRows, [&](const PjlinkRow& row) { return body == QByteArrayView(row.body); });
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
