#pragma once
// The Telnet side of RFC 2217 ("Telnet COM Port Control"), as a pure byte machine with no
// socket: bytes from the server go in through feed(), which returns the line's data and leaves
// the answers to option requests in takeReplies(); data for the line goes out through escape().
// The line settings go out as COM-PORT-OPTION sub-negotiations whose acknowledgements (the
// command's code + 100) are counted and compared with what was asked here; NOTIFY messages are
// read and ignored.
#include <QByteArray>
#include <QByteArrayView>
#include <array>
#include <cstdint>
#include <optional>
#include <utility>

namespace telnet
{
inline constexpr uint8_t IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250,
                         SE = 240;
inline constexpr uint8_t kBinary = 0, kSuppressGoAhead = 3, kComPortOption = 44;
// COM-PORT-OPTION commands, client to server; the server answers with code + kServerOffset.
inline constexpr uint8_t kSetBaudRate = 1, kSetDataSize = 2, kSetParity = 3, kSetStopSize = 4,
                         kSetControl = 5;
inline constexpr uint8_t kServerOffset = 100;
// Values of SET-PARITY and SET-STOPSIZE.
inline constexpr uint8_t kParityNone = 1, kParityOdd = 2, kParityEven = 3, kParityMark = 4,
                         kParitySpace = 5;
inline constexpr uint8_t kStopOne = 1, kStopTwo = 2, kStopOneAndHalf = 3;
inline constexpr uint8_t kControlNoFlow = 1;
} // namespace telnet

// What a COM-PORT-OPTION client asks the server's line to be.
struct TelnetLine {
    uint32_t baud = 19200;
    uint8_t dataSize = 8;
    uint8_t parity = telnet::kParityNone;
    uint8_t stopSize = telnet::kStopOne;
};

// A setting the server acknowledged with another value than the one asked for.
struct TelnetMismatch {
    uint8_t command; // kSetBaudRate .. kSetStopSize
    uint32_t asked;
    uint32_t got;
};

class TelnetCodec
{
  public:
    // A sub-negotiation longer than this is cut; the parser still finds its end.
    static constexpr int kMaxSubnegotiation = 64;
    // Past this length a sub-negotiation is no COM-PORT-OPTION message but a peer that never
    // ends it, swallowing every later byte: see overlong().
    static constexpr int kMaxSubnegotiationLength = 4096;

    // Our requests right after connecting: binary both ways, no go-aheads, and COM-PORT-OPTION.
    QByteArray greeting();
    // Takes bytes as received, in pieces split anywhere; returns the data bytes among them.
    QByteArray feed(QByteArrayView bytes);
    // Answers to the server's option requests gathered by feed(), to be sent as they are.
    QByteArray takeReplies() { return std::exchange(replies_, {}); }
    // Data for the line, with 0xFF doubled.
    static QByteArray escape(QByteArrayView data);

    // True once the server has agreed that we do COM-PORT-OPTION.
    bool comPortActive() const { return us_[telnet::kComPortOption] == State::Yes; }
    // The sub-negotiations that set the line; each of the four settings then awaits its ack.
    // SET-CONTROL (no flow control) goes too but is never awaited: servers backed by a pty
    // do not answer it.
    QByteArray lineCommands(const TelnetLine& line);
    // How many of the settings last sent have not been acknowledged yet.
    int acksAwaited() const;
    // The first acknowledgement with another value than asked, since the settings last sent.
    std::optional<TelnetMismatch> mismatch() const { return mismatch_; }
    // True once a sub-negotiation has run past kMaxSubnegotiationLength bytes.
    bool overlong() const { return overlong_; }

    // For tests and the fuzzer: which refusals went out for one option (bit 1: DONT, bit 2:
    // WONT), and the bytes held for the sub-negotiation in progress.
    int refusals(uint8_t option) const { return refusals_[option]; }
    qsizetype pendingSubnegotiation() const { return sb_.size(); }

  private:
    enum class Parse : uint8_t { Data, Iac, Verb, Sb, SbIac };
    enum class State : uint8_t { No, WantYes, Yes };

    void step(uint8_t b, QByteArray& data);
    void stepSubnegotiation(uint8_t b, QByteArray& data);
    void onVerb(uint8_t verb, uint8_t option);
    void onHisOffer(bool will, uint8_t option);
    void onOurRequest(bool doIt, uint8_t option);
    void onSubnegotiation();
    void refuse(uint8_t verb, uint8_t option);
    void reply(uint8_t verb, uint8_t option);
    static bool acceptable(uint8_t option);

    Parse parse_ = Parse::Data;
    uint8_t verb_ = 0;
    QByteArray sb_;
    QByteArray replies_;
    std::array<State, 256> us_{};  // options we do
    std::array<State, 256> him_{}; // options the server does
    std::array<uint8_t, 256> refusals_{};
    std::array<bool, 5> awaited_{};   // by command code 1..4
    std::array<uint32_t, 5> asked_{}; // by command code 1..4
    std::optional<TelnetMismatch> mismatch_;
    qsizetype sbLength_ = 0;
    bool overlong_ = false;
};
