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
#include <tuple>
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
// directory, and the codon model's decoders and the gene model's predictors
// by setting name.
struct FoldModels {
    std::string windowDir;
    std::map<std::string, std::unique_ptr<talvo::CodonDecoder>> decoders;
    std::map<std::string, std::unique_ptr<talvo::GenePredictor>> genes;
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

// The decoders of the codon model's settings and, with a gene model (whose
// counts are not empty), the gene model's predictors.
void AddDecoders(const talvo::CodonModel& model, const talvo::GeneModel& gene, const talvo::GeneOptions& options,
                 const std::vector<std::string>& settings, FoldModels& models) {
    for (const std::string& setting : settings) {
        models.decoders[setting] = std::make_unique<talvo::CodonDecoder>(model, setting);
        if (!gene.utr5.empty()) models.genes[setting] = std::make_unique<talvo::GenePredictor>(model, gene, setting, options);
    }
}

// Simulates errors on the sequences `members` of the set, makes the calls of
// every column and scores them.
void EvaluateOn(const std::vector<AnnotatedSequence>& set, const std::vector<int>& members,
                const std::vector<Scenario>& scenarios, const std::vector<Column>& columns, uint64_t seed,
                const FoldModels& models, const talvo::PredictionOptions& prediction, talvo::Strands strands,
                int threads, std::vector<Tally>& tallies) {
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
                predictions = PredictReads(reads, models.windowDir, prediction, threads);
            }
        }
        for (std::size_t k = 0; k < columns.size(); ++k) {
            const Column& c = columns[k];
            if (c.scenario != s) continue;
            std::vector<Call> calls(reads.size());
            const talvo::CodonDecoder* decoder = c.setting.empty() ? nullptr : models.decoders.at(c.setting).get();
            const talvo::GenePredictor* gene = c.use == Use::Gene ? models.genes.at(c.setting).get() : nullptr;
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
                    calls[i] = StrandCall(PredictStrands(*decoder, bases[i], strands, scratch[worker]), strands);
                    break;
                case Use::Gene:
                    calls[i] = StrandCall(gene->Predict(bases[i], strands, scratch[worker]), strands);
                    break;
                }
            });
            for (int i = 0; i < count; ++i) Score(reads[i], calls[i], tallies[k]);
        }
    }
}

// What the command line asks for.
struct EvalCommand {
    std::vector<std::string> fasta;
    std::vector<std::string> cds;
    std::string model;  // empty: cross-validation
    int folds = 0;
    std::vector<std::string> scenarios;
    std::vector<std::string> uses;
    std::vector<std::string> settings;
    std::vector<std::string> errorProfiles;
    SettingTrial trial;
    long subset = 0;
    std::vector<int> trainSets;  // 1-based numbers of the --fasta/--cds pairs; empty: all
    std::vector<int> testSets;
    int threads = 0;
    std::string tsv;
    TrainOptions train;
    talvo::PredictionOptions prediction;
    std::vector<std::string> gene;  // KEY=VALUE
    std::string strand = "plus";
};

int ParseEvalCommand(int argc, char** argv, EvalCommand& command) {
    const auto app = MakeToolApp(
        "talvo-eval",
        "talvo-eval: how well a model finds coding regions and sequencing errors, on reads simulated from\n"
        "annotated cDNAs: a given parameter directory, or K-fold cross-validation by groups of isoforms, each\n"
        "fold's models trained on the other folds as talvo-train trains them.");
    app->add_option("--fasta", command.fasta, "cDNA sequences (FASTA, plain or gzip); repeatable, each with its --cds")
        ->group("Input")
        ->type_name("FILE")
        ->required();
    app->add_option("--cds", command.cds,
                    "CDS table: id, first, last base (1-based, stop included); gene_id column")
        ->group("Input")
        ->type_name("FILE")
        ->required();
    AddNumber(*app, "--subset", command.subset, 1L, 100000000L, "use N sequences drawn at random (seeded)")
        ->group("Input")
        ->default_str("all");
    CLI::Option* model =
        app->add_option("--model", command.model,
                        "evaluate this parameter directory (and its codon model) on all sequences")
            ->group("Model")
            ->type_name("DIR");
    CLI::Option* folds =
        AddNumber(*app, "--folds", command.folds, 2, 100,
                  "K-fold cross-validation by groups of isoforms (same gene or shared CDS)")
            ->group("Model")
            ->type_name("K")
            ->default_str("");
    model->excludes(folds);
    for (auto [name, target, what] : {std::tuple{"--train-set", &command.trainSets, "learn from"},
                                      std::tuple{"--test-set", &command.testSets, "are scored on"}}) {
        app->add_option(name, *target,
                        std::string("the folds' models ") + what + " the K-th --fasta/--cds set only; repeatable")
            ->group("Model")
            ->type_name("K")
            ->needs(folds);
    }
    app->add_option("--scenario", command.scenarios,
                    "errors to simulate, repeatable (default none): none, planted:K,\n"
                    "profile:FILE, profile-runs:FILE, rates:SUB,INS,DEL (see tools/README.md)")
        ->group("Reads")
        ->type_name("S");
    app->add_option("--use", command.uses,
                    "how the calls are made, repeatable (default window)")
        ->group("Calls")
        ->type_name("U")
        ->check(CLI::IsMember({"window", "refine", "long-read", "gene"}));
    app->add_option("--setting", command.settings,
                    "the codon model's error setting, repeatable (default: every one)")
        ->group("Calls")
        ->type_name("NAME");
    app->add_option("--error-profile", command.errorProfiles,
                    "with --folds: setting NAME of the folds' codon models; repeatable")
        ->group("Calls")
        ->type_name("NAME=FILE")
        ->excludes(model);
    AddNumber(*app, "--codon-order", command.trial.order, 0, talvo::CodonModel::kOrder,
              "try the codon model's settings with Markov order K")
        ->group("Calls")
        ->type_name("K")
        ->default_str("as trained");
    AddNumber(*app, "--error-scale", command.trial.errorScale, 0.01, 100.0,
              "try them with their indel probabilities times X")
        ->group("Calls");
    app->add_option("--gene", command.gene,
                    "with --use gene: read the gene model another way, repeatable: begin-inside=P,\n"
                    "end-inside=P, start-from=K, start-to=K, stop-from=K, stop-to=K, utr5-weight=W,\n"
                    "utr3-weight=W, clean-share=P, clean-scale=X (see tools/README.md)")
        ->group("Calls")
        ->type_name("KEY=VALUE");
    app->add_option("--strand", command.strand,
                    "plus, or both: the codon and gene models decode both strands and choose one as\n"
                    "talvo-scan does (the other strand's choice counts as no coding region)")
        ->group("Calls")
        ->check(CLI::IsMember({"plus", "both"}))
        ->capture_default_str();
    AddNumber(*app, "--threads", command.threads, 0, 1024, "threads (0: every core)")->group("Run");
    app->add_option("--tsv", command.tsv, "also write the figures as TSV")->group("Run")->type_name("FILE");
    AddTrainOptions(*app, command.train);
    AddPredictionOptions(*app, command.prediction);
    const int status = ParseToolCommandLine(*app, argc, argv);
    if (status < 0 && command.model.empty() && command.folds == 0) {
        std::cerr << "talvo-eval: give either --model or --folds (see talvo-eval --help)\n";
        return 1;
    }
    return status;
}

// What is evaluated: the scenarios, the calls (with the codon model's
// settings and, with --model, the model itself) and the table's columns.
struct EvalPlan {
    std::vector<Scenario> scenarios;
    std::vector<Use> uses;
    bool codonUse = false;
    bool windowUse = false;
    bool geneUse = false;
    std::vector<ProfileOption> profiles;
    talvo::CodonModel codonModel;  // with --model and a codon use
    talvo::GeneModel geneModel;    // with --model and the gene use
    talvo::GeneOptions geneOptions;
    talvo::Strands strands = talvo::Strands::Plus;
    std::vector<std::string> settings;
    std::vector<Column> columns;
};

EvalPlan MakePlan(const EvalCommand& command) {
    talvo::CheckOptions(command.prediction);
    EvalPlan plan;
    for (const std::string& spec : command.scenarios) plan.scenarios.push_back(ParseScenario(spec));
    if (plan.scenarios.empty()) plan.scenarios.push_back(ParseScenario("none"));
    for (const std::string& name : command.uses) {
        const Use use = ParseUse(name);
        if (std::find(plan.uses.begin(), plan.uses.end(), use) == plan.uses.end()) plan.uses.push_back(use);
    }
    if (plan.uses.empty()) plan.uses.push_back(Use::Window);
    plan.codonUse = std::any_of(plan.uses.begin(), plan.uses.end(), NeedsCodonModel);
    plan.windowUse = std::any_of(plan.uses.begin(), plan.uses.end(), NeedsWindowModel);
    plan.geneUse = std::any_of(plan.uses.begin(), plan.uses.end(), NeedsGeneModel);
    if (!plan.geneUse && !command.gene.empty()) throw std::invalid_argument("option --gene needs --use gene");
    for (const std::string& text : command.gene) SetGeneOption(text, plan.geneOptions);
    talvo::CheckGeneOptions(plan.geneOptions);
    plan.strands = command.strand == "both" ? talvo::Strands::Both : talvo::Strands::Plus;
    const SettingTrial untried;
    if (!plan.codonUse && (!command.settings.empty() || !command.errorProfiles.empty() ||
                           command.trial.order != untried.order || command.trial.errorScale != untried.errorScale)) {
        throw std::invalid_argument(
            "options --setting, --error-profile, --codon-order and --error-scale need --use refine, long-read or gene");
    }
    plan.profiles = ReadProfileOptions(command.errorProfiles);
    if (command.folds > 0 && plan.codonUse && plan.profiles.empty()) {
        throw std::invalid_argument("--use refine, long-read or gene with --folds needs --error-profile NAME=FILE");
    }
    // The codon model of --model, read before any work.
    std::vector<std::string> available;
    if (!command.model.empty()) {
        if (plan.codonUse) {
            plan.codonModel = talvo::ReadCodonModel(talvo::CodonModelPath(command.model));
            TrySettings(command.trial, plan.codonModel);
            if (plan.geneUse) plan.geneModel = talvo::ReadGeneModel(talvo::GeneModelPath(command.model));
        }
        for (const talvo::ErrorSetting& setting : plan.codonModel.settings) available.push_back(setting.name);
    } else {
        for (const ProfileOption& p : plan.profiles) available.push_back(p.name);
    }
    plan.settings = command.settings;
    for (const std::string& setting : plan.settings) {
        if (std::find(available.begin(), available.end(), setting) == available.end()) {
            throw std::invalid_argument("option --setting: the codon model has no setting '" + setting + "'");
        }
    }
    if (plan.settings.empty() && plan.codonUse) plan.settings = available;
    plan.columns = MakeColumns(plan.scenarios, plan.uses, plan.settings);
    return plan;
}

// The annotated sequences (a seeded subset on request), and the rates of
// the scenarios that depend on their homopolymer runs.
std::vector<AnnotatedSequence> ReadSequences(const EvalCommand& command, EvalPlan& plan) {
    for (const std::vector<int>* sets : {&command.trainSets, &command.testSets}) {
        for (int k : *sets) {
            if (k < 1 || k > static_cast<int>(command.fasta.size())) {
                throw std::invalid_argument("options --train-set and --test-set: there is no set " +
                                            std::to_string(k) + " (" + std::to_string(command.fasta.size()) +
                                            " --fasta/--cds pairs)");
            }
        }
    }
    std::vector<AnnotatedSequence> set = ReadAnnotatedSets(command.fasta, command.cds);
    if (command.subset > 0) {
        Random rng(command.train.seed);
        set = SampleInOrder(std::move(set), static_cast<std::size_t>(command.subset), rng);
    }
    const std::array<double, 7> runShare = RunLengthShares(set);
    for (Scenario& scenario : plan.scenarios) {
        if (!scenario.runsProfile.empty()) {
            scenario.model = RunErrorRates(scenario.runsMetrics, scenario.runsProfile, runShare);
        }
    }
    return set;
}

bool InSets(const std::vector<int>& sets, const AnnotatedSequence& seq) {
    return sets.empty() || std::find(sets.begin(), sets.end(), seq.source + 1) != sets.end();
}

// K-fold cross-validation: each fold's window and codon models are trained
// on the other folds and predict the fold's sequences.
void CrossValidate(const EvalCommand& command, const EvalPlan& plan, const std::vector<AnnotatedSequence>& set,
                   int threads, std::vector<Tally>& tallies) {
    TrainOptions train = command.train;
    train.threads = threads;
    train.progress = false;
    const std::vector<int> group = GroupIsoforms(set);
    const std::vector<int> fold = AssignFolds(group, command.folds);
    long groups = 0;
    for (std::size_t i = 0; i < group.size(); ++i) groups += group[i] == static_cast<int>(i);
    std::cerr << "talvo-eval: " << groups << " groups of isoforms\n";
    for (int f = 0; f < command.folds; ++f) {
        std::vector<AnnotatedSequence> training;
        std::vector<int> held;
        for (std::size_t i = 0; i < set.size(); ++i) {
            if (fold[i] == f) {
                if (InSets(command.testSets, set[i])) held.push_back(static_cast<int>(i));
            } else if (InSets(command.trainSets, set[i])) {
                training.push_back(set[i]);
            }
        }
        std::cerr << "talvo-eval: fold " << f + 1 << "/" << command.folds << ": training on " << training.size()
                  << ", testing " << held.size() << " sequences\n";
        const TempDir dir;
        FoldModels models;
        if (plan.windowUse) {
            WriteModelDirectory(TrainModels(training, train), train, dir.Path());
            models.windowDir = dir.Path();
        }
        // Counted on the training folds only, like the window model.
        if (plan.codonUse) {
            talvo::CodonModel foldModel = CountCodonWords(training);
            for (const ProfileOption& p : plan.profiles) {
                foldModel.settings.push_back(ReadErrorSetting(p.name, p.path, training));
            }
            TrySettings(command.trial, foldModel);
            AddDecoders(foldModel, plan.geneUse ? CountGeneModel(training) : talvo::GeneModel{}, plan.geneOptions,
                        plan.settings, models);
        }
        EvaluateOn(set, held, plan.scenarios, plan.columns, train.seed, models, command.prediction, plan.strands,
                   threads, tallies);
    }
}

void PrintFigures(const EvalCommand& command, const EvalPlan& plan, std::size_t sequences,
                  const std::vector<Tally>& tallies) {
    std::vector<std::string> names;
    for (const Column& c : plan.columns) names.push_back(c.name);
    std::cout << "# talvo-eval " << TALVO_VERSION << ": " << sequences << " sequences, "
              << (command.model.empty() ? std::to_string(command.folds) + "-fold grouped cross-validation"
                                        : "model " + command.model)
              << ", seed " << command.train.seed << "\n";
    PrintTable(names, tallies, std::cout);
    if (!command.tsv.empty()) {
        std::ofstream tsv(command.tsv);
        PrintTsv(names, tallies, tsv);
        tsv.close();
        if (!tsv) throw std::runtime_error(command.tsv + ": write failed");
    }
    std::cout.flush();
    if (!std::cout) throw std::runtime_error("standard output: write failed");
}

}  // namespace

int main(int argc, char** argv) {
    const auto begin = std::chrono::steady_clock::now();
    EvalCommand command;
    if (const int status = ParseEvalCommand(argc, argv, command); status >= 0) return status;
    return RunTool("talvo-eval", [&] {
        EvalPlan plan = MakePlan(command);
        const std::vector<AnnotatedSequence> set = ReadSequences(command, plan);
        const int threads = ThreadCount(command.threads);
        std::vector<Tally> tallies(plan.columns.size());
        std::cerr << "talvo-eval: " << set.size() << " sequences, " << plan.scenarios.size() << " scenarios\n";
        if (command.model.empty()) {
            CrossValidate(command, plan, set, threads, tallies);
        } else {
            std::vector<int> all(set.size());
            for (std::size_t i = 0; i < set.size(); ++i) all[i] = static_cast<int>(i);
            FoldModels models;
            models.windowDir = command.model;
            AddDecoders(plan.codonModel, plan.geneModel, plan.geneOptions, plan.settings, models);
            EvaluateOn(set, all, plan.scenarios, plan.columns, command.train.seed, models, command.prediction,
                       plan.strands, threads, tallies);
        }
        PrintFigures(command, plan, set.size(), tallies);
        std::cerr << "talvo-eval: " << talvo::ResourceSummary(begin) << "\n";
    });
}
