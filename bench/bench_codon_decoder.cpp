// The codon-level decoder with the shipped human codon model on 3-kb reads:
// the long-read use (Decode: Viterbi and posteriors over the whole read),
// the refinement inside a given CDS (Refine), and the gene model's
// prediction of both strands (GenePredictor), per base.
#include <benchmark/benchmark.h>

#include "BenchModel.h"
#include "CodonDecoder.h"
#include "CodonModel.h"
#include "GenePrediction.h"

namespace talvo::bench {
namespace {

const CodonModel& HumanCodonModel() {
    static const CodonModel model = ReadCodonModel(TALVO_SOURCE_DIR "/param-human/codon-model");
    return model;
}

void PerBase(benchmark::State& state, int length) {
    state.SetItemsProcessed(state.iterations() * length);
    state.counters["bases_per_second"] =
        benchmark::Counter(static_cast<double>(length), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_CodonDecode(benchmark::State& state) {
    const CodonDecoder decoder(HumanCodonModel(), "ont");
    const int length = static_cast<int>(state.range(0));
    const std::vector<short> bases = BenchSequence(length, 11);
    CodonScratch scratch;
    for (auto _ : state) {
        const CodonCall call = decoder.Decode(bases, scratch);
        benchmark::DoNotOptimize(call.errors.data());
    }
    PerBase(state, length);
}
BENCHMARK(BM_CodonDecode)->Arg(3000)->Unit(benchmark::kMicrosecond);

// The CDS of the bench sequence: its stop-free middle 60 %.
void BM_CodonRefine(benchmark::State& state) {
    const CodonDecoder decoder(HumanCodonModel(), "est");
    const int length = static_cast<int>(state.range(0));
    const std::vector<short> bases = BenchSequence(length, 11);
    const int first = length / 5;
    const int last = length - length / 5 - 1;
    CodonScratch scratch;
    for (auto _ : state) {
        const CodonCall call = decoder.Refine(bases, first, last, false, false, scratch);
        benchmark::DoNotOptimize(call.errors.data());
    }
    PerBase(state, last - first + 1);
}
BENCHMARK(BM_CodonRefine)->Arg(3000)->Unit(benchmark::kMicrosecond);

void BM_GenePredict(benchmark::State& state) {
    static const GeneModel gene = ReadGeneModel(TALVO_SOURCE_DIR "/param-human/gene-model");
    const GenePredictor predictor(HumanCodonModel(), gene, "est", GeneOptions{});
    const int length = static_cast<int>(state.range(0));
    const std::vector<short> bases = BenchSequence(length, 11);
    CodonScratch scratch;
    for (auto _ : state) {
        const GenePrediction prediction = predictor.Predict(bases, Strands::Both, scratch);
        benchmark::DoNotOptimize(prediction.call.errors.data());
    }
    PerBase(state, length);
}
BENCHMARK(BM_GenePredict)->Arg(3000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace talvo::bench
