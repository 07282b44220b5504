// A whole batch run: the model, the inputs read in batches, each batch
// predicted by the workers, and the outputs written in input order.
#pragma once

#include <cstddef>
#include <iosfwd>

#include "CodonDecoder.h"
#include "GenePrediction.h"
#include "ModelSet.h"
#include "ScanOptions.h"

namespace talvo::scan {

// A batch closes at this many reads or bases: a second or two of one
// thread's work on 3-kb reads, so that even small inputs keep every thread
// busy; the batches in flight (two per thread and two more) bound the memory.
struct BatchLimits {
    std::size_t reads = 64;
    std::size_t bases = 256 * 1024;
};

// Runs with checked options and returns the exit status: 0, or 1 after a
// failure, reported as one line on err. The output files are replaced
// together when the run succeeds; after a failure (a malformed input, a
// full disk) every one keeps what it held, and only outputs written in place
// (standard output, pipes) hold the reads before it. The summary (unless
// quiet) and warnings go to err as well.
int RunScan(const ScanOptions& options, std::ostream& err, BatchLimits limits = {});

// --merge-stats: adds up the figures of the stats files given as inputs and
// writes the stats and the summary; returns the exit status.
int MergeStats(const ScanOptions& options, std::ostream& err);

// The models a run predicts with: the window models (used by the window
// model and refinement), the codon model's decoder under the run's error
// setting (refinement and the long-read use), and the gene model's
// predictor (the gene model).
struct ScanModels {
    ScanModels(const ModelSet& windows, const CodonDecoder* codon = nullptr, const GenePredictor* gene = nullptr)
        : windows(windows), codon(codon), gene(gene) {}
    const ModelSet& windows;
    const CodonDecoder* codon;
    const GenePredictor* gene;
};

// The same with the models already loaded (options.modelDirectory only
// names them in the outputs). Throws std::invalid_argument when the models
// lack the one options.use predicts with.
int ScanReads(const ScanOptions& options, const ScanModels& models, std::ostream& err, BatchLimits limits = {});

}  // namespace talvo::scan
