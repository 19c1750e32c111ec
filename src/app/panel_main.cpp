// The window's side of the program, in its own module (see panel_module.h).
#include "app/log_option.h"
#include "app/panel_module.h"
#include "app/quit_signals.h"
#include "history/history_log.h"
#include "script/handover_server.h"
#include "script/pjlink_server.h"
#include "window/form1.h"
#include "window/layout_builder.h"
#include "window/window_exchange_line.h"

#include <QApplication>
#include <cstdio>

extern "C" Q_DECL_EXPORT int zevaPanelMain(int& argc, char** argv, const Options& options)
{
    static_assert(std::is_same_v<decltype(&zevaPanelMain), PanelEntry>);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zeva-control"));
    QApplication::setApplicationVersion(QStringLiteral(ZEVA_VERSION));
    installFontSubstitutions();
    Form1 form;
    form.MSComm1.setDevices(options.com1, options.com2);
    HistoryLog log;
    if (!options.logPath.isEmpty()) {
        if (!openHistoryLog(log, options.logPath)) return kUsageExitCode;
        form.attachLog(log);
    }
    onTerminationSignals(&form, [&form] { form.endBySignal(); });
    form.Form_Load();
    if (form.endingBySignal()) return 0; // a signal came while a box of the start-up was open
    // Scripts hand their commands to this window while it holds the port.
    HandoverServer handover(windowQueues(form));
    handover.listen(options.com1);
    handover.listen(options.com2);
    // PJLink clients reach whichever port the window holds, behind the operator's exchanges.
    if (!options.pjlink.isEmpty()) {
        const PjlinkSetup setup{options.pjlink, options.pjlinkPasswordFile,
                                pjlinkName(options.name, options.com1)};
        if (const PjlinkStart pjlink = startPjlink(*windowQueue(form, {}, &form), setup, &form);
            !pjlink.server) {
            std::fprintf(stderr, "zeva-control: %s\n", qPrintable(pjlink.error));
            return 1;
        }
    }
    form.show();
    form.control(QStringLiteral("Command17"))->setFocus();
    return app.exec();
}
