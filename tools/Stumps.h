// Boosting over decision stumps on window features. A stump tests one
// feature of a window against a threshold; its vote is +1 when the value
// lies above the threshold (-1 otherwise), turned round for direction 0,
// exactly as the window scorer votes.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "ClassModel.h"
#include "Records.h"

namespace talvo::tools {

// Features: a codon's share among its amino acid's codons (64), an amino
// acid's count (21), and an amino-acid pair's association at each of the
// four gaps (4 x 21 x 21).
inline constexpr int kCodonFeatures = 64;
inline constexpr int kAcidFeatures = kAminoAcids;
inline constexpr int kPairFeatures = 4 * kAminoAcids * kAminoAcids;
inline constexpr int kFeatureCount = kCodonFeatures + kAcidFeatures + kPairFeatures;

// The value of a feature as the scorer computes it (pair features read the
// model's pseudo-counts).
double FeatureValue(const Model& model, const smplTestData& sample, int feature);

struct Stump {
    int feature = 0;
    int dir = 1;
    double threshold = 0.0;
    double weight = 0.0;  // the boosting vote
};

// Puts a stump into rule slot `slot` of the model: the rule line and the
// threshold entry of its kind.
void SetRule(Model& model, int slot, const Stump& stump);

// Windows with their features cut into a few candidate thresholds each:
// bin b of a value is the number of the feature's thresholds below it, so
// "value > threshold k" is "bin > k".
//
// Besides the labelled windows it may hold ranked pairs of further windows:
// the first of a pair should score above the second.
struct RankedPair {
    int better;  // window indices, at or after the labelled windows
    int worse;
};
struct QuantisedWindows {
    int windows = 0;                              // labelled windows, the first ones
    int samples = 0;                              // all windows, the ranked ones included
    std::vector<int8_t> label;                    // +1 coding, -1 non-coding
    std::vector<uint8_t> isCoding;                // 1 coding, 0 non-coding
    std::vector<std::vector<double>> thresholds;  // per feature, ascending
    std::vector<uint8_t> bins;                    // feature-major: [feature * samples + window]
    std::vector<RankedPair> pairs;
};

// Computes every feature of every sample and chooses up to maxThresholds
// candidate thresholds per feature at quantiles of the labelled windows'
// values (never the largest value, whose stump could not split the windows).
// The samples after the first label.size() ones are the ranked windows.
QuantisedWindows Quantise(const Model& model, const std::vector<smplTestData>& samples,
                          const std::vector<int8_t>& label, int maxThresholds, int threads);

struct BoostOptions {
    int rounds = kMaxRules;
    double shrinkage = 1.0;  // factor on each vote
    int features = 0;        // features kept after the first round (0: all)
    double pairWeight = 0.0;  // share of the weight on the ranked pairs when they enter
    int pairsFrom = 0;        // the round from which the pairs count
};

// AdaBoost: each round picks the feature, threshold and direction of least
// weighted error (ties: lowest feature, then threshold, direction 1 first),
// votes shrinkage x 0.5 ln((1 - e) / e), and reweights by that vote. The
// stump's weight is the vote rounded to a multiple of 2^-40; boosting stops
// before the weights' magnitudes would sum to 2^13 (which the votes, at most
// 0.5 ln(10^12) each, never reach in kMaxRules rounds), so the model is
// dyadic. Coding
// and non-coding windows start with half the weight each. With features > 0
// the first round also screens the features: later rounds search only the
// `features` ones whose best stump erred least in it (ties: lower feature).
// Stops early when no stump does better than chance. progress(round) is
// called after each round.
//
// With ranked pairs (and pairWeight > 0) the pairs enter at round pairsFrom
// with pairWeight of the weight, the labelled windows keeping the rest. A stump orders a pair
// right when it votes the better window up and the worse one down, wrong the
// other way round, and abstains when it votes both alike; each round picks
// the stump of least Z = abstaining + 2 sqrt(right x wrong) over windows and
// pairs together, votes shrinkage x 0.5 ln(right / wrong) and reweights the
// pairs by the vote of their margin (+1, 0, -1).
std::vector<Stump> Boost(const QuantisedWindows& data, const BoostOptions& options, int threads,
                         const std::function<void(int)>& progress);

}  // namespace talvo::tools
