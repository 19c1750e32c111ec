#include "app/panel_module.h"

#include <QFileInfo>
#include <cstdio>
#include <dlfcn.h>

namespace
{

const char* const kModuleName = "zeva-panel.so";
const char* const kInstalledModuleDir = "/../lib/zeva-control/";

} // namespace

int runPanel(int& argc, char** argv, const Options& options)
{
    const QString programDir = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    void* module = nullptr;
    for (const char* dir : {"/", kInstalledModuleDir}) {
        const QByteArray path = QFile::encodeName(programDir) + dir + kModuleName;
        module = ::dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL);
        if (module) break;
    }
    const auto entry =
        module ? reinterpret_cast<PanelEntry>(::dlsym(module, ZEVA_PANEL_ENTRY)) : nullptr;
    if (!entry) {
        std::fprintf(stderr, "zeva-control: cannot load the window (%s)\n", ::dlerror());
        return 1;
    }
    return entry(argc, argv, options);
}
