// The scoring of one window of codons by a model's rules: the feature
// values the rules test, and the vote of every rule.
#pragma once

#include "Model.h"
#include "Records.h"

namespace talvo {

// The feature values that the rules test, exactly as the scorer computes
// them; training measures the same values.
double CodonShare(const smplTestData& s, int b1, int b2, int b3);
int AcidCount(const smplTestData& s, int aa);
double PairAssociation(const Model& model, const smplTestData& s, int gap, int a1, int a2);

// The term a rule adds to a window's score: +weight when its value lies
// above the threshold, -weight otherwise (NaN included); a direction of 0
// turns the vote round.
inline double VoteTerm(bool above, int dir, double weight) {
    const double v = above ? 1.0 : -1.0;
    return (dir == 0 ? -v : v) * weight;
}

// Class index of a class code: -10 -> 0, -1 -> 1, -22 -> 2, -100 -> 3,
// anything else -1.
int ClassIndex(int code);

// Scores one window with the model's rules, summing their votes in rule
// order; returns -10 (coding) when the score is above 0, else -1.
int ScoreWindow(const Model& model, const smplTestData& sample, double& score);

}  // namespace talvo
