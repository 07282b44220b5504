#include "ToolOptions.h"

#include <cctype>
#include <iostream>

#include "Model.h"
#include "Trainer.h"

namespace talvo::tools {

namespace {

std::string UpperCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// An option that chooses between two words, stored as false (`no`) or true
// (`yes`).
CLI::Option* AddChoice(CLI::App& app, const std::string& name, bool& target, const std::string& no,
                       const std::string& yes, const std::string& description) {
    return app.add_option_function<std::string>(
           name, [&target, yes](const std::string& value) { target = value == yes; }, description)
        ->check(CLI::IsMember({no, yes}))
        ->type_name(UpperCase(name.substr(2)))
        ->default_str(target ? yes : no);
}

}  // namespace

std::unique_ptr<CLI::App> MakeToolApp(const std::string& program, const std::string& description) {
    auto app = std::make_unique<CLI::App>(description, program);
    app->set_version_flag("--version", program + " " TALVO_VERSION);
    app->get_formatter()->column_width(30);
    return app;
}

void AddTrainOptions(CLI::App& app, TrainOptions& options) {
    const std::string group = "Training";
    auto add = [&](CLI::Option* option) { option->group(group); };
    add(AddNumber<uint64_t>(app, "--seed", options.seed, 0, uint64_t{1} << 62, "seed of the window sampling"));
    add(AddNumber<int>(app, "--windows", 10, 1000000, std::to_string(options.maxCoding),
                       "coding and non-coding windows sampled per model, each",
                       [&options](int n) { options.maxCoding = options.maxNonCoding = n; }));
    add(AddNumber(app, "--per-sequence", options.perSequence, 0, 1000000,
                  "at most N windows of each label from one sequence (0: no cap)"));
    add(AddNumber(app, "--rounds", options.rounds, 1, kMaxRules, "boosting rounds (rules per file)"));
    add(AddNumber(app, "--shrinkage", options.shrinkage, 1e-3, 1.0, "factor on each rule's vote"));
    add(AddNumber(app, "--features", options.features, 0, 100000, "features kept after a screening round (0: all)"));
    add(AddChoice(app, "--pool", options.poolAll, "class", "all",
                  "all: one model per window width from all sequences; class: one per class"));
    add(AddNumber(app, "--min-sequences", options.minSequences, 1, 1000000,
                  "with --pool class: smaller classes borrow from their neighbours"));
    add(AddChoice(app, "--odds", options.conditionalOdds, "pair", "conditional", "transition scores"));
    add(AddChoice(app, "--background", options.nonCodingBackground, "all", "noncoding",
                  "steps the coding paths are compared with"));
    add(AddChoice(app, "--steps", options.latticeSteps, "frame", "lattice",
                  "background steps within each frame, or between any two"));
    add(AddNumber(app, "--transition-scale", options.transitionScale, 0.01, 100.0,
                  "factor on the transition scores (a change of frame costs 20)"));
    add(AddNumber(app, "--coding-reward", options.codingReward, -10.0, 10.0,
                  "added to the score of a coding-to-coding step"));
    add(AddNumber(app, "--noncoding-price", options.nonCodingPrice, -10.0, 10.0,
                  "taken from the score of a non-coding-to-non-coding step"));
    add(AddNumber(app, "--straddling", options.straddlingErrors, 0, 1000000,
                  "planted errors with windows across them, labelled by centre codon"));
    add(AddNumber(app, "--straddling-windows", options.straddlingWindows, 1, 1000, "windows drawn across each of them"));
    add(AddNumber(app, "--placement", options.placementErrors, 0, 1000000,
                  "errors whose placement windows the scorer learns to rank"));
    add(AddNumber(app, "--placement-splits", options.placementSplits, 1, 64, "wrongly split windows per error"));
    add(AddNumber(app, "--placement-weight", options.placementWeight, 0.0, 0.99,
                  "share of the boosting weight on ranking them"));
    add(AddNumber(app, "--placement-from", options.placementFrom, 0, kMaxRules,
                  "the boosting round from which they count"));
}

void AddPredictionOptions(CLI::App& app, PredictionOptions& options) {
    const std::string group = "Window prediction";
    constexpr double kScore = 1000.0;  // the transition scores' scale: a few units per step
    auto add = [&](CLI::Option* option) { option->group(group); };
    add(AddNumber(app, "--frame-change-price", options.frameChangePrice, 0.0, kScore,
                  "taken from a path's score at each change of frame (one sequencing error)"));
    add(AddNumber(app, "--unknown-class-price", options.unknownClassPrice, 0.0, kScore,
                  "taken at each step into a position without a scored window"));
    add(AddNumber(app, "--start-score", options.startScore, -kScore, kScore, "score of a path begun at an ATG"));
    add(AddNumber(app, "--begin-score", options.beginScore, -kScore, kScore,
                  "score of a path begun elsewhere, below which a path begins afresh"));
    add(AddNumber(app, "--walk-stop", options.walkStop, -kScore, kScore,
                  "the traceback stops at a predecessor scoring below X"));
    add(AddNumber(app, "--min-steps", options.minSteps, 0, 1000000,
                  "a path of fewer steps scores --short-path-score"));
    add(AddNumber(app, "--short-path-score", options.shortPathScore, -kScore, kScore,
                  "the score of a path shorter than --min-steps"));
    add(AddNumber(app, "--accept-above", options.acceptAbove, -kScore, kScore,
                  "a path scoring X or less is no coding region"));
}

int ParseToolCommandLine(CLI::App& app, int argc, char** argv) {
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        return 0;
    } catch (const CLI::CallForVersion&) {
        std::cout << app.version() << '\n';
        return 0;
    } catch (const CLI::ParseError& e) {
        std::cerr << app.get_name() << ": " << e.what() << " (see " << app.get_name() << " --help)\n";
        return 1;
    }
    return -1;
}

int RunTool(const char* program, const std::function<void()>& body) {
    try {
        body();
    } catch (const std::invalid_argument& e) {
        std::cerr << program << ": " << e.what() << " (see " << program << " --help)\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << program << ": " << e.what() << "\n";
        return 1;
    }
    return 0;
}

}  // namespace talvo::tools
