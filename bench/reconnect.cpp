// Reopening a lost local line: the device goes (its pty hangs up and its link is removed), comes
// back under the same link at a random moment, and the time until the port is open again is
// measured.
//   zeva-bench-reconnect [ROUNDS]
#include "bench_util.h"
#include "link/serial_comm.h"
#include "pty_peer.h"

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <memory>

namespace
{

constexpr double kMedianMs = 1500;

bool runUntil(const std::function<bool()>& cond, int timeoutMs)
{
    const double end = bench::monotonicMs() + timeoutMs;
    while (!cond()) {
        if (bench::monotonicMs() > end) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        bench::runFor(1);
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("projector"));
    auto device = std::make_unique<PtyPeer>();
    QFile::link(device->slavePath(), link);
    SerialComm comm;
    comm.setReopensLostLine(true);
    comm.setDevices(link, QStringLiteral("/dev/null-zeva"));
    if (comm.setPortOpen(true)) return 1;
    QSignalSpy lost(&comm, &SerialComm::lineLost);

    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        const qsizetype before = lost.count();
        device->hangUp();
        QFile::remove(link);
        if (!runUntil([&] { return lost.count() > before; }, 3000)) break;
        bench::runFor(int(QRandomGenerator::global()->bounded(1000)));
        device = std::make_unique<PtyPeer>();
        QFile::link(device->slavePath(), link);
        const double back = bench::monotonicMs();
        if (!runUntil([&] { return comm.PortOpen(); }, 5000)) break;
        times.push_back(bench::monotonicMs() - back);
        // A line lost sooner would count as a failed attempt of the same outage.
        bench::runFor(SerialComm::kStableMs + 100);
    }
    const double median = bench::percentile(times, 0.5);
    std::printf("reopened %zu of %d times: median %.0f ms, max %.0f ms\n", times.size(), rounds,
                median, bench::percentile(times, 1.0));
    bench::summaryRow(
        "reopen after the device returns (" + std::to_string(rounds) + " rounds)",
        bench::format("median %.0f ms, max %.0f ms", median, bench::percentile(times, 1.0)),
        "median ≤ 1.5 s", int(times.size()) == rounds && median <= kMedianMs);
    return 0;
}
