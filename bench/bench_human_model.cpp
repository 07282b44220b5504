// The whole prediction with the shipped human model, read from its files as
// the program reads it: the figures our users see per base.
#include <benchmark/benchmark.h>

#include <string>

#include "BenchModel.h"
#include "Model.h"
#include "Shortcut.h"
#include "WebPredict.h"

namespace talvo::bench {
namespace {

// Loads the human model of the class of a sequence of `length` bases with
// G+C pressure 50 %, as a run would.
void LoadHumanModel(int length) {
    ClearModel();
    WebPredict run;
    run.seqLen = length;
    run.gcPressure = 50.0;
    run.paramDir = TALVO_SOURCE_DIR "/param-human";
    std::string paramPath;
    std::string matrixPath;
    run.ClassifyRun(paramPath, matrixPath);
    Shortcut loader;
    loader.GetParamater(paramPath);
    loader.GetDPMatrix(matrixPath);
}

void BM_HumanPrediction(benchmark::State& state) {
    const int length = static_cast<int>(state.range(0));
    LoadHumanModel(length);
    const std::vector<short> bases = BenchSequence(length, 11);
    for (auto _ : state) {
        WebPredict run;
        run.baseArray = bases;
        run.arrayLen = length;
        run.seqLen = length;
        run.Predict();
        benchmark::DoNotOptimize(run.framePath.data());
    }
    state.SetItemsProcessed(state.iterations() * length);
    state.counters["time_per_base"] = benchmark::Counter(
        static_cast<double>(length),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_HumanPrediction)
    ->Arg(1000)
    ->Arg(100000)
    ->Arg(10000000)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace talvo::bench
