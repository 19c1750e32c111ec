// zeva-projector-sim: a projector on a pseudo-terminal, for trying the panel without one.
// Prints the slave path as its first line; the panel opens that path as its serial port.
#include "app/quit_signals.h"
#include "sim_line.h"
#include "sim_options.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

constexpr int kExitFailure = 1;

// Replaces a symlink at `path` (never a real file) with one to `target`.
bool makeLink(const QString& path, const QByteArray& target)
{
    const QByteArray where = QFile::encodeName(path);
    struct stat st = {};
    if (::lstat(where.constData(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            std::fprintf(stderr, "%s exists and is not a symlink\n", where.constData());
            return false;
        }
        ::unlink(where.constData());
    }
    if (::symlink(target.constData(), where.constData()) == 0) return true;
    std::perror(where.constData());
    return false;
}

// Removes the link only while it still points at our slave, so a newer run's link survives.
void removeLink(const QString& path, const QByteArray& target)
{
    const QByteArray where = QFile::encodeName(path);
    char buf[256] = {};
    const ssize_t n = ::readlink(where.constData(), buf, sizeof buf - 1);
    if (n > 0 && QByteArray(buf, n) == target) ::unlink(where.constData());
}

// Reads commands from the line and answers them; after the hang-up command, ends the line.
class SimSession
{
  public:
    SimSession(SimPty& pty, const SimOptions& options)
        : pty_(pty), style_(options.style), hangUpAfter_(options.hangUpAfter),
          garbageRandom_(options.seed), projector_(options.timing), outbox_(pty.master()),
          flood_(pty.master(), options.floodRate, options.seed + 1),
          notifier_(pty.master(), QSocketNotifier::Read)
    {
        clock_.start();
        drainTimer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&notifier_, &QSocketNotifier::activated, [this] { readLine(); });
        QObject::connect(&drainTimer_, &QTimer::timeout, [this] { hangUpOnceRead(); });
    }

  private:
    void readLine()
    {
        char buf[512];
        ssize_t n;
        while (notifier_.isEnabled() && (n = ::read(pty_.master(), buf, sizeof buf)) > 0) {
            for (const QByteArray& command : framer_.feed(QByteArray(buf, n)))
                if (!answer(command)) return;
        }
    }

    // Returns false once the command that ends the line has been answered.
    bool answer(const QByteArray& command)
    {
        const QByteArray reply = projector_.answer(command, clock_.elapsed());
        const bool last = hangUpAfter_ > 0 && ++commands_ == hangUpAfter_;
        if (last) {
            notifier_.setEnabled(false); // later commands go unanswered: the line is going
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
        if (waited < kDrainGraceMs || (pty_.unread() > 0 && waited < kDrainMostMs)) return;
        drainTimer_.stop();
        pty_.hangUp();
        QCoreApplication::exit(0);
    }

    static constexpr int kDrainPollMs = 10;
    static constexpr int kDrainGraceMs = 20;  // lets written bytes reach the slave's queue
    static constexpr int kDrainMostMs = 1000; // nobody reading: hang up anyway

    SimPty& pty_;
    ReplyStyle style_;
    int hangUpAfter_;
    int commands_ = 0;
    QRandomGenerator garbageRandom_;
    QElapsedTimer clock_;
    CommandFramer framer_;
    SimProjector projector_;
    ReplyOutbox outbox_;
    FloodSource flood_;
    QSocketNotifier notifier_;
    QTimer drainTimer_;
    QElapsedTimer drainClock_;
};

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    SimOptions options;
    if (const int code = parseSimOptions(app.arguments(), options); code >= 0) return code;

    // Signals first: a caller may stop us as soon as it has read the path.
    const bool stoppable = onTerminationSignals(&app, [] { QCoreApplication::quit(); });
    SimPty pty;
    if (!stoppable || !pty.open()) {
        std::perror("zeva-projector-sim");
        return kExitFailure;
    }
    const bool linked = !options.linkPath.isEmpty();
    if (linked && !makeLink(options.linkPath, pty.slavePath())) return kExitFailure;

    std::printf("%s\n", pty.slavePath().constData());
    std::fflush(stdout);
    if (options.style.garbage > 0 || options.floodRate > 0)
        std::fprintf(stderr, "seed %u\n", options.seed); // to repeat this run with --seed

    SimSession session(pty, options);
    const int code = app.exec();

    if (linked) removeLink(options.linkPath, pty.slavePath());
    return code;
}
