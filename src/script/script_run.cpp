#include "script/script_run.h"

#include "script/exchange_queue.h"
#include "script/handover_client.h"
#include "script/headless_exchange.h"
#include "script/script_exchange.h"

#include <QEventLoop>
#include <cstdio>
#include <memory>

namespace
{

void tell(const QString& description)
{
    std::fprintf(stderr, "%s\n", qPrintable(description));
}

// The port opened by the script itself, for the commands no panel takes.
class DirectRoad
{
  public:
    DirectRoad() : queue_(line_)
    {
        QObject::connect(&line_, &HeadlessExchange::lineLost, &tell);
        QObject::connect(&line_, &HeadlessExchange::writeFailed, &tell);
    }
    CommError open(const ScriptJob& job)
    {
        return line_.open(job.com1, job.com2, job.port, job.settings);
    }
    ExchangeResult exchange(const QString& command, int timeoutMs);

  private:
    HeadlessExchange line_;
    ExchangeQueue queue_;
};

ExchangeResult DirectRoad::exchange(const QString& command, int timeoutMs)
{
    ExchangeResult r{command, {}, true, 0};
    QEventLoop loop;
    queue_.submit(command, timeoutMs, QStringLiteral("script"), [&](const ExchangeAnswer& a) {
        r.reply = a.reply;
        r.timedOut = a.outcome != ExchangeOutcome::Replied;
        r.ms = a.ms;
        loop.quit();
    });
    loop.exec(); // the answer never comes inside submit(), so it cannot be missed
    return r;
}

void print(const ExchangeResult& r, bool json)
{
    const QByteArray line = (json ? formatJson(r) : formatLine(r).toLocal8Bit()) + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
}

} // namespace

int runScript(const ScriptJob& job)
{
    HandoverClient panel;
    bool viaPanel = panel.connectTo(job.port == 1 ? job.com1 : job.com2);
    std::unique_ptr<DirectRoad> direct;
    int status = kExitReplied;
    for (const QString& command : job.sends) {
        std::optional<ExchangeResult> r;
        if (viaPanel) {
            r = panel.exchange(command, job.timeoutMs);
            viaPanel = r.has_value() && panel.connected(); // else on our own from here
        }
        if (!r) {
            if (!direct) {
                direct = std::make_unique<DirectRoad>();
                if (CommError e = direct->open(job)) {
                    // The same sentence the window shows in its message box.
                    tell(*e);
                    return kExitCannotOpen;
                }
            }
            r = direct->exchange(command, job.timeoutMs);
        }
        print(*r, job.json);
        status = std::max(status, int(exitStatusOf(*r)));
        if (panel.gaveUp()) break; // nothing more is sent for a script that stopped waiting
    }
    return status;
}
