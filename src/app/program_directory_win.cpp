#include "app/program_directory.h"

#include <QDir>
#include <QFileInfo>
#include <windows.h>

QString programDirectory()
{
    wchar_t path[MAX_PATH * 4];
    const DWORD length = ::GetModuleFileNameW(nullptr, path, DWORD(std::size(path)));
    return QFileInfo(QDir::fromNativeSeparators(QString::fromWCharArray(path, int(length))))
        .absolutePath();
}
