#include "script/script_run.h"

#include "exchange/exchange_queue.h"
#include "exchange/headless_exchange.h"
#include "handover/handover_client.h"
#include "script/script_exchange.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <cstdio>
#include <memory>

namespace
{

void tell(const QString& description)
{
    std::fprintf(stderr, "%s\n", qPrintable(description));
}

// The port opened by the script itself, for the commands no panel takes. A line lost is told
// once on stderr and ends the run: a script has nobody to wait for the line to come back.
class DirectRoad
{
  public:
    DirectRoad() : queue_(line_)
    {
        QObject::connect(&line_, &HeadlessExchange::lineLost,
                         [this](const QString& d) { lose(d); });
        QObject::connect(&line_, &HeadlessExchange::writeFailed,
                         [this](const QString& d) { lose(d); });
    }
    CommError open(const ScriptJob& job)
    {
        const DeviceAddressResult a = parseDeviceAddress(job.device());
        network_ = a.address && a.address->isNetwork();
        return line_.open(job.com1, job.com2, job.port, job.settings);
    }
    bool lost() const { return lost_; }
    ExchangeResult exchange(const QString& command, int timeoutMs);
    // A device server that sends a text and hangs up (ser2net with its device missing) has
    // closed the line: its text was no reply of the projector. The hang-up follows the text
    // within moments, so a network line is watched that long after the last reply.
    void settle()
    {
        constexpr int kSettleMs = 20;
        QDeadlineTimer end(kSettleMs);
        while (network_ && !lost_ && !end.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents,
                                            int(end.remainingTime()));
    }

  private:
    void lose(const QString& description)
    {
        if (lost_) return;
        lost_ = true;
        tell(description);
    }

    HeadlessExchange line_;
    ExchangeQueue queue_;
    bool network_ = false;
    bool lost_ = false;
};

ExchangeResult DirectRoad::exchange(const QString& command, int timeoutMs)
{
    ExchangeResult r{command, {ExchangeOutcome::NotOpen, {}, 0}};
    if (lost_) return r;
    QEventLoop loop;
    queue_.submit(command, timeoutMs, QStringLiteral("script"), [&](const ExchangeAnswer& a) {
        r.answer = a;
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
    bool viaPanel = panel.connectTo(job.device());
    std::unique_ptr<DirectRoad> direct;
    int status = kExitReplied;
    for (const QString& command : job.sends) {
        std::optional<ExchangeResult> r;
        if (viaPanel) {
            if (const std::optional<ExchangeAnswer> a = panel.exchange(command, job.timeoutMs))
                r = ExchangeResult{command, *a};
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
        if (direct && direct->lost()) return kExitCannotOpen;
        status = std::max(status, int(exitStatusOf(*r)));
        if (panel.gaveUp()) break; // nothing more is sent for a script that stopped waiting
    }
    if (direct) direct->settle();
    return direct && direct->lost() ? kExitCannotOpen : status;
}
