#include "handover/handover_socket.h"

#include "link/device_address.h"

#include <QCryptographicHash>

namespace
{

constexpr qsizetype kMaxReadableName = 40;

} // namespace

QString handoverSocketPath(const QString& device)
{
    // Readable for whoever lists the endpoints, and unique through the digest of the full name.
    const QString name = canonicalDevice(device);
    QString readable = name.right(kMaxReadableName);
    for (QChar& c : readable) {
        if (!c.isLetterOrNumber() && c != u'-' && c != u'.') c = u'_';
    }
    const QByteArray digest =
        QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha1).toHex().left(8);
    return handoverEndpoint(QStringLiteral("zeva-control.") + readable + u'.' +
                            QLatin1String(digest));
}
