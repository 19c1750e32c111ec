#include "history/append_file.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

std::variant<int, QString> openForAppend(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return QString::fromLocal8Bit(std::strerror(errno));
    return fd;
}

bool stillNamed(const QFile& file, const QString& path)
{
    struct stat byName {
    };
    struct stat byHandle {
    };
    if (::fstat(file.handle(), &byHandle) != 0) return false;
    if (!S_ISREG(byHandle.st_mode)) return true;
    return ::stat(QFile::encodeName(path).constData(), &byName) == 0 &&
           byName.st_dev == byHandle.st_dev && byName.st_ino == byHandle.st_ino;
}
