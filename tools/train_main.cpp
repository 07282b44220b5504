// talvo-train: a parameter directory from annotated cDNAs.
//
//   talvo-train --fasta transcripts.fa --cds cds.tsv --out param-mine
#include <chrono>
#include <fstream>
#include <iostream>
#include <stdexcept>

#include "AnnotatedSet.h"
#include "CodonTraining.h"
#include "ModelSet.h"
#include "Parallel.h"
#include "ResourceSummary.h"
#include "StagedDirectory.h"
#include "ToolOptions.h"
#include "Trainer.h"

namespace {

constexpr const char* kUsage =
    "usage: talvo-train --fasta FILE --cds FILE [--fasta FILE --cds FILE ...] --out DIR [options]\n"
    "  --fasta FILE          cDNA sequences (FASTA); repeatable, each with its --cds, the sets pooled\n"
    "  --cds FILE            CDS table: id, first base, last base (1-based, stop included), tab-separated\n"
    "  --out DIR             parameter directory to write (paramater/ and paramater32/)\n"
    "  --threads N           threads (default: every core; the result does not depend on it)\n"
    "  --error-profile NAME=FILE  also write the codon model (codon-model) with an error setting NAME\n"
    "                        from the error profile FILE (error_profile.tsv); repeatable\n";

}  // namespace

int main(int argc, char** argv) {
    using namespace talvo::tools;
    const auto begin = std::chrono::steady_clock::now();
    return RunTool("talvo-train", kUsage, [&] {
        std::vector<std::string> names = {"--fasta", "--cds", "--out", "--threads", "--error-profile"};
        names.insert(names.end(), kTrainOptionNames.begin(), kTrainOptionNames.end());
        const ToolOptions opts(argc, argv, names, {"--help"}, {"--fasta", "--cds", "--error-profile"});
        if (opts.Has("--help")) {
            std::cout << kUsage << kTrainUsage;
            return;
        }
        for (const char* required : {"--fasta", "--cds", "--out"}) {
            if (!opts.Has(required)) throw std::invalid_argument(std::string("option ") + required + " is required");
        }
        TrainOptions options;
        options.threads = static_cast<int>(opts.Number("--threads", 0, 0, 1024));
        ReadTrainOptions(opts, options);
        const auto profiles = ReadProfileOptions(opts.All("--error-profile"));

        const auto set = ReadAnnotatedSets(opts.All("--fasta"), opts.All("--cds"));
        talvo::CodonModel codonModel;
        if (!profiles.empty()) {
            codonModel = CountCodonWords(set);
            for (const ProfileOption& p : profiles) codonModel.settings.push_back(ReadErrorSetting(p.name, p.path, set));
        }
        std::cerr << "talvo-train: " << set.size() << " annotated sequences, " << ThreadCount(options.threads)
                  << " threads\n";
        const auto classes = TrainModels(set, options);
        // Written beside --out, read back as talvo-scan reads it, then moved
        // into place: a failed or interrupted run leaves --out as it was.
        StagedDirectory out(opts.Text("--out"));
        WriteModelDirectory(classes, options, out.Path());
        if (!profiles.empty()) {
            const std::string path = talvo::CodonModelPath(out.Path());
            std::ofstream file(path, std::ios::binary);
            talvo::WriteCodonModel(codonModel, file);
            file.close();
            if (!file) throw std::runtime_error(out.AsTarget(path) + ": write failed");
        }
        try {
            talvo::ModelSet(out.Path()).LoadAll();
            if (!profiles.empty()) talvo::ReadCodonModel(talvo::CodonModelPath(out.Path()));
        } catch (const std::runtime_error& e) {
            throw std::runtime_error(out.AsTarget(e.what()) + " (the model is not written)");
        }
        out.Commit();
        PrintReport(classes, std::cerr);
        std::cerr << "talvo-train: wrote " << opts.Text("--out") << "; " << talvo::ResourceSummary(begin) << "\n";
    });
}
