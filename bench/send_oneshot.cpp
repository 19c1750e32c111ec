// A scripted command from process start to exit: zeva-control --send CR0 against the virtual
// projector beside a pyserial one-shot doing the same (runs interleaved, so both meet the same
// load), then the same command handed over to a running panel that holds the port.
//   zeva-bench-send [RUNS]
#include "bench_util.h"
#include "handover/handover_socket.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

namespace
{

constexpr double kMaxRatioToPyserial = 1.0;
constexpr double kMaxHandoverExtraMs = 10.0;

struct Timing {
    double wallMs = -1; // spawn to exit; -1: the run failed
    double cpuMs = 0;   // user and system time of the child: its own work, without waiting
};

Timing timeOnce(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const double start = bench::monotonicMs();
    pid_t pid = 0;
    const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed) return {};
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    const double wall = bench::monotonicMs() - start;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
    const auto ms = [](const timeval& t) { return double(t.tv_sec) * 1e3 + t.tv_usec / 1e3; };
    return {wall, ms(usage.ru_utime) + ms(usage.ru_stime)};
}

struct Series {
    std::vector<double> wall, cpu;
    int failures = 0;
    void add(const Timing& t)
    {
        if (t.wallMs < 0) {
            ++failures;
            return;
        }
        wall.push_back(t.wallMs);
        cpu.push_back(t.cpuMs);
    }
    double median() const { return bench::percentile(wall, 0.5); }
    void print(const char* name) const
    {
        std::printf("%-28s median %6.2f ms  p10 %6.2f  p90 %6.2f  cpu %5.2f ms  failed %d\n", name,
                    median(), bench::percentile(wall, 0.1), bench::percentile(wall, 0.9),
                    bench::percentile(cpu, 0.5), failures);
    }
};

QString firstLineOf(QProcess& p)
{
    while (!p.canReadLine() && p.waitForReadyRead(3000)) {
    }
    return QString::fromLocal8Bit(p.readLine()).trimmed();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    QProcess sim;
    sim.start(QStringLiteral(ZEVA_SIM_BINARY), {});
    const std::string device = firstLineOf(sim).toStdString();
    const std::string control = ZEVA_CONTROL_BINARY;
    const std::vector<std::string> send{control, "--send", "CR0", "--com1", device};
    const std::vector<std::string> pyserial{ZEVA_PYTHON, ZEVA_PYSERIAL_SCRIPT, device};

    Series direct, python, handover;
    for (int i = 0; i < runs; ++i) {
        python.add(timeOnce(pyserial));
        direct.add(timeOnce(send));
    }

    QProcess panel;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    panel.setProcessEnvironment(env);
    panel.start(QString::fromStdString(control),
                {QStringLiteral("--com1"), QString::fromStdString(device)});
    const QString socket = handoverSocketPath(QString::fromStdString(device));
    QDeadlineTimer ready(10000);
    while (!QFileInfo::exists(socket) && !ready.hasExpired())
        QThread::msleep(10);
    for (int i = 0; i < runs; ++i)
        handover.add(timeOnce(send));
    for (QProcess* p : {&panel, &sim}) {
        p->terminate();
        p->waitForFinished(3000);
    }

    python.print("pyserial one-shot");
    direct.print("zeva-control --send CR0");
    handover.print("--send CR0 through a panel");
    const double ratio = direct.median() / python.median();
    const double extra = handover.median() - direct.median();
    const bool complete = !direct.failures && !python.failures && !handover.failures;
    bench::summaryRow(
        "--send CR0, start to exit, vs a pyserial one-shot",
        bench::format("%.1f ms vs %.1f ms (%.2f×)", direct.median(), python.median(), ratio),
        "≤ 1.0×", complete && ratio <= kMaxRatioToPyserial);
    bench::summaryRow("--send CR0 handed over to a running panel",
                      bench::format("%.1f ms, %+.1f ms against direct", handover.median(), extra),
                      "≤ 10 ms more than direct", complete && extra <= kMaxHandoverExtraMs);
    return 0;
}
