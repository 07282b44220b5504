#include "Stumps.h"

#include <algorithm>
#include <cmath>

#include "Parallel.h"
#include "SameBitsMath.h"
#include "WindowScorer.h"
#include "WindowScoring.h"

namespace talvo::tools {

namespace {

constexpr int kMaxBins = 64;

struct Split {
    double error = 2.0;  // weighted error, or with ranked pairs Z
    int feature = -1;
    int threshold = 0;
    int dir = 1;
    double right = 0.0;  // with ranked pairs: weight the stump gets right and wrong
    double wrong = 0.0;
};

// The stump of least Z on one feature, over the labelled windows (their
// weighted histograms coding[] and other[] per bin) and the ranked pairs. A
// pair is ordered right by direction 1 at the thresholds k with
// bin(better) > k >= bin(worse), wrong at those with bin(worse) > k >= bin(better).
Split BestRankingSplit(const QuantisedWindows& data, const std::vector<double>& pairWeight, const uint8_t* bins,
                       int feature, const double* coding, const double* other, double windowTotal) {
    const int thresholds = static_cast<int>(data.thresholds[feature].size());
    double rightFrom[kMaxBins + 2] = {};  // differences over k
    double wrongFrom[kMaxBins + 2] = {};
    double pairTotal = 0.0;
    for (std::size_t j = 0; j < data.pairs.size(); ++j) {
        const int b1 = bins[data.pairs[j].better];
        const int b2 = bins[data.pairs[j].worse];
        const double v = pairWeight[j];
        pairTotal += v;
        if (b1 > b2) {
            rightFrom[b2] += v;
            rightFrom[b1] -= v;
        } else if (b2 > b1) {
            wrongFrom[b1] += v;
            wrongFrom[b2] -= v;
        }
    }
    Split best;
    double codingBelow = 0.0;
    double otherAbove = 0.0;
    for (int b = 0; b <= thresholds; ++b) otherAbove += other[b];
    double right = 0.0;
    double wrong = 0.0;
    for (int k = 0; k < thresholds; ++k) {
        codingBelow += coding[k];
        otherAbove -= other[k];
        right += rightFrom[k];
        wrong += wrongFrom[k];
        const double up = codingBelow + otherAbove;  // windows direction 1 gets wrong
        const double down = windowTotal - up;
        // Z is the same for both directions; the one that gets more right votes.
        const double rightUp = down + right;
        const double wrongUp = up + wrong;
        const double z = (pairTotal - right - wrong) + 2.0 * std::sqrt(rightUp * wrongUp);
        if (z < best.error) {
            best = rightUp >= wrongUp ? Split{z, feature, k, 1, rightUp, wrongUp}
                                      : Split{z, feature, k, 0, wrongUp, rightUp};
        }
    }
    return best;
}

// The best stump on one feature: weighted histograms of coding and
// non-coding windows per bin, then every threshold and direction.
// With ranked pairs (pairWeight not empty) the stump of least Z instead.
Split BestSplit(const QuantisedWindows& data, const std::vector<double>& weight,
                const std::vector<double>& pairWeight, int feature) {
    Split best;
    const int thresholds = static_cast<int>(data.thresholds[feature].size());
    if (thresholds == 0) return best;
    // hist[2b] sums the non-coding windows of bin b, hist[2b + 1] the coding ones.
    double hist[2 * (kMaxBins + 1)] = {};
    const uint8_t* bins = &data.bins[static_cast<std::size_t>(feature) * data.samples];
    for (int i = 0; i < data.windows; ++i) hist[2 * bins[i] + data.isCoding[i]] += weight[i];
    double coding[kMaxBins + 1];
    double other[kMaxBins + 1];
    for (int b = 0; b <= thresholds; ++b) {
        other[b] = hist[2 * b];
        coding[b] = hist[2 * b + 1];
    }
    double total = 0.0;
    for (int b = 0; b <= thresholds; ++b) total += coding[b] + other[b];
    // Direction 1 votes coding above threshold k (bins k+1 and up): its
    // errors are the coding windows at or below k and the others above.
    if (!pairWeight.empty()) return BestRankingSplit(data, pairWeight, bins, feature, coding, other, total);
    double codingBelow = 0.0;
    double otherAbove = 0.0;
    for (int b = 0; b <= thresholds; ++b) otherAbove += other[b];
    for (int k = 0; k < thresholds; ++k) {
        codingBelow += coding[k];
        otherAbove -= other[k];
        const double up = codingBelow + otherAbove;
        const double down = total - up;
        if (up < best.error) best = {up, feature, k, 1};
        if (down < best.error) best = {down, feature, k, 0};
    }
    return best;
}

}  // namespace

double FeatureValue(const Model& model, const smplTestData& sample, int feature) {
    if (feature < kCodonFeatures) {
        return CodonShare(sample, feature / 16, feature / 4 % 4, feature % 4);
    }
    feature -= kCodonFeatures;
    if (feature < kAcidFeatures) return AcidCount(sample, feature);
    feature -= kAcidFeatures;
    const int perGap = kAminoAcids * kAminoAcids;
    return PairAssociation(model, sample, feature / perGap, feature % perGap / kAminoAcids, feature % kAminoAcids);
}

void SetRule(Model& model, int slot, const Stump& stump) {
    fnlHypo& rule = model.rules[slot];
    rule = fnlHypo{};
    rule.weight = stump.weight;
    int f = stump.feature;
    if (f < kCodonFeatures) {
        rule.kind = 0;
        rule.first = f / 16;
        rule.second = f / 4 % 4;
        rule.third = f % 4;
        model.codonTrsld[slot] = {stump.dir, 0, stump.threshold};
        return;
    }
    f -= kCodonFeatures;
    if (f < kAcidFeatures) {
        rule.kind = 2;
        rule.first = f;
        model.snglAcidTrsld[slot] = {stump.dir, static_cast<int>(stump.threshold), 0.0};
        return;
    }
    f -= kAcidFeatures;
    const int perGap = kAminoAcids * kAminoAcids;
    rule.kind = 3;
    rule.gap = f / perGap;
    rule.first = f % perGap / kAminoAcids;
    rule.second = f % kAminoAcids;
    model.pairAcidTrsld[slot] = {stump.dir, 0, stump.threshold};
}

QuantisedWindows Quantise(const Model& model, const std::vector<smplTestData>& samples,
                          const std::vector<int8_t>& label, int maxThresholds, int threads) {
    maxThresholds = std::clamp(maxThresholds, 1, kMaxBins);
    QuantisedWindows data;
    data.windows = static_cast<int>(label.size());
    data.samples = static_cast<int>(samples.size());
    data.label = label;
    data.isCoding.resize(label.size());
    for (std::size_t i = 0; i < label.size(); ++i) data.isCoding[i] = label[i] > 0 ? 1 : 0;
    data.thresholds.resize(kFeatureCount);
    data.bins.resize(static_cast<std::size_t>(kFeatureCount) * data.samples);
    ParallelFor(kFeatureCount, threads, [&](int feature) {
        std::vector<double> values(data.samples);
        for (int i = 0; i < data.samples; ++i) values[i] = FeatureValue(model, samples[i], feature);
        std::vector<double> ordered;
        ordered.reserve(data.windows);
        for (int i = 0; i < data.windows; ++i) {
            if (!std::isnan(values[i])) ordered.push_back(values[i]);
        }
        std::sort(ordered.begin(), ordered.end());
        std::vector<double> distinct = ordered;
        distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
        std::vector<double> cuts;
        if (distinct.size() > 1) {
            // A threshold at the largest value splits nothing.
            const std::size_t below = distinct.size() - 1;
            if (static_cast<int>(below) <= maxThresholds) {
                cuts.assign(distinct.begin(), distinct.end() - 1);
            } else {
                for (int k = 1; k <= maxThresholds; ++k) {
                    const double v = ordered[static_cast<std::size_t>(k) * ordered.size() / (maxThresholds + 1)];
                    if (v <= distinct[below - 1] && (cuts.empty() || v > cuts.back())) cuts.push_back(v);
                }
            }
            // Each threshold halfway to the next value the windows take: the
            // same split of them, and a threshold that windows seldom meet
            // exactly (a value on a threshold is decided by the slow exact
            // comparison in the scorer).
            for (double& cut : cuts) {
                const double next = *std::upper_bound(distinct.begin(), distinct.end(), cut);
                const double half = cut + (next - cut) * 0.5;
                if (half > cut && half < next) cut = half;
            }
        }
        uint8_t* bins = &data.bins[static_cast<std::size_t>(feature) * data.samples];
        for (int i = 0; i < data.samples; ++i) {
            // Values above threshold k (strictly) have bin > k; a NaN is above none.
            const double v = values[i];
            bins[i] = static_cast<uint8_t>(std::lower_bound(cuts.begin(), cuts.end(), v) - cuts.begin());
        }
        data.thresholds[feature] = std::move(cuts);
    });
    return data;
}

std::vector<Stump> Boost(const QuantisedWindows& data, const BoostOptions& options, int threads,
                         const std::function<void(int)>& progress) {
    const int n = data.windows;
    const bool ranked = !data.pairs.empty() && options.pairWeight > 0.0;
    const double windowShare = ranked && options.pairsFrom == 0 ? 1.0 - options.pairWeight : 1.0;
    int coding = 0;
    for (int8_t y : data.label) coding += y > 0 ? 1 : 0;
    std::vector<double> weight(n);
    for (int i = 0; i < n; ++i) weight[i] = windowShare * 0.5 / (data.label[i] > 0 ? coding : n - coding);
    std::vector<double> pairWeight;  // empty while the pairs are left out

    std::vector<int> searched(kFeatureCount);
    for (int f = 0; f < kFeatureCount; ++f) searched[f] = f;
    std::vector<Stump> stumps;
    double magnitudes = 0.0;  // of the weights so far
    std::vector<Split> perFeature(kFeatureCount);
    for (int round = 0; round < options.rounds; ++round) {
        if (ranked && round == options.pairsFrom) {
            if (round > 0) {
                for (double& w : weight) w *= 1.0 - options.pairWeight;
            }
            pairWeight.assign(data.pairs.size(), options.pairWeight / static_cast<double>(data.pairs.size()));
        }
        const int count = static_cast<int>(searched.size());
        ParallelFor(count, threads, [&](int i) { perFeature[i] = BestSplit(data, weight, pairWeight, searched[i]); });
        Split best;
        for (int i = 0; i < count; ++i) {
            if (perFeature[i].feature >= 0 && perFeature[i].error < best.error) best = perFeature[i];
        }
        if (round == 0 && options.features > 0 && options.features < count) {
            std::vector<int> order = searched;
            std::stable_sort(order.begin(), order.end(),
                             [&](int a, int b) { return perFeature[a].error < perFeature[b].error; });
            order.resize(options.features);
            std::sort(order.begin(), order.end());
            searched = std::move(order);
        }
        double alpha = 0.0;
        if (!pairWeight.empty()) {
            if (best.feature < 0 || !(best.right > best.wrong * (1.0 + 1e-9))) break;
            alpha = options.shrinkage * 0.5 * SameBitsLog(best.right / std::max(best.wrong, 1e-12 * best.right));
        } else {
            if (best.feature < 0 || !(best.error < 0.5 - 1e-9)) break;
            const double e = std::max(best.error, 1e-12);
            alpha = options.shrinkage * 0.5 * SameBitsLog((1.0 - e) / e);
        }
        // The rule's weight: the vote rounded to a whole number of the
        // scorer's units, their magnitudes summing below its exact range, so
        // that the model is dyadic (every partial sum of its votes exact).
        const double ruleWeight = std::round(alpha / WindowScorer::kUnit) * WindowScorer::kUnit;
        if (magnitudes + ruleWeight >= WindowScorer::kExactRange) break;
        magnitudes += ruleWeight;
        stumps.push_back({best.feature, best.dir, data.thresholds[best.feature][best.threshold], ruleWeight});

        const uint8_t* bins = &data.bins[static_cast<std::size_t>(best.feature) * data.samples];
        const auto vote = [&](int i) { return (bins[i] > best.threshold ? 1 : -1) * (best.dir == 0 ? -1 : 1); };
        // A window or pair the stump gets right has its weight times e^-alpha,
        // one it gets wrong times e^alpha, a pair it abstains on keeps it.
        const double rightFactor = SameBitsExp(-alpha);
        const double wrongFactor = SameBitsExp(alpha);
        double sum = 0.0;
        for (int i = 0; i < n; ++i) {
            weight[i] *= vote(i) * data.label[i] > 0 ? rightFactor : wrongFactor;
            sum += weight[i];
        }
        for (std::size_t j = 0; j < pairWeight.size(); ++j) {
            const int margin = vote(data.pairs[j].better) - vote(data.pairs[j].worse);
            if (margin != 0) pairWeight[j] *= margin > 0 ? rightFactor : wrongFactor;
            sum += pairWeight[j];
        }
        for (double& w : weight) w /= sum;
        for (double& w : pairWeight) w /= sum;
        progress(round + 1);
    }
    return stumps;
}

}  // namespace talvo::tools
