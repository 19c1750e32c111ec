#include "handover/handover_trust.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

std::optional<QString> handoverFolderProblem(const QString& folder)
{
    struct stat st {
    };
    if (::stat(QFile::encodeName(folder).constData(), &st) != 0)
        return QStringLiteral("the hand-over folder %1 cannot be used: %2")
            .arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
    if (!S_ISDIR(st.st_mode))
        return QStringLiteral("the hand-over folder %1 is not a folder").arg(folder);
    if (st.st_uid != ::getuid())
        return QStringLiteral("the hand-over folder %1 belongs to user %2, not to this user: no "
                              "hand-over socket is used there")
            .arg(folder)
            .arg(st.st_uid);
    if ((st.st_mode & 077) != 0)
        return QStringLiteral("others may enter the hand-over folder %1 (mode %2): no hand-over "
                              "socket is used there")
            .arg(folder)
            .arg(st.st_mode & 07777, 4, 8, QLatin1Char('0'));
    return std::nullopt;
}

std::optional<QString> handoverPeerProblem(qintptr descriptor, const QString& path)
{
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(int(descriptor), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0)
        return QStringLiteral("cannot tell who serves the hand-over socket %1: %2: not used")
            .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    if (peer.uid != ::getuid())
        return QStringLiteral("the hand-over socket %1 is served by user %2, not by this user: "
                              "not used")
            .arg(path)
            .arg(peer.uid);
    return std::nullopt;
}
