#include "handover/handover_client.h"

#include "handover/handover_socket.h"
#include "handover/handover_trust.h"

#include <cstdio>

namespace
{

constexpr int kConnectMs = 1000;
// Beyond the reply window the panel answers by itself; this covers a panel that stopped
// answering altogether.
constexpr int kPanelMarginMs = 2000;

int queueAllowanceMs()
{
    // Tests shorten the wait so that a full queue costs them seconds, not a quarter minute.
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("ZEVA_HANDOVER_QUEUE_MS", &ok);
    return ok && ms > 0 ? ms : kHandoverQueueAllowanceMs;
}

void say(const QString& command, const QString& what)
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(command), qPrintable(what));
}

void warn(const QString& what)
{
    std::fprintf(stderr, "zeva-control: %s\n", qPrintable(what));
}

} // namespace

bool HandoverClient::connectTo(const QString& device)
{
    if (!prepareHandoverDirectory()) {
        if (const auto problem = handoverFolderProblem(handoverDirectory())) warn(*problem);
        return false;
    }
    const QString path = handoverSocketPath(device);
    socket_.connectToServer(path);
    if (!socket_.waitForConnected(kConnectMs)) return false;
    // A socket another user planted would answer for the projector.
    if (const auto problem = handoverPeerProblem(socket_.socketDescriptor(), path)) {
        warn(*problem);
        socket_.abort();
        return false;
    }
    const QDeadlineTimer deadline(kConnectMs);
    while (!socket_.canReadLine() && connected() && !deadline.hasExpired())
        socket_.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    if (parseVersionLine(socket_.readLine()) == kHandoverVersion) return true;
    socket_.abort();
    return false;
}

std::optional<WireMessage> HandoverClient::next(quint64 id, const QDeadlineTimer& deadline)
{
    for (;;) {
        while (socket_.canReadLine()) {
            const std::optional<WireMessage> m = parseWire(socket_.readLine());
            if (m && m->id == id) return m;
        }
        if (!connected() || deadline.hasExpired()) return std::nullopt;
        socket_.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
}

ExchangeAnswer HandoverClient::giveUp(quint64 id, const QString& command, const QString& why)
{
    gaveUp_ = true;
    socket_.write(encodeWire(wireMessage(WireKind::Cancel, id)));
    socket_.flush();
    say(command, why);
    return ExchangeAnswer();
}

std::optional<ExchangeAnswer> HandoverClient::exchange(const QString& command, int timeoutMs)
{
    if (!connected()) return std::nullopt;
    const quint64 id = ++lastId_;
    socket_.write(encodeWire({WireKind::Send, id, timeoutMs, command, ExchangeAnswer()}));
    socket_.flush();
    const int queueMs = queueAllowanceMs();
    std::optional<WireMessage> m = next(id, QDeadlineTimer(queueMs, Qt::PreciseTimer));
    if (!m && !connected()) return std::nullopt; // it never went out: ours to send
    if (!m)
        return giveUp(id, command,
                      QStringLiteral("not sent: waited %1 ms in the panel's queue").arg(queueMs));
    if (m->kind == WireKind::NotHeld) return std::nullopt;
    if (m->kind == WireKind::Started)
        m = next(id, QDeadlineTimer(timeoutMs + kPanelMarginMs, Qt::PreciseTimer));
    if (!m && !connected()) {
        say(command, QStringLiteral("unanswered: the panel ended after sending it"));
        return ExchangeAnswer();
    }
    if (!m || m->kind != WireKind::Reply)
        return giveUp(id, command, QStringLiteral("no answer from the panel"));
    const ExchangeAnswer& a = m->answer;
    if (a.outcome == ExchangeOutcome::Interrupted)
        say(command, QStringLiteral("interrupted by the operator's command"));
    else if (a.outcome != ExchangeOutcome::Replied)
        say(command, QStringLiteral("no reply within its reply window of %1 ms").arg(timeoutMs));
    return a;
}
