#include "pjlink/private_file.h"

#include <QFile>
#include <io.h>
#include <windows.h>

QString privateFileAdvice(const QFile& file)
{
    // A file in the user's own folders inherits an access list that admits that user alone;
    // what can be checked cheaply here is that it is a file on a disk, not a device or a pipe.
    const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(file.handle()));
    if (handle != INVALID_HANDLE_VALUE && ::GetFileType(handle) == FILE_TYPE_DISK) return {};
    return QStringLiteral("keep it in a folder of your own user profile");
}
