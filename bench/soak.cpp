// A long hold: Zoom "+" held through its mouse-down handler for the whole run against a pty
// whose far end a thread drains. Resident memory at the start and the end of the hold, and
// whether the repeat kept its rate.
//   zeva-bench-soak [SECONDS]
#include "bench_panel.h"
#include "bench_util.h"
#include "history/history.h"
#include "panel/adjuster_table.h"
#include "window/form1.h"
#include "window/layout_builder.h"

#include <QApplication>
#include <atomic>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace
{

constexpr double kMaxGrowthMiB = 1.0;
constexpr int kWarmUpMs = 2000;
constexpr int kSampleMs = 10000;
// Characters per entry that take the history's text ring past its bound with its entry ring.
constexpr qsizetype kFillChars = ExchangeHistory::kTextBytes / ExchangeHistory::kCapacity + 8;

// Reads everything the panel sends and counts the commands (one CR each).
class Drain
{
  public:
    explicit Drain(int fd) : fd_(fd), thread_([this] { run(); }) {}
    ~Drain()
    {
        stop_ = true;
        thread_.join();
    }
    qint64 commands() const { return commands_; }

  private:
    void run()
    {
        char buf[4096];
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            const ssize_t n = ::read(fd_, buf, sizeof buf);
            for (ssize_t i = 0; i < n; ++i)
                if (buf[i] == '\r') ++commands_;
        }
    }
    int fd_;
    std::atomic<bool> stop_{false};
    std::atomic<qint64> commands_{0};
    std::thread thread_;
};

} // namespace

int main(int argc, char** argv)
{
    preferOffscreen();
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(3, atoi(argv[1])) : 600;
    BenchPanel panel(BenchPanel::View::Compact);
    Form1& form = panel.form;
    PtyPeer& peer = panel.peer;
    bench::runFor(500);
    Drain drain(peer.masterFd());
    const AdjusterRow& zoomIn = *findAdjusterByControl(u"Command15");

    // The history keeps every command in rings reserved at start and touched as they fill: filled
    // past both bounds first, so that what grows during the hold is not the history filling.
    const QString longCommand(kFillChars, QLatin1Char('C'));
    for (qsizetype i = 0; i < ExchangeHistory::kCapacity; ++i)
        form.history.addTx(longCommand, false);
    const double rssIdle = bench::rssMiB();
    form.Adjuster_MouseDown(zoomIn);
    bench::runFor(kWarmUpMs);
    const double rssStart = bench::rssMiB();
    const qint64 commandsAtStart = drain.commands();
    double rssPeak = rssStart;
    for (int left = seconds * 1000 - kWarmUpMs; left > 0; left -= kSampleMs) {
        bench::runFor(std::min(left, kSampleMs));
        rssPeak = std::max(rssPeak, bench::rssMiB());
    }
    const double rssEnd = bench::rssMiB();
    const qint64 commands = drain.commands() - commandsAtStart;
    form.Adjuster_MouseUp(zoomIn);
    const double expected = double(seconds * 1000 - kWarmUpMs) / zoomIn.repeatMs;
    const double growth = rssEnd - rssStart;
    std::printf(
        "%d s hold of Zoom +: RSS idle %.2f MiB, start of hold %.2f, end %.2f (peak %.2f); "
        "%lld commands after the warm-up, %.0f expected at %d ms; the history was filled first\n",
        seconds, rssIdle, rssStart, rssEnd, rssPeak, (long long)commands, expected,
        zoomIn.repeatMs);
    const std::string name = "soak: Zoom + held " + std::to_string(seconds) + " s";
    bench::summaryRow(name + ", RSS start → end",
                      bench::format("%.2f → %.2f MiB (%+.2f)", rssStart, rssEnd, growth),
                      "growth < 1 MiB (none given)", growth < kMaxGrowthMiB);
    bench::figureRow(name + ", commands sent",
                     bench::format("%.0f of %.0f expected (%.1f%%)", double(commands), expected,
                                   100.0 * double(commands) / expected));
    return 0;
}
