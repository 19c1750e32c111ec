#include "pjlink/password_file.h"

#include <QFile>
#include <io.h>
#include <windows.h>

namespace
{

// Past a password, a line end and a little more, what the file holds is no password at all.
constexpr qint64 kReadAtMost = 64;

} // namespace

PasswordFile readPasswordFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {{},
                QStringLiteral("cannot read the PJLink password file %1: %2")
                    .arg(path, file.errorString())};
    // A pipe or a device is refused unread, never waited on. A file in the user's own folders
    // inherits an access list that admits that user alone, so a file on a disk is taken as
    // private.
    const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(file.handle()));
    const bool regular = ::GetFileType(handle) == FILE_TYPE_DISK;
    const QByteArray text = regular ? file.read(kReadAtMost) : QByteArray();
    return checkPasswordFile(path, regular, regular, text);
}
