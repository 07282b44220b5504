// Sample extraction: one window per codon position and frame, each counted
// and scored by the 500 rules of the model.
#include <benchmark/benchmark.h>

#include "BenchModel.h"
#include "Model.h"
#include "WebPredict.h"

namespace talvo::bench {
namespace {

void BM_SampleExtraction(benchmark::State& state) {
    FillBenchModel();
    const int length = static_cast<int>(state.range(0));
    WebPredict run;
    run.baseArray = BenchSequence(length, 7);
    run.arrayLen = length;
    run.seqLen = length;
    WINDOW_WIDTH = ClassifySequence(length, 50.0).windowWidth;
    for (auto _ : state) {
        // The extraction appends to the score rows; start each pass empty.
        for (auto& scores : run.frameScore) scores.clear();
        run.GetSmplsFromArray();
        benchmark::DoNotOptimize(run.seqLayout.windowClasses[0].data());
    }
    state.SetItemsProcessed(state.iterations() * length);
    state.counters["time_per_base"] = benchmark::Counter(
        static_cast<double>(length),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SampleExtraction)->Arg(3000)->Arg(30000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace talvo::bench
