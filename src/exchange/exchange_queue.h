#pragma once
// One road to the line for every sender that is not the operator: scripts handed over to the
// window, network clients, the scripted road without a window. Requests wait in order, go out
// one at a time when the line has no exchange under way, and each is answered exactly once.
// Widget-free: the window and the headless exchange are both lines behind it.
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

enum class ExchangeOutcome { Replied, TimedOut, Interrupted, NotOpen };

struct ExchangeAnswer {
    ExchangeOutcome outcome = ExchangeOutcome::TimedOut;
    QString reply; // up to and including its first CR; what had come when it ended otherwise
    qint64 ms = 0; // from the command written to the end of the exchange
};

// The line side of the queue. start() puts one command on the line with its reply window; the
// line ends that exchange once, by raising finished() (a reply with its CR, the window run out,
// an operator's press, the line lost). Only the exchange started through start() is reported.
class ExchangeLine : public QObject
{
    Q_OBJECT
  public:
    using QObject::QObject;
    // The line can carry a command now (a closed or lost port cannot).
    virtual bool isOpen() const = 0;
    // An exchange of the line's own owner is under way (a reply window, a held adjuster).
    virtual bool busy() const = 0;
    // The command without its CR.
    virtual void start(const QString& command, int replyWindowMs) = 0;

  Q_SIGNALS:
    void finished(ExchangeOutcome outcome, const QString& reply);
};

class ExchangeQueue : public QObject
{
    Q_OBJECT
  public:
    using Done = std::function<void(const ExchangeAnswer&)>;
    explicit ExchangeQueue(ExchangeLine& line, QObject* parent = nullptr);
    ~ExchangeQueue() override;

    // command without CR; source e.g. "script", "pjlink 192.0.2.7". Returns an id. `done` is
    // called exactly once unless the request is cancelled or the queue goes first, never inside
    // submit: NotOpen when the line is closed as the request's turn comes.
    quint64 submit(const QString& command, int replyWindowMs, const QString& source, Done done);
    // Queued: dropped, never sent. In flight: its exchange runs to its end, its Done is never
    // called.
    void cancel(quint64 id);

    bool inFlight() const { return active_.id != 0; }

  Q_SIGNALS:
    // The request's command has just been written: from here it will not wait any longer.
    void started(quint64 id, const QString& source);

  private:
    struct Request {
        quint64 id = 0;
        QString command;
        int replyWindowMs = 0;
        QString source;
        Done done;
    };

    void schedule();
    void pump();
    void onFinished(ExchangeOutcome outcome, const QString& reply);

    ExchangeLine& line_;
    QList<Request> queue_;
    Request active_;
    quint64 lastId_ = 0;
    QElapsedTimer clock_;
    QTimer retry_; // polls while the line's owner has an exchange of its own under way
    QTimer guard_; // ends an exchange that the line never ended
    bool scheduled_ = false;
};

// The queue of a device (canonical, as canonicalDevice() names it), made for `owner` or shared:
// how a server of several clients reaches the line it serves.
using ExchangeQueueFor = std::function<ExchangeQueue*(const QString& device, QObject* owner)>;
