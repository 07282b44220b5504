#include "BenchModel.h"

#include <random>

#include "GeneticCode.h"

namespace talvo::bench {

namespace {

// Raw generator output only: std::mt19937 is the same everywhere, the
// standard distributions are not.
int Draw(std::mt19937& rng, int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }

}  // namespace

Model BenchModel(int windowWidth) {
    Model model;
    model.windowWidth = windowWidth;
    std::mt19937 rng(20240501);
    model.rules.resize(kMaxRules);
    for (int i = 0; i < kMaxRules; ++i) {
        fnlHypo& rule = model.rules[i];
        rule.weight = 0.1 + 0.01 * Draw(rng, 90);
        const int dir = Draw(rng, 2);
        switch (i % 3) {
            case 0:
                rule.kind = 0;
                rule.first = Draw(rng, 4);
                rule.second = Draw(rng, 4);
                rule.third = Draw(rng, 4);
                model.codonTrsld[i] = {dir, 0, 0.2 + 0.05 * Draw(rng, 8)};
                break;
            case 1:
                rule.kind = 2;
                rule.first = Draw(rng, kAminoAcids);
                model.snglAcidTrsld[i] = {dir, Draw(rng, 5), 0.0};
                break;
            default:
                rule.kind = 3;
                rule.first = Draw(rng, kAminoAcids);
                rule.second = Draw(rng, kAminoAcids);
                rule.gap = Draw(rng, 4);
                model.pairAcidTrsld[i] = {dir, 0, 0.5 + 0.1 * Draw(rng, 10)};
                break;
        }
    }
    for (auto& byGap : model.pairAcidPriproTable) {
        for (auto& byFirst : byGap) {
            for (auto& pair : byFirst) {
                pair[0] = 0.01;
                pair[1] = 1.0;
            }
        }
    }
    for (auto& pair : model.snglAcidPriproTable) {
        pair[0] = 0.2;
        pair[1] = 1.0;
    }
    // [current class][previous class]: coding, non-coding, path begin, stop.
    const double chain[4][4] = {
        {1.0, -2.0, 1.0, -2.0},
        {-1.0, 0.0, -1.0, 0.0},
        {0.0, 0.0, 0.0, 0.0},
        {0.5, 0.0, 0.0, 0.0},
    };
    for (int c = 0; c < 4; ++c) {
        for (int p = 0; p < 4; ++p) model.malkovChain[c][p] = chain[c][p];
    }
    return model;
}

std::vector<short> BenchSequence(int length, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<short> bases;
    bases.reserve(length);
    const int codingBegin = length / 5;
    const int codingEnd = length - length / 5;
    int sinceShift = 0;
    while (static_cast<int>(bases.size()) < length) {
        const int p = static_cast<int>(bases.size());
        if (p < codingBegin || p + 3 > codingEnd) {
            bases.push_back(static_cast<short>(Draw(rng, 4)));
            continue;
        }
        int codon[3];
        do {
            for (int& b : codon) b = Draw(rng, 4);
        } while (AminoAcidOf(codon[0], codon[1], codon[2]) == kStop);
        for (int b : codon) bases.push_back(static_cast<short>(b));
        sinceShift += 3;
        if (sinceShift >= 1000) {
            sinceShift = 0;
            if (Draw(rng, 2) == 0) {
                bases.push_back(static_cast<short>(Draw(rng, 4)));  // an inserted base
            } else {
                bases.pop_back();  // a deleted base
            }
        }
    }
    bases.resize(length);
    return bases;
}

}  // namespace talvo::bench
