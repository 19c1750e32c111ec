#include "app/panel_module.h"
#include "app/program_directory.h"

#include <QLibrary>
#include <cstdio>

namespace
{

// QLibrary adds the platform's suffix (.so, .dll).
const char* const kModuleName = "zeva-panel";
const char* const kInstalledModuleDir = "/../lib/zeva-control/";

} // namespace

int runPanel(int& argc, char** argv, const Options& options)
{
    const QString programDir = programDirectory();
    QLibrary module;
    module.setLoadHints(QLibrary::ResolveAllSymbolsHint);
    PanelEntry entry = nullptr;
    for (const char* dir : {"/", kInstalledModuleDir}) {
        module.setFileName(programDir + QLatin1String(dir) + QLatin1String(kModuleName));
        entry = reinterpret_cast<PanelEntry>(module.resolve(ZEVA_PANEL_ENTRY));
        if (entry) break;
    }
    if (!entry) {
        std::fprintf(stderr, "zeva-control: cannot load the window (%s)\n",
                     qPrintable(module.errorString()));
        return 1;
    }
    return entry(argc, argv, options);
}
