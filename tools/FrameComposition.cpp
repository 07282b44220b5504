#include "FrameComposition.h"

#include <algorithm>
#include <cmath>

namespace talvo::tools {

std::vector<Stump> FrameCompositionRules(const std::vector<AnnotatedSequence>& set,
                                         const std::vector<std::vector<short>>& codes, const std::vector<int>& pool,
                                         int width, double strength) {
    constexpr int kAcids = kAminoAcids - 1;  // without the stop
    double inFrame[kAcids] = {};
    double offFrame[kAcids] = {};
    double inTotal = 0.0;
    double offTotal = 0.0;
    for (int idx : pool) {
        const short* b = codes[idx].data();
        for (int shift = 0; shift < 3; ++shift) {
            for (int p = set[idx].cdsFirst + shift; p + 2 <= set[idx].cdsLast; p += 3) {
                const int a = AminoAcidOf(b[p], b[p + 1], b[p + 2]);
                if (a < 0 || a == kStop) continue;
                (shift == 0 ? inFrame : offFrame)[a] += 1.0;
                (shift == 0 ? inTotal : offTotal) += 1.0;
            }
        }
    }
    const double codons = width / 3;
    std::vector<Stump> rules;
    double centre = 0.0;  // the sum's value halfway between a typical coding and a typical off-frame window
    for (int a = 0; a < kAcids; ++a) {
        const double pIn = (inFrame[a] + 1.0) / (inTotal + kAcids);
        const double pOff = (offFrame[a] + 1.0) / (offTotal + kAcids);
        const double weight = strength * std::log(pIn / pOff) / 2.0;
        // Counts up to `top` add weight x 2 each; few windows hold more.
        const int top = std::min(16, static_cast<int>(std::ceil(2.0 * codons * std::max(pIn, pOff))) + 2);
        for (int t = 0; t < top; ++t) {
            rules.push_back({kCodonFeatures + a, weight > 0 ? 1 : 0, static_cast<double>(t), std::abs(weight)});
        }
        const double mean = codons * (pIn + pOff) / 2.0;
        centre += weight * (2.0 * std::min(mean, static_cast<double>(top)) - top);
    }
    // A codon's share is never below 0: this rule always votes.
    rules.push_back({0, centre < 0 ? 1 : 0, -1.0, std::abs(centre)});
    return rules;
}

double RulesScore(const std::vector<Stump>& rules, const smplTestData& sample) {
    double score = 0.0;
    for (const Stump& rule : rules) {
        const int vote = (FeatureValue(sample, rule.feature) > rule.threshold ? 1 : -1) * (rule.dir == 0 ? -1 : 1);
        score += vote * rule.weight;
    }
    return score;
}

}  // namespace talvo::tools
