#pragma once
// The window lives in a module of its own, loaded only when the window is wanted: the scripted
// road and --version start without the widget libraries, which cost more than all the rest of
// a scripted command.
#include "app/options.h"

// Entry point of the module, exported under this name.
#define ZEVA_PANEL_ENTRY "zevaPanelMain"
using PanelEntry = int (*)(int& argc, char** argv, const Options& options);

// Loads the module (beside the program, or in ../lib/zeva-control when installed) and runs the
// panel; 1 with a message on stderr when the module cannot be loaded.
int runPanel(int& argc, char** argv, const Options& options);
