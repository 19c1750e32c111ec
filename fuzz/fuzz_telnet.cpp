// The RFC 2217 client's Telnet parser under any bytes a server could send.
#include "fuzz_entries.h"

#include "link/telnet_codec.h"

#include <QString>
#include <array>
#include <initializer_list>

namespace
{

using namespace telnet;

QString hex(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex(' '));
}

bool acceptable(uint8_t option)
{
    return option == kBinary || option == kSuppressGoAhead || option == kComPortOption;
}

// Answers are whole IAC-verb-option triples; a refused option is refused at most once each way;
// an accepted option is never refused.
void checkReplies(const QByteArray& replies, const QByteArray& input)
{
    FUZZ_CHECK(replies.size() % 3 == 0, hex(replies));
    FUZZ_CHECK(replies.size() <= input.size(), hex(input)); // each answer costs the server 3 bytes
    std::array<int, 256> dont{}, wont{};
    for (qsizetype i = 0; i < replies.size(); i += 3) {
        const auto verb = uint8_t(replies[i + 1]), option = uint8_t(replies[i + 2]);
        FUZZ_CHECK(uint8_t(replies[i]) == IAC && verb >= WILL && verb <= DONT, hex(replies));
        if (acceptable(option)) continue;
        FUZZ_CHECK(verb == DONT || verb == WONT, hex(replies));
        FUZZ_CHECK(++(verb == DONT ? dont : wont)[option] == 1, hex(input));
    }
}

// The input in pieces of 1 to 8 bytes gives what the whole gives.
void checkPieces(const QByteArray& input, const QByteArray& data, const QByteArray& replies)
{
    TelnetCodec codec;
    QByteArray pieceData, pieceReplies;
    const qsizetype step = input.isEmpty() ? 1 : uint8_t(input[0]) % 8 + 1;
    for (qsizetype at = 0; at < input.size(); at += step) {
        pieceData += codec.feed(QByteArrayView(input).sliced(at, qMin(step, input.size() - at)));
        pieceReplies += codec.takeReplies();
        FUZZ_CHECK(codec.pendingSubnegotiation() <= TelnetCodec::kMaxSubnegotiation, hex(input));
    }
    FUZZ_CHECK(pieceData == data, hex(input));
    FUZZ_CHECK(pieceReplies == replies, hex(input));
}

// The input as data, escaped, with commands woven in after every byte that is a multiple of 11:
// the parser gives back exactly the data. Built in one buffer: allocations dominate this target.
QByteArray woven(const QByteArray& input)
{
    QByteArray out;
    out.reserve(input.size() * 6);
    const auto add = [&out](std::initializer_list<uint8_t> list) {
        for (uint8_t b : list)
            out.append(char(b));
    };
    for (qsizetype i = 0; i < input.size(); ++i) {
        const auto b = uint8_t(input[i]);
        out.append(char(b));
        if (b == IAC) out.append(char(IAC));
        if (b % 11 != 0) continue;
        const auto arg = uint8_t(i + 1 < input.size() ? input[i + 1] : 0);
        switch (arg % 4) {
        case 0:
            add({IAC, uint8_t(WILL + (arg >> 2) % 4), arg});
            break;
        case 1:
            add({IAC, DO, arg});
            break;
        case 2: // a sub-negotiation whose value has the byte, 0xFF doubled by the codec
            add({IAC, SB, kComPortOption, kServerOffset + 1});
            out += TelnetCodec::escape(QByteArrayView(input).sliced(i, qMin(4, input.size() - i)));
            add({IAC, SE});
            break;
        default:
            add({IAC, 241}); // NOP
            break;
        }
    }
    return out;
}

} // namespace

void fuzzTelnet(const uint8_t* bytes, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(bytes), qsizetype(size));
    TelnetCodec codec;
    const QByteArray data = codec.feed(input);
    const QByteArray replies = codec.takeReplies();
    FUZZ_CHECK(data.size() <= input.size(), hex(input));
    FUZZ_CHECK(codec.pendingSubnegotiation() <= TelnetCodec::kMaxSubnegotiation, hex(input));
    checkReplies(replies, input);
    checkPieces(input, data, replies);

    TelnetCodec clean;
    FUZZ_CHECK(clean.feed(woven(input)) == input, hex(input));
}
