// The window's side of the program, in its own module (see panel_module.h).
#include "app/form1.h"
#include "app/handover_server.h"
#include "app/layout_builder.h"
#include "app/panel_module.h"

#include <QApplication>
#include <QSocketNotifier>
#include <csignal>
#include <sys/signalfd.h>
#include <unistd.h>

namespace
{

// SIGTERM, SIGINT and SIGHUP end the program as closing the window does, so that the port is
// closed and the hand-over socket removed. The signals are blocked before any thread starts and
// read from a descriptor on the event loop, never in a handler.
class QuitOnSignals
{
  public:
    QuitOnSignals()
    {
        sigset_t set;
        sigemptyset(&set);
        for (const int signal : {SIGTERM, SIGINT, SIGHUP})
            sigaddset(&set, signal);
        if (pthread_sigmask(SIG_BLOCK, &set, nullptr) == 0)
            fd_ = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    }
    ~QuitOnSignals()
    {
        if (fd_ >= 0) ::close(fd_);
    }
    void attach(QCoreApplication& app)
    {
        if (fd_ < 0) return;
        notifier_.emplace(fd_, QSocketNotifier::Read);
        QObject::connect(&*notifier_, &QSocketNotifier::activated, &app, [this] {
            signalfd_siginfo info;
            while (::read(fd_, &info, sizeof info) == sizeof info) {
            }
            QCoreApplication::quit();
        });
    }

  private:
    int fd_ = -1;
    std::optional<QSocketNotifier> notifier_;
};

} // namespace

extern "C" Q_DECL_EXPORT int zevaPanelMain(int& argc, char** argv, const Options& options)
{
    static_assert(std::is_same_v<decltype(&zevaPanelMain), PanelEntry>);
    QuitOnSignals signals;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zeva-control"));
    QApplication::setApplicationVersion(QStringLiteral(ZEVA_VERSION));
    signals.attach(app);
    installFontSubstitutions();
    Form1 form;
    form.MSComm1.setDevices(options.com1, options.com2);
    form.Form_Load();
    // Scripts hand their commands to this window while it holds the port.
    HandoverServer handover(form);
    handover.listen(options.com1);
    handover.listen(options.com2);
    form.show();
    form.control(QStringLiteral("Command17"))->setFocus();
    return app.exec();
}
