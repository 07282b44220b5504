// Deterministic inputs for the benchmarks: a full 500-rule model and
// pseudo-random cDNA-like sequences.
#pragma once

#include <vector>

#include "Model.h"

namespace talvo::bench {

// A model of 500 rules (codon, amino-acid and amino-acid-pair rules in turn)
// with its thresholds, pseudo-counts and transition table.
Model BenchModel(int windowWidth);

// A sequence of `length` base codes: random bases outside, and in its middle
// 60 % a stop-free stretch in one frame with a single-base insertion or
// deletion every 1,000 bases, so that the frame DP and error placement have
// real frame changes to work on.
std::vector<short> BenchSequence(int length, unsigned seed);

}  // namespace talvo::bench
