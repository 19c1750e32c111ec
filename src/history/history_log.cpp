#include "history/history_log.h"

#include "history/entry_text.h"

#include <QDateTime>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// Messages come from the platform and could hold a tab or a line break: one line per entry.
QString oneLine(QString text)
{
    for (QChar& c : text)
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    return text;
}

} // namespace

HistoryLog::HistoryLog(QObject* parent) : QObject(parent) {}

HistoryLog::~HistoryLog() = default;

std::optional<QString> HistoryLog::open(const QString& path)
{
    // Opened by hand: QFile's append mode seeks, which a device such as a terminal refuses.
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return QString::fromLocal8Bit(std::strerror(errno));
    if (!file_.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered,
                    QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return file_.errorString();
    }
    path_ = path;
    return std::nullopt;
}

std::optional<QString> HistoryLog::reopen()
{
    file_.close();
    return open(path_);
}

void HistoryLog::attach(const ExchangeHistory& history)
{
    connect(&history, &ExchangeHistory::appended, this,
            [this, &history](quint64 seq) { write(history, seq); });
}

QString HistoryLog::line(const ExchangeHistory& history, const HistoryEntry& e)
{
    const bool status = e.kind == EntryKind::Status;
    const QString text = oneLine(entryRendering(history, e));
    const QString hex = carriesBytes(e.kind) ? hexBytes(history.bytes(e)) : QString();
    return isoTime(e.timeMs) + QLatin1Char('\t') + directionName(e.kind) + QLatin1Char('\t') +
           (status ? QString() : text) + QLatin1Char('\t') + hex + QLatin1Char('\t') +
           (status ? text : QString()) + QLatin1Char('\t') + history.source(e);
}

void HistoryLog::write(const ExchangeHistory& history, quint64 seq)
{
    if (file_.isOpen()) writeLine(line(history, history.entry(seq)));
}

void HistoryLog::writeEvent(const QString& what, const QString& source)
{
    if (!file_.isOpen()) return;
    const QChar tab = QLatin1Char('\t');
    writeLine(isoTime(QDateTime::currentMSecsSinceEpoch()) + tab + QLatin1String("SERVER") + tab +
              oneLine(what) + tab + tab + tab + oneLine(source));
}

void HistoryLog::writeLine(const QString& text)
{
    line_ = text.toUtf8();
    line_ += '\n';
    QString failure;
    if (file_.write(line_) != line_.size())
        failure = QStringLiteral("The history log %1 cannot be written (%2); nothing more is "
                                 "written to it.")
                      .arg(path_, file_.errorString());
    else if (!stillThere())
        failure = QStringLiteral("The history log %1 was deleted or replaced; nothing more is "
                                 "written to it.")
                      .arg(path_);
    if (failure.isEmpty()) return;
    file_.close();
    Q_EMIT failed(failure);
}

bool HistoryLog::stillThere()
{
    // Writes to a deleted file succeed and go nowhere: compare the name with the open file.
    struct stat byName {
    };
    struct stat byHandle {
    };
    if (::fstat(file_.handle(), &byHandle) != 0) return false;
    if (!S_ISREG(byHandle.st_mode)) return true; // a device or a pipe has no name to lose
    return ::stat(QFile::encodeName(path_).constData(), &byName) == 0 &&
           byName.st_dev == byHandle.st_dev && byName.st_ino == byHandle.st_ino;
}
