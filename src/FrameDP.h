// Dynamic programme over the three reading frames and its traceback. A path
// runs over consecutive codon positions, one frame each; every change of
// frame between two positions stands for one sequencing error.
#pragma once

#include <vector>

#include "Model.h"
#include "PredictionOptions.h"
#include "Records.h"

namespace talvo {

// Fills the 3n DP cells (cell (i, f) at 3i+f) from the layout, with the
// options' scores and prices; replaces the layout's leading-fill window
// classes with the first window's class.
void FillDPMatrix(const Model& model, const PredictionOptions& options, dpNode* nodes, layout& lay);

// Picks the best end cell, walks back to the path's beginning, appends n
// entries (frame or -1) to path and returns the path's score, or the
// options' short-path score for a path of fewer than their minimum steps.
// pathEnd receives the codon position of the path's last cell.
double TracePath(const dpNode* nodes, int n, const PredictionOptions& options, std::vector<int>& path,
                 int& pathEnd);

}  // namespace talvo
