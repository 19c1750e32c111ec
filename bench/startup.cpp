// Start-up of the panel against a plain Qt window: time from process start (fork) to the
// window's first expose, and resident memory after 1.5 s of running, median of several runs.
// Every run is a fresh process, so libraries are loaded and fonts resolved anew each time. The
// panel is the real zeva-control, as a user starts it (options, the window module, the hand-over
// sockets); a preloaded probe (startup_probe.cpp) reports its first expose.
//   zeva-bench-startup [RUNS]
#include "bench_util.h"

#include <QFileInfo>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <pty.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{

constexpr int kSettleMs = 1500;
constexpr double kMaxRatio = 2.0;
constexpr double kMaxRssMiB = 40.0;

struct Shown {
    double toExposeMs = -1;  // fork to first expose
    double inProcessMs = -1; // main() entered to first expose
    double rssMiB = -1;
};

// env: "NAME=value" settings for the child alone.
Shown runChild(const std::vector<std::string>& args, const std::vector<std::string>& env = {})
{
    int out[2];
    if (::pipe(out) != 0) return {};
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const double forkedAtMs = bench::monotonicMs();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        for (const std::string& setting : env)
            ::putenv(const_cast<char*>(setting.c_str()));
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    std::string text;
    char buf[512];
    for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) > 0;)
        text.append(buf, size_t(n));
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    double mainAt = 0, exposedAt = 0, rss = 0;
    const size_t at = text.find("SHOWN ");
    if (pid < 0 || at == std::string::npos ||
        std::sscanf(text.c_str() + at, "SHOWN %lf %lf %lf", &mainAt, &exposedAt, &rss) != 3 ||
        exposedAt < 0)
        return {};
    return {exposedAt - forkedAtMs, exposedAt - mainAt, rss};
}

// The far end of the line the panel opens, kept open across the runs.
struct Pty {
    int master = -1, slave = -1;
    std::string slavePath;
    Pty()
    {
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) == 0) slavePath = name;
    }
    ~Pty()
    {
        ::close(slave);
        ::close(master);
    }
};

std::string besideSelf(const char* name)
{
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath().toStdString() + '/' + name;
}

struct Series {
    std::vector<double> toExpose, inProcess, rss;
    void add(const Shown& s)
    {
        toExpose.push_back(s.toExposeMs);
        inProcess.push_back(s.inProcessMs);
        rss.push_back(s.rssMiB);
    }
    double median(const std::vector<double>& v) const { return bench::percentile(v, 0.5); }
};

void printRun(int run, const Shown& plain, const Shown& panel)
{
    std::printf("| %3d | %8.1f | %8.1f | %6.1f | %8.1f | %8.1f | %6.1f |\n", run, plain.toExposeMs,
                plain.inProcessMs, plain.rssMiB, panel.toExposeMs, panel.inProcessMs, panel.rssMiB);
}

// Prints the medians and the two summary rows; false when a run gave no figures.
bool report(int runs, const Series& plain, const Series& panel)
{
    const double plainMs = plain.median(plain.toExpose), panelMs = panel.median(panel.toExpose);
    const double ratio = plainMs > 0 ? panelMs / plainMs : 0;
    const double rss = panel.median(panel.rss);
    std::printf("\nmedian of %d: plain %.1f ms (in process %.1f), panel %.1f ms (in process %.1f), "
                "ratio %.2f; RSS plain %.1f MiB, panel %.1f MiB\n",
                runs, plainMs, plain.median(plain.inProcess), panelMs,
                panel.median(panel.inProcess), ratio, plain.median(plain.rss), rss);
    const bool valid = plainMs > 0 && panelMs > 0 && rss > 0;
    bench::summaryRow(
        "start-up: process start to window shown (median of " + std::to_string(runs) + ")",
        bench::format("%.1f ms vs plain window %.1f ms = %.2f×", panelMs, plainMs, ratio),
        "≤ 2× plain window", valid && ratio <= kMaxRatio);
    bench::summaryRow(
        "start-up: RSS after 1.5 s",
        bench::format("%.1f MiB (plain window %.1f MiB)", rss, plain.median(plain.rss)), "≤ 40 MiB",
        valid && rss <= kMaxRssMiB);
    return valid;
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const Pty pty;
    const std::string settle = std::to_string(kSettleMs);
    const std::vector<std::string> plainArgs{besideSelf("zeva-bench-trivial-window"), settle};
    const std::vector<std::string> panelArgs{ZEVA_CONTROL_PATH, "--com1", pty.slavePath};
    const std::vector<std::string> panelEnv{std::string("LD_PRELOAD=") + ZEVA_STARTUP_PROBE,
                                            "ZEVA_BENCH_SETTLE_MS=" + settle};
    // One run of each first, not counted: both start from a warm page cache.
    runChild(plainArgs);
    runChild(panelArgs, panelEnv);
    std::printf("| run | plain fork→expose ms | plain main→expose ms | plain RSS MiB | panel "
                "fork→expose ms | panel main→expose ms | panel RSS MiB |\n"
                "|---|---|---|---|---|---|---|\n");
    Series plain, panel;
    for (int run = 1; run <= runs; ++run) {
        // Alternating, so that a disturbance from other work on the machine hits both alike.
        const Shown p = runChild(plainArgs);
        const Shown z = runChild(panelArgs, panelEnv);
        printRun(run, p, z);
        plain.add(p);
        panel.add(z);
    }
    return report(runs, plain, panel) ? 0 : 1;
}
