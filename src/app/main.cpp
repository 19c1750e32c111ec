#include "app/form1.h"
#include "app/layout_builder.h"
#include "app/list_ports.h"
#include "app/options.h"
#include "app/quit_signals.h"

#include <QApplication>
#include <QPushButton>
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
    const Options options = parseOptions(args);
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "zeva-control: %s\n\n%s", qPrintable(options.error),
                     qPrintable(usageText()));
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
    if (options.listPorts) {
        std::fputs(formatPortList(systemPorts()).toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (!displayAvailable()) {
        std::fputs("zeva-control: no display available (set DISPLAY, run under xvfb-run, or set "
                   "QT_QPA_PLATFORM=offscreen)\n",
                   stderr);
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zeva-control"));
    QApplication::setApplicationVersion(QStringLiteral(ZEVA_VERSION));
    installFontSubstitutions();
    Form1 form;
    form.MSComm1.setDevices(options.com1, options.com2);
    quitOnTerminationSignals(&form, [&form] { form.Command16_Click(); });
    form.Form_Load();
    form.show();
    form.control(QStringLiteral("Command17"))->setFocus();
    return app.exec();
}
