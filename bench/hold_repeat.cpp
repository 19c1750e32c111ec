// Holds each adjuster against a pty and measures the gaps between the commands that reach the
// line: designed period, median and p95 of the gaps, and the count.
//   zeva-bench-hold [SECONDS_PER_HOLD]
#include "bench_panel.h"
#include "panel/adjuster_table.h"
#include "panel/command_table.h"
#include "window/form1.h"
#include "window/layout_builder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{

// Timestamps every CR that reaches the far end of the line, on its own thread so that the
// panel's event loop is not disturbed by the measuring.
class LineClock
{
  public:
    explicit LineClock(int fd) : fd_(fd), thread_([this] { run(); }) {}
    ~LineClock()
    {
        stop_ = true;
        thread_.join();
    }
    std::vector<double> take()
    {
        std::lock_guard lock(mutex_);
        return std::exchange(stamps_, {});
    }

  private:
    void run()
    {
        QElapsedTimer clock;
        clock.start();
        char buf[4096];
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            const double now = double(clock.nsecsElapsed()) / 1e6;
            const ssize_t n = ::read(fd_, buf, sizeof buf);
            std::lock_guard lock(mutex_);
            for (ssize_t i = 0; i < n; ++i)
                if (buf[i] == '\r') stamps_.push_back(now);
        }
    }
    int fd_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<double> stamps_;
    std::thread thread_;
};

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

void report(const char* name, int designed, const std::vector<double>& stamps)
{
    std::vector<double> gaps;
    for (size_t i = 1; i < stamps.size(); ++i)
        gaps.push_back(stamps[i] - stamps[i - 1]);
    const double median = percentile(gaps, 0.5);
    std::printf("| %-26s | %4d | %7.2f | %7.2f | %5zu | %s |\n", name, designed, median,
                percentile(gaps, 0.95), stamps.size(),
                std::abs(median - designed) <= 1.0 ? "ok" : "MISSED");
}

void hold(Form1& form, const AdjusterRow& row, int ms)
{
    form.Adjuster_MouseDown(row);
    runFor(ms);
    form.Adjuster_MouseUp(row);
    runFor(50);
}

} // namespace

int main(int argc, char** argv)
{
    preferOffscreen();
    QApplication app(argc, argv);
    const int holdMs = argc > 1 ? std::max(1, atoi(argv[1])) * 1000 : 3000;
    BenchPanel panel(BenchPanel::View::Hidden);
    Form1& form = panel.form;
    PtyPeer& peer = panel.peer;
    LineClock clock(peer.masterFd());

    std::printf(
        "| adjuster | design ms | median ms | p95 ms | count | |\n|---|---|---|---|---|---|\n");
    for (const AdjusterRow& row : adjusterTable()) {
        // Arrows repeat at the interval left by the last press: measure them in the menu
        // context, 200 ms.
        if (row.kind == AdjusterKind::Arrow) form.Command_Click(*findCommandRow(u"Command23"));
        runFor(100);
        clock.take();
        hold(form, row, holdMs);
        const int designed =
            row.kind == AdjusterKind::Arrow ? form.Timer1.interval() : row.repeatMs;
        const QByteArray name = QByteArray(row.group) + ' ' + row.control;
        report(name.constData(), designed, clock.take());
    }
    // The fastest repeat of the panel: arrows after a D.Zoom release.
    const AdjusterRow& dZoom = *findAdjusterByControl(u"Command48");
    form.Adjuster_MouseDown(dZoom);
    form.Adjuster_MouseUp(dZoom);
    runFor(50);
    clock.take();
    hold(form, *findAdjusterByControl(u"Command5"), holdMs);
    report("arrow pad after D.Zoom", 5, clock.take());
    return 0;
}
