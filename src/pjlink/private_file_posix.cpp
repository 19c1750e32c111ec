#include "pjlink/private_file.h"

#include <QFile>
#include <sys/stat.h>

QString privateFileAdvice(const QFile& file)
{
    struct stat st {
    };
    if (::fstat(file.handle(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 077) == 0)
        return {};
    return QStringLiteral("chmod 600");
}
