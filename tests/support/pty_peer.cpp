#include "pty_peer.h"

#include <QElapsedTimer>
#include <QThread>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

PtyPeer::PtyPeer()
{
    char name[256] = {};
    int master = -1;
    int slave = -1;
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) return;
    termios tio{};
    tcgetattr(slave, &tio);
    cfmakeraw(&tio);
    tcsetattr(slave, TCSANOW, &tio);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    master_ = master;
    slaveKeep_ = slave;
    slavePath_ = QString::fromLocal8Bit(name);
}

PtyPeer::~PtyPeer()
{
    hangUp();
}

QByteArray PtyPeer::read(int atLeast, int timeoutMs)
{
    QByteArray out;
    if (master_ < 0) return out;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        char buf[4096];
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n > 0) {
            out.append(buf, n);
            continue;
        }
        if (out.size() >= atLeast) break;
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0) break;
        pollfd p{master_, POLLIN, 0};
        ::poll(&p, 1, int(left));
    }
    return out;
}

void PtyPeer::drain()
{
    read(0, 0);
}

bool PtyPeer::write(const QByteArray& bytes)
{
    if (master_ < 0) return false;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        } else {
            QThread::msleep(1);
        }
    }
    return true;
}

void PtyPeer::hangUp()
{
    if (slaveKeep_ >= 0) ::close(slaveKeep_);
    if (master_ >= 0) ::close(master_);
    slaveKeep_ = master_ = -1;
}
