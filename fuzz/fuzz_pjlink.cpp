// The PJLink bridge's request side under any bytes a client could send, with any replies from
// the projector. Byte 0: bit 0 a password is set, bits 1-4 the size of the pieces the client's
// bytes come in. Then the client's bytes, a NUL, and the projector's replies, one per CR; the
// replies run out as "no reply in time".
#include "fuzz_entries.h"

#include "pjlink/pjlink_session.h"

#include <QRegularExpression>
#include <QSet>

namespace
{

// The PJLink example: with this salt and password the digest is this.
const QByteArray kSalt = "498e4a67";
const QByteArray kPassword = "JBMIAProjectorLink";
const QByteArray kDigest = "5d8409bc1c3fa39749434aa3a5c38682";

// Every command the bridge may ever send, written out apart from the table.
const QSet<QString> kAllowed = {"C00", "C02", "CR0", "C05", "C06", "C07",
                                "CR1", "C0D", "C0E", "C0B", "C0C", "CR3"};

// What each answer may be, by request; every set answers OK or an error.
const QRegularExpression& answerShape(const PjlinkRow& row)
{
    static const QRegularExpression set("^(OK|ERR[234])$");
    static const QRegularExpression power("^([0-3]|ERR[34])$");
    static const QRegularExpression input("^(11|12|21|ERR[34])$");
    static const QRegularExpression errors("^([0-2]{6}|ERR[34])$");
    static const QRegularExpression lamp("^([1-9][0-9]{0,4}|0) [01]$|^ERR[34]$");
    static const QRegularExpression mute("^(11|21|31|30)$");
    static const QRegularExpression fixed(".*");
    const QByteArray request = QByteArray(row.body) + ' ' + row.param;
    if (!row.isQuery()) return set;
    if (request == "POWR ?") return power;
    if (request == "INPT ?") return input;
    if (request == "ERST ?") return errors;
    if (request == "LAMP ?") return lamp;
    if (request == "AVMT ?") return mute;
    return fixed;
}

bool nonPrintable(char c)
{
    return c < 0x20 || c > 0x7E;
}

struct Projector {
    QList<QByteArray> replies;
    qsizetype next = 0;
    std::optional<QString> reply()
    {
        if (next >= replies.size()) return std::nullopt;
        return QString::fromLatin1(replies[next++]);
    }
};

// A set is OK exactly when every reply was ACK; the first that was not says which error.
void checkSet(const QList<std::optional<QString>>& got, const QByteArray& answer)
{
    for (const std::optional<QString>& r : got) {
        if (!r || !r->endsWith(u'\r')) return FUZZ_CHECK(answer == "ERR3", answer);
        if (*r == u"?\r") return FUZZ_CHECK(answer == "ERR2", answer);
        if (*r != u"\x06\r") return FUZZ_CHECK(answer == "ERR4", answer);
    }
    FUZZ_CHECK(answer == "OK", answer);
}

// The request's commands go out in the table's order, each allowed; the answer has its shape.
void checkRun(const PjlinkRow& row, Projector& projector, PjlinkDevice& device)
{
    PjlinkRun run(row, device);
    QList<std::optional<QString>> got;
    int sent = 0;
    while (std::optional<QString> command = run.nextCommand()) {
        FUZZ_CHECK(kAllowed.contains(*command), *command);
        FUZZ_CHECK(sent < row.commandCount() && *command == row.commands[size_t(sent)], *command);
        ++sent;
        got << projector.reply();
        run.take(got.last());
    }
    const QString answer = QString::fromLatin1(run.answer());
    FUZZ_CHECK(answerShape(row).match(answer).hasMatch(), row.body + (u' ' + answer));
    if (!row.isQuery()) checkSet(got, run.answer());
}

// A request of the table is exactly "%1", a body, a blank and its parameter; anything else is
// ERR1 unless it starts with "%1" and a known body, then ERR2.
void checkRequest(const QByteArray& line, const PjlinkRequest& r)
{
    const QString detail = QString::fromLatin1(line);
    for (const PjlinkRow& row : pjlinkTable()) {
        if (line == "%1" + QByteArray(row.body) + ' ' + row.param)
            return FUZZ_CHECK(r.row == &row && r.error.isEmpty(), detail);
    }
    FUZZ_CHECK(!r.row, detail);
    const bool knownBody = line.startsWith("%1") && isPjlinkBody(line.mid(2, 4));
    FUZZ_CHECK(r.error == (knownBody ? "ERR2" : "ERR1"), detail);
    const QByteArray answer = pjlinkAnswerLine(r, r.error);
    FUZZ_CHECK(answer.startsWith('%') && answer.endsWith("=" + r.error + '\r'), detail);
}

// The conversation beside the session: its own framing of the client's bytes, the digest, the
// requests and their runs.
struct Model {
    explicit Model(const QByteArray& password)
        : session(password, kSalt), authenticated(password.isEmpty())
    {
    }
    // False once the connection ends; `before` is what next() was given, `input` what it left.
    bool check(const PjlinkSession::Step& s, const QByteArray& before, const QByteArray& input);
    bool closed(const QByteArray& before) const;
    bool lineEnded(const PjlinkSession::Step& s);

    PjlinkSession session;
    bool authenticated;
    QByteArray line;
    Projector projector;
    PjlinkDevice device{"name", "info"};
};

qsizetype limitFor(bool authenticated)
{
    return PjlinkSession::kMaxLine + (authenticated ? 0 : 32);
}

// Nothing of the closing piece is taken: the model reads up to its first CR.
bool Model::closed(const QByteArray& before) const
{
    const qsizetype cr = before.indexOf('\r');
    QByteArray seen = line + (cr < 0 ? before : before.left(cr));
    seen.replace("\n", "");
    const bool bad = std::any_of(seen.cbegin(), seen.cend(), nonPrintable);
    FUZZ_CHECK(bad || seen.size() > limitFor(authenticated), QString::fromLatin1(seen.toHex()));
    return false;
}

bool Model::check(const PjlinkSession::Step& s, const QByteArray& before, const QByteArray& input)
{
    if (s.kind == PjlinkSession::Kind::Close) return closed(before);
    line += before.left(before.size() - input.size());
    if (s.kind != PjlinkSession::Kind::NeedMore) return lineEnded(s);
    FUZZ_CHECK(input.isEmpty(), QString::fromLatin1(before.toHex()));
    return true;
}

bool Model::lineEnded(const PjlinkSession::Step& s)
{
    line.replace("\n", "");
    const bool ended = line.endsWith('\r');
    line.chop(ended ? 1 : 0);
    const bool bad = std::any_of(line.cbegin(), line.cend(), nonPrintable);
    FUZZ_CHECK(ended && !bad && line.size() <= limitFor(authenticated),
               QString::fromLatin1(line.toHex()));
    if (!authenticated) {
        const bool right = line.left(32).toLower() == kDigest;
        FUZZ_CHECK(right == (s.kind != PjlinkSession::Kind::Refused), line);
        if (!right) return false;
        authenticated = true;
        line.remove(0, 32);
    }
    FUZZ_CHECK((s.kind == PjlinkSession::Kind::Nothing) == line.isEmpty(), line);
    if (s.kind == PjlinkSession::Kind::Request) {
        checkRequest(line, s.request);
        if (s.request.row) checkRun(*s.request.row, projector, device);
    }
    line.clear();
    return true;
}

} // namespace

void fuzzPjlink(const uint8_t* data, size_t size)
{
    if (size == 0) return;
    const bool password = data[0] & 1;
    const qsizetype piece = (data[0] >> 1) % 16 + 1;
    const QByteArray all(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const qsizetype split = all.indexOf('\0');
    const QByteArray client = split < 0 ? all : all.left(split);
    Model model{password ? kPassword : QByteArray()};
    if (split >= 0) model.projector.replies = all.mid(split + 1).split('\r');
    for (QByteArray& r : model.projector.replies)
        r += '\r';
    if (!model.projector.replies.isEmpty()) model.projector.replies.last().chop(1); // no CR came
    for (qsizetype at = 0; at < client.size(); at += piece) {
        QByteArray input = client.mid(at, piece);
        while (!input.isEmpty()) {
            const QByteArray before = input;
            const PjlinkSession::Step s = model.session.next(input);
            if (!model.check(s, before, input)) return;
        }
    }
}
