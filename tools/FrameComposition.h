// Rules that score a window by the amino acids its codons code, as a sum of
// one term per codon: each amino acid's log-odds of being read in the
// annotated frame rather than in one of the other two. Spelled as stumps on
// the amino-acid counts (one per count, so that their votes add up to a
// straight line), plus one rule that always votes, to centre the sum. A
// window read partly in a wrong frame loses a share of its score for every
// codon read wrong, which gives error placement a slope to climb.
#pragma once

#include <vector>

#include "AnnotatedSet.h"
#include "Stumps.h"

namespace talvo::tools {

// strength: the score of a codon is strength x its amino acid's log-odds
// (natural logarithm). Stops are left to the boosted rules.
std::vector<Stump> FrameCompositionRules(const std::vector<AnnotatedSequence>& set,
                                         const std::vector<std::vector<short>>& codes, const std::vector<int>& pool,
                                         int width, double strength);

// The score the rules give a window, as the scorer adds it up.
double RulesScore(const std::vector<Stump>& rules, const smplTestData& sample);

}  // namespace talvo::tools
