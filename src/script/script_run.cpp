#include "script/script_run.h"

#include "link/serial_comm.h"
#include "script/handover_client.h"
#include "script/script_exchange.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>

namespace
{

// The same serial layer as the window's MSComm1, without the window.
class DirectLine
{
  public:
    CommError open(const ScriptJob& o)
    {
        comm_.setDevices(o.com1, o.com2);
        if (CommError e = comm_.setCommPort(o.port)) return e;
        if (CommError e = comm_.setSettings(o.settings)) return e;
        return comm_.setPortOpen(true);
    }
    ExchangeResult exchange(const QString& command, int timeoutMs);

  private:
    SerialComm comm_;
};

ExchangeResult DirectLine::exchange(const QString& command, int timeoutMs)
{
    ExchangeResult r;
    r.command = command;
    (void)comm_.Input(); // what is left of an earlier reply belongs to nobody
    QEventLoop loop;
    QTimer deadline;
    deadline.setTimerType(Qt::PreciseTimer);
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&comm_, &SerialComm::OnComm, &loop, [&] {
        r.reply += comm_.Input();
        if (r.reply.contains(QLatin1Char('\r'))) loop.quit();
    });
    QObject::connect(&comm_, &SerialComm::lineLost, &loop, [&](const QString& description) {
        std::fprintf(stderr, "%s\n", qPrintable(description));
        loop.quit();
    });
    if (CommError e = comm_.Output(command + QLatin1Char('\r'))) {
        std::fprintf(stderr, "%s\n", qPrintable(*e));
        r.timedOut = true;
        return r;
    }
    QElapsedTimer clock;
    clock.start();
    deadline.start(timeoutMs);
    loop.exec();
    r.ms = clock.elapsed();
    const qsizetype cr = r.reply.indexOf(QLatin1Char('\r'));
    r.timedOut = cr < 0;
    if (cr >= 0) r.reply.truncate(cr + 1);
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
    std::optional<DirectLine> direct;
    int status = kExitReplied;
    for (const QString& command : job.sends) {
        std::optional<ExchangeResult> r;
        if (viaPanel) {
            r = panel.exchange(command, job.timeoutMs);
            viaPanel = r.has_value(); // a panel gone or not holding the port: on our own
        }
        if (!r) {
            if (!direct) {
                direct.emplace();
                if (CommError e = direct->open(job)) {
                    // The same sentence the window shows in its message box.
                    std::fprintf(stderr, "%s\n", qPrintable(*e));
                    return kExitCannotOpen;
                }
            }
            r = direct->exchange(command, job.timeoutMs);
        }
        print(*r, job.json);
        status = std::max(status, int(exitStatusOf(*r)));
    }
    return status;
}
