// The receive path under Google Benchmark: the rendering and decoding of replies from 1 to 32767
// characters, and the window's whole receive step (serial event, RxBuffer, RXD line, decoding,
// status line) for a reply piece, with the buffer fresh and with it already full.
//   zeva-bench-receive [--benchmark_... options]
#include "bench_util.h"
#include "status/decode.h"
#include "status/display_form.h"
#include "window/form1.h"
#include "window/layout_builder.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <map>
#include <memory>
#include <unistd.h>

namespace
{

const QString kStatusQuery = QStringLiteral("CR0\r");
constexpr int kFloodPiece = 58;  // bytes of one 5 ms piece at 115200 baud
constexpr double kPieceMs = 5.0; // the window must finish a piece before the next one comes
Form1* gForm = nullptr;

// Reproducible line noise: every byte value, controls and characters above 'z' included.
QByteArray noise(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 state = 0x2545F491u;
    for (char& c : bytes) {
        state = state * 1664525u + 1013904223u;
        c = char(state >> 24);
    }
    return bytes;
}

void BM_RenderDecode(benchmark::State& state)
{
    const QString reply = QString::fromLatin1(noise(state.range(0)));
    for (auto _ : state) {
        const QString caption = DisplayForm(reply);
        benchmark::DoNotOptimize(decodeReply(kStatusQuery, caption));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_Form1ReceiveStep(benchmark::State& state)
{
    const QByteArray piece = noise(state.range(0));
    gForm->LastCommand = kStatusQuery;
    for (auto _ : state) {
        gForm->MSComm1.injectReceived(piece);
        gForm->Timer2_Timer(); // ends the exchange: the next piece starts a fresh buffer
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_Form1ReceiveIntoFullBuffer(benchmark::State& state)
{
    const QByteArray piece = noise(state.range(0));
    gForm->LastCommand = kStatusQuery;
    gForm->Timer2_Timer();
    gForm->MSComm1.injectReceived(noise(kMaxRenderedChars));
    for (auto _ : state)
        gForm->MSComm1.injectReceived(piece);
    gForm->Timer2_Timer();
}

// clang-format off
BENCHMARK(BM_RenderDecode)              ->RangeMultiplier(8)->Range(1, 32767)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Form1ReceiveStep)          ->RangeMultiplier(8)->Range(1, 32767)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Form1ReceiveIntoFullBuffer)->Arg(kFloodPiece)                   ->Unit(benchmark::kMicrosecond);
// clang-format on

// Prints as usual and keeps each benchmark's real time per iteration, in µs, for the summary.
class SummaryReporter : public benchmark::ConsoleReporter
{
  public:
    // Colours only on a terminal: the summary lines must stay plain for run-all.sh.
    SummaryReporter() : ConsoleReporter(::isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}
    std::map<std::string, double> micros;
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (!run.error_occurred && run.run_type == Run::RT_Iteration)
                micros[run.benchmark_name()] = run.GetAdjustedRealTime() * 1e6 /
                                               benchmark::GetTimeUnitMultiplier(run.time_unit);
    }
    double at(const std::string& name) const
    {
        const auto it = micros.find(name);
        return it == micros.end() ? -1 : it->second;
    }
};

void printSummary(const SummaryReporter& r)
{
    const auto pair = [&r](const char* row, const std::string& small, const std::string& large) {
        if (r.at(small) >= 0 && r.at(large) >= 0)
            bench::figureRow(row, bench::format("%.2f µs / %.0f µs", r.at(small), r.at(large)));
    };
    pair("receive: render + decode, 1 / 32767 chars", "BM_RenderDecode/1", "BM_RenderDecode/32767");
    pair("receive: Form1 step, piece of 1 / 32767 chars", "BM_Form1ReceiveStep/1",
         "BM_Form1ReceiveStep/32767");
    const double full = r.at("BM_Form1ReceiveIntoFullBuffer/" + std::to_string(kFloodPiece));
    if (full >= 0)
        bench::summaryRow("receive: Form1 step, 58-char piece into a full buffer",
                          bench::format("%.0f µs", full), "< 5 ms (one flood piece; derived)",
                          full < kPieceMs * 1000);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    installFontSubstitutions();
    // Not connected to any port: the pieces come in through the serial layer's test seam.
    auto form = std::make_unique<Form1>();
    gForm = form.get();
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printSummary(reporter);
    benchmark::Shutdown();
    return 0;
}
