// The window's side of the program, in its own module (see panel_module.h).
#include "app/log_option.h"
#include "app/panel_module.h"
#include "app/quit_signals.h"
#include "handover/handover_server.h"
#include "history/history_log.h"
#include "pjlink/password_file.h"
#include "pjlink/pjlink_server.h"
#include "window/emblem.h"
#include "window/form1.h"
#include "window/layout_builder.h"
#include "window/window_exchange_line.h"

#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <functional>
#include <thread>
#include <utility>

namespace
{

// Runs `then` once the window is on the screen (its first expose), or after kAtTheLatestMs if
// it is never exposed (started minimised): work that the first picture need not wait for.
constexpr int kAtTheLatestMs = 500;

class FirstExposeWatch : public QObject
{
  public:
    FirstExposeWatch(QWindow* window, std::function<void()> then)
        : QObject(window), then_(std::move(then))
    {
        window->installEventFilter(this);
        QTimer::singleShot(kAtTheLatestMs, Qt::PreciseTimer, this, &FirstExposeWatch::run);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed())
            QTimer::singleShot(0, this, &FirstExposeWatch::run); // after this expose is painted
        return false;
    }

  private:
    void run()
    {
        if (!then_) return;
        std::exchange(then_, nullptr)();
        deleteLater();
    }
    std::function<void()> then_;
};

void afterFirstExpose(QWidget& shown, std::function<void()> then)
{
    new FirstExposeWatch(shown.windowHandle(), std::move(then));
}

// The stand-ins for the designed faces, shipped in fonts/ beside the program where the system may
// lack them (the Windows packages). Where the system has the designed faces they still win.
void addFontsBesideProgram()
{
    const QDir dir(QCoreApplication::applicationDirPath() + QStringLiteral("/fonts"));
    for (const QString& name : dir.entryList({QStringLiteral("*.ttf")}, QDir::Files))
        QFontDatabase::addApplicationFont(dir.filePath(name));
}

} // namespace

extern "C" Q_DECL_EXPORT int zevaPanelMain(int& argc, char** argv, const Options& options)
{
    static_assert(std::is_same_v<decltype(&zevaPanelMain), PanelEntry>);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zeva-control"));
    QApplication::setApplicationVersion(QStringLiteral(ZEVA_VERSION));
    installFontSubstitutions();
    addFontsBesideProgram();
    // The font database is filled at the first use of a font (fontconfig reads its configuration
    // and caches): filled on another core while the window's controls are made, which then
    // find it ready or wait for it. Every function of the font database is thread-safe; the
    // substitutions are in place before it starts.
    std::jthread fontDatabase([] { (void)QFontDatabase::families(); });
    Form1 form;
    form.setDevices(options.com1, options.com2);
    form.setPortChoiceNote(options.portChoiceNote);
    HistoryLog log;
    if (!options.logPath.isEmpty()) {
        if (!openHistoryLog(log, options.logPath)) return kUsageExitCode;
        form.attachLog(log);
    }
    onTerminationSignals(&form, [&form] { form.endBySignal(); });
    form.Form_Load();
    if (form.endingBySignal()) return 0; // a signal came while a box of the start-up was open
    // Scripts hand their commands to this window while it holds the port. The sockets are made
    // once the window is up: each costs a directory, a bind and a rename, and a script that
    // comes before them opens the port itself and finds it in use, as before.
    HandoverServer handover(windowQueues(form));
    // PJLink clients reach whichever port the window holds, behind the operator's exchanges.
    if (!options.pjlink.isEmpty()) {
        // Read as the server reads it: never waited on, a credential's modes taken as they are.
        const PasswordFile password = options.pjlinkPasswordFile.isEmpty()
                                          ? PasswordFile()
                                          : readPasswordFile(options.pjlinkPasswordFile);
        if (!password.error.isEmpty()) {
            std::fprintf(stderr, "zeva-control: %s\n", qPrintable(password.error));
            return 1;
        }
        const PjlinkSetup setup{options.pjlink, password.password,
                                pjlinkName(options.name, options.com1)};
        const PjlinkStart pjlink = startPjlink(*windowQueue(form, {}, &form), setup, &form);
        if (!pjlink.server) {
            std::fprintf(stderr, "zeva-control: %s\n", qPrintable(pjlink.error));
            return 1;
        }
        QObject::connect(pjlink.server, &PjlinkServer::noted,
                         [&log](const QString& source, const QString& what) {
                             std::fprintf(stderr, "zeva-control: %s: %s\n", qPrintable(source),
                                          qPrintable(what));
                             log.writeEvent(what, source);
                         });
    }
    // The window goes on without scripts, but says why.
    const auto warn = [](const QString& what) {
        std::fprintf(stderr, "zeva-control: %s\n", qPrintable(what));
    };
    QObject::connect(&handover, &HandoverServer::noted, warn);
    QObject::connect(&handover, &HandoverServer::failed, warn);
    form.show();
    form.control(QStringLiteral("Command17"))->setFocus();
    // A device chosen in the Ports dialog takes scripts' commands too; the queue of one the
    // window no longer holds tells a script to open the port itself.
    QObject::connect(&form, &Form1::portDevicesChanged, &handover,
                     [&handover](const QString& com1, const QString& com2) {
                         handover.listen(com1);
                         handover.listen(com2);
                     });
    afterFirstExpose(form, [&handover, &options] {
        handover.listen(options.com1);
        handover.listen(options.com2);
        // Drawn in five sizes, a few milliseconds: the window manager takes it a moment later.
        QApplication::setWindowIcon(appIcon());
    });
    return app.exec();
}
