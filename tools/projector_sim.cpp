// zeva-projector-sim: a projector on a pseudo-terminal or a TCP port, for trying the panel
// without one. Prints what the panel opens as its first line: the slave path or socket://.
#include "app/quit_signals.h"
#include "sim_line.h"
#include "sim_options.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>

namespace
{

constexpr int kExitFailure = 1;

// Reads commands from the line and answers them; after the hang-up command, ends the line.
class SimSession
{
  public:
    SimSession(SimLine& line, const SimOptions& options)
        : line_(line), style_(options.style), hangUpAfter_(options.hangUpAfter),
          garbageRandom_(options.seed), projector_(options.timing), outbox_(line),
          flood_(line, options.floodRate, options.seed + 1)
    {
        clock_.start();
        drainTimer_.setTimerType(Qt::PreciseTimer);
        line_.whenReadable([this] { readLine(); });
        QObject::connect(&drainTimer_, &QTimer::timeout, [this] { hangUpOnceRead(); });
    }

  private:
    void readLine()
    {
        QByteArray bytes;
        while (reading_ && !(bytes = line_.read()).isEmpty()) {
            for (const QByteArray& command : framer_.feed(bytes))
                if (!answer(command)) return;
        }
    }

    // Returns false once the command that ends the line has been answered.
    bool answer(const QByteArray& command)
    {
        const QByteArray reply = projector_.answer(command, clock_.elapsed());
        const bool last = hangUpAfter_ > 0 && ++commands_ == hangUpAfter_;
        if (last) {
            reading_ = false; // later commands go unanswered: the line is going
            outbox_.whenEmpty([this] { startHangUp(); });
        }
        outbox_.post(planReply(reply, style_, garbageRandom_));
        return !last;
    }

    // The reply is written; a hang-up now would throw away what the panel has not read yet.
    void startHangUp()
    {
        flood_.stop();
        drainClock_.start();
        drainTimer_.start(kDrainPollMs);
    }

    void hangUpOnceRead()
    {
        const qint64 waited = drainClock_.elapsed();
        if (waited < kDrainGraceMs || (line_.unread() > 0 && waited < kDrainMostMs)) return;
        drainTimer_.stop();
        line_.hangUp();
        QCoreApplication::exit(0);
    }

    static constexpr int kDrainPollMs = 10;
    static constexpr int kDrainGraceMs = 20;  // lets written bytes reach the slave's queue
    static constexpr int kDrainMostMs = 1000; // nobody reading: hang up anyway

    SimLine& line_;
    bool reading_ = true;
    ReplyStyle style_;
    int hangUpAfter_;
    int commands_ = 0;
    QRandomGenerator garbageRandom_;
    QElapsedTimer clock_;
    CommandFramer framer_;
    SimProjector projector_;
    ReplyOutbox outbox_;
    FloodSource flood_;
    QTimer drainTimer_;
    QElapsedTimer drainClock_;
};

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    SimOptions options;
    if (const int code = parseSimOptions(app.arguments(), options); code >= 0) return code;

    // Signals first: a caller may stop us as soon as it has read the first line.
    if (!onTerminationSignals(&app, [] { QCoreApplication::quit(); })) {
        std::perror("zeva-projector-sim");
        return kExitFailure;
    }
    const std::unique_ptr<SimLine> line =
        options.listenHost.isEmpty() ? openPtyLine(options.linkPath)
                                     : listenTcpLine(options.listenHost, options.listenPort);
    if (!line) return kExitFailure;

    std::printf("%s\n", line->address().constData());
    std::fflush(stdout);
    if (options.style.garbage > 0 || options.floodRate > 0)
        std::fprintf(stderr, "seed %u\n", options.seed); // to repeat this run with --seed

    SimSession session(*line, options);
    return app.exec();
}
