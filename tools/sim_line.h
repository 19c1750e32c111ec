#pragma once
// The simulator's end of the line: a raw pseudo-terminal, the queue that writes replies on it
// piece by piece, and a source of unsolicited noise.
#include "sim_projector.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTimer>
#include <functional>

// A raw pseudo-terminal. The master is non-blocking and is what the simulator reads and
// writes; the panel opens slavePath.
class SimPty
{
  public:
    SimPty() = default;
    ~SimPty();
    SimPty(const SimPty&) = delete;
    SimPty& operator=(const SimPty&) = delete;

    bool open();
    int master() const { return master_; }
    QByteArray slavePath() const { return slavePath_; }
    // Bytes written but not yet read by whoever has the slave open.
    int unread() const;
    // Closes both ends we hold, so the panel's port sees a hang-up.
    void hangUp();

  private:
    int master_ = -1;
    int slaveKeep_ = -1; // held open so the master never sees a hang-up when the panel reopens
    QByteArray slavePath_;
};

// Writes reply pieces in order, each when its delay is over. One queue, so a reply that is
// still being delivered in pieces is never overtaken by the next one; the first piece's delay
// counts from when the reply was posted, so a late reply does not make the next one later.
class ReplyOutbox
{
  public:
    explicit ReplyOutbox(int fd);

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
    void writeAll(const QByteArray& bytes);

    int fd_;
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

    FloodSource(int fd, int bytesPerSecond, quint32 seed);
    void stop() { timer_.stop(); }

  private:
    void tick();

    int fd_;
    int bytesPerSecond_;
    QRandomGenerator random_;
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 sent_ = 0; // bytes offered so far, written or dropped
};
