// The whole prediction of one sequence after its model is loaded: sample
// extraction, frame DP, traceback, error placement. Time and memory should
// grow linearly with the length.
#include <benchmark/benchmark.h>

#include "BenchModel.h"
#include "HeapPeak.h"
#include "Prediction.h"

namespace talvo::bench {
namespace {

void BM_Prediction(benchmark::State& state) {
    const int length = static_cast<int>(state.range(0));
    const Model model = BenchModel(ClassifySequence(length, 50.0).windowWidth);
    const WindowScorer scorer(model);  // compiled once per model, as a model set does
    const std::vector<short> bases = BenchSequence(length, 11);
    std::size_t heapPeak = 0;
    for (auto _ : state) {
        ResetHeapPeak();
        const Prediction prediction = Predict(model, scorer, bases, 50.0, PredictionOptions{});
        benchmark::DoNotOptimize(prediction.framePath.data());
        heapPeak = HeapPeakBytes();
    }
    state.SetItemsProcessed(state.iterations() * length);
    state.counters["time_per_base"] = benchmark::Counter(
        static_cast<double>(length),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["heap_peak"] =
        benchmark::Counter(static_cast<double>(heapPeak), benchmark::Counter::kDefaults,
                           benchmark::Counter::kIs1024);
    state.counters["heap_per_base"] = static_cast<double>(heapPeak) / length;
    state.counters["max_rss"] =
        benchmark::Counter(static_cast<double>(MaxRssBytes()), benchmark::Counter::kDefaults,
                           benchmark::Counter::kIs1024);
}
BENCHMARK(BM_Prediction)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace talvo::bench
