// The trained model of one sequence class, and its writing as the
// parameter file and transition file that the loaders read.
#pragma once

#include <string>
#include <vector>

#include "Model.h"

namespace talvo::tools {

// A model whose kMaxRules rule slots are all unused (kind 1), with the given
// window width: where training starts.
Model EmptyClassModel(int windowWidth);

// Writes the parameter file and the transition file in the formats the
// loaders read. Doubles are written with 17 significant digits, so that
// loading gives back the same values. Throws std::runtime_error when a file
// cannot be written.
void WriteParameterFile(const Model& model, const std::string& path);
void WriteTransitionFile(const Model& model, const std::string& path);

}  // namespace talvo::tools
