#include "sim_line.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace
{
constexpr int kWriteStallMs = 200;   // longest wait for room on the line before a reply is dropped
constexpr int kFloodBurstTicks = 10; // after a stall, catch up at most this many ticks' worth
} // namespace

SimPty::~SimPty()
{
    hangUp();
}

bool SimPty::open()
{
    char name[256] = {};
    if (openpty(&master_, &slaveKeep_, name, nullptr, nullptr) != 0) return false;
    termios tio{};
    tcgetattr(slaveKeep_, &tio);
    cfmakeraw(&tio);
    tcsetattr(slaveKeep_, TCSANOW, &tio);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(slaveKeep_, F_SETFD, FD_CLOEXEC);
    slavePath_ = name;
    return true;
}

int SimPty::unread() const
{
    int count = 0;
    if (slaveKeep_ < 0 || ::ioctl(slaveKeep_, FIONREAD, &count) != 0) return 0;
    return count;
}

void SimPty::hangUp()
{
    if (master_ >= 0) ::close(master_);
    if (slaveKeep_ >= 0) ::close(slaveKeep_);
    master_ = slaveKeep_ = -1;
}

ReplyOutbox::ReplyOutbox(int fd) : fd_(fd)
{
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, [this] { sendDue(); });
    clock_.start();
}

void ReplyOutbox::post(const QList<ReplyPiece>& pieces)
{
    const qint64 now = clock_.elapsed();
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        const ReplyPiece& piece = pieces[i];
        queue_.append({piece.bytes, i == 0 ? now + piece.delayMs : -1, piece.delayMs});
    }
    if (!timer_.isActive()) sendDue();
}

void ReplyOutbox::sendDue()
{
    while (!queue_.isEmpty()) {
        const Pending& next = queue_.first();
        const qint64 due = next.notBeforeMs >= 0 ? next.notBeforeMs : lastWriteMs_ + next.pauseMs;
        const qint64 now = clock_.elapsed();
        if (due > now) {
            timer_.start(int(due - now));
            return;
        }
        writeAll(queue_.takeFirst().bytes);
        lastWriteMs_ = clock_.elapsed();
    }
    if (const auto then = std::exchange(whenEmpty_, {})) then();
}

// When nobody reads the slave for a while the reply is dropped (as on a real line) rather
// than freezing the simulator.
void ReplyOutbox::writeAll(const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        pollfd p{fd_, POLLOUT, 0};
        if (n < 0 && errno == EAGAIN && ::poll(&p, 1, kWriteStallMs) > 0) continue;
        std::fprintf(stderr, "reply dropped: line not read\n");
        return;
    }
}

FloodSource::FloodSource(int fd, int bytesPerSecond, quint32 seed)
    : fd_(fd), bytesPerSecond_(bytesPerSecond), random_(seed)
{
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
    if (bytesPerSecond_ <= 0) return;
    clock_.start();
    timer_.start(kTickMs);
}

// Sends what is due by the clock rather than a fixed amount per tick, so late ticks do not
// lower the rate; a long stall is not made up in one burst.
void FloodSource::tick()
{
    const qint64 due = bytesPerSecond_ * clock_.elapsed() / 1000;
    const qint64 most = qint64(bytesPerSecond_) * kTickMs * kFloodBurstTicks / 1000 + 1;
    const qint64 count = std::min(due - sent_, most);
    sent_ = due;
    if (count <= 0) return;
    QByteArray noise(count, Qt::Uninitialized);
    for (char& byte : noise)
        byte = char(random_.bounded(256));
    const ssize_t n = ::write(fd_, noise.constData(), size_t(noise.size()));
    Q_UNUSED(n); // a full line drops the rest: noise is not worth waiting for
}
