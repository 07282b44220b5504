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

using namespace talvo::tools;

struct TrainCommand {
    std::vector<std::string> fasta;
    std::vector<std::string> cds;
    std::string out;
    std::vector<std::string> errorProfiles;
    TrainOptions options;
};

int ParseTrainCommand(int argc, char** argv, TrainCommand& command) {
    const auto app = MakeToolApp(
        "talvo-train",
        "talvo-train: trains a parameter directory (the window model of every sequence class, and on request\n"
        "the codon model) from annotated cDNAs. Several sets are pooled: give each --fasta with its --cds.");
    app->add_option("--fasta", command.fasta, "cDNA sequences (FASTA, plain or gzip); repeatable, each with its --cds")
        ->group("Input")
        ->type_name("FILE")
        ->required();
    app->add_option("--cds", command.cds,
                    "CDS table: id, first, last base (1-based, stop included); gene_id column")
        ->group("Input")
        ->type_name("FILE")
        ->required();
    app->add_option("--out", command.out, "parameter directory to write (paramater/ and paramater32/)")
        ->group("Output")
        ->type_name("DIR")
        ->required();
    app->add_option("--error-profile", command.errorProfiles,
                    "also write the codon model, with the error setting NAME from the\n"
                    "error profile FILE, and the gene model built on it; repeatable")
        ->group("Output")
        ->type_name("NAME=FILE");
    AddNumber(*app, "--threads", command.options.threads, 0, 1024,
              "threads (0: every core); the model does not depend on it")
        ->group("Run");
    AddTrainOptions(*app, command.options);
    return ParseToolCommandLine(*app, argc, argv);
}

// Writes a model file of the parameter directory; throws
// std::runtime_error naming it when the write fails.
template <typename Write>
void WriteModelFile(const std::string& path, Write write) {
    std::ofstream out(path, std::ios::binary);
    write(out);
    out.close();
    if (!out) throw std::runtime_error(path + ": write failed");
}

}  // namespace

int main(int argc, char** argv) {
    const auto begin = std::chrono::steady_clock::now();
    TrainCommand command;
    if (const int status = ParseTrainCommand(argc, argv, command); status >= 0) return status;
    return RunTool("talvo-train", [&] {
        const TrainOptions& options = command.options;
        const auto profiles = ReadProfileOptions(command.errorProfiles);
        const auto set = ReadAnnotatedSets(command.fasta, command.cds);
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
        StagedDirectory out(command.out);
        try {
            WriteModelDirectory(classes, options, out.Path());
            if (!profiles.empty()) {
                WriteModelFile(talvo::CodonModelPath(out.Path()),
                               [&](std::ostream& file) { talvo::WriteCodonModel(codonModel, file); });
                const talvo::GeneModel geneModel = CountGeneModel(set);
                WriteModelFile(talvo::GeneModelPath(out.Path()),
                               [&](std::ostream& file) { talvo::WriteGeneModel(geneModel, file); });
            }
            talvo::ModelSet(out.Path()).LoadAll();
            if (!profiles.empty()) {
                talvo::ReadCodonModel(talvo::CodonModelPath(out.Path()));
                talvo::ReadGeneModel(talvo::GeneModelPath(out.Path()));
            }
        } catch (const std::runtime_error& e) {
            throw std::runtime_error(out.AsTarget(e.what()) + " (the model is not written)");
        }
        out.Commit();
        PrintReport(classes, std::cerr);
        std::cerr << "talvo-train: wrote " << command.out << "; " << talvo::ResourceSummary(begin) << "\n";
    });
}
