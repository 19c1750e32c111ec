#include "history/history_log.h"

#include "history/append_file.h"
#include "history/entry_text.h"

#include <QDateTime>

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
    const auto opened = openForAppend(path);
    if (const auto* error = std::get_if<QString>(&opened)) return *error;
    if (!file_.open(std::get<int>(opened), QIODevice::WriteOnly | QIODevice::Unbuffered,
                    QFileDevice::AutoCloseHandle))
        return file_.errorString();
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
    return stillNamed(file_, path_);
}
