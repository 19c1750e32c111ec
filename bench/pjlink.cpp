// PJLink on loopback: a request to the first byte on the pty; POWR ? through `zeva-control
// --serve` against the virtual projector's own answer time; and the window's press to first byte
// while 16 clients poll POWR ? once a second.
//   zeva-bench-pjlink [REQUESTS] [LOAD_SECONDS]
#include "bench_panel.h"
#include "bench_util.h"
#include "exchange/exchange_queue.h"
#include "exchange/headless_exchange.h"
#include "pjlink/pjlink_server.h"

#include <QApplication>
#include <QProcess>
#include <QRegularExpression>
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace
{

constexpr double kMaxFirstByteP99Ms = 1.0;
constexpr double kMaxExtraMs = 2.0;

bool readable(int fd, int timeoutMs)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) > 0;
}

// Reads up to and including a CR; the event loop runs meanwhile when `events` is set.
QByteArray readToCR(int fd, bool events, int timeoutMs = 5000)
{
    QByteArray got;
    const double until = bench::monotonicMs() + timeoutMs;
    char c = 0;
    while (!got.endsWith('\r') && bench::monotonicMs() < until) {
        if (events) QCoreApplication::processEvents();
        if (readable(fd, events ? 0 : 50) && ::read(fd, &c, 1) == 1) got += c;
    }
    return got;
}

std::string p5099(const std::vector<double>& v)
{
    return bench::format("p50 %.3f ms, p99 %.3f ms", bench::percentile(v, 0.5),
                         bench::percentile(v, 0.99));
}

// A request through the server to the first byte at the far end of the pty.
void firstByte(int requests)
{
    PtyPeer peer;
    HeadlessExchange line;
    if (line.open(peer.slavePath(), QStringLiteral("/dev/null-zeva"), 1, "19200,N,8,1")) return;
    ExchangeQueue queue(line);
    PjlinkServer server(queue, {"bench", "bench"}, {});
    (void)server.listen({QHostAddress::LocalHost, 0});
    const int client = bench::connectLoopback(server.port());
    readToCR(client, true); // the greeting
    std::vector<double> times;
    for (int i = 0; i < requests; ++i) {
        const double before = bench::monotonicMs();
        (void)::write(client, "%1POWR ?\r", 9);
        while (!readable(peer.masterFd(), 0))
            QCoreApplication::processEvents();
        times.push_back(bench::monotonicMs() - before);
        peer.drain();
        peer.write("80\r");
        readToCR(client, true);
    }
    ::close(client);
    bench::summaryRow("PJLink request to first byte on the pty, loopback (" +
                          std::to_string(requests) + " requests)",
                      p5099(times), "p99 ≤ 1 ms",
                      bench::percentile(times, 0.99) <= kMaxFirstByteP99Ms);
}

// The virtual projector's own answer to CR0, on its device opened raw.
std::vector<double> ownAnswers(const QString& device, int requests)
{
    std::vector<double> times;
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY);
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd, TCSANOW, &t);
    for (int i = 0; i < requests; ++i) {
        const double before = bench::monotonicMs();
        (void)::write(fd, "CR0\r", 4);
        if (readToCR(fd, false).endsWith('\r')) times.push_back(bench::monotonicMs() - before);
    }
    ::close(fd);
    return times;
}

void roundTrip(int requests)
{
    QProcess sim, serve;
    sim.start(QStringLiteral(ZEVA_SIM_BINARY), {});
    sim.waitForReadyRead(3000);
    const QString device = QString::fromLocal8Bit(sim.readLine()).trimmed();
    const std::vector<double> own = ownAnswers(device, requests);
    serve.setReadChannel(QProcess::StandardError);
    serve.start(QStringLiteral(ZEVA_CONTROL_BINARY),
                {"--serve", "--com1", device, "--pjlink", "127.0.0.1:0"});
    static const QRegularExpression serving(QStringLiteral("PJLink on port (\\d+)"));
    quint16 port = 0;
    for (QByteArray err; port == 0 && serve.waitForReadyRead(5000);) {
        err += serve.readAllStandardError();
        port = serving.match(QString::fromLocal8Bit(err)).captured(1).toUShort();
    }
    const int client = bench::connectLoopback(port);
    readToCR(client, false);
    std::vector<double> bridged;
    for (int i = 0; i < requests; ++i) {
        const double before = bench::monotonicMs();
        (void)::write(client, "%1POWR ?\r", 9);
        if (readToCR(client, false).startsWith("%1POWR=0"))
            bridged.push_back(bench::monotonicMs() - before);
    }
    ::close(client);
    for (QProcess* p : {&serve, &sim}) {
        p->terminate();
        p->waitForFinished(3000);
    }
    const double extra50 = bench::percentile(bridged, 0.5) - bench::percentile(own, 0.5);
    const double extra99 = bench::percentile(bridged, 0.99) - bench::percentile(own, 0.99);
    std::printf("projector's own CR0: %s; POWR ? through --serve: %s\n", p5099(own).c_str(),
                p5099(bridged).c_str());
    bench::summaryRow("POWR ? round trip through --serve vs the virtual projector's own (" +
                          std::to_string(requests) + " requests)",
                      bench::format("+%.3f ms at p50, +%.3f ms at p99", extra50, extra99),
                      "≤ 2 ms above", int(bridged.size()) == requests && extra99 <= kMaxExtraMs);
}

} // namespace

void pollingLoad(int seconds);

int main(int argc, char** argv)
{
    preferOffscreen();
    QApplication app(argc, argv);
    const int requests = argc > 1 ? std::max(1, atoi(argv[1])) : 1000;
    const int seconds = argc > 2 ? std::max(1, atoi(argv[2])) : 60;
    firstByte(requests);
    roundTrip(std::min(requests, 200));
    pollingLoad(seconds);
    return 0;
}
