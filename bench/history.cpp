// The exchange history: the cost of adding one entry once the ring is full, the allocations that
// costs, the memory of 100,000 entries, and the History window opening on them and scrolling.
//   zeva-bench-history
#include "history/history.h"
#include "bench_util.h"
#include "window/form1.h"
#include "window/history_window.h"
#include "window/layout_builder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTableView>
#include <atomic>
#include <cstdlib>
#include <random>

// Every allocation of the process is counted while `gCounting` is set (glibc's own allocator
// does the work). AddressSanitizer brings its own allocator: there nothing is counted.
#ifndef __SANITIZE_ADDRESS__
#define ZEVA_COUNT_ALLOCATIONS 1
extern "C" void* __libc_malloc(size_t size);
extern "C" void* __libc_calloc(size_t count, size_t size);
extern "C" void* __libc_realloc(void* p, size_t size);
namespace
{
std::atomic<bool> gCounting{false};
std::atomic<long> gAllocations{0};
void noteAllocation()
{
    if (gCounting.load(std::memory_order_relaxed)) gAllocations.fetch_add(1);
}
} // namespace
extern "C" void* malloc(size_t size)
{
    noteAllocation();
    return __libc_malloc(size);
}
extern "C" void* calloc(size_t count, size_t size)
{
    noteAllocation();
    return __libc_calloc(count, size);
}
extern "C" void* realloc(void* p, size_t size)
{
    noteAllocation();
    return __libc_realloc(p, size);
}
#else
#define ZEVA_COUNT_ALLOCATIONS 0
namespace
{
std::atomic<bool> gCounting{false};
std::atomic<long> gAllocations{0};
} // namespace
#endif

namespace
{

constexpr double kMaxAddUs = 5;
constexpr double kMaxRssMiB = 25;
constexpr double kMaxOpenMs = 100;
constexpr double kMaxFrameMs = 16;

// What a session leaves: presses answered ACK, queries answered and decoded, time-outs.
void addOne(ExchangeHistory& history, int i)
{
    static const QString commands[] = {QStringLiteral("C47\r"), QStringLiteral("CR0\r"),
                                       QStringLiteral("CF SOURCE AUTO\r")};
    static const QString replies[] = {QStringLiteral("\x06"), QStringLiteral("00\r"),
                                      QStringLiteral("0")};
    static const QString status = QStringLiteral(" Power ON");
    static const QString mark = QStringLiteral(" X X X X");
    switch (i % 4) {
    case 0:
        history.addTx(commands[(i / 4) % 3], (i / 4) % 3 == 0);
        break;
    case 1:
        history.addRx(replies[(i / 4) % 3], true);
        break;
    case 2:
        history.addStatus(status);
        break;
    default:
        history.addTimeOut(mark);
        break;
    }
}

void benchAdd()
{
    ExchangeHistory history;
    int i = 0;
    for (; i < 2 * ExchangeHistory::kCapacity; ++i) // warm: the ring is full and wraps
        addOne(history, i);
    std::vector<double> us;
    us.reserve(200000);
    QElapsedTimer clock;
    gAllocations = 0;
    for (int n = 0; n < 200000; ++n, ++i) {
        clock.start();
        gCounting = true;
        addOne(history, i);
        gCounting = false;
        us.push_back(double(clock.nsecsElapsed()) / 1000.0);
    }
    const double median = bench::percentile(us, 0.5);
    const long allocations = gAllocations;
    const double perEntry = double(allocations) / 200000.0;
    bench::summaryRow("history: add one entry, ring full (median / p99)",
                      bench::format("%.2f µs / %.2f µs", median, bench::percentile(us, 0.99)),
                      "median ≤ 5 µs", median <= kMaxAddUs);
    // The counter itself must see an allocation, or its zero means nothing.
    gAllocations = 0;
    gCounting = true;
    const QString probe(100, QLatin1Char('a'));
    gCounting = false;
    if (ZEVA_COUNT_ALLOCATIONS && gAllocations == 0) std::puts("allocation counter sees nothing");
    if (ZEVA_COUNT_ALLOCATIONS && gAllocations > 0)
        bench::summaryRow("history: allocations per entry once warm",
                          bench::format("%.3f", perEntry), "0", allocations == 0);
}

double fill(ExchangeHistory& history)
{
    const double before = bench::rssMiB();
    for (int i = 0; i < ExchangeHistory::kCapacity; ++i)
        addOne(history, i);
    return bench::rssMiB() - before;
}

// Counts the paints of a widget, so that a frame is timed only once it has really been drawn.
class PaintProbe : public QObject
{
  public:
    explicit PaintProbe(QWidget* widget) { widget->installEventFilter(this); }
    int paints = 0;

  protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// Runs the event loop until the probe has seen one paint more than `before`.
void waitForPaint(const PaintProbe& probe, int before)
{
    QElapsedTimer limit;
    limit.start();
    while (probe.paints <= before && limit.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
}

// Ctrl+H on a running panel: from the key to the end of the table's first paint.
double openWindow(Form1& form)
{
    QElapsedTimer clock;
    clock.start();
    form.Form_KeyDown(Qt::Key_H, 2);
    PaintProbe probe(form.historyWindow()->table()->viewport());
    waitForPaint(probe, 0);
    return double(clock.nsecsElapsed()) / 1e6;
}

std::vector<double> scrollFrames(HistoryWindow& window)
{
    QScrollBar* bar = window.table()->verticalScrollBar();
    PaintProbe probe(window.table()->viewport());
    std::mt19937 random(7);
    std::vector<double> ms;
    QElapsedTimer clock;
    for (int i = 0; i < 200; ++i) {
        const int before = probe.paints;
        const int from = bar->value();
        clock.start();
        // A page up (or down near the top), then a jump anywhere, as a scrolling operator does.
        if (i % 2)
            bar->setValue(int(random() % quint32(bar->maximum() + 1)));
        else
            bar->triggerAction(from > bar->pageStep() ? QAbstractSlider::SliderPageStepSub
                                                      : QAbstractSlider::SliderPageStepAdd);
        if (bar->value() == from) continue; // nothing moved, nothing to draw
        waitForPaint(probe, before);
        ms.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    return ms;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchAdd();
    installFontSubstitutions();
    // The panel is up, not connected to any port, when the operator opens the History window.
    Form1 form;
    form.show();
    QCoreApplication::processEvents();
    const double grown = fill(form.history);
    bench::summaryRow("history: 100,000 entries, RSS over an empty history",
                      bench::format("%.1f MiB", grown), "≤ 25 MiB", grown <= kMaxRssMiB);
    {
        // The bound: pieces long enough to fill the text ring as well as the entries.
        ExchangeHistory full;
        const double before = bench::rssMiB();
        const QString piece(ExchangeHistory::kTextBytes / ExchangeHistory::kCapacity + 1,
                            QLatin1Char('A'));
        for (int i = 0; i < 2 * ExchangeHistory::kCapacity; ++i)
            full.addRx(piece, true);
        const double grownFull = bench::rssMiB() - before;
        bench::summaryRow("history: full to both bounds (entries and text), RSS over empty",
                          bench::format("%.1f MiB", grownFull), "≤ 25 MiB",
                          grownFull <= kMaxRssMiB);
    }
    const double openMs = openWindow(form);
    bench::summaryRow("history: window opens on 100,000 entries", bench::format("%.1f ms", openMs),
                      "≤ 100 ms", openMs <= kMaxOpenMs);
    HistoryWindow* window = form.historyWindow();
    const std::vector<double> frames = scrollFrames(*window);
    const double worst = bench::percentile(frames, 1.0);
    bench::summaryRow("history: scrolling 100,000 entries, frames (median / worst)",
                      bench::format("%.1f ms / %.1f ms", bench::percentile(frames, 0.5), worst),
                      "worst ≤ 16 ms", worst <= kMaxFrameMs);
    return 0;
}
