#include "pjlink/password_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// Past a password, a line end and a little more, what the file holds is no password at all.
constexpr qsizetype kReadAtMost = 64;

// systemd's credentials folder of this service, where the modes are systemd's.
bool isCredential(const QString& path)
{
    const QString credentials = qEnvironmentVariable("CREDENTIALS_DIRECTORY");
    return !credentials.isEmpty() &&
           QFileInfo(path).canonicalPath() == QDir(credentials).canonicalPath();
}

} // namespace

PasswordFile readPasswordFile(const QString& path)
{
    // Non-blocking: opening a FIFO would otherwise wait for a writer, signals and all.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat st {
    };
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        const QString why = QString::fromLocal8Bit(std::strerror(errno));
        if (fd >= 0) ::close(fd);
        return {{}, QStringLiteral("cannot read the PJLink password file %1: %2").arg(path, why)};
    }
    QByteArray text;
    if (S_ISREG(st.st_mode)) {
        text.resize(kReadAtMost);
        const ssize_t n = ::read(fd, text.data(), size_t(text.size()));
        text.resize(n > 0 ? n : 0);
    }
    ::close(fd);
    return checkPasswordFile(path, S_ISREG(st.st_mode),
                             (st.st_mode & 077) == 0 || isCredential(path), text);
}
