// Narrowing each change of frame of a path to one codon position.
#pragma once

#include <vector>

#include "Model.h"
#include "WindowScorer.h"

namespace talvo {

// Moves each change of frame inside the path to the codon offset whose
// shifted test window scores best; no change moves to or past pathEnd, the
// codon position of the path's last cell.
void PlaceErrors(const Model& model, const short* bases, int length, int pathEnd,
                 std::vector<int>& path);
// The same with the model's compiled scorer.
void PlaceErrors(const WindowScorer& scorer, const short* bases, int length, int pathEnd,
                 std::vector<int>& path);

}  // namespace talvo
