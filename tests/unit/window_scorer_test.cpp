// The fast window scorer against the rule-by-rule scorer, bit for bit, on
// random models (weights that are not round numbers, thresholds on and off
// the values the rules compute, pseudo-counts that give infinite and NaN
// values) and random sequences with unknown bases.
#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include "TestSupport.h"
#include "WindowScorer.h"

namespace talvo {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

class RandomModels : public testing_support::ModelTest {
protected:
    int Draw(int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }
    // A double in [0, 1) with all 53 bits random.
    double Unit() { return static_cast<double>(rng() >> 11) * 0x1p-53; }
    template <class T>
    T Pick(std::initializer_list<T> values) {
        return values.begin()[Draw(static_cast<int>(values.size()))];
    }

    // A pseudo-count pair: mostly ordinary, sometimes zero, negative, huge,
    // or one that zeroes the window's denominator.
    void PseudoCounts(double (&pair)[2], int span) {
        switch (Draw(12)) {
            case 0: pair[0] = 0.0, pair[1] = 0.0; break;
            case 1: pair[0] = Unit(), pair[1] = -span; break;
            case 2: pair[0] = -Unit(), pair[1] = 98.0; break;
            case 3: pair[0] = 1e250 * Unit(), pair[1] = 1e-250; break;
            case 4: pair[0] = 1.0, pair[1] = 1.0; break;
            default: pair[0] = 2.0 * Unit(), pair[1] = Draw(4) == 0 ? 200.0 * Unit() : 98.0; break;
        }
    }

    // The pair value of rule i on random counts: a threshold that the rule
    // meets exactly on some windows.
    double ValueOfPairRule(const fnlHypo& rule, int span) {
        smplTestData s;
        s.Reset(0, span);
        s.pairAcidCnt[rule.gap][rule.first][rule.second] = static_cast<int16_t>(Draw(4));
        s.pairAcidMarg[rule.gap][0][rule.first] = static_cast<int16_t>(Draw(8));
        s.pairAcidMarg[rule.gap][1][rule.second] = static_cast<int16_t>(Draw(8));
        return PairAssociation(s, rule.gap, rule.first, rule.second);
    }

    void FillModel(int width) {
        ClearModel();
        WINDOW_WIDTH = width;
        const int span = width == 96 ? 95 : 194;
        for (auto& byGap : pairAcidPriproTable) {
            for (auto& byFirst : byGap) {
                for (auto& pair : byFirst) PseudoCounts(pair, span);
            }
        }
        for (auto& pair : snglAcidPriproTable) PseudoCounts(pair, span);
        const int rules = Draw(5) == 0 ? Draw(kMaxRules + 1) : kMaxRules;
        fh.resize(rules);
        for (int i = 0; i < rules; ++i) {
            fnlHypo& rule = fh[i];
            const int roll = Draw(20);
            rule.kind = roll < 14 ? 3 : roll < 16 ? 0 : roll < 18 ? 2 : Pick({1, 4, -1});
            rule.weight = Draw(50) == 0 ? Pick({0.0, -0.0, kInf, -kInf, 1e300, 0x1p-1074})
                                        : (Unit() - 0.5) * std::ldexp(1.0, Draw(12) - 8);
            const int dir = Draw(10) == 0 ? Pick({7, -1}) : Draw(2);
            rule.gap = Draw(4);
            if (rule.kind == 0) {
                rule.first = Draw(4), rule.second = Draw(4), rule.third = Draw(4);
                const double t = Draw(4) == 0 ? Pick({0.0, 1.0 / 6, 0.25, 1.0 / 3, 0.5, 2.0 / 3, 1.0,
                                                      kNaN, -kInf})
                                              : Unit();
                codonTrsld[i] = {dir, 0, t};
            } else {
                rule.first = Draw(kAminoAcids);
                rule.second = Draw(kAminoAcids);
            }
            snglAcidTrsld[i] = {dir, Draw(10) == 0 ? Pick({INT_MIN, INT_MAX, -1}) : Draw(12), 0.0};
            if (rule.kind == 3) {
                double t;
                switch (Draw(8)) {
                    case 0: t = ValueOfPairRule(rule, span); break;
                    case 1: t = Pick({0.0, -0.0, -1.0, kNaN, kInf, -kInf, 1e-310, 1e300, 0x1p-900});
                        break;
                    default: t = std::exp((Unit() - 0.5) * 10.0); break;
                }
                pairAcidTrsld[i] = {dir, 0, t};
            }
        }
    }

    // Bases with about one unknown in 40 and a stretch without stops, so
    // that both coding and non-coding windows occur.
    std::vector<short> RandomSequence(int length) {
        std::vector<short> bases(length);
        for (short& b : bases) b = static_cast<short>(Draw(40) == 0 ? -1 : Draw(4));
        for (int p = length / 3; p + 3 < 2 * length / 3; p += 3) {
            while (AminoAcidOf(bases[p], bases[p + 1], bases[p + 2]) == kStop) {
                bases[p + 2] = static_cast<short>(Draw(4));
            }
        }
        return bases;
    }

    std::mt19937_64 rng{20261209};
};

bool SameBits(double a, double b) {
    return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b);
}

TEST_F(RandomModels, FastScoreEqualsRuleByRuleScoreOnAnySample) {
    const talvo::Test plain;
    for (int model = 0; model < 40; ++model) {
        const int width = model % 2 == 0 ? 96 : 196;
        FillModel(width);
        const WindowScorer scorer(width);
        const std::vector<short> bases = RandomSequence(400);
        for (int trial = 0; trial < 200; ++trial) {
            smplTestData sample;
            bool centreStop = false;
            ScanWindow(sample, bases.data(), 400, Draw(390), width, centreStop);
            if (trial % 4 == 1) sample.smplEnd = sample.smplStart + Draw(300) - 100;  // any span
            for (int r = 0; trial % 4 == 3 && r < 20 && !fh.empty(); ++r) {
                // Rules' counts beyond any window, or negative.
                const fnlHypo& rule = fh[Draw(static_cast<int>(fh.size()))];
                auto count = [&] { return static_cast<int16_t>(Draw(2) == 0 ? Draw(300) - 100 : Draw(8)); };
                sample.pairAcidCnt[rule.gap][rule.first][rule.second] = count();
                sample.pairAcidMarg[rule.gap][0][rule.first] = count();
                sample.pairAcidMarg[rule.gap][1][rule.second] = count();
            }
            double expected = 0.0;
            double actual = 0.0;
            const int expectedCode = plain.CHKSmpl(sample, expected);
            const int actualCode = scorer.Score(sample, actual);
            ASSERT_TRUE(SameBits(actual, expected))
                << "model " << model << " trial " << trial << ": " << actual << " vs " << expected;
            ASSERT_EQ(actualCode, expectedCode);
        }
    }
}

// Thresholds on the value a window gives, and one step either side of it:
// the votes that no bound can decide.
TEST_F(RandomModels, NearTiesVoteAsTheExactValue) {
    const talvo::Test plain;
    for (int model = 0; model < 20; ++model) {
        const int width = model % 2 == 0 ? 96 : 196;
        FillModel(width);
        const std::vector<short> bases = RandomSequence(400);
        for (int trial = 0; trial < 10; ++trial) {
            smplTestData sample;
            bool centreStop = false;
            ScanWindow(sample, bases.data(), 400, Draw(200), width, centreStop);
            for (std::size_t i = 0; i < fh.size(); ++i) {
                const fnlHypo& rule = fh[i];
                if (rule.kind != 3) continue;
                const double x = PairAssociation(sample, rule.gap, rule.first, rule.second);
                pairAcidTrsld[i].realTrsld = std::nextafter(x, Pick({-kInf, x, kInf}));
            }
            const WindowScorer scorer(width);
            double expected = 0.0;
            double actual = 0.0;
            const int expectedCode = plain.CHKSmpl(sample, expected);
            const int actualCode = scorer.Score(sample, actual);
            ASSERT_TRUE(SameBits(actual, expected)) << "model " << model << " trial " << trial;
            ASSERT_EQ(actualCode, expectedCode);
        }
    }
}

// Sample extraction with the fast scorer files the same classes and scores
// as filing each window's fresh count scored rule by rule.
TEST_F(RandomModels, ExtractionEqualsRuleByRuleScoringOfFreshCounts) {
    for (int model = 0; model < 24; ++model) {
        const int width = model % 2 == 0 ? 96 : 196;
        FillModel(width);
        const int length = Pick({50, 53, 60, 100, 197, 400, 1500});
        WebPredict run;
        run.baseArray = RandomSequence(length);
        run.arrayLen = run.seqLen = length;
        run.GetSmplsFromArray();

        const int half = width / 6;
        double rememberedScore = 0.0;
        int rememberedClass = kNonCoding;
        for (int f = 0; f < 3; ++f) {
            const std::vector<int>& classes = run.seqLayout.windowClasses[f];
            const std::vector<double>& scores = run.frameScore[f];
            for (int s = f, j = half;; s += 3, ++j) {
                smplTestData sample;
                bool centreStop = false;
                const int k = ScanWindow(sample, run.baseArray.data(), length, s, width, centreStop);
                if (k - 1 < 3 * half + 3) break;
                if (centreStop) continue;
                double score = rememberedScore;
                int code = rememberedClass;
                if (s + width < length) {
                    code = run.CHKSmpl(sample, score);
                    rememberedScore = score;
                    rememberedClass = code;
                }
                ASSERT_LT(static_cast<std::size_t>(j), classes.size());
                ASSERT_TRUE(SameBits(scores[j], score))
                    << "model " << model << " frame " << f << " window " << s;
                ASSERT_EQ(classes[j], code);
            }
        }
    }
}

}  // namespace
}  // namespace talvo
