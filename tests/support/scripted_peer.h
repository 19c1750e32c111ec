#pragma once
// Small misbehaving servers on a loopback port. Each runs on its own thread, so that it answers
// while the panel waits for its line to be ready.
#include <QByteArray>
#include <QString>
#include <arpa/inet.h>
#include <atomic>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

class ScriptedPeer
{
  public:
    enum class Kind {
        AcceptAndClose,        // every connection is closed at once
        NeverRead,             // connections stay, nothing is read; the receive buffer is small
        Rfc2217,               // RFC 2217: acknowledges every setting as asked, then listens
        WrongSpeed,            // RFC 2217: acknowledges every setting, the speed as 9600
        EndlessSubnegotiation, // RFC 2217: agrees, then opens a sub-negotiation never ended
        Flood,                 // characters without end, never a CR
        PingPong, // RFC 2217: acknowledges, then Telnet option requests without end, never reads
    };

    explicit ScriptedPeer(Kind kind) : kind_(kind)
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        const int small = 4096;
        if (kind == Kind::NeverRead || kind == Kind::PingPong)
            ::setsockopt(listener_, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        ::bind(listener_, reinterpret_cast<sockaddr*>(&a), len);
        ::listen(listener_, 8);
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
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
        const bool telnet = kind_ == Kind::Rfc2217 || kind_ == Kind::WrongSpeed ||
                            kind_ == Kind::EndlessSubnegotiation || kind_ == Kind::PingPong;
        return QStringLiteral("%1://127.0.0.1:%2")
            .arg(QLatin1String(telnet ? "rfc2217" : "socket"))
            .arg(port_);
    }

  private:
    bool readable(int fd, int ms) const
    {
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, ms) > 0;
    }
    void run()
    {
        while (!stop_) {
            if (!readable(listener_, 20)) continue;
            const int fd = ::accept(listener_, nullptr, nullptr);
            ++accepted_;
            if (kind_ == Kind::AcceptAndClose) {
                ::close(fd);
                continue;
            }
            kept_.push_back(fd);
            if (kind_ == Kind::Rfc2217 || kind_ == Kind::WrongSpeed || kind_ == Kind::PingPong)
                acknowledge(fd);
            connection_ = fd;
            if (kind_ == Kind::EndlessSubnegotiation) send(fd, endlessSubnegotiation());
            if (kind_ == Kind::Flood) flood(fd, QByteArray(64 * 1024, 'A'));
            // Binary on, off, on...: each change is answered.
            if (kind_ == Kind::PingPong)
                flood(fd, QByteArray::fromHex("fffb00fffc00").repeated(1000));
        }
    }
    void flood(int fd, const QByteArray& chunk)
    {
        for (pollfd p{fd, POLLOUT, 0}; !stop_;)
            if (::poll(&p, 1, 20) > 0 &&
                ::send(fd, chunk.constData(), size_t(chunk.size()), MSG_NOSIGNAL) <= 0)
                return;
    }
    static QByteArray endlessSubnegotiation()
    {
        return QByteArray::fromHex("fffd2cfffa2c06") + QByteArray(16 * 1024, 'x');
    }
    // Agrees to COM-PORT-OPTION and answers each SET command with its code + 100.
    void acknowledge(int fd)
    {
        send(fd, QByteArray::fromHex("fffd2c"));
        QByteArray in;
        for (int acks = 0; acks < 4 && !stop_;) {
            if (!readable(fd, 20)) continue;
            char buf[512];
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0) return;
            in.append(buf, n);
            for (qsizetype at; (at = in.indexOf("\xff\xfa\x2c")) >= 0 && at + 4 < in.size();) {
                const char code = in[at + 3];
                const qsizetype end = in.indexOf("\xff\xf0", at);
                if (end < 0) break;
                QByteArray value = in.mid(at + 4, end - at - 4);
                if (code == 1 && kind_ == Kind::WrongSpeed) value = QByteArray::fromHex("00002580");
                if (code >= 1 && code <= 4) ++acks;
                send(fd, "\xff\xfa\x2c" + QByteArray(1, char(code + 100)) + value + "\xff\xf0");
                in.remove(0, end + 2);
            }
        }
    }
    static bool send(int fd, const QByteArray& bytes)
    {
        return ::send(fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL) > 0;
    }

    Kind kind_;
    int listener_ = -1;
    quint16 port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> accepted_{0};
    std::atomic<int> connection_{-1};
    std::vector<int> kept_;
    std::thread thread_;
};
