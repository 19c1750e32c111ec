// zeva-projector-sim: a projector on a pseudo-terminal, for trying the panel without one.
// Prints the slave path as its first line; the panel opens that path as its serial port.
#include "sim_projector.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace
{

constexpr int kExitUsage = 2;
constexpr int kExitFailure = 1;
constexpr int kWriteStallMs = 200; // longest wait for room on the line before a reply is dropped

struct SimOptions {
    ReplyStyle style;
    SimTiming timing;
    QString linkPath;
};

struct Pty {
    int master = -1;
    int slaveKeep = -1; // held open so the master never sees a hang-up when the panel reopens
    QByteArray slavePath;
};

bool openRawPty(Pty& pty)
{
    char name[256] = {};
    if (openpty(&pty.master, &pty.slaveKeep, name, nullptr, nullptr) != 0) return false;
    termios tio{};
    tcgetattr(pty.slaveKeep, &tio);
    cfmakeraw(&tio);
    tcsetattr(pty.slaveKeep, TCSANOW, &tio);
    fcntl(pty.master, F_SETFL, fcntl(pty.master, F_GETFL) | O_NONBLOCK);
    fcntl(pty.master, F_SETFD, FD_CLOEXEC);
    fcntl(pty.slaveKeep, F_SETFD, FD_CLOEXEC);
    pty.slavePath = name;
    return true;
}

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

int gSignalWriteFd = -1;

extern "C" void onStopSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(gSignalWriteFd, &byte, 1);
    errno = saved;
}

// SIGINT and SIGTERM become a byte on a pipe that the event loop watches.
int installStopSignals()
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return -1;
    gSignalWriteFd = fds[1];
    struct sigaction sa = {};
    sa.sa_handler = onStopSignal;
    sa.sa_flags = SA_RESTART;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    return fds[0];
}

// Writes reply pieces in order, each after its pause. One queue, so a reply that is still
// being delivered in pieces is never overtaken by the next one.
class ReplyOutbox
{
  public:
    explicit ReplyOutbox(int fd) : fd_(fd)
    {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, [this] { sendDue(); });
    }

    void post(const QList<ReplyPiece>& pieces)
    {
        queue_.append(pieces);
        if (!timer_.isActive()) sendDue();
    }

  private:
    void sendDue()
    {
        while (!queue_.isEmpty()) {
            ReplyPiece& next = queue_.first();
            if (next.delayMs > 0) {
                timer_.start(std::exchange(next.delayMs, 0));
                return;
            }
            writeAll(queue_.takeFirst().bytes);
        }
    }

    // The master is non-blocking; when nobody reads the slave for a while the reply is
    // dropped (as on a real line) rather than freezing the simulator.
    void writeAll(const QByteArray& bytes)
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd_, bytes.constData() + done, size_t(bytes.size() - done));
            if (n > 0) {
                done += n;
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            pollfd p{fd_, POLLOUT, 0};
            if (n < 0 && errno == EAGAIN && ::poll(&p, 1, kWriteStallMs) > 0) continue;
            std::fprintf(stderr, "reply dropped: line not read\n");
            return;
        }
    }

    int fd_;
    QTimer timer_;
    QList<ReplyPiece> queue_;
};

// Reads commands from the line and answers them.
class SimSession
{
  public:
    SimSession(int master, const ReplyStyle& style, SimTiming timing)
        : master_(master), style_(style), projector_(timing), outbox_(master),
          notifier_(master, QSocketNotifier::Read)
    {
        clock_.start();
        QObject::connect(&notifier_, &QSocketNotifier::activated, [this] { readLine(); });
    }

  private:
    void readLine()
    {
        char buf[512];
        ssize_t n;
        while ((n = ::read(master_, buf, sizeof buf)) > 0) {
            for (const QByteArray& command : framer_.feed(QByteArray(buf, n)))
                outbox_.post(planReply(projector_.answer(command, clock_.elapsed()), style_));
        }
    }

    int master_;
    ReplyStyle style_;
    QElapsedTimer clock_;
    CommandFramer framer_;
    SimProjector projector_;
    ReplyOutbox outbox_;
    QSocketNotifier notifier_;
};

int usageError(const QCommandLineParser& parser, const QString& why)
{
    std::fprintf(stderr, "%s\n\n%s", qPrintable(why), qPrintable(parser.helpText()));
    return kExitUsage;
}

// Returns -1 when the options are good, else the exit code.
int parseOptions(const QCoreApplication& app, SimOptions& options)
{
    QCommandLineParser parser;
    parser.setApplicationDescription("A virtual projector on a pseudo-terminal. Prints the "
                                     "slave path as its first line.");
    const QCommandLineOption help({"h", "help"}, "Show this help.");
    const QCommandLineOption silent("silent", "Never answer.");
    const QCommandLineOption split("split", "Send every reply in two pieces, 20 ms apart.");
    const QCommandLineOption link("link", "Also make a symlink to the slave at <path>.", "path");
    const QCommandLineOption transition(
        "transition-ms", "Count-down and cooling time (default 3000).", "ms", "3000");
    parser.addOptions({help, silent, split, link, transition});

    if (!parser.parse(app.arguments())) return usageError(parser, parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return usageError(parser, "Unexpected argument: " + parser.positionalArguments().first());
    bool ok = false;
    const int transitionMs = parser.value(transition).toInt(&ok);
    if (!ok || transitionMs < 0) return usageError(parser, "Bad --transition-ms value.");
    if (parser.isSet(help)) {
        std::printf("%s", qPrintable(parser.helpText()));
        return 0;
    }
    options.style.silent = parser.isSet(silent);
    options.style.split = parser.isSet(split);
    options.linkPath = parser.value(link);
    options.timing = {transitionMs, transitionMs};
    return -1;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    SimOptions options;
    if (const int code = parseOptions(app, options); code >= 0) return code;

    // Signals first: a caller may stop us as soon as it has read the path.
    const int stopFd = installStopSignals();
    Pty pty;
    if (stopFd < 0 || !openRawPty(pty)) {
        std::perror("zeva-projector-sim");
        return kExitFailure;
    }
    const bool linked = !options.linkPath.isEmpty();
    if (linked && !makeLink(options.linkPath, pty.slavePath)) return kExitFailure;

    std::printf("%s\n", pty.slavePath.constData());
    std::fflush(stdout);

    QSocketNotifier stopNotifier(stopFd, QSocketNotifier::Read);
    QObject::connect(&stopNotifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    SimSession session(pty.master, options.style, options.timing);
    const int code = app.exec();

    if (linked) removeLink(options.linkPath, pty.slavePath);
    return code;
}
