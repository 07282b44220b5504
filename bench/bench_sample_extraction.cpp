// Sample extraction: one window per codon position and frame, each counted
// and scored by the 500 rules of the model.
#include <benchmark/benchmark.h>

#include "BenchModel.h"
#include "SampleExtraction.h"
#include "SequenceClass.h"

namespace talvo::bench {
namespace {

void BM_SampleExtraction(benchmark::State& state) {
    const int length = static_cast<int>(state.range(0));
    const Model model = BenchModel(ClassifySequence(length, 50.0).windowWidth);
    const WindowScorer scorer(model);  // compiled once per model
    const std::vector<short> bases = BenchSequence(length, 7);
    layout lay;
    std::array<std::vector<double>, 3> scores;
    for (auto _ : state) {
        ExtractSamples(scorer, bases.data(), length, lay, scores);
        benchmark::DoNotOptimize(lay.windowClasses[0].data());
    }
    state.SetItemsProcessed(state.iterations() * length);
    state.counters["time_per_base"] = benchmark::Counter(
        static_cast<double>(length),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SampleExtraction)->Arg(3000)->Arg(30000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace talvo::bench
