// A line that floods: random bytes at the full rate of 115200 baud (11520 bytes/s), written to a
// pty in 5 ms pieces, into the panel in its full view with nothing sent. A 10 ms timer measures
// how late the event loop serves it; resident memory is read before and after.
// With --history, the History window is open and following, over a history already full.
//   zeva-bench-flood [SECONDS] [--history]
#include "bench_panel.h"
#include "bench_util.h"
#include "window/form1.h"
#include "window/layout_builder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>

namespace
{

constexpr double kBytesPerMs = 11.52;
constexpr auto kPiecePeriod = std::chrono::milliseconds(5);
constexpr int kProbeMs = 10;
constexpr double kMaxDelayMs = 50;
constexpr double kMaxGrowthMiB = 5;

// Writes what the line rate has made due since the start, every 5 ms; bytes the pty cannot take
// yet stay due, so a slow reader shows as backlog rather than as a lower rate.
class LineFlood
{
  public:
    explicit LineFlood(int fd) : fd_(fd), thread_([this] { run(); }) {}
    ~LineFlood()
    {
        stop_ = true;
        thread_.join();
    }
    qint64 written() const { return written_; }
    qint64 worstBacklog() const { return worstBacklog_; }

  private:
    void run()
    {
        std::mt19937 random(20240601);
        const auto start = std::chrono::steady_clock::now();
        auto next = start;
        char buf[4096];
        while (!stop_) {
            next += kPiecePeriod;
            std::this_thread::sleep_until(next);
            const double ms = std::chrono::duration<double, std::milli>(next - start).count();
            const qint64 due = qint64(ms * kBytesPerMs) - written_;
            const size_t size = size_t(std::min<qint64>(due, sizeof buf));
            for (size_t i = 0; i < size; ++i)
                buf[i] = char(random());
            const ssize_t n = ::write(fd_, buf, size);
            if (n > 0) written_ += n;
            worstBacklog_ = std::max<qint64>(worstBacklog_, due - std::max<ssize_t>(n, 0));
        }
    }
    int fd_;
    std::atomic<bool> stop_{false};
    std::atomic<qint64> written_{0};
    std::atomic<qint64> worstBacklog_{0};
    std::thread thread_;
};

// A repeating 10 ms timer that records how much later than due each tick came.
class LatenessProbe : public QObject
{
  public:
    LatenessProbe()
    {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(kProbeMs);
        connect(&timer_, &QTimer::timeout, this, [this] {
            const double now = double(clock_.nsecsElapsed()) / 1e6;
            worst_ = std::max(worst_, now - last_ - kProbeMs);
            last_ = now;
        });
        clock_.start();
        timer_.start();
    }
    double worstMs() const { return worst_; }

  private:
    QTimer timer_;
    QElapsedTimer clock_;
    double last_ = 0;
    double worst_ = 0;
};

struct FloodCount {
    qint64 written = 0;
    qint64 worstBacklog = 0;
    double rssPeak = 0;
};

void report(int seconds, const FloodCount& flood, const LatenessProbe& probe, qint64 events,
            double rssBefore, qsizetype rxChars, bool history)
{
    const double rssAfter = bench::rssMiB();
    const double growth = rssAfter - rssBefore;
    std::printf("%d s: %lld bytes written (%.0f bytes/s), %lld receive events, worst backlog %lld "
                "bytes, RxBuffer %lld chars\nworst event-loop delay %.2f ms; RSS %.1f → %.1f MiB "
                "(peak %.1f)\n",
                seconds, (long long)flood.written, double(flood.written) / seconds,
                (long long)events, (long long)flood.worstBacklog, (long long)rxChars,
                probe.worstMs(), rssBefore, rssAfter, flood.rssPeak);
    const std::string name = "flood at 115200 baud for " + std::to_string(seconds) + " s" +
                             (history ? ", History window open on a full history" : "");
    bench::summaryRow(name + ": worst event-loop delay", bench::format("%.1f ms", probe.worstMs()),
                      "< 50 ms", probe.worstMs() < kMaxDelayMs);
    bench::summaryRow(name + ": RSS growth",
                      bench::format("%+.2f MiB (%.1f → %.1f)", growth, rssBefore, rssAfter),
                      "< 5 MiB", growth < kMaxGrowthMiB);
}

} // namespace

int main(int argc, char** argv)
{
    preferOffscreen();
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 60;
    BenchPanel panel(BenchPanel::View::Full);
    Form1& form = panel.form;
    PtyPeer& peer = panel.peer;
    if (!panel.ready) return 1;
    const bool history = argc > 2 && std::string(argv[2]) == "--history";
    if (history) {
        for (int i = 0; i < ExchangeHistory::kCapacity; ++i)
            form.history.addRx(QStringLiteral("earlier"), false);
        form.toggleHistoryWindow();
    }
    qint64 events = 0;
    QObject::connect(&form.MSComm1, &SerialComm::OnComm, [&events] { ++events; });
    bench::runFor(500);

    const double rssBefore = bench::rssMiB();
    double rssPeak = rssBefore;
    LatenessProbe probe;
    FloodCount flood;
    {
        LineFlood line(peer.masterFd());
        for (int s = 0; s < seconds; ++s) {
            bench::runFor(1000);
            const double rss = bench::rssMiB();
            rssPeak = std::max(rssPeak, rss);
            if ((s + 1) % 5 == 0 || s < 3)
                std::printf("%3d s: RSS %.2f MiB, worst delay so far %.2f ms\n", s + 1, rss,
                            probe.worstMs());
        }
        flood = {line.written(), line.worstBacklog(), rssPeak};
    }
    report(seconds, flood, probe, events, rssBefore, form.RxBuffer.size(), history);
    return 0;
}
