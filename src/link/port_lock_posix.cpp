#include "link/port_lock.h"

#include <QByteArray>
#include <QFile>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace
{

// Where other programs put their UUCP lock files, and the serial library its own.
constexpr const char* kLockDirectories[] = {"/var/lock", "/run/lock"};

// A process number and a line end, or the serial library's three lines, fit in this.
constexpr qsizetype kReadAtMost = 128;

// "LCK.." and the path below /dev with every '/' made '_'.
QByteArray lockFileName(const QString& device)
{
    QByteArray name = QFile::encodeName(device);
    if (name.startsWith("/dev/")) name.remove(0, 5);
    name.replace('/', '_');
    return "/LCK.." + name;
}

// The process a lock file names: ASCII digits on its first line, blanks around them allowed
// (the UUCP form pads them to ten characters). 0 when there is none to read.
pid_t lockOwner(const QByteArray& path)
{
    // Not blocking: anyone may put a FIFO by that name there.
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return 0;
    struct stat st {
    };
    QByteArray text(kReadAtMost, '\0');
    const ssize_t n = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)
                          ? ::read(fd, text.data(), size_t(text.size()))
                          : -1;
    ::close(fd);
    text.resize(n > 0 ? n : 0);
    bool ok = false;
    const long pid = text.split('\n').first().trimmed().toLong(&ok);
    return ok && pid > 0 ? pid_t(pid) : 0;
}

bool alive(pid_t pid)
{
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

enum class LockFile { None, OfLiveProcess, OfDeadProcess };

// A lock file of a live process holds the port however old it is: the serial library takes
// any lock file older than 30 s for stale and removes it, where it may.
LockFile lockFileOf(const QString& device)
{
    const QByteArray name = lockFileName(device);
    LockFile found = LockFile::None;
    for (const char* directory : kLockDirectories) {
        const pid_t owner = lockOwner(directory + name);
        if (owner > 0 && alive(owner)) return LockFile::OfLiveProcess;
        if (owner > 0) found = LockFile::OfDeadProcess;
    }
    return found;
}

// Exclusive mode outlives a holder that was killed where the line stays up (a pseudo-terminal
// whose other end is open); its lock file of a dead process then tells the mode is left over.
bool exclusiveMode(int fd, LockFile lockFile)
{
    int exclusive = 0;
#ifdef TIOCGEXCL
    if (::ioctl(fd, TIOCGEXCL, &exclusive) != 0) exclusive = 0;
#endif
    return exclusive && lockFile != LockFile::OfDeadProcess;
}

} // namespace

bool PortLock::take(const QString& device)
{
    release();
    const LockFile lockFile = lockFileOf(device);
    if (lockFile == LockFile::OfLiveProcess) return false;
    fd_ = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) return errno != EBUSY; // EBUSY: in exclusive mode, and we are not root
    // Root could open past another's exclusive mode; the mode still says that someone holds it.
    // flock fails on what cannot be locked at all; only a lock held elsewhere refuses.
    if (exclusiveMode(fd_, lockFile) ||
        (::flock(fd_, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)) {
        ::close(std::exchange(fd_, -1)); // leaving the holder's exclusive mode as it is
        return false;
    }
    return true;
}

void PortLock::holdExclusive()
{
    exclusive_ = fd_ >= 0 && ::ioctl(fd_, TIOCEXCL) == 0;
}

void PortLock::release()
{
    if (fd_ < 0) return;
    if (std::exchange(exclusive_, false)) ::ioctl(fd_, TIOCNXCL);
    ::close(std::exchange(fd_, -1));
}
