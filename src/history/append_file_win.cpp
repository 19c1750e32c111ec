#include "history/append_file.h"

#include <QDir>
#include <QFile>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace
{

// The same file is the same volume and the same index on it.
bool identity(HANDLE handle, BY_HANDLE_FILE_INFORMATION& info)
{
    return handle != INVALID_HANDLE_VALUE && ::GetFileInformationByHandle(handle, &info) != 0;
}

} // namespace

std::variant<int, QString> openForAppend(const QString& path)
{
    // Appending only, so that each write goes to the end whoever else writes; sharing delete
    // lets a log rotator rename the file while it is open.
    const std::wstring name = QDir::toNativeSeparators(path).toStdWString();
    const HANDLE handle = ::CreateFileW(name.c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return qt_error_string(int(::GetLastError()));
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_APPEND | _O_WRONLY);
    if (fd < 0) {
        ::CloseHandle(handle);
        return qt_error_string(ERROR_TOO_MANY_OPEN_FILES);
    }
    return fd;
}

bool stillNamed(const QFile& file, const QString& path)
{
    const HANDLE open = reinterpret_cast<HANDLE>(::_get_osfhandle(file.handle()));
    BY_HANDLE_FILE_INFORMATION byHandle{};
    if (!identity(open, byHandle)) return false;
    if (::GetFileType(open) != FILE_TYPE_DISK) return true;
    const std::wstring name = QDir::toNativeSeparators(path).toStdWString();
    const HANDLE named =
        ::CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    BY_HANDLE_FILE_INFORMATION byName{};
    const bool found = identity(named, byName);
    if (named != INVALID_HANDLE_VALUE) ::CloseHandle(named);
    return found && byName.dwVolumeSerialNumber == byHandle.dwVolumeSerialNumber &&
           byName.nFileIndexHigh == byHandle.nFileIndexHigh &&
           byName.nFileIndexLow == byHandle.nFileIndexLow;
}
