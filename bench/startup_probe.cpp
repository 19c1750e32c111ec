// Preloaded into the real zeva-control by the start-up benchmark (LD_PRELOAD), so that the
// program is timed as a user starts it: option parsing, the window module's load, the hand-over
// sockets and all. When the program makes its application object, the probe watches for the
// first expose; after ZEVA_BENCH_SETTLE_MS it prints the line the benchmark reads and quits.
#include "expose_probe.h"

#include <cstdio>
#include <cstdlib>

namespace
{

const double loadedAtMs = bench::monotonicMs(); // before main()

void reportAndQuit(const ExposeProbe* probe)
{
    std::printf("SHOWN %.3f %.3f %.2f\n", loadedAtMs, probe->exposedAtMs(), bench::rssMiB());
    std::fflush(stdout);
    QCoreApplication::quit();
}

void watchStartUp()
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return;
    const char* settle = std::getenv("ZEVA_BENCH_SETTLE_MS");
    auto* probe = new ExposeProbe;
    probe->setParent(qApp);
    QTimer::singleShot(settle ? std::atoi(settle) : 1500, Qt::PreciseTimer, probe,
                       [probe] { reportAndQuit(probe); });
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(watchStartUp)
