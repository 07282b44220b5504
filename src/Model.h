// The model of one sequence class: the scoring rules with their thresholds
// and pseudo-counts, the frame-transition scores and the window width. A
// model is a value: loaded once, immutable afterwards, and read by any number
// of predictions at once.
#pragma once

#include <string>
#include <vector>

#include "Records.h"

namespace talvo {

inline constexpr int kMaxRules = 500;

// The threshold of one rule.
struct trsldData {
    int dir = 0;  // 1 (or any non-zero): a value above the threshold votes +weight
    int intTrsld = 0;
    double realTrsld = 0.0;
};

struct Model {
    std::vector<fnlHypo> rules;
    // Thresholds, indexed like the rules.
    trsldData codonTrsld[kMaxRules]{};
    trsldData pairAcidTrsld[kMaxRules]{};
    trsldData snglAcidTrsld[kMaxRules]{};
    // Pseudo-count pairs (added to 3 x count, added to the window span).
    double pairAcidPriproTable[4][kAminoAcids][kAminoAcids][2]{};
    double snglAcidPriproTable[kAminoAcids][2]{};
    // Transition scores of the frame DP, [current class][previous class],
    // base-10 log-odds; class indices as ChkState gives them.
    double malkovChain[4][4]{};
    int windowWidth = 96;  // bases per window: 96 or 196
};

// How a model's files are read: leniently, as the single-read program
// documents (a file that ends early or holds an overlong line still loads,
// its missing values 0, with a warning), or strictly, refusing such a file
// and any value that is not a finite number.
enum class ModelReading { Lenient, Strict };

// Reads `rules` rule records and the tables of a parameter file into model,
// appending the rules. A file that cannot be opened or a rule field out of
// range throws EngineError, as does, when strict, what a lenient reading
// only warns about (appended to warnings) or a value that is not finite.
// Prints nothing.
void ReadParameterFile(const std::string& path, int rules, Model& model, std::vector<std::string>& warnings,
                       ModelReading reading = ModelReading::Lenient);
// Fills model.malkovChain from a transition file (line = previous class,
// field = current class); same failures and warnings.
void ReadTransitionFile(const std::string& path, Model& model, std::vector<std::string>& warnings,
                        ModelReading reading = ModelReading::Lenient);

// Both files of one class, read strictly, kMaxRules rules, for the given
// window width.
Model LoadModel(const std::string& paramPath, const std::string& matrixPath, int windowWidth);

}  // namespace talvo
