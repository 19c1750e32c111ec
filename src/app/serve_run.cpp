#include "app/serve_run.h"

#include "app/quit_signals.h"

#include "exchange/exchange_queue.h"
#include "exchange/headless_exchange.h"
#include "handover/handover_server.h"
#include "history/history.h"
#include "history/history_log.h"
#include "pjlink/pjlink_server.h"
#include "script/script_exchange.h"
#include "status/display_form.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <cstdio>
#include <utility>

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
    bool openLine();
    void listenForScripts();
    void endAtFirstOpening(const QString& message);
    bool servePjlink();
    void reopenLog();

    const ServeJob& job_;
    ExchangeHistory history_;
    HistoryLog log_;
    HeadlessExchange headless_;
    RecordedLine line_{headless_, history_};
    ExchangeQueue queue_{line_};
    HandoverServer handover_{[this](const QString&, QObject*) { return &queue_; }};
    bool opened_ = false; // the line has been open once
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
        if (std::exchange(opened_, true)) return tell(portText() + QStringLiteral(": open again"));
        tell(portText() + QStringLiteral(": open"));
        listenForScripts();
    });
    // As in the window, the failed attempts of an outage go to the history only.
    QObject::connect(&headless_, &HeadlessExchange::retryFailed,
                     [this](int attempt, const QString& message) {
                         history_.addRetry(attempt, message);
                         if (!opened_) endAtFirstOpening(message);
                     });
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

// Open, or waiting for a device that is not there yet: the server goes on, said once.
bool Server::openLine()
{
    // A server is there to wait for the line, as the window is.
    headless_.setServing(true);
    if (CommError failure = headless_.open(job_.com1, job_.com2, job_.port, job_.settings)) {
        history_.addPortFailed(*failure);
        tell(*failure);
        return headless_.awaitingLine();
    }
    history_.addPortOpened(portText());
    opened_ = true;
    return true;
}

// The device waited for at the start is there and still cannot be opened: that ends the
// server as it would have at the start, and a service manager starts it afresh (a unit's
// device rules, for one, are made for the devices there at its start).
void Server::endAtFirstOpening(const QString& message)
{
    tell(message);
    QCoreApplication::exit(kExitCannotOpen);
}

// Scripts find the socket by the device a link leads to: known once the device is there.
void Server::listenForScripts()
{
    if (!handover_.listen(job_.device()))
        tell(handover_.error() +
             QStringLiteral(": scripts cannot hand their commands to this server"));
}

bool Server::servePjlink()
{
    const PjlinkSetup setup{job_.pjlinkAddress, job_.pjlinkPassword,
                            pjlinkName(job_.name, job_.device())};
    const PjlinkStart pjlink = startPjlink(queue_, setup, &queue_);
    if (!pjlink.server) {
        tell(pjlink.error);
        return false;
    }
    watchClients(*pjlink.server);
    // The address was checked with the command line.
    const PjlinkAddress where = parsePjlinkAddress(job_.pjlinkAddress).value_or(PjlinkAddress{});
    tell(QStringLiteral("serving PJLink on port %1 of %2; it asks for %3")
             .arg(pjlink.server->port())
             .arg(where.address == QHostAddress::Any ? QStringLiteral("every address")
                                                     : where.address.toString(),
                  job_.pjlinkPassword.isEmpty() ? QStringLiteral("no password")
                                                : QStringLiteral("a password")));
    return true;
}

// SIGHUP: the log was rotated away; the server goes on with a new one under the same name.
void Server::reopenLog()
{
    if (job_.logPath.isEmpty()) return;
    if (const auto failure = log_.reopen())
        tell(QStringLiteral("cannot reopen the history log %1: %2").arg(job_.logPath, *failure));
    else
        tell(QStringLiteral("the history log %1 reopened").arg(job_.logPath));
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
    onHangUpSignal(&queue_, [this] { reopenLog(); });
    watchLine();
    watchHandover();
    if (!openLine()) return kExitCannotOpen;
    if (opened_) listenForScripts();
    if (!job_.pjlinkAddress.isEmpty() && !servePjlink()) return 1;
    tell(portText() + QStringLiteral(": serving"));
    return QCoreApplication::exec();
}

} // namespace

int runServe(const ServeJob& job)
{
    Server server(job);
    return server.run();
}
