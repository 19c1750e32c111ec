#include "app/own_console.h"

void releaseOwnConsole() {}
