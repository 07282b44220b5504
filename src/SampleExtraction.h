// Per codon position and frame: the start mark, and the class and score of
// the window of the model's width centred on that codon.
#pragma once

#include <array>
#include <vector>

#include "Model.h"
#include "Records.h"
#include "WindowScorer.h"

namespace talvo {

// Counts the window of `width` bases that starts at base `start` into a fresh
// sample: the codons at start, start+3, ... that fit both the window and the
// sequence. Returns the number of bases scanned (K); sets centreStop when the
// codon at the centre offset 3 * (width / 6) is a stop codon. The sample's
// span ends at start + K - 1.
int ScanWindow(smplTestData& sample, const short* bases, int length, int start, int width,
               bool& centreStop);

// Fills the layout's start marks and window classes and one window score per
// codon position and frame, replacing what they held.
void ExtractSamples(const Model& model, const short* bases, int length, layout& lay,
                    std::array<std::vector<double>, 3>& frameScore);
// The same with the model's compiled scorer.
void ExtractSamples(const WindowScorer& scorer, const short* bases, int length, layout& lay,
                    std::array<std::vector<double>, 3>& frameScore);

}  // namespace talvo
