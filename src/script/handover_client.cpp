#include "script/handover_client.h"

#include "script/handover_socket.h"

#include <QDeadlineTimer>

namespace
{

// An answer "REPLY <timed out> <ms> <hex>"; nullopt when the line is anything else.
std::optional<ExchangeResult> parseReply(const QString& command, const QByteArray& line)
{
    const QList<QByteArray> words = line.trimmed().split(' ');
    if (words.size() < 3 || words.at(0) != kReplyWord) return std::nullopt;
    ExchangeResult r{command, {}, words.at(1) == "1", words.at(2).toLongLong()};
    if (words.size() > 3) r.reply = QString::fromLatin1(QByteArray::fromHex(words.at(3)));
    return r;
}

} // namespace

bool HandoverClient::connectTo(const QString& device)
{
    if (!prepareHandoverDirectory()) return false;
    socket_.connectToServer(handoverSocketPath(device));
    return socket_.waitForConnected(1000);
}

std::optional<ExchangeResult> HandoverClient::exchange(const QString& command, int timeoutMs)
{
    if (socket_.state() != QLocalSocket::ConnectedState) return std::nullopt;
    socket_.write(kSendWord.toByteArray() + ' ' + QByteArray::number(timeoutMs) + ' ' +
                  command.toLatin1().toHex() + '\n');
    socket_.flush();
    const QDeadlineTimer deadline(timeoutMs + kHandoverQueueAllowanceMs, Qt::PreciseTimer);
    while (!socket_.canReadLine()) {
        if (socket_.state() != QLocalSocket::ConnectedState) return std::nullopt;
        if (deadline.hasExpired()) return ExchangeResult{command, {}, true, timeoutMs};
        socket_.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
    return parseReply(command, socket_.readLine());
}
