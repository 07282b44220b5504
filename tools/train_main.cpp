// talvo-train: a parameter directory from annotated cDNAs.
//
//   talvo-train --fasta transcripts.fa --cds cds.tsv --out param-mine
#include <chrono>
#include <iostream>
#include <stdexcept>

#include "AnnotatedSet.h"
#include "Parallel.h"
#include "ToolOptions.h"
#include "Trainer.h"

namespace {

constexpr const char* kUsage =
    "usage: talvo-train --fasta FILE --cds FILE --out DIR [options]\n"
    "  --fasta FILE          cDNA sequences (FASTA)\n"
    "  --cds FILE            CDS table: id, first base, last base (1-based, stop included), tab-separated\n"
    "  --out DIR             parameter directory to write (paramater/ and paramater32/)\n"
    "  --threads N           threads (default: every core; the result does not depend on it)\n"
    "  --seed N              seed of the window sampling (default 1)\n"
    "  --windows N           coding and non-coding windows sampled per class, each (default 4000)\n"
    "  --min-sequences N     classes with fewer sequences borrow from neighbours (default 30)\n";

}  // namespace

int main(int argc, char** argv) {
    using namespace talvo::tools;
    const auto begin = std::chrono::steady_clock::now();
    return RunTool(kUsage, [&] {
        const ToolOptions opts(argc, argv, {"--fasta", "--cds", "--out", "--threads", "--seed", "--windows",
                                            "--min-sequences"},
                               {"--help"});
        if (opts.Has("--help")) {
            std::cout << kUsage;
            return;
        }
        for (const char* required : {"--fasta", "--cds", "--out"}) {
            if (!opts.Has(required)) throw std::invalid_argument(std::string("option ") + required + " is required");
        }
        TrainOptions options;
        options.threads = static_cast<int>(opts.Number("--threads", 0, 0, 1024));
        options.seed = static_cast<uint64_t>(opts.Number("--seed", 1, 0, 1LL << 62));
        options.maxCoding = options.maxNonCoding = static_cast<int>(opts.Number("--windows", 4000, 10, 1000000));
        options.minSequences = static_cast<int>(opts.Number("--min-sequences", 30, 1, 1000000));

        const auto set = ReadAnnotatedSet(opts.Text("--fasta"), opts.Text("--cds"));
        std::cerr << "talvo-train: " << set.size() << " annotated sequences, " << ThreadCount(options.threads)
                  << " threads\n";
        const auto classes = TrainModels(set, options);
        WriteModelDirectory(classes, options, opts.Text("--out"));
        PrintReport(classes, std::cerr);
        std::cerr << "talvo-train: wrote " << opts.Text("--out") << "; " << ResourceSummary(begin) << "\n";
    });
}
