#include "app/program_directory.h"

#include <QFileInfo>

QString programDirectory()
{
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
}
