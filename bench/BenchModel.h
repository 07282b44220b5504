// Deterministic inputs for the benchmarks: a full 500-rule model in the
// global tables and pseudo-random cDNA-like sequences.
#pragma once

#include <vector>

namespace talvo::bench {

// Fills the rule list, thresholds, pseudo-counts and transition table with
// 500 rules: codon, amino-acid and amino-acid-pair rules in turn.
void FillBenchModel();

// A sequence of `length` base codes: random bases outside, and in its middle
// 60 % a stop-free stretch in one frame with a single-base insertion or
// deletion every 1,000 bases, so that the frame DP and error placement have
// real frame changes to work on.
std::vector<short> BenchSequence(int length, unsigned seed);

}  // namespace talvo::bench
