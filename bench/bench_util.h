#pragma once
// What the benchmark programs share: resident memory, a clock that several processes agree on,
// percentiles, running the event loop for a while, and the summary row that run-all.sh gathers
// into its table ("ROW<TAB>benchmark<TAB>figure<TAB>target<TAB>met").
#include <QByteArray>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <ctime>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace bench
{

// A TCP connection to a port on 127.0.0.1 with Nagle off, as a latency-minded client has it;
// -1 when refused.
inline int connectLoopback(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Resident set size of this process in MiB, or -1 when /proc is not readable.
inline double rssMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (!line.startsWith("VmRSS:")) continue;
        return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

// CLOCK_MONOTONIC in milliseconds: one time line for a parent and the children it starts.
inline double monotonicMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// Nearest-rank percentile, p in [0, 1]; 0 for no samples.
inline double percentile(std::vector<double> v, double p)
{
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t rank = size_t(p * double(v.size() - 1) + 0.5);
    return v[std::min(v.size() - 1, rank)];
}

inline void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

inline void printRow(const std::string& benchmark, const std::string& figure,
                     const std::string& target, const std::string& met)
{
    std::printf("ROW\t%s\t%s\t%s\t%s\n", benchmark.c_str(), figure.c_str(), target.c_str(),
                met.c_str());
    std::fflush(stdout);
}

inline void summaryRow(const std::string& benchmark, const std::string& figure,
                       const std::string& target, bool met)
{
    printRow(benchmark, figure, target, met ? "yes" : "NO");
}

// A figure reported for information, with no target of its own.
inline void figureRow(const std::string& benchmark, const std::string& figure)
{
    printRow(benchmark, figure, "—", "n/a");
}

inline std::string format(const char* fmt, double a, double b = 0, double c = 0)
{
    char buf[256];
    std::snprintf(buf, sizeof buf, fmt, a, b, c);
    return buf;
}

} // namespace bench
