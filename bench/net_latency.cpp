// Serial over the network: press to first byte over loopback (at the TCP server's socket, raw and
// RFC 2217), through ser2net to its pty, and the time an RFC 2217 open takes against ser2net.
// The local pty figure of the same kind comes from zeva-bench-press in the same run.
//   zeva-bench-net [PRESSES]
#include "bench_panel.h"
#include "bench_util.h"
#include "link/telnet_codec.h"
#include "scripted_peer.h"
#include "ser2net_process.h"
#include "window/form1.h"
#include "window/layout_builder.h"

#include <QApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <memory>
#include <poll.h>

namespace
{

constexpr double kLoopbackP99Ms = 1.0;
constexpr double kSer2netP99Ms = 5.0;
constexpr double kOpenMedianMs = 50.0;
constexpr int kOpens = 20;

// A loopback server; in RFC 2217 mode it agrees to COM-PORT-OPTION and acknowledges every
// setting, as a device server would, from its own thread: the panel's opening waits for that.
struct LoopbackServer {
    QTcpServer server;
    std::unique_ptr<QTcpSocket> peer;
    std::unique_ptr<ScriptedPeer> telnet;
    explicit LoopbackServer(bool rfc2217)
    {
        if (rfc2217) {
            telnet = std::make_unique<ScriptedPeer>(ScriptedPeer::Kind::Rfc2217);
            return;
        }
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection,
                         [this] { peer.reset(server.nextPendingConnection()); });
    }
    QString address() const
    {
        return telnet ? telnet->address()
                      : QStringLiteral("socket://127.0.0.1:%1").arg(server.serverPort());
    }
    int fd() const
    {
        if (telnet) return telnet->connection();
        return peer ? int(peer->socketDescriptor()) : -1;
    }
    void drain()
    {
        if (peer) peer->readAll();
        char buf[4096];
        if (telnet && fd() >= 0)
            while (::recv(fd(), buf, sizeof buf, MSG_DONTWAIT) > 0)
                ;
    }
};

bool waitReadable(const std::function<int()>& fd, int timeoutMs)
{
    const double end = bench::monotonicMs() + timeoutMs;
    while (bench::monotonicMs() < end) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        pollfd p{fd(), POLLIN, 0};
        if (p.fd >= 0 && ::poll(&p, 1, 1) > 0) return true;
    }
    return false;
}

// A shown panel whose COM1 is `address`, connected and ready.
struct NetPanel {
    bool fonts = (installFontSubstitutions(), true);
    Form1 form;
    bool exposed = false;
    explicit NetPanel(const QString& address)
    {
        form.MSComm1.setDevices(address, QStringLiteral("/dev/null-zeva"));
        form.Form_Load();
        form.show();
        form.Form_KeyDown(Qt::Key_J, 2);
        form.Image1_DblClick();
        exposed = QTest::qWaitForWindowExposed(&form);
    }
};

// Presses STATUS; the time until its first byte can be read on `fd`.
std::vector<double> presses(NetPanel& panel, const std::function<int()>& fd,
                            const std::function<void()>& drain, int count, int& lost)
{
    QWidget* status = panel.form.control(QStringLiteral("Command44"));
    // The first press waits for the connection; it is not counted.
    QTest::mouseClick(status, Qt::LeftButton);
    waitReadable(fd, 3000);
    std::vector<double> times;
    for (int i = 0; i < count; ++i) {
        bench::runFor(2);
        drain();
        const double before = bench::monotonicMs();
        QTest::mouseClick(status, Qt::LeftButton);
        pollfd p{fd(), POLLIN, 0};
        if (::poll(&p, 1, 1000) <= 0) {
            ++lost;
            continue;
        }
        times.push_back(bench::monotonicMs() - before);
    }
    return times;
}

void pressRow(const std::string& name, const std::vector<double>& t, int lost, double target)
{
    const double p50 = bench::percentile(t, 0.5), p99 = bench::percentile(t, 0.99);
    std::printf("%s: p50 %.3f ms, p99 %.3f ms, max %.3f ms, %d without a byte\n", name.c_str(), p50,
                p99, bench::percentile(t, 1.0), lost);
    bench::summaryRow(name + " (" + std::to_string(t.size()) + " presses)",
                      bench::format("p50 %.3f ms, p99 %.3f ms", p50, p99),
                      bench::format("p99 ≤ %.0f ms", target), lost == 0 && p99 <= target);
}

void loopback(bool rfc2217, int count)
{
    LoopbackServer server(rfc2217);
    NetPanel panel(server.address());
    int lost = 0;
    const auto t = presses(
        panel, [&] { return server.fd(); }, [&] { server.drain(); }, count, lost);
    pressRow(std::string("press to first byte, loopback ") + (rfc2217 ? "RFC 2217" : "raw TCP"), t,
             lost, kLoopbackP99Ms);
}

void throughSer2net(int count)
{
    PtyPeer device;
    Ser2netProcess server(device.slavePath());
    if (!server.start()) return bench::figureRow("through ser2net", "ser2net did not start");
    NetPanel panel(server.rfc2217Address());
    int lost = 0;
    const auto t = presses(
        panel, [&] { return device.masterFd(); }, [&] { device.drain(); }, count, lost);
    pressRow("press to first byte, RFC 2217 through ser2net to its pty", t, lost, kSer2netP99Ms);

    panel.form.MSComm1.setPortOpen(false);
    std::vector<double> opens;
    for (int i = 0; i < kOpens; ++i) {
        bench::runFor(200); // ser2net lets the device go after the client
        device.drain();
        const double before = bench::monotonicMs();
        panel.form.MSComm1.setPortOpen(true);
        panel.form.MSComm1.Output(QStringLiteral("C"));
        if (waitReadable([&] { return device.masterFd(); }, 3000))
            opens.push_back(bench::monotonicMs() - before);
        panel.form.MSComm1.setPortOpen(false);
    }
    const double median = bench::percentile(opens, 0.5);
    std::printf("RFC 2217 open to first byte at the pty: median %.1f ms, max %.1f ms, %zu of %d\n",
                median, bench::percentile(opens, 1.0), opens.size(), kOpens);
    bench::summaryRow(
        "RFC 2217 open against ser2net (connect, negotiation, first byte)",
        bench::format("median %.1f ms, max %.1f ms", median, bench::percentile(opens, 1.0)),
        "median ≤ 50 ms", int(opens.size()) == kOpens && median <= kOpenMedianMs);
}

} // namespace

int main(int argc, char** argv)
{
    preferOffscreen();
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : 1000;
    loopback(false, count);
    loopback(true, count);
    if (Ser2netProcess::program().isEmpty())
        bench::figureRow("through ser2net", "ser2net is not installed");
    else
        throughSer2net(count);
    return 0;
}
