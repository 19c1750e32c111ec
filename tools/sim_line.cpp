#include "sim_line.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace
{
constexpr int kWriteStallMs = 200;   // longest wait for room on the line before a reply is dropped
constexpr int kFloodBurstTicks = 10; // after a stall, catch up at most this many ticks' worth
} // namespace

ReplyOutbox::ReplyOutbox(SimLine& line) : line_(line)
{
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, [this] { sendDue(); });
    clock_.start();
}

void ReplyOutbox::post(const QList<ReplyPiece>& pieces)
{
    const qint64 now = clock_.elapsed();
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        const ReplyPiece& piece = pieces[i];
        queue_.append({piece.bytes, i == 0 ? now + piece.delayMs : -1, piece.delayMs});
    }
    if (!timer_.isActive()) sendDue();
}

void ReplyOutbox::sendDue()
{
    while (!queue_.isEmpty()) {
        const Pending& next = queue_.first();
        const qint64 due = next.notBeforeMs >= 0 ? next.notBeforeMs : lastWriteMs_ + next.pauseMs;
        const qint64 now = clock_.elapsed();
        if (due > now) {
            timer_.start(int(due - now));
            return;
        }
        const QByteArray bytes = queue_.takeFirst().bytes;
        // When nobody reads the line for a while the reply is dropped (as on a real line)
        // rather than freezing the simulator.
        if (line_.write(bytes, kWriteStallMs) < bytes.size())
            std::fprintf(stderr, "reply dropped: line not read\n");
        lastWriteMs_ = clock_.elapsed();
    }
    if (const auto then = std::exchange(whenEmpty_, {})) then();
}

FloodSource::FloodSource(SimLine& line, int bytesPerSecond, quint32 seed)
    : line_(line), bytesPerSecond_(bytesPerSecond), random_(seed)
{
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
    if (bytesPerSecond_ <= 0) return;
    clock_.start();
    timer_.start(kTickMs);
}

// Sends what is due by the clock rather than a fixed amount per tick, so late ticks do not
// lower the rate; a long stall is not made up in one burst.
void FloodSource::tick()
{
    const qint64 due = bytesPerSecond_ * clock_.elapsed() / 1000;
    const qint64 most = qint64(bytesPerSecond_) * kTickMs * kFloodBurstTicks / 1000 + 1;
    const qint64 count = std::min(due - sent_, most);
    sent_ = due;
    if (count <= 0) return;
    QByteArray noise(count, Qt::Uninitialized);
    for (char& byte : noise)
        byte = char(random_.bounded(256));
    line_.write(noise, 0); // a full line drops the rest: noise is not worth waiting for
}
