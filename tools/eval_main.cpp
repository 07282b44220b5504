// talvo-eval: how well a model finds coding regions and sequencing errors.
//
//   talvo-eval --fasta transcripts.fa --cds cds.tsv --model param-human --scenario planted:1
//   talvo-eval --fasta transcripts.fa --cds cds.tsv --folds 5 --scenario none --scenario profile:FILE
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <unistd.h>

#include "AnnotatedSet.h"
#include "ErrorSimulation.h"
#include "Evaluation.h"
#include "Grouping.h"
#include "Parallel.h"
#include "Random.h"
#include "ResourceSummary.h"
#include "ToolOptions.h"
#include "Trainer.h"

namespace {

using namespace talvo::tools;
namespace fs = std::filesystem;

constexpr const char* kUsage =
    "usage: talvo-eval --fasta FILE --cds FILE (--model DIR | --folds K) [options]\n"
    "  --model DIR        evaluate this parameter directory on all sequences\n"
    "  --folds K          K-fold cross-validation by groups of sequences sharing coding sequence;\n"
    "                     each fold trains a model on the other folds (talvo-train's method)\n"
    "  --scenario S       errors to simulate, repeatable (default none):\n"
    "                       none, planted:K (K insertions/deletions inside each CDS),\n"
    "                       profile:FILE (error_profile.tsv), rates:SUB,INS,DEL (per base)\n"
    "  --subset N         use N sequences drawn at random (seeded)\n"
    "  --seed N           seed of the simulation, the subset and the training (default 1)\n"
    "  --threads N        threads (default: every core)\n"
    "  --tsv FILE         also write the figures as TSV\n"
    "training options of the folds' models, as talvo-train:\n";

struct Scenario {
    std::string name;
    ErrorModel model;
};

Scenario ParseScenario(const std::string& spec) {
    Scenario s;
    const std::size_t colon = spec.find(':');
    const std::string kind = spec.substr(0, colon);
    const std::string arg = colon == std::string::npos ? "" : spec.substr(colon + 1);
    s.name = spec;
    if (kind == "none" && colon == std::string::npos) return s;
    if (kind == "planted" && ParseWhole(arg, s.model.planted) && s.model.planted >= 0 && s.model.planted <= 100) {
        return s;
    }
    if (kind == "profile" && !arg.empty()) {
        s.model = ReadErrorProfile(arg);
        s.name = "profile:" + fs::path(arg).parent_path().filename().string();
        return s;
    }
    if (kind == "rates") {
        double r[3];
        std::size_t from = 0;
        for (int i = 0; i < 3; ++i) {
            const std::size_t comma = i < 2 ? arg.find(',', from) : arg.size();
            if (comma == std::string::npos || !ParseWhole(arg.substr(from, comma - from), r[i]) || r[i] < 0 || r[i] > 0.5) {
                throw std::invalid_argument("option --scenario: rates need three numbers 0..0.5: '" + spec + "'");
            }
            from = comma + 1;
        }
        s.model = {r[0], r[1], r[2], 0};
        return s;
    }
    throw std::invalid_argument("option --scenario: unknown scenario '" + spec + "'");
}

// A private temporary directory, removed when the object goes.
class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "talvo-eval-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary directory");
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// Simulates, predicts and scores the sequences `members` of the set.
void EvaluateOn(const std::vector<AnnotatedSequence>& set, const std::vector<int>& members,
                const std::vector<Scenario>& scenarios, uint64_t seed, const std::string& modelDir, int threads,
                std::vector<Tally>& tallies) {
    for (std::size_t s = 0; s < scenarios.size(); ++s) {
        std::vector<SimulatedRead> reads;
        for (int idx : members) {
            Random rng(seed * 0x9E3779B97F4A7C15ULL + (s + 1) * 1000003ULL + static_cast<uint64_t>(idx));
            reads.push_back(SimulateErrors(set[idx], scenarios[s].model, rng));
        }
        const std::vector<talvo::Prediction> predictions = PredictReads(reads, modelDir, threads);
        for (std::size_t i = 0; i < reads.size(); ++i) Score(reads[i], predictions[i], tallies[s]);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const auto begin = std::chrono::steady_clock::now();
    return RunTool("talvo-eval", kUsage, [&] {
        std::vector<std::string> optionNames = {"--fasta", "--cds", "--model", "--folds", "--scenario", "--subset",
                                          "--threads", "--tsv"};
        optionNames.insert(optionNames.end(), kTrainOptionNames.begin(), kTrainOptionNames.end());
        const ToolOptions opts(argc, argv, optionNames, {"--help"}, {"--scenario"});
        if (opts.Has("--help")) {
            std::cout << kUsage << kTrainUsage;
            return;
        }
        for (const char* required : {"--fasta", "--cds"}) {
            if (!opts.Has(required)) throw std::invalid_argument(std::string("option ") + required + " is required");
        }
        if (opts.Has("--model") == opts.Has("--folds")) {
            throw std::invalid_argument("give either --model or --folds");
        }
        const int folds = static_cast<int>(opts.Number("--folds", 0, 2, 100));
        const long subset = opts.Number("--subset", 0, 1, 100000000);
        const int threads = ThreadCount(static_cast<int>(opts.Number("--threads", 0, 0, 1024)));
        TrainOptions train;
        ReadTrainOptions(opts, train);
        train.threads = threads;
        train.progress = false;
        const uint64_t seed = train.seed;
        std::vector<Scenario> scenarios;
        for (const std::string& spec : opts.All("--scenario")) scenarios.push_back(ParseScenario(spec));
        if (scenarios.empty()) scenarios.push_back(ParseScenario("none"));

        std::vector<AnnotatedSequence> set = ReadAnnotatedSet(opts.Text("--fasta"), opts.Text("--cds"));
        if (subset > 0) {
            Random rng(seed);
            set = SampleInOrder(std::move(set), static_cast<std::size_t>(subset), rng);
        }
        std::vector<Tally> tallies(scenarios.size());
        std::cerr << "talvo-eval: " << set.size() << " sequences, " << scenarios.size() << " scenarios\n";
        if (opts.Has("--model")) {
            std::vector<int> all(set.size());
            for (std::size_t i = 0; i < set.size(); ++i) all[i] = static_cast<int>(i);
            EvaluateOn(set, all, scenarios, seed, opts.Text("--model"), threads, tallies);
        } else {
            const std::vector<int> group = GroupBySharedSequence(set);
            const std::vector<int> fold = AssignFolds(group, folds);
            long groups = 0;
            for (std::size_t i = 0; i < group.size(); ++i) groups += group[i] == static_cast<int>(i);
            std::cerr << "talvo-eval: " << groups << " groups of sequences sharing coding sequence\n";
            for (int f = 0; f < folds; ++f) {
                std::vector<AnnotatedSequence> training;
                std::vector<int> held;
                for (std::size_t i = 0; i < set.size(); ++i) {
                    if (fold[i] == f) {
                        held.push_back(static_cast<int>(i));
                    } else {
                        training.push_back(set[i]);
                    }
                }
                std::cerr << "talvo-eval: fold " << f + 1 << "/" << folds << ": training on " << training.size()
                          << ", testing " << held.size() << " sequences\n";
                const TempDir dir;
                WriteModelDirectory(TrainModels(training, train), train, dir.Path());
                EvaluateOn(set, held, scenarios, seed, dir.Path(), threads, tallies);
            }
        }
        std::vector<std::string> names;
        for (const Scenario& s : scenarios) names.push_back(s.name);
        std::cout << "# talvo-eval " << TALVO_VERSION << ": " << set.size() << " sequences, "
                  << (opts.Has("--model") ? "model " + opts.Text("--model") : std::to_string(folds) + "-fold grouped cross-validation")
                  << ", seed " << seed << "\n";
        PrintTable(names, tallies, std::cout);
        if (opts.Has("--tsv")) {
            std::ofstream tsv(opts.Text("--tsv"));
            PrintTsv(names, tallies, tsv);
            tsv.close();
            if (!tsv) throw std::runtime_error(opts.Text("--tsv") + ": write failed");
        }
        std::cout.flush();
        if (!std::cout) throw std::runtime_error("standard output: write failed");
        std::cerr << "talvo-eval: " << talvo::ResourceSummary(begin) << "\n";
    });
}
