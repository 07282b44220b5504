// The trained model of one sequence class, held in memory: what one
// parameter file and its transition file contain.
#pragma once

#include <string>
#include <vector>

#include "Model.h"

namespace talvo::tools {

struct ClassModel {
    std::vector<fnlHypo> rules;  // kMaxRules entries; kind 1 marks an unused slot
    trsldData codonTrsld[kMaxRules]{};
    trsldData pairAcidTrsld[kMaxRules]{};
    trsldData snglAcidTrsld[kMaxRules]{};
    double pairPrior[4][kAminoAcids][kAminoAcids][2]{};
    double snglPrior[kAminoAcids][2]{};
    // Transition scores as the file reads: [previous class][current class].
    double transition[4][4]{};

    ClassModel() : rules(kMaxRules, fnlHypo{1, 0.0, 0, 0, 0, 0}) {}
};

// Copies the pseudo-counts into the process-wide tables (the pair feature
// reads them).
void InstallPriors(const ClassModel& model);
// Makes the model the process-wide one: rules, thresholds, pseudo-counts and
// transition scores, as the loaders would leave them.
void InstallModel(const ClassModel& model);

// Writes the parameter file and the transition file in the formats the
// loaders read. Doubles are written with 17 significant digits, so that
// loading gives back the same values. Throws std::runtime_error when a file
// cannot be written.
void WriteParameterFile(const ClassModel& model, const std::string& path);
void WriteTransitionFile(const ClassModel& model, const std::string& path);

}  // namespace talvo::tools
