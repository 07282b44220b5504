// talvo-eval: how well a model finds coding regions and sequencing errors.
//
//   talvo-eval --fasta transcripts.fa --cds cds.tsv --model param-human --scenario planted:1
//   talvo-eval --fasta transcripts.fa --cds cds.tsv --folds 5 --scenario none --scenario profile:FILE
//   talvo-eval --fasta transcripts.fa --cds cds.tsv --folds 5 --scenario profile:FILE --use window
//       --use refine --error-profile est=FILE
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <stdexcept>
#include <unistd.h>

#include "AnnotatedSet.h"
#include "CodonModel.h"
#include "CodonTraining.h"
#include "CodonUse.h"
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
    "usage: talvo-eval --fasta FILE --cds FILE [--fasta FILE --cds FILE ...] (--model DIR | --folds K) [options]\n"
    "  --fasta FILE       cDNA sequences (FASTA); repeatable, each with its --cds, the sets pooled\n"
    "  --cds FILE         CDS table: id, first base, last base (1-based, stop included), tab-separated;\n"
    "                     a header line naming a gene_id column groups isoforms by gene\n"
    "  --model DIR        evaluate this parameter directory on all sequences (its codon-model\n"
    "                     file for refine and long-read)\n"
    "  --folds K          K-fold cross-validation by groups of isoforms (same gene, or shared coding\n"
    "                     sequence, across all sets);\n"
    "                     each fold trains a model on the other folds (talvo-train's method)\n"
    "  --scenario S       errors to simulate, repeatable (default none):\n"
    "                       none, planted:K (K insertions/deletions inside each CDS),\n"
    "                       profile:FILE (error_profile.tsv), profile-runs:FILE (its single-base\n"
    "                       insertions and deletions by homopolymer run), rates:SUB,INS,DEL (per base)\n"
    "  --use U            how the calls are made, repeatable (default window):\n"
    "                       window (the window model), refine (the window model's coding region,\n"
    "                       errors placed by the codon model), long-read (the codon model alone)\n"
    "  --setting NAME     error setting of the codon model for refine and long-read, repeatable\n"
    "                     (default: every setting of the model)\n"
    "  --error-profile NAME=FILE  with --folds: the setting NAME of each fold's codon model, from\n"
    "                     this error profile (error_profile.tsv); repeatable\n"
    "  --codon-order K    try the codon model's settings with Markov order K (0..5)\n"
    "  --error-scale X    try them with their insertion and deletion probabilities times X\n"
    "  --subset N         use N sequences drawn at random (seeded)\n"
    "  --seed N           seed of the simulation, the subset and the training (default 1)\n"
    "  --threads N        threads (default: every core)\n"
    "  --tsv FILE         also write the figures as TSV\n"
    "training options of the folds' models, as talvo-train:\n";

struct Scenario {
    std::string name;
    ErrorModel model;
    // profile-runs: the profile and its metrics; the rates need the sequences' runs.
    std::string runsProfile;
    ProfileMetrics runsMetrics;
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
    if (kind == "profile-runs" && !arg.empty()) {
        s.runsProfile = arg;
        s.runsMetrics = ReadProfileMetrics(arg);
        s.name = "profile-runs:" + fs::path(arg).parent_path().filename().string();
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

// One column of the figures: a scenario of errors, and how the calls are
// made (with the codon model: under which of its error settings).
struct Column {
    std::size_t scenario;
    Use use;
    std::string setting;  // empty for the window model
    std::string name;
};

std::vector<Column> MakeColumns(const std::vector<Scenario>& scenarios, const std::vector<Use>& uses,
                                const std::vector<std::string>& settings) {
    // The window model alone keeps the scenario's name as the column's.
    const bool windowOnly = uses.size() == 1 && uses[0] == Use::Window;
    std::vector<Column> columns;
    for (std::size_t s = 0; s < scenarios.size(); ++s) {
        for (Use use : uses) {
            const std::string name = windowOnly ? scenarios[s].name : scenarios[s].name + " " + UseName(use);
            if (!NeedsCodonModel(use)) {
                columns.push_back({s, use, "", name});
                continue;
            }
            for (const std::string& setting : settings) columns.push_back({s, use, setting, name + ":" + setting});
        }
    }
    return columns;
}

// The models a fold is predicted with: the window model's parameter
// directory, and the codon model's decoders by setting name.
struct FoldModels {
    std::string windowDir;
    std::map<std::string, std::unique_ptr<talvo::CodonDecoder>> decoders;
};

// Variations of the error settings to try: another order (-1: as given),
// the error probabilities scaled (each kept below kMaxTriedError so that a
// clean step stays likely).
struct SettingTrial {
    int order = -1;
    double errorScale = 1.0;
};
constexpr double kMaxTriedError = 0.4;

void TrySettings(const SettingTrial& trial, talvo::CodonModel& model) {
    for (talvo::ErrorSetting& setting : model.settings) {
        if (trial.order >= 0) setting.order = trial.order;
        for (std::size_t L = 1; L < setting.insertion.size(); ++L) {
            setting.insertion[L] = std::min(setting.insertion[L] * trial.errorScale, kMaxTriedError);
            setting.deletion[L] = std::min(setting.deletion[L] * trial.errorScale, kMaxTriedError);
        }
    }
}

void AddDecoders(const talvo::CodonModel& model, const std::vector<std::string>& settings, FoldModels& models) {
    for (const std::string& setting : settings) {
        models.decoders[setting] = std::make_unique<talvo::CodonDecoder>(model, setting);
    }
}

// Simulates errors on the sequences `members` of the set, makes the calls of
// every column and scores them.
void EvaluateOn(const std::vector<AnnotatedSequence>& set, const std::vector<int>& members,
                const std::vector<Scenario>& scenarios, const std::vector<Column>& columns, uint64_t seed,
                const FoldModels& models, int threads, std::vector<Tally>& tallies) {
    for (std::size_t s = 0; s < scenarios.size(); ++s) {
        std::vector<SimulatedRead> reads;
        for (int idx : members) {
            Random rng(seed * 0x9E3779B97F4A7C15ULL + (s + 1) * 1000003ULL + static_cast<uint64_t>(idx));
            reads.push_back(SimulateErrors(set[idx], scenarios[s].model, rng));
        }
        const int count = static_cast<int>(reads.size());
        std::vector<std::vector<short>> bases(reads.size());
        for (int i = 0; i < count; ++i) bases[i] = talvo::BaseCodes(reads[i].bases);
        std::vector<talvo::Prediction> predictions;
        for (const Column& c : columns) {
            if (c.scenario == s && NeedsWindowModel(c.use) && predictions.empty()) {
                predictions = PredictReads(reads, models.windowDir, talvo::PredictionOptions{}, threads);
            }
        }
        for (std::size_t k = 0; k < columns.size(); ++k) {
            const Column& c = columns[k];
            if (c.scenario != s) continue;
            std::vector<Call> calls(reads.size());
            const talvo::CodonDecoder* decoder = c.setting.empty() ? nullptr : models.decoders.at(c.setting).get();
            std::vector<talvo::CodonScratch> scratch(Workers(count, threads));
            ParallelForByWorker(count, threads, [&](int i, int worker) {
                switch (c.use) {
                case Use::Window:
                    calls[i] = WindowCall(predictions[i]);
                    break;
                case Use::Refine:
                    calls[i] = RefinedCall(*decoder, bases[i], predictions[i], scratch[worker]);
                    break;
                case Use::LongRead:
                    calls[i] = CodonModelCall(decoder->Decode(bases[i], scratch[worker]));
                    break;
                }
            });
            for (int i = 0; i < count; ++i) Score(reads[i], calls[i], tallies[k]);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    const auto begin = std::chrono::steady_clock::now();
    return RunTool("talvo-eval", kUsage, [&] {
        std::vector<std::string> optionNames = {"--fasta", "--cds", "--model", "--folds", "--scenario", "--subset",
                                          "--threads", "--tsv", "--use", "--setting", "--error-profile",
                                          "--codon-order", "--error-scale"};
        optionNames.insert(optionNames.end(), kTrainOptionNames.begin(), kTrainOptionNames.end());
        const ToolOptions opts(argc, argv, optionNames, {"--help"},
                               {"--fasta", "--cds", "--scenario", "--use", "--setting", "--error-profile"});
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

        std::vector<Use> uses;
        for (const std::string& name : opts.All("--use")) {
            const Use use = ParseUse(name);
            if (std::find(uses.begin(), uses.end(), use) == uses.end()) uses.push_back(use);
        }
        if (uses.empty()) uses.push_back(Use::Window);
        const bool codonUse = std::any_of(uses.begin(), uses.end(), NeedsCodonModel);
        const bool windowUse = std::any_of(uses.begin(), uses.end(), NeedsWindowModel);
        if (!codonUse && (opts.Has("--setting") || opts.Has("--error-profile") || opts.Has("--codon-order") ||
                          opts.Has("--error-scale"))) {
            throw std::invalid_argument(
                "options --setting, --error-profile, --codon-order and --error-scale need --use refine or long-read");
        }
        SettingTrial trial;
        trial.order = static_cast<int>(opts.Number("--codon-order", -1, 0, talvo::CodonModel::kOrder));
        trial.errorScale = opts.Real("--error-scale", 1.0, 0.01, 100.0);
        if (opts.Has("--model") && opts.Has("--error-profile")) {
            throw std::invalid_argument("option --error-profile is for --folds (--model reads the model's settings)");
        }
        const std::vector<ProfileOption> profiles = ReadProfileOptions(opts.All("--error-profile"));
        if (opts.Has("--folds") && codonUse && profiles.empty()) {
            throw std::invalid_argument("--use refine or long-read with --folds needs --error-profile NAME=FILE");
        }
        // The codon model of --model, read before any work.
        talvo::CodonModel codonModel;
        if (opts.Has("--model") && codonUse) {
            codonModel = talvo::ReadCodonModel(talvo::CodonModelPath(opts.Text("--model")));
            TrySettings(trial, codonModel);
        }
        std::vector<std::string> available;
        if (opts.Has("--model")) {
            for (const talvo::ErrorSetting& setting : codonModel.settings) available.push_back(setting.name);
        } else {
            for (const ProfileOption& p : profiles) available.push_back(p.name);
        }
        std::vector<std::string> settings = opts.All("--setting");
        for (const std::string& setting : settings) {
            if (std::find(available.begin(), available.end(), setting) == available.end()) {
                throw std::invalid_argument("option --setting: the codon model has no setting '" + setting + "'");
            }
        }
        if (settings.empty() && codonUse) settings = available;
        const std::vector<Column> columns = MakeColumns(scenarios, uses, settings);

        std::vector<AnnotatedSequence> set = ReadAnnotatedSets(opts.All("--fasta"), opts.All("--cds"));
        if (subset > 0) {
            Random rng(seed);
            set = SampleInOrder(std::move(set), static_cast<std::size_t>(subset), rng);
        }
        const std::array<double, 7> runShare = RunLengthShares(set);
        for (Scenario& scenario : scenarios) {
            if (!scenario.runsProfile.empty()) {
                scenario.model = RunErrorRates(scenario.runsMetrics, scenario.runsProfile, runShare);
            }
        }
        std::vector<Tally> tallies(columns.size());
        std::cerr << "talvo-eval: " << set.size() << " sequences, " << scenarios.size() << " scenarios\n";
        if (opts.Has("--model")) {
            std::vector<int> all(set.size());
            for (std::size_t i = 0; i < set.size(); ++i) all[i] = static_cast<int>(i);
            FoldModels models;
            models.windowDir = opts.Text("--model");
            AddDecoders(codonModel, settings, models);
            EvaluateOn(set, all, scenarios, columns, seed, models, threads, tallies);
        } else {
            const std::vector<int> group = GroupIsoforms(set);
            const std::vector<int> fold = AssignFolds(group, folds);
            long groups = 0;
            for (std::size_t i = 0; i < group.size(); ++i) groups += group[i] == static_cast<int>(i);
            std::cerr << "talvo-eval: " << groups << " groups of isoforms\n";
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
                FoldModels models;
                if (windowUse) {
                    WriteModelDirectory(TrainModels(training, train), train, dir.Path());
                    models.windowDir = dir.Path();
                }
                // Counted on the training folds only, like the window model.
                talvo::CodonModel foldModel;
                if (codonUse) {
                    foldModel = CountCodonWords(training);
                    for (const ProfileOption& p : profiles) {
                        foldModel.settings.push_back(ReadErrorSetting(p.name, p.path, training));
                    }
                    TrySettings(trial, foldModel);
                    AddDecoders(foldModel, settings, models);
                }
                EvaluateOn(set, held, scenarios, columns, seed, models, threads, tallies);
            }
        }
        std::vector<std::string> names;
        for (const Column& c : columns) names.push_back(c.name);
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
