// The program's start: what needs no window (help, version, port listing, scripted commands)
// runs here on Qt Core alone; the window is loaded from its module only when it is wanted.
#include "app/log_option.h"
#include "app/options.h"
#include "app/own_console.h"
#include "app/panel_module.h"
#include "app/quit_signals.h"
#include "app/serve_run.h"
#include "history/history_log.h"
#include "pjlink/password_file.h"
#include "ports/default_devices.h"
#include "ports/list_ports.h"
#include "ports/port_choice_settings.h"
#include "script/script_run.h"

#include <QCoreApplication>
#include <cstdio>

namespace
{

bool displayAvailable()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    return qEnvironmentVariableIsSet("QT_QPA_PLATFORM") ||
           !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
    return true;
#endif
}

} // namespace

int main(int argc, char** argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const PortChoiceRead remembered = readPortChoice(*openPortChoiceStore());
    Options options = parseOptions(args, QLatin1String(kDevDirectory), remembered.choice);
    if (!options.error.isEmpty()) {
        std::fputs(qPrintable(usageErrorText(options.error)), stderr);
        return kUsageExitCode;
    }
    if (options.help) {
        std::fputs(qPrintable(usageText()), stdout);
        return 0;
    }
    if (options.version) {
        std::puts("zeva-control " ZEVA_VERSION);
        return 0;
    }
    options.portChoiceNote = remembered.problems.join(QLatin1Char('\n'));
    for (const QString& problem : remembered.problems)
        std::fprintf(stderr, "zeva-control: %s\n", qPrintable(problem));
    if (options.listPorts) {
        std::fputs(
            formatPortList(systemPorts(), {options.com1, options.com2}).toLocal8Bit().constData(),
            stdout);
        return 0;
    }
    if (!options.sends.isEmpty()) {
        QCoreApplication app(argc, argv);
        return runScript({.com1 = options.com1,
                          .com2 = options.com2,
                          .port = options.port,
                          .settings = options.settings,
                          .timeoutMs = options.timeoutMs,
                          .json = options.json,
                          .sends = options.sends});
    }
    // The server's password first, before anything is opened: a file that cannot be used
    // stops the start at once.
    PasswordFile password;
    if (options.serve && !options.pjlink.isEmpty() && !options.pjlinkPasswordFile.isEmpty()) {
        password = readPasswordFile(options.pjlinkPasswordFile);
        if (!password.error.isEmpty()) {
            std::fprintf(stderr, "zeva-control: %s\n", qPrintable(password.error));
            return 1;
        }
    }
    // Tried before the server starts or the window is loaded, so that a log that cannot be
    // written stops the start; each opens it again for itself.
    if (HistoryLog log; !options.logPath.isEmpty() && !openHistoryLog(log, options.logPath))
        return kUsageExitCode;
    if (options.serve) {
        QCoreApplication app(argc, argv);
        // The port is closed and its lock and the hand-over socket removed on the way out.
        onTerminationSignals(&app, [] { QCoreApplication::quit(); });
        return runServe({.com1 = options.com1,
                         .com2 = options.com2,
                         .port = options.port,
                         .settings = options.settings,
                         .logPath = options.logPath,
                         .pjlinkAddress = options.pjlink,
                         .pjlinkPassword = password.password,
                         .name = options.name});
    }
    if (!displayAvailable()) {
        std::fputs("zeva-control: no display available (set DISPLAY, run under xvfb-run, or set "
                   "QT_QPA_PLATFORM=offscreen)\n",
                   stderr);
        return 1;
    }
    releaseOwnConsole();
    return runPanel(argc, argv, options);
}
