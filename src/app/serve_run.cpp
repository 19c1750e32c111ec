#include "app/serve_run.h"

#include "exchange/exchange_queue.h"
#include "exchange/headless_exchange.h"
#include "handover/handover_server.h"
#include "history/history.h"
#include "history/history_log.h"
#include "pjlink/pjlink_server.h"
#include "script/script_exchange.h"
#include "status/display_form.h"

#include <QCoreApplication>
#include <cstdio>

namespace
{

void tell(const QString& message)
{
    std::fprintf(stderr, "zeva-control: %s\n", qPrintable(message));
}

// The headless line, with every exchange written to the history as the window writes its own:
// the command with its sender, the reply, the status decoded from it, or the time-out mark.
class RecordedLine : public ExchangeLine
{
  public:
    RecordedLine(HeadlessExchange& line, ExchangeHistory& history) : line_(line), history_(history)
    {
        connect(&line_, &ExchangeLine::finished, this,
                [this](ExchangeOutcome outcome, const QString& reply) {
                    record(outcome, reply);
                    Q_EMIT finished(outcome, reply);
                });
    }
    bool isOpen() const override { return line_.isOpen(); }
    bool busy() const override { return line_.busy(); }
    void start(const QString& command, int replyWindowMs) override
    {
        command_ = command + QLatin1Char('\r');
        history_.addTx(command_, false);
        line_.start(command, replyWindowMs);
    }

  private:
    void record(ExchangeOutcome outcome, const QString& reply)
    {
        if (!reply.isEmpty()) history_.addRx(reply, true);
        if (outcome == ExchangeOutcome::Replied) history_.addDecoded(command_, reply);
        if (outcome != ExchangeOutcome::Replied) history_.addTimeOut(kTimeOutMark);
    }

    HeadlessExchange& line_;
    ExchangeHistory& history_;
    QString command_;
};

class Server
{
  public:
    explicit Server(const ServeJob& job);
    int run();

  private:
    QString portText() const;
    void watchLine();
    void watchClients(PjlinkServer& server);
    void watchHandover();

    const ServeJob& job_;
    ExchangeHistory history_;
    HistoryLog log_;
    HeadlessExchange headless_;
    RecordedLine line_{headless_, history_};
    ExchangeQueue queue_{line_};
    HandoverServer handover_{[this](const QString&, QObject*) { return &queue_; }};
};

Server::Server(const ServeJob& job) : job_(job)
{
    // Started just before the line sends it: the history names its sender.
    QObject::connect(&queue_, &ExchangeQueue::started,
                     [this](quint64, const QString& source) { history_.setNextSource(source); });
}

QString Server::portText() const
{
    return QStringLiteral("COM%1 %2 %3").arg(job_.port).arg(job_.device(), job_.settings);
}

void Server::watchLine()
{
    QObject::connect(&headless_, &HeadlessExchange::lineLost, [this](const QString& message) {
        history_.addLineLost(message);
        tell(message);
    });
    QObject::connect(&headless_, &HeadlessExchange::reconnected, [this] {
        history_.addPortOpened(portText());
        tell(portText() + QStringLiteral(": open again"));
    });
    // As in the window, the failed attempts of an outage go to the history only.
    QObject::connect(
        &headless_, &HeadlessExchange::retryFailed,
        [this](int attempt, const QString& message) { history_.addRetry(attempt, message); });
    QObject::connect(&headless_, &HeadlessExchange::writeFailed, &tell);
    QObject::connect(&log_, &HistoryLog::failed, &tell);
}

// Each client's connection, login and refusal, and the listener's troubles: on stderr for the
// journal and in the log. A listener that cannot go on ends the server, for its supervisor to
// start it again.
void Server::watchClients(PjlinkServer& server)
{
    QObject::connect(&server, &PjlinkServer::noted,
                     [this](const QString& source, const QString& what) {
                         tell(source + QStringLiteral(": ") + what);
                         log_.writeEvent(what, source);
                     });
    QObject::connect(&server, &PjlinkServer::failed, [this](const QString& what) {
        tell(what);
        log_.writeEvent(what, QStringLiteral("pjlink"));
        QCoreApplication::exit(1);
    });
}

void Server::watchHandover()
{
    QObject::connect(&handover_, &HandoverServer::noted, [this](const QString& what) {
        tell(what);
        log_.writeEvent(what, QStringLiteral("script"));
    });
    QObject::connect(&handover_, &HandoverServer::failed, [this](const QString& what) {
        tell(what);
        log_.writeEvent(what, QStringLiteral("script"));
        QCoreApplication::exit(1);
    });
}

int Server::run()
{
    if (!job_.logPath.isEmpty()) {
        if (const auto failure = log_.open(job_.logPath)) {
            tell(QStringLiteral("cannot open the history log %1: %2").arg(job_.logPath, *failure));
            return 1;
        }
        log_.attach(history_);
    }
    watchLine();
    // A server is there to wait for the line to come back, as the window is.
    headless_.setReopensLostLine(true);
    if (CommError failure = headless_.open(job_.com1, job_.com2, job_.port, job_.settings)) {
        history_.addPortFailed(*failure);
        tell(*failure);
        return kExitCannotOpen;
    }
    history_.addPortOpened(portText());
    watchHandover();
    if (!handover_.listen(job_.device()))
        tell(handover_.error() +
             QStringLiteral(": scripts cannot hand their commands to this server"));
    if (!job_.pjlinkAddress.isEmpty()) {
        const PjlinkStart pjlink = startPjlink(
            queue_,
            {job_.pjlinkAddress, job_.pjlinkPasswordFile, pjlinkName(job_.name, job_.device())},
            &queue_);
        if (!pjlink.server) {
            tell(pjlink.error);
            return 1;
        }
        watchClients(*pjlink.server);
        tell(QStringLiteral("serving PJLink on port %1").arg(pjlink.server->port()));
    }
    tell(portText() + QStringLiteral(": serving"));
    return QCoreApplication::exec();
}

} // namespace

int runServe(const ServeJob& job)
{
    Server server(job);
    return server.run();
}
