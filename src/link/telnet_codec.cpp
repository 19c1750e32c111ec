#include "link/telnet_codec.h"

using namespace telnet;

namespace
{

void appendSubnegotiation(QByteArray& out, uint8_t command, QByteArrayView value)
{
    out.append(char(IAC)).append(char(SB)).append(char(kComPortOption)).append(char(command));
    out.append(TelnetCodec::escape(value));
    out.append(char(IAC)).append(char(SE));
}

} // namespace

QByteArray TelnetCodec::greeting()
{
    QByteArray out;
    for (uint8_t option : {kBinary, kSuppressGoAhead}) {
        us_[option] = him_[option] = State::WantYes;
        reply(WILL, option);
        reply(DO, option);
    }
    us_[kComPortOption] = State::WantYes;
    reply(WILL, kComPortOption);
    return takeReplies();
}

QByteArray TelnetCodec::escape(QByteArrayView data)
{
    QByteArray out;
    out.reserve(data.size() + data.count(char(IAC)));
    for (char c : data) {
        out.append(c);
        if (uint8_t(c) == IAC) out.append(c);
    }
    return out;
}

QByteArray TelnetCodec::feed(QByteArrayView bytes)
{
    QByteArray data;
    data.reserve(bytes.size());
    for (const char ch : bytes)
        step(uint8_t(ch), data);
    return data;
}

void TelnetCodec::step(uint8_t b, QByteArray& data)
{
    switch (parse_) {
    case Parse::Data:
        if (b == IAC)
            parse_ = Parse::Iac;
        else
            data.append(char(b));
        break;
    case Parse::Iac:
        parse_ = Parse::Data;
        if (b == IAC) {
            data.append(char(b)); // a doubled 0xFF is one data byte
        } else if (b >= WILL && b <= DONT) {
            verb_ = b;
            parse_ = Parse::Verb;
        } else if (b == SB) {
            sb_.clear();
            sbLength_ = 0;
            parse_ = Parse::Sb;
        } // NOP, GA, a stray SE and the other commands carry nothing for us
        break;
    case Parse::Verb:
        parse_ = Parse::Data;
        onVerb(verb_, b);
        break;
    case Parse::Sb:
    case Parse::SbIac:
        stepSubnegotiation(b, data);
        break;
    }
}

void TelnetCodec::stepSubnegotiation(uint8_t b, QByteArray& data)
{
    // A sub-negotiation longer than the limit is cut, but still parsed to its end.
    const auto keep = [this](uint8_t byte) {
        if (sb_.size() < kMaxSubnegotiation) sb_.append(char(byte));
        if (++sbLength_ > kMaxSubnegotiationLength) overlong_ = true;
    };
    if (parse_ == Parse::Sb) {
        if (b == IAC)
            parse_ = Parse::SbIac;
        else
            keep(b);
        return;
    }
    parse_ = Parse::Sb;
    if (b == IAC) return keep(b); // a doubled 0xFF inside
    if (b == SE) {
        parse_ = Parse::Data;
        onSubnegotiation();
        sb_.clear();
        return;
    }
    // Any other command ends the sub-negotiation unfinished: drop what was gathered and read
    // the byte as the command it is.
    sb_.clear();
    parse_ = Parse::Iac;
    step(b, data);
}

void TelnetCodec::onVerb(uint8_t verb, uint8_t option)
{
    switch (verb) {
    case WILL:
        onHisOffer(true, option);
        break;
    case WONT:
        onHisOffer(false, option);
        break;
    case DO:
        onOurRequest(true, option);
        break;
    default:
        onOurRequest(false, option);
        break;
    }
}

// WILL or WONT from the server, about an option it would do. An answer goes out only when the
// state changes, so two ends that agree never talk in circles.
void TelnetCodec::onHisOffer(bool will, uint8_t option)
{
    State& state = him_[option];
    if (!will) {
        if (state == State::Yes) reply(DONT, option);
        state = State::No;
        return;
    }
    if (!acceptable(option)) return refuse(DONT, option);
    if (state == State::No) reply(DO, option);
    state = State::Yes;
}

// DO or DONT from the server, about an option we would do.
void TelnetCodec::onOurRequest(bool doIt, uint8_t option)
{
    State& state = us_[option];
    if (!doIt) {
        if (state == State::Yes) reply(WONT, option);
        state = State::No;
        return;
    }
    if (!acceptable(option)) return refuse(WONT, option);
    if (state == State::No) reply(WILL, option);
    state = State::Yes;
}

void TelnetCodec::refuse(uint8_t verb, uint8_t option)
{
    // Once per option and side: a server that keeps asking gets no more answers.
    const uint8_t bit = verb == DONT ? 1 : 2;
    if (refusals_[option] & bit) return;
    refusals_[option] |= bit;
    reply(verb, option);
}

void TelnetCodec::reply(uint8_t verb, uint8_t option)
{
    replies_.append(char(IAC)).append(char(verb)).append(char(option));
}

bool TelnetCodec::acceptable(uint8_t option)
{
    return option == kBinary || option == kSuppressGoAhead || option == kComPortOption;
}

void TelnetCodec::onSubnegotiation()
{
    if (sb_.size() < 2 || uint8_t(sb_[0]) != kComPortOption) return;
    const int code = uint8_t(sb_[1]) - kServerOffset;
    // Acks of the four settings; NOTIFY-LINESTATE, NOTIFY-MODEMSTATE and the rest are ignored.
    if (code < kSetBaudRate || code > kSetStopSize || !awaited_[code]) return;
    awaited_[code] = false;
    const qsizetype size = code == kSetBaudRate ? 4 : 1;
    uint32_t got = 0;
    for (qsizetype i = 0; i < size; ++i)
        got = got << 8 | (i + 2 < sb_.size() ? uint8_t(sb_[i + 2]) : 0);
    if (got != asked_[code] && !mismatch_)
        mismatch_ = TelnetMismatch{uint8_t(code), asked_[code], got};
}

QByteArray TelnetCodec::lineCommands(const TelnetLine& line)
{
    QByteArray out;
    const char baud[4] = {char(line.baud >> 24), char(line.baud >> 16), char(line.baud >> 8),
                          char(line.baud)};
    appendSubnegotiation(out, kSetBaudRate, QByteArrayView(baud, 4));
    for (auto [command, value] :
         {std::pair{kSetDataSize, line.dataSize}, std::pair{kSetParity, line.parity},
          std::pair{kSetStopSize, line.stopSize}, std::pair{kSetControl, kControlNoFlow}}) {
        const char byte = char(value);
        appendSubnegotiation(out, command, QByteArrayView(&byte, 1));
    }
    asked_ = {0, line.baud, line.dataSize, line.parity, line.stopSize};
    for (uint8_t code = kSetBaudRate; code <= kSetStopSize; ++code)
        awaited_[code] = true;
    mismatch_.reset();
    return out;
}

int TelnetCodec::acksAwaited() const
{
    int n = 0;
    for (bool a : awaited_)
        n += a ? 1 : 0;
    return n;
}
