#include "handover/handover_socket.h"

#include "handover/handover_trust.h"

#include <QDir>
#include <QFileInfo>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

bool ownedPrivateDirectory(const QString& path)
{
    struct stat st {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::getuid() && (st.st_mode & 077) == 0;
}

} // namespace

QString handoverDirectory()
{
    if (const QString xdg = qEnvironmentVariable("XDG_RUNTIME_DIR"); !xdg.isEmpty()) return xdg;
    const QString uid = QString::number(::getuid());
    if (const QString run = QStringLiteral("/run/user/") + uid; ownedPrivateDirectory(run))
        return run;
    return QDir::tempPath() + QStringLiteral("/zeva-control-") + uid;
}

bool prepareHandoverDirectory()
{
    const QString dir = handoverDirectory();
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) ::mkdir(QFile::encodeName(dir), 0700);
    return !handoverFolderProblem(dir);
}

QString handoverEndpoint(const QString& stem)
{
    return handoverDirectory() + u'/' + stem + QStringLiteral(".sock");
}
