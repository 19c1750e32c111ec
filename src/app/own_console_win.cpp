#include "app/own_console.h"

#include <windows.h>

void releaseOwnConsole()
{
    // Only this process attached: the console was made for it, not inherited from a shell.
    DWORD processes[2];
    if (::GetConsoleProcessList(processes, 2) == 1) ::FreeConsole();
}
