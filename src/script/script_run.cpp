#include "script/script_run.h"

#include "link/device_address.h"
#include "link/display_form.h"
#include "link/serial_comm.h"
#include "script/handover_client.h"
#include "script/script_exchange.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>

namespace
{

// The same serial layer as the window's MSComm1, without the window. A line lost is told once
// on stderr and ends the run: a script has nobody to wait for the line to come back.
class DirectLine
{
  public:
    DirectLine()
    {
        QObject::connect(&comm_, &SerialComm::lineLost, [this](const QString& description) {
            if (lost_) return;
            lost_ = description;
            std::fprintf(stderr, "%s\n", qPrintable(description));
        });
    }
    bool lost() const { return lost_.has_value(); }
    CommError open(const ScriptJob& o)
    {
        comm_.setDevices(o.com1, o.com2);
        if (CommError e = comm_.setCommPort(o.port)) return e;
        if (CommError e = comm_.setSettings(o.settings)) return e;
        const DeviceAddressResult a = parseDeviceAddress(o.port == 1 ? o.com1 : o.com2);
        network_ = a.address && a.address->isNetwork();
        return comm_.setPortOpen(true);
    }
    ExchangeResult exchange(const QString& command, int timeoutMs);
    // A device server that sends a text and hangs up (ser2net with its device missing) has
    // closed the line: its text was no reply of the projector. The hang-up follows the text
    // within moments, so a network line is watched that long after the last reply.
    void settle()
    {
        constexpr int kSettleMs = 20;
        QDeadlineTimer end(kSettleMs);
        while (network_ && !lost() && !end.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents,
                                            int(end.remainingTime()));
    }

  private:
    SerialComm comm_;
    bool network_ = false;
    std::optional<QString> lost_;
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
        // The window's monitor holds no more than this either: a flood ends the reply.
        if (r.reply.contains(QLatin1Char('\r')) || r.reply.size() >= kMaxRenderedChars) loop.quit();
    });
    QObject::connect(&comm_, &SerialComm::lineLost, &loop, &QEventLoop::quit);
    r.timedOut = true;
    if (lost()) return r;
    if (CommError e = comm_.Output(command + QLatin1Char('\r'))) {
        lost_ = e;
        std::fprintf(stderr, "%s\n", qPrintable(*e));
        return r;
    }
    QElapsedTimer clock;
    clock.start();
    deadline.start(timeoutMs);
    loop.exec();
    r.ms = clock.elapsed();
    const qsizetype cr = r.reply.indexOf(QLatin1Char('\r'));
    r.timedOut = cr < 0;
    r.reply.truncate(cr >= 0 ? cr + 1 : kMaxRenderedChars);
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
        if (direct && direct->lost()) return kExitCannotOpen;
        status = std::max(status, int(exitStatusOf(*r)));
    }
    if (direct) direct->settle();
    return direct && direct->lost() ? kExitCannotOpen : status;
}
