// The yardstick for the panel's start-up: a Qt widgets program that shows one plain window and
// nothing else. Prints the line ExposeProbe::reportAfter describes.
//   zeva-bench-trivial-window [SETTLE_MS]
#include "expose_probe.h"

#include <QWidget>
#include <cstdlib>

int main(int argc, char** argv)
{
    const double mainAtMs = bench::monotonicMs();
    const int settleMs = argc > 1 ? std::max(0, std::atoi(argv[1])) : 1500;
    QApplication app(argc, argv);
    ExposeProbe probe;
    QWidget window;
    window.resize(400, 300);
    window.show();
    return probe.reportAfter(mainAtMs, settleMs);
}
