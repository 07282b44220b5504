// The batch program's work on a read: prediction on both strands (or the
// plus strand alone) with the shipped human model, and every output written
// to memory. Reported in bases per CPU second of each thread (`bases`: the
// bases of every thread over the CPU time of every thread), with one thread
// and with two threads sharing one model set.
#include <benchmark/benchmark.h>

#include "BenchModel.h"
#include "CodingSequence.h"
#include "Outputs.h"
#include "ReadPrediction.h"

namespace talvo::scan {
namespace {

const ModelSet& HumanModel() {
    static const ModelSet models(TALVO_SOURCE_DIR "/param-human");
    return models;
}

void ScanRead(benchmark::State& state, StrandMode strand) {
    const int length = static_cast<int>(state.range(0));
    const ModelSet& models = HumanModel();
    // Different reads per thread, the same on every run.
    Read read{"read", talvo::bench::BenchSequence(length, 17 + state.thread_index()), 1};
    PredictRead(models, PredictionOptions{}, read.bases, strand);  // loads the model of the class
    std::string out;
    for (auto _ : state) {
        out.clear();
        const CodingRegion region =
            MakeCodingRegion(read.bases, PredictRead(models, PredictionOptions{}, read.bases, strand));
        AppendTableLine(out, read, region);
        AppendGff3(out, read, region);
        AppendBed12(out, read, region);
        AppendProteinFasta(out, read, region);
        AppendCdsFasta(out, read, region);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["bases"] = benchmark::Counter(static_cast<double>(state.iterations()) * length,
                                                 benchmark::Counter::kIsRate);
}

void BM_ScanRead(benchmark::State& state) { ScanRead(state, StrandMode::Both); }
void BM_ScanReadPlus(benchmark::State& state) { ScanRead(state, StrandMode::Plus); }

BENCHMARK(BM_ScanReadPlus)->Arg(3000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanRead)
    ->Arg(3000)
    ->Arg(100000)
    ->Threads(1)
    ->Threads(2)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace talvo::scan
