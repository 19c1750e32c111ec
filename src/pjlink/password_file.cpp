#include "pjlink/password_file.h"

#include <algorithm>

namespace
{

// A PJLink password has at most 32 characters.
constexpr qsizetype kMaxPassword = 32;

} // namespace

PasswordFile checkPasswordFile(const QString& path, bool regularFile, bool privateFile,
                               QByteArray text)
{
    if (!regularFile || !privateFile)
        return {{},
                QStringLiteral("the PJLink password file %1 must be a regular file that only its "
                               "owner may read (chmod 600)")
                    .arg(path)};
    while (text.endsWith('\n') || text.endsWith('\r'))
        text.chop(1);
    const bool printable =
        std::all_of(text.cbegin(), text.cend(), [](char c) { return c > 0x20 && c <= 0x7E; });
    if (text.size() > kMaxPassword || !printable)
        return {{},
                QStringLiteral("the PJLink password in %1 must be 1 to 32 printable ASCII "
                               "characters without blanks")
                    .arg(path)};
    return {text, {}};
}
