#pragma once
// The virtual projector's behaviour, free of any I/O: bytes in, commands out; a command in,
// reply bytes out. Time is passed in, so a test can step through a power-on without waiting.
#include <QByteArray>
#include <QList>
#include <QRandomGenerator>

// Cuts the incoming byte stream into commands at CR. LF is ignored. A line longer than
// kMaxLine is thrown away up to its CR and comes out as an empty command, so it is answered
// as unknown instead of as a cut-off command, and the buffer never grows without bound.
class CommandFramer
{
  public:
    static constexpr qsizetype kMaxLine = 256;

    QList<QByteArray> feed(const QByteArray& bytes);

  private:
    QByteArray line_;
    bool overlong_ = false;
};

// How long the lamp takes to strike after power-on and to cool after power-off.
struct SimTiming {
    qint64 countDownMs = 3000;
    qint64 coolingMs = 3000;
};

class SimProjector
{
  public:
    explicit SimProjector(SimTiming timing = {});

    // The reply to one command (text without its CR) received at nowMs, CR included:
    // a reading for a query, ACK for any other known command, "?" for anything else.
    QByteArray answer(const QByteArray& command, qint64 nowMs);

  private:
    enum class Power { Standby, CountDown, On, Cooling };
    struct Row;
    static const Row kRows[];

    void settle(qint64 nowMs);
    QByteArray powerOn(const char* value, qint64 nowMs);
    QByteArray powerOff(const char* value, qint64 nowMs);
    QByteArray setInput(const char* value, qint64 nowMs);
    QByteArray setLampMode(const char* value, qint64 nowMs);
    QByteArray powerStatus(const char* value, qint64 nowMs);
    QByteArray input(const char* value, qint64 nowMs);
    QByteArray lampMode(const char* value, qint64 nowMs);

    SimTiming timing_;
    Power power_ = Power::Standby;
    qint64 settlesAtMs_ = 0; // when the count-down or cooling in progress ends
    QByteArray input_ = "1";
    QByteArray lampMode_ = "FUL";
};

// One piece of a reply on the wire. The first piece is written delayMs after the command,
// each further one delayMs after the piece before it.
struct ReplyPiece {
    QByteArray bytes;
    int delayMs = 0;
};

// How replies go out: the faults a panel must survive on a real line.
struct ReplyStyle {
    bool silent = false; // never answer
    int pieces = 1;      // every reply cut into this many pieces, kPiecePauseMs apart
    int garbage = 0;     // random bytes (any value 0-255) inserted at random places
    int lateMs = 0;      // pause between the command and the first byte of its reply
};

inline constexpr int kPiecePauseMs = 20;

// The pieces of one reply. `random` chooses the garbage bytes and where they go; seeded, the
// same sequence of replies gets the same garbage.
QList<ReplyPiece> planReply(const QByteArray& reply, const ReplyStyle& style,
                            QRandomGenerator& random);
