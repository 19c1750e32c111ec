// Windows has no pseudo-terminals: there the simulator listens on TCP only.
#include "sim_line.h"

#include <cstdio>

std::unique_ptr<SimLine> openPtyLine(const QString&)
{
    std::fprintf(stderr, "zeva-projector-sim: this system has no pseudo-terminals; use "
                         "--listen [ADDR:]PORT and open socket://ADDR:PORT in the panel\n");
    return nullptr;
}
