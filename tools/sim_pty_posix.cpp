// The simulator's line on a raw pseudo-terminal. The master is non-blocking and is what the
// simulator reads and writes; the panel opens the slave's path.
#include "sim_line.h"

#include <QFile>
#include <QSocketNotifier>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace
{

// Replaces a symlink at `path` (never a real file) with one to `target`.
bool makeLink(const QString& path, const QByteArray& target)
{
    const QByteArray where = QFile::encodeName(path);
    struct stat st = {};
    if (::lstat(where.constData(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            std::fprintf(stderr, "%s exists and is not a symlink\n", where.constData());
            return false;
        }
        ::unlink(where.constData());
    }
    if (::symlink(target.constData(), where.constData()) == 0) return true;
    std::perror(where.constData());
    return false;
}

// Removes the link only while it still points at our slave, so a newer run's link survives.
void removeLink(const QString& path, const QByteArray& target)
{
    const QByteArray where = QFile::encodeName(path);
    char buf[256] = {};
    const ssize_t n = ::readlink(where.constData(), buf, sizeof buf - 1);
    if (n > 0 && QByteArray(buf, n) == target) ::unlink(where.constData());
}

class SimPtyLine : public SimLine
{
  public:
    SimPtyLine() = default;
    ~SimPtyLine() override
    {
        hangUp();
        if (!linkPath_.isEmpty()) removeLink(linkPath_, slavePath_);
    }

    bool open(const QString& linkPath)
    {
        char name[256] = {};
        if (openpty(&master_, &slaveKeep_, name, nullptr, nullptr) != 0) {
            std::perror("zeva-projector-sim: openpty");
            return false;
        }
        termios tio{};
        tcgetattr(slaveKeep_, &tio);
        cfmakeraw(&tio);
        tcsetattr(slaveKeep_, TCSANOW, &tio);
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
        fcntl(master_, F_SETFD, FD_CLOEXEC);
        fcntl(slaveKeep_, F_SETFD, FD_CLOEXEC);
        slavePath_ = name;
        notifier_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { readable(); });
        if (!linkPath.isEmpty() && !makeLink(linkPath, slavePath_)) return false;
        linkPath_ = linkPath;
        return true;
    }

    QByteArray address() const override { return slavePath_; }

    qint64 write(const QByteArray& bytes, int waitMs) override
    {
        qsizetype done = 0;
        while (master_ >= 0 && done < bytes.size()) {
            const ssize_t n =
                ::write(master_, bytes.constData() + done, size_t(bytes.size() - done));
            if (n > 0) {
                done += n;
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            pollfd p{master_, POLLOUT, 0};
            if (n < 0 && errno == EAGAIN && waitMs > 0 && ::poll(&p, 1, waitMs) > 0) continue;
            break;
        }
        return done;
    }

    QByteArray read() override
    {
        char buf[512];
        ssize_t n;
        do
            n = master_ >= 0 ? ::read(master_, buf, sizeof buf) : -1;
        while (n < 0 && errno == EINTR);
        return n > 0 ? QByteArray(buf, n) : QByteArray();
    }

    qint64 unread() const override
    {
        int count = 0;
        if (slaveKeep_ < 0 || ::ioctl(slaveKeep_, FIONREAD, &count) != 0) return 0;
        return count;
    }

    // Closes both ends we hold, so the panel's port sees a hang-up.
    void hangUp() override
    {
        notifier_.reset();
        if (master_ >= 0) ::close(master_);
        if (slaveKeep_ >= 0) ::close(slaveKeep_);
        master_ = slaveKeep_ = -1;
    }

  private:
    int master_ = -1;
    int slaveKeep_ = -1; // held open so the master never sees a hang-up when the panel reopens
    QByteArray slavePath_;
    QString linkPath_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace

std::unique_ptr<SimLine> openPtyLine(const QString& linkPath)
{
    auto line = std::make_unique<SimPtyLine>();
    return line->open(linkPath) ? std::move(line) : nullptr;
}
