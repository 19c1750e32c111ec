#include "sim_projector.h"

namespace
{
constexpr char kCR = '\r';
constexpr char kLF = '\n';
const QByteArray kAck(1, '\x06');
const QByteArray kUnknown("?");

// Two-character power states as the status query reports them.
const QByteArray kStatusStandby("80");
const QByteArray kStatusCountDown("40");
const QByteArray kStatusOn("00");
const QByteArray kStatusCooling("20");
} // namespace

QList<QByteArray> CommandFramer::feed(const QByteArray& bytes)
{
    QList<QByteArray> commands;
    for (const char c : bytes) {
        if (c == kLF) continue;
        if (c == kCR) {
            commands.append(overlong_ ? QByteArray() : line_);
            line_.clear();
            overlong_ = false;
        } else if (!overlong_ && line_.size() < kMaxLine) {
            line_.append(c);
        } else {
            line_.clear();
            overlong_ = true;
        }
    }
    return commands;
}

// One known command. With a handler, the handler answers and `value` is its argument;
// without one, `value` is the fixed reading, or the command is only acknowledged.
struct SimProjector::Row {
    const char* command;
    QByteArray (SimProjector::*handler)(const char* value, qint64 nowMs);
    const char* value;
};

// clang-format off
const SimProjector::Row SimProjector::kRows[] = {
    // command              handler                        value
    // power and input
    {"C00",                 &SimProjector::powerOn,        nullptr},
    {"C02",                 &SimProjector::powerOff,       nullptr},
    {"C05",                 &SimProjector::setInput,       "1"},
    {"C06",                 &SimProjector::setInput,       "3"},
    {"C07",                 &SimProjector::setInput,       "2"},
    // source
    {"CF SOURCE AUTO",      nullptr,                       nullptr},
    {"CF SOURCE DIGTAL",    nullptr,                       nullptr},
    {"CF SOURCE ANALOG",    nullptr,                       nullptr},
    {"CF SOURCE WI",        nullptr,                       nullptr},
    {"CF SOURCE MCI",       nullptr,                       nullptr},
    {"CF SOURCE VIDEO",     nullptr,                       nullptr},
    {"CF SOURCE S-VIDEO",   nullptr,                       nullptr},
    {"CF SOURCE YPBPR",     nullptr,                       nullptr},
    // audio mute, no show, freeze, menu, video image
    {"C0B",                 nullptr,                       nullptr},
    {"C0C",                 nullptr,                       nullptr},
    {"C0D",                 nullptr,                       nullptr},
    {"C0E",                 nullptr,                       nullptr},
    {"C43",                 nullptr,                       nullptr},
    {"C44",                 nullptr,                       nullptr},
    {"C1C",                 nullptr,                       nullptr},
    {"C1D",                 nullptr,                       nullptr},
    {"C0F",                 nullptr,                       nullptr},
    {"C10",                 nullptr,                       nullptr},
    // right-hand column
    {"C89",                 nullptr,                       nullptr},
    {"C27",                 nullptr,                       nullptr},
    {"C8A",                 nullptr,                       nullptr},
    {"C1E",                 nullptr,                       nullptr},
    // image modes
    {"CF IMAGE STAND",      nullptr,                       nullptr},
    {"CF IMAGE REAL",       nullptr,                       nullptr},
    {"CF IMAGE CINEMA",     nullptr,                       nullptr},
    {"CF IMAGE CUSTOM1",    nullptr,                       nullptr},
    {"CF IMAGE CUSTOM2",    nullptr,                       nullptr},
    {"CF IMAGE CUSTOM3",    nullptr,                       nullptr},
    {"CF IMAGE CUSTOM4",    nullptr,                       nullptr},
    // queries
    {"CR0",                 &SimProjector::powerStatus,    nullptr},
    {"CR1",                 &SimProjector::input,          nullptr},
    {"CR3",                 nullptr,                       "0123"},
    {"CR4",                 nullptr,                       "11"},
    {"CR PROJH",            nullptr,                       "01234"},
    {"CR PRESSURE",         nullptr,                       "512"},
    {"CR6",                 nullptr,                       "+25.0 +31.5 +40.2"},
    {"CR LAMPMODE",         &SimProjector::lampMode,       nullptr},
    {"C01",                 nullptr,                       nullptr},
    // lamp mode, fan speed
    {"CF LAMPMODE FUL",     &SimProjector::setLampMode,    "FUL"},
    {"CF LAMPMODE ECO",     &SimProjector::setLampMode,    "ECO"},
    {"CF FANSPEED MAX",     nullptr,                       nullptr},
    {"CF FANSPEED NOR",     nullptr,                       nullptr},
    // hold-to-repeat adjusters and the arrow pad
    {"C09",                 nullptr,                       nullptr},
    {"C0A",                 nullptr,                       nullptr},
    {"C47",                 nullptr,                       nullptr},
    {"C46",                 nullptr,                       nullptr},
    {"C4B",                 nullptr,                       nullptr},
    {"C4A",                 nullptr,                       nullptr},
    {"C30",                 nullptr,                       nullptr},
    {"C31",                 nullptr,                       nullptr},
    {"C8E",                 nullptr,                       nullptr},
    {"C8F",                 nullptr,                       nullptr},
    {"C5D",                 nullptr,                       nullptr},
    {"C5E",                 nullptr,                       nullptr},
    {"C3F",                 nullptr,                       nullptr},
    {"C3C",                 nullptr,                       nullptr},
    {"C3D",                 nullptr,                       nullptr},
    {"C3B",                 nullptr,                       nullptr},
    {"C3A",                 nullptr,                       nullptr},
};
// clang-format on

SimProjector::SimProjector(SimTiming timing) : timing_(timing) {}

QByteArray SimProjector::answer(const QByteArray& command, qint64 nowMs)
{
    settle(nowMs);
    for (const Row& row : kRows) {
        if (command != row.command) continue;
        if (row.handler) return (this->*row.handler)(row.value, nowMs) + kCR;
        return (row.value ? QByteArray(row.value) : kAck) + kCR;
    }
    return kUnknown + kCR;
}

// Ends a count-down or cooling whose time is up; nothing runs in the background, so the
// state catches up whenever a command arrives.
void SimProjector::settle(qint64 nowMs)
{
    if (nowMs < settlesAtMs_) return;
    if (power_ == Power::CountDown) power_ = Power::On;
    if (power_ == Power::Cooling) power_ = Power::Standby;
}

QByteArray SimProjector::powerOn(const char*, qint64 nowMs)
{
    if (power_ == Power::Standby) {
        power_ = Power::CountDown;
        settlesAtMs_ = nowMs + timing_.countDownMs;
        settle(nowMs); // a zero count-down is on at once
    }
    return kAck;
}

QByteArray SimProjector::powerOff(const char*, qint64 nowMs)
{
    if (power_ == Power::On) {
        power_ = Power::Cooling;
        settlesAtMs_ = nowMs + timing_.coolingMs;
        settle(nowMs);
    }
    return kAck;
}

QByteArray SimProjector::setInput(const char* value, qint64)
{
    input_ = value;
    return kAck;
}

QByteArray SimProjector::setLampMode(const char* value, qint64)
{
    lampMode_ = value;
    return kAck;
}

QByteArray SimProjector::powerStatus(const char*, qint64)
{
    switch (power_) {
    case Power::Standby:
        return kStatusStandby;
    case Power::CountDown:
        return kStatusCountDown;
    case Power::On:
        return kStatusOn;
    case Power::Cooling:
        return kStatusCooling;
    }
    return kStatusStandby;
}

QByteArray SimProjector::input(const char*, qint64)
{
    return input_;
}

QByteArray SimProjector::lampMode(const char*, qint64)
{
    return lampMode_;
}

namespace
{
QByteArray withGarbage(QByteArray reply, int count, QRandomGenerator& random)
{
    for (int i = 0; i < count; ++i) {
        const auto at = qsizetype(random.bounded(int(reply.size()) + 1));
        reply.insert(at, char(random.bounded(256)));
    }
    return reply;
}
} // namespace

// The last `size % count` pieces take one byte more, so the pieces differ by one byte at most.
QList<ReplyPiece> planReply(const QByteArray& reply, const ReplyStyle& style,
                            QRandomGenerator& random)
{
    if (style.silent || reply.isEmpty()) return {};
    const QByteArray bytes = withGarbage(reply, style.garbage, random);
    const qsizetype count = qBound(qsizetype(1), qsizetype(style.pieces), bytes.size());
    const qsizetype base = bytes.size() / count;
    const qsizetype longer = bytes.size() % count;
    QList<ReplyPiece> plan;
    qsizetype from = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const qsizetype size = base + (i >= count - longer ? 1 : 0);
        plan.append({bytes.mid(from, size), i == 0 ? style.lateMs : kPiecePauseMs});
        from += size;
    }
    return plan;
}
