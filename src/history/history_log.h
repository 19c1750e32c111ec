#pragma once
// The history written to a file as it happens: one line per entry, appended and flushed at once so
// that nothing is lost when the program crashes or the adapter is pulled out. Fields are separated
// by tabs: time (ISO 8601 with milliseconds), direction, rendering, bytes in hex, status, and
// who sent a command.
#include "history/history.h"

#include <QFile>
#include <QObject>
#include <optional>

class HistoryLog : public QObject
{
    Q_OBJECT
  public:
    explicit HistoryLog(QObject* parent = nullptr);
    ~HistoryLog() override;

    // Opens `path` for appending; the failure's description otherwise.
    std::optional<QString> open(const QString& path);
    // Opens the same path again, as after a rotation, also after a failure: what comes next
    // goes to the file now under that name. The failure's description otherwise.
    std::optional<QString> reopen();
    // Every entry added from now on is written.
    void attach(const ExchangeHistory& history);

    // A server's event, not the line's: a client connected, logged in, refused. Its line has
    // "SERVER" for direction, `what` for rendering and `source` for sender.
    void writeEvent(const QString& what, const QString& source);

    // One line for one entry, without its newline.
    static QString line(const ExchangeHistory& history, const HistoryEntry& e);

  Q_SIGNALS:
    // Writing failed (disk full, file deleted); nothing more is written. Raised once.
    void failed(const QString& description);

  private:
    void write(const ExchangeHistory& history, quint64 seq);
    void writeLine(const QString& line);
    bool stillThere();

    QFile file_;
    QString path_;
    QByteArray line_; // reused for every line
};
