#pragma once
// Opening a log for appending, the platform's way. The file is created when missing, is not
// inherited by child programs, and other programs may read it (and rotate it) meanwhile.
#include <QString>
#include <variant>

class QFile;

// A file descriptor for QFile::open(int, ...), or why the file could not be opened.
std::variant<int, QString> openForAppend(const QString& path);
// Whether `path` still names the open file `file`: writes to a deleted or replaced file succeed
// and go nowhere. A device or a pipe has no name to lose.
bool stillNamed(const QFile& file, const QString& path);
