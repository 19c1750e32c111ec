#include "handover/handover_socket.h"

#include "handover/handover_trust.h"
#include "link/device_address.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

constexpr qsizetype kMaxReadableName = 40;

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

QString handoverSocketPath(const QString& device)
{
    // Readable for whoever lists the folder, and unique through the digest of the full name.
    const QString name = canonicalDevice(device);
    QString readable = name.right(kMaxReadableName);
    for (QChar& c : readable) {
        if (!c.isLetterOrNumber() && c != u'-' && c != u'.') c = u'_';
    }
    const QByteArray digest =
        QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha1).toHex().left(8);
    return handoverDirectory() + QStringLiteral("/zeva-control.") + readable + u'.' +
           QLatin1String(digest) + QStringLiteral(".sock");
}
