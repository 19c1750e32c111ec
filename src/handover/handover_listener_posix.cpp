#include "handover/handover_listener.h"

#include <QFile>
#include <QLocalSocket>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace
{

QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

std::optional<sockaddr_un> addressOf(const QString& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    if (name.size() >= qsizetype(sizeof address.sun_path)) return std::nullopt;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    return address;
}

// A socket file whose server still accepts, or keeps connections waiting, is that server's;
// one that refuses is left by a server gone.
bool answers(const sockaddr_un& address)
{
    const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (probe < 0) return true; // cannot tell: take it as alive
    const int r = ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    const bool alive = r == 0 || errno == EAGAIN || errno == EINPROGRESS;
    ::close(probe);
    return alive;
}

} // namespace

struct HandoverListener::State {
    int fd = -1;
    dev_t device = 0;
    ino_t inode = 0;
    QSocketNotifier* notifier = nullptr;
};

HandoverListener::HandoverListener(QObject* parent)
    : QObject(parent), state_(std::make_unique<State>())
{
}

HandoverListener::~HandoverListener()
{
    if (state_->fd < 0) return;
    ::close(state_->fd);
    // Only our own file: a server started after us may have taken the name.
    struct stat st {
    };
    const QByteArray name = QFile::encodeName(path_);
    if (::stat(name.constData(), &st) == 0 && st.st_dev == state_->device &&
        st.st_ino == state_->inode)
        ::unlink(name.constData());
}

std::optional<QString> HandoverListener::listen(const QString& path)
{
    const std::optional<sockaddr_un> address = addressOf(path);
    if (!address) return QStringLiteral("the socket's name %1 is too long").arg(path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return errorText(errno);
    const auto* sa = reinterpret_cast<const sockaddr*>(&*address);
    int r = ::bind(fd, sa, sizeof *address);
    if (r != 0 && errno == EADDRINUSE && !answers(*address)) {
        ::unlink(address->sun_path);
        r = ::bind(fd, sa, sizeof *address);
    }
    struct stat st {
    };
    // Read and write for the owner only: connecting needs no more.
    if (r != 0 || ::chmod(address->sun_path, 0600) != 0 || ::stat(address->sun_path, &st) != 0 ||
        ::listen(fd, SOMAXCONN) != 0) {
        const int error = errno;
        ::close(fd);
        return error == EADDRINUSE ? QStringLiteral("in use") : errorText(error);
    }
    path_ = path;
    *state_ = {fd, st.st_dev, st.st_ino, new QSocketNotifier(fd, QSocketNotifier::Read, this)};
    connect(state_->notifier, &QSocketNotifier::activated, this, &HandoverListener::acceptAll);
    return std::nullopt;
}

void HandoverListener::acceptAll()
{
    for (;;) {
        const int fd = ::accept4(state_->fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0 && (errno == EINTR || errno == ECONNABORTED)) continue;
        if (fd < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        if (fd < 0 && (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM))
            return pause();
        if (fd < 0) {
            state_->notifier->setEnabled(false);
            Q_EMIT failed(QStringLiteral("the hand-over socket %1 cannot accept any more: %2")
                              .arg(path_, errorText(errno)));
            return;
        }
        if (std::exchange(failing_, false))
            Q_EMIT noted(QStringLiteral("the hand-over socket %1 accepts again").arg(path_));
        auto* client = new QLocalSocket(this);
        client->setSocketDescriptor(fd);
        Q_EMIT connected(client);
    }
}

// Nothing is taken until the pause is over: the connection waits in the kernel's queue.
void HandoverListener::pause()
{
    const QString why = errorText(errno);
    state_->notifier->setEnabled(false);
    QTimer::singleShot(kRetryMs, this, [this] { state_->notifier->setEnabled(true); });
    if (!std::exchange(failing_, true))
        Q_EMIT noted(QStringLiteral("the hand-over socket %1 cannot accept a connection (%2); "
                                    "trying again every %3 s")
                         .arg(path_, why)
                         .arg(kRetryMs / 1000.0));
}
