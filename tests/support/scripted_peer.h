#pragma once
// Small misbehaving servers on a loopback port, each on its own thread, so that it answers
// while the panel waits for its line to be ready.
#include <QByteArray>
#include <QString>
#include <arpa/inet.h>
#include <atomic>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

class ScriptedPeer
{
  public:
    enum class Kind {
        Deaf,           // its accept queue is full: a connection is never answered
        AcceptAndClose, // every connection is closed at once
        NeverRead,      // connections stay, nothing is read; the receive buffer is small
        Flood,          // characters without end, never a CR
        Silent,         // RFC 2217 address: accepts, says nothing
        // RFC 2217 from here on: agrees to COM-PORT-OPTION, then
        Rfc2217,               // acknowledges every setting as asked
        WrongSpeed,            // acknowledges every setting, the speed as 9600
        PingPong,              // acknowledges, then option requests without end, never reading
        EndlessSubnegotiation, // opens a sub-negotiation that never ends
    };

    explicit ScriptedPeer(Kind kind) : kind_(kind)
    {
        const int small = 4096;
        if (kind == Kind::NeverRead || kind == Kind::PingPong)
            ::setsockopt(listener_, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        sockaddr_in a{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t len = sizeof a;
        ::bind(listener_, reinterpret_cast<sockaddr*>(&a), len);
        ::listen(listener_, kind == Kind::Deaf ? 0 : 8);
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        for (int i = 0; kind == Kind::Deaf && i < 4; ++i) { // fill the queue
            kept_.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
            ::connect(kept_.back(), reinterpret_cast<sockaddr*>(&a), len);
            ::usleep(20000);
        }
        thread_ = std::thread([this] { run(); });
    }
    ~ScriptedPeer()
    {
        stop_ = true;
        thread_.join();
        for (int fd : kept_)
            ::close(fd);
        ::close(listener_);
    }
    quint16 port() const { return port_; }
    int accepted() const { return accepted_; }
    // The newest connection once it is negotiated, -1 before: for reading what arrived.
    int connection() const { return connection_; }
    QString address() const
    {
        return QStringLiteral("%1://127.0.0.1:%2")
            .arg(QLatin1String(kind_ >= Kind::Silent ? "rfc2217" : "socket"))
            .arg(port_);
    }

  private:
    static bool ready(int fd, short events, int ms)
    {
        pollfd p{fd, events, 0};
        return ::poll(&p, 1, ms) > 0;
    }
    static bool send(int fd, const QByteArray& bytes)
    {
        return ::send(fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL) > 0;
    }
    void run()
    {
        while (!stop_) {
            if (kind_ == Kind::Deaf)
                ::usleep(20000);
            else if (ready(listener_, POLLIN, 20))
                serve(::accept(listener_, nullptr, nullptr));
        }
    }
    void serve(int fd)
    {
        ++accepted_;
        if (kind_ == Kind::AcceptAndClose) return (void)::close(fd);
        kept_.push_back(fd);
        if (kind_ == Kind::EndlessSubnegotiation)
            send(fd, QByteArray::fromHex("fffd2cfffa2c06") + QByteArray(16 * 1024, 'x'));
        if (kind_ >= Kind::Rfc2217 && kind_ <= Kind::PingPong) acknowledge(fd);
        connection_ = fd;
        if (kind_ == Kind::Flood) flood(fd, QByteArray(64 * 1024, 'A'));
        // Binary on, off, on...: each change is answered.
        if (kind_ == Kind::PingPong) flood(fd, QByteArray::fromHex("fffb00fffc00").repeated(999));
    }
    void flood(int fd, const QByteArray& chunk)
    {
        while (!stop_)
            if (ready(fd, POLLOUT, 20) && !send(fd, chunk)) return;
    }
    // Answers each SET command of the line settings with its code + 100.
    void acknowledge(int fd)
    {
        send(fd, QByteArray::fromHex("fffd2c"));
        QByteArray in;
        char buf[512];
        for (int acks = 0; acks < 4 && !stop_;) {
            if (!ready(fd, POLLIN, 20)) continue;
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0) return;
            in.append(buf, n);
            for (qsizetype at, end; (at = in.indexOf("\xff\xfa\x2c")) >= 0 &&
                                    (end = in.indexOf("\xff\xf0", at)) > at + 3;) {
                const char code = in[at + 3];
                const bool wrong = code == 1 && kind_ == Kind::WrongSpeed;
                const QByteArray value =
                    wrong ? QByteArray::fromHex("00002580") : in.mid(at + 4, end - at - 4);
                acks += code <= 4 ? 1 : 0;
                send(fd, "\xff\xfa\x2c" + QByteArray(1, char(code + 100)) + value + "\xff\xf0");
                in.remove(0, end + 2);
            }
        }
    }

    Kind kind_;
    int listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    quint16 port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> accepted_{0};
    std::atomic<int> connection_{-1};
    std::vector<int> kept_;
    std::thread thread_;
};
