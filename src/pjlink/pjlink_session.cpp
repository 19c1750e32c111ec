#include "pjlink/pjlink_session.h"

#include <QCryptographicHash>
#include <QRandomGenerator>

namespace
{

constexpr char kCR = '\r';
constexpr char kLF = '\n';
constexpr qsizetype kBodyAt = 2;
constexpr qsizetype kBodyLength = 4;
constexpr qsizetype kSeparatorAt = kBodyAt + kBodyLength;
constexpr qsizetype kSaltDigits = 8;
const QByteArray kUndefined = "ERR1";
const QByteArray kOutOfParameter = "ERR2";
const QByteArray kAuthFailed = "PJLINK ERRA\r";

bool printable(char c)
{
    return c >= 0x20 && c <= 0x7E;
}

// A to Z as a to z, without a branch on the character.
quint8 folded(quint8 c)
{
    return quint8(c | (quint8(quint8(c - 'A') < 26) << 5));
}

} // namespace

PjlinkRequest parsePjlinkRequest(QByteArrayView line)
{
    PjlinkRequest r;
    // The header echoes the class only of a line that has one: anything else answers as class 1.
    if (line.size() > 1 && line[0] == '%' && line[1] >= '0' && line[1] <= '9')
        r.classDigit = line[1];
    const qsizetype bodyAt = qMin(kBodyAt, line.size());
    r.body = line.sliced(bodyAt, qMin(kBodyLength, line.size() - bodyAt)).toByteArray();
    r.error = kUndefined;
    if (line.size() < kSeparatorAt || line[0] != '%' || line[1] != '1' || !isPjlinkBody(r.body))
        return r;
    r.error = kOutOfParameter;
    if (line.size() <= kSeparatorAt + 1 || line[kSeparatorAt] != ' ') return r;
    r.param = line.sliced(kSeparatorAt + 1).toByteArray();
    r.row = findPjlinkRow(r.body, r.param);
    if (r.row) r.error.clear();
    return r;
}

QByteArray pjlinkAnswerLine(const PjlinkRequest& request, QByteArrayView answer)
{
    return '%' + QByteArray(1, request.classDigit) + request.body + '=' + answer.toByteArray() +
           kCR;
}

QByteArray pjlinkSalt()
{
    const quint32 n = QRandomGenerator::system()->generate();
    return QByteArray::number(n, 16).rightJustified(kSaltDigits, '0');
}

QByteArray pjlinkDigest(QByteArrayView salt, QByteArrayView password)
{
    QCryptographicHash md5(QCryptographicHash::Md5);
    md5.addData(salt);
    md5.addData(password);
    return md5.result().toHex();
}

bool sameDigest(QByteArrayView received, QByteArrayView expected)
{
    if (received.size() != expected.size()) return false;
    quint8 differ = 0;
    for (qsizetype i = 0; i < expected.size(); ++i)
        differ |= folded(quint8(received[i])) ^ quint8(expected[i]);
    return differ == 0;
}

PjlinkSession::PjlinkSession(QByteArray password, QByteArray salt)
    : password_(std::move(password)), salt_(std::move(salt)), authenticated_(password_.isEmpty())
{
}

QByteArray PjlinkSession::greeting() const
{
    return password_.isEmpty() ? QByteArray("PJLINK 0\r") : "PJLINK 1 " + salt_ + kCR;
}

PjlinkSession::Step PjlinkSession::next(QByteArray& input)
{
    // The digest comes before a request, so that line may be longer by its length.
    const qsizetype limit = kMaxLine + (password_.isEmpty() ? 0 : kDigestLength);
    for (qsizetype i = 0; i < input.size(); ++i) {
        const char c = input[i];
        if (c == kLF) continue;
        if (c == kCR) {
            input.remove(0, i + 1);
            return finishLine();
        }
        if (!printable(c) || line_.size() == limit) return {Kind::Close, {}, {}};
        line_.append(c);
    }
    input.clear();
    return {};
}

PjlinkSession::Step PjlinkSession::finishLine()
{
    QByteArray line = std::exchange(line_, {});
    const bool digestFirst = !password_.isEmpty() && !line.startsWith('%');
    if (!authenticated_ || digestFirst) {
        // Some clients repeat the digest on every line: the right one is taken again.
        const bool right = sameDigest(line.left(kDigestLength), pjlinkDigest(salt_, password_));
        if (!authenticated_ && !right) return {Kind::Refused, {}, kAuthFailed};
        if (right) line.remove(0, kDigestLength);
        authenticated_ = true;
    }
    if (line.isEmpty()) return {Kind::Nothing, {}, {}};
    return {Kind::Request, parsePjlinkRequest(line), {}};
}
