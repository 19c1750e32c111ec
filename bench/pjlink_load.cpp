// The window's press to first byte with and without 16 PJLink clients polling POWR ? once a
// second (see pjlink.cpp), in alternating blocks. Presses of AUDIO MUTE ON (a 500 ms reply window)
// come at random times, so that the clients' requests get their turns between them and some are out
// when a press comes.
#include "bench_panel.h"
#include "bench_util.h"
#include "panel/command_table.h"
#include "pjlink/pjlink_server.h"
#include "window/window_exchange_line.h"

#include <QTest>
#include <arpa/inet.h>
#include <atomic>
#include <netinet/in.h>
#include <poll.h>
#include <random>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace
{

constexpr int kClients = 16;
constexpr int kPollMs = 1000;
constexpr double kMaxP99GrowthMs = 0.5; // "unchanged": within half a millisecond
constexpr int kBlockSeconds = 10;

// 16 clients on one thread, each asking POWR ? once a second, staggered; counts answers.
void clients(quint16 port, const std::atomic<bool>& stop, std::atomic<int>& answers)
{
    std::vector<int> fds;
    for (int i = 0; i < kClients; ++i)
        fds.push_back(bench::connectLoopback(port));
    const double start = bench::monotonicMs();
    std::vector<double> due(kClients);
    for (int i = 0; i < kClients; ++i)
        due[size_t(i)] = start + double(i * kPollMs / kClients);
    char buf[256];
    while (!stop) {
        for (int i = 0; i < kClients; ++i) {
            if (bench::monotonicMs() < due[size_t(i)]) continue;
            (void)::write(fds[size_t(i)], "%1POWR ?\r", 9);
            due[size_t(i)] += kPollMs;
        }
        std::vector<pollfd> p;
        for (int fd : fds)
            p.push_back({fd, POLLIN, 0});
        if (::poll(p.data(), p.size(), 5) <= 0) continue;
        for (const pollfd& q : p) {
            if (!(q.revents & POLLIN)) continue;
            const ssize_t n = ::read(q.fd, buf, sizeof buf);
            for (ssize_t k = 0; k < n; ++k)
                answers += buf[k] == '=' ? 1 : 0;
        }
    }
    for (int fd : fds)
        ::close(fd);
}

// Answers what the pty got: ACK for a setting, stand-by for a status query.
void answer(PtyPeer& peer)
{
    const QByteArray got = peer.read();
    for (qsizetype i = got.indexOf('\r'); i >= 0; i = got.indexOf('\r', i + 1))
        peer.write(got.mid(qMax(0, i - 3), 3) == "CR0" ? QByteArray("80\r") : "\x06\r");
}

std::vector<double> presses(BenchPanel& panel, int seconds)
{
    QWidget* button = panel.form.control(QStringLiteral("Command19"));
    std::mt19937 random(7);
    std::uniform_int_distribution<int> gapMs(300, 900);
    std::vector<double> times;
    const double end = bench::monotonicMs() + seconds * 1000.0;
    while (bench::monotonicMs() < end) {
        const double until = bench::monotonicMs() + gapMs(random);
        while (bench::monotonicMs() < until) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
            answer(panel.peer);
        }
        answer(panel.peer);
        const double before = bench::monotonicMs();
        QTest::mouseClick(button, Qt::LeftButton);
        pollfd p{panel.peer.masterFd(), POLLIN, 0};
        if (::poll(&p, 1, 1000) > 0) times.push_back(bench::monotonicMs() - before);
    }
    return times;
}

} // namespace

void pollingLoad(int seconds)
{
    BenchPanel panel(BenchPanel::View::Full);
    PjlinkServer server(*windowQueue(panel.form, {}, &panel.form), {"bench", "bench"}, {});
    (void)server.listen({QHostAddress::LocalHost, 0});
    // Short blocks, alone and polled in turn, so that whatever else loads the machine weighs
    // on both alike.
    std::vector<double> alone, loaded;
    std::atomic<int> answers = 0;
    for (int left = seconds; left > 0; left -= kBlockSeconds) {
        const int block = std::min(left, kBlockSeconds);
        const std::vector<double> a = presses(panel, block);
        alone.insert(alone.end(), a.begin(), a.end());
        std::atomic<bool> stop = false;
        std::thread load(clients, server.port(), std::cref(stop), std::ref(answers));
        const std::vector<double> l = presses(panel, block);
        loaded.insert(loaded.end(), l.begin(), l.end());
        stop = true;
        load.join();
    }
    const double before = bench::percentile(alone, 0.99), after = bench::percentile(loaded, 0.99);
    std::printf("presses alone: p50 %.3f ms, p99 %.3f ms (%zu); with %d clients: p50 %.3f ms, "
                "p99 %.3f ms (%zu); %d PJLink answers\n",
                bench::percentile(alone, 0.5), before, alone.size(), kClients,
                bench::percentile(loaded, 0.5), after, loaded.size(), answers.load());
    bench::summaryRow("press to first byte with 16 PJLink clients polling POWR ? each second (" +
                          std::to_string(seconds) + " s of each)",
                      bench::format("p99 %.3f ms alone, %.3f ms polled (%.0f answers)", before,
                                    after, answers.load()),
                      "p99 unchanged (+0.5 ms at most)", after <= before + kMaxP99GrowthMs);
}
