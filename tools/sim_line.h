#pragma once
// The simulator's end of the line, whatever carries it (a pseudo-terminal or a TCP port), the
// queue that writes replies on it piece by piece, and a source of unsolicited noise.
#include "sim_projector.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

class SimLine
{
  public:
    virtual ~SimLine() = default;

    // What the panel opens to reach this line; printed as the simulator's first line.
    virtual QByteArray address() const = 0;
    // Writes what the line takes, waiting at most waitMs for room; returns the bytes taken.
    virtual qint64 write(const QByteArray& bytes, int waitMs) = 0;
    // What has arrived since the last call.
    virtual QByteArray read() = 0;
    // Bytes written but not yet taken by the other end.
    virtual qint64 unread() const = 0;
    // Closes the line, so the panel's port sees a hang-up.
    virtual void hangUp() = 0;

    // `then` runs on the event loop whenever bytes may have arrived.
    void whenReadable(std::function<void()> then) { readable_ = std::move(then); }

  protected:
    void readable() const
    {
        if (readable_) readable_();
    }

  private:
    std::function<void()> readable_;
};

// A raw pseudo-terminal whose slave the panel opens, with a symlink to the slave at `linkPath`
// unless it is empty. Null, having said why on stderr, where it cannot be had.
std::unique_ptr<SimLine> openPtyLine(const QString& linkPath);

// A TCP port on `host` (an address) that takes one client at a time: while one is connected,
// further ones are closed at once, as a serial line has one end. Port 0 takes a free port;
// address() tells which. Null, having said why on stderr, when it cannot listen.
std::unique_ptr<SimLine> listenTcpLine(const QString& host, quint16 port);

// Writes reply pieces in order, each when its delay is over. One queue, so a reply that is
// still being delivered in pieces is never overtaken by the next one; the first piece's delay
// counts from when the reply was posted, so a late reply does not make the next one later.
class ReplyOutbox
{
  public:
    explicit ReplyOutbox(SimLine& line);

    void post(const QList<ReplyPiece>& pieces);
    // Calls `then` once, as soon as every queued piece has been written.
    void whenEmpty(std::function<void()> then) { whenEmpty_ = std::move(then); }

  private:
    struct Pending {
        QByteArray bytes;
        qint64 notBeforeMs; // first piece of a reply: when it is due; else -1
        int pauseMs;        // further piece: the pause after the piece before it
    };

    void sendDue();

    SimLine& line_;
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 lastWriteMs_ = 0;
    QList<Pending> queue_;
    std::function<void()> whenEmpty_;
};

// Random bytes at a steady rate, unsolicited, in small chunks. What the line cannot take is
// dropped: noise must never hold up the replies or freeze the simulator.
class FloodSource
{
  public:
    static constexpr int kTickMs = 10;

    FloodSource(SimLine& line, int bytesPerSecond, quint32 seed);
    void stop() { timer_.stop(); }

  private:
    void tick();

    SimLine& line_;
    int bytesPerSecond_;
    QRandomGenerator random_;
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 sent_ = 0; // bytes offered so far, written or dropped
};
