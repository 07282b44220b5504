// The whole prediction with the shipped human model, read from its files as
// the program reads it: the figures our users see per base.
#include <benchmark/benchmark.h>

#include "BenchModel.h"
#include "ModelSet.h"
#include "Prediction.h"

namespace talvo::bench {
namespace {

const ModelSet& HumanModels() {
    static const ModelSet models(TALVO_SOURCE_DIR "/param-human");
    return models;
}

// Classification, sample extraction, DP, traceback and error placement of
// one read; the class's model is loaded (and its scorer compiled) before.
void BM_HumanPrediction(benchmark::State& state) {
    const int length = static_cast<int>(state.range(0));
    const std::vector<short> bases = BenchSequence(length, 11);
    benchmark::DoNotOptimize(Predict(HumanModels(), bases, PredictionOptions{}).framePath.data());
    for (auto _ : state) {
        const Prediction prediction = Predict(HumanModels(), bases, PredictionOptions{});
        benchmark::DoNotOptimize(prediction.framePath.data());
    }
    state.SetItemsProcessed(state.iterations() * length);
    state.counters["time_per_base"] = benchmark::Counter(
        static_cast<double>(length),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_HumanPrediction)
    ->Arg(1000)
    ->Arg(3000)
    ->Arg(100000)
    ->Arg(10000000)
    ->Unit(benchmark::kMillisecond);

// Compiling one human model into its window scorer: once per model and
// process.
void BM_HumanScorerBuild(benchmark::State& state) {
    const Model& model = HumanModels().For(ClassifySequence(3000, 50.0));
    for (auto _ : state) {
        const WindowScorer scorer(model);
        benchmark::DoNotOptimize(&scorer);
    }
}
BENCHMARK(BM_HumanScorerBuild)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace talvo::bench
