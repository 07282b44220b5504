// The fast window scorer against the rule-by-rule scorer, bit for bit, on
// random models (weights that are not round numbers, thresholds on and off
// the values the rules compute, pseudo-counts that give infinite and NaN
// values) and random sequences with unknown bases; and on dyadic models
// (weights multiples of 2^-40, many rules on one feature), which the fast
// scorer sums as integers.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "ErrorPlacement.h"
#include "GeneticCode.h"
#include "Model.h"
#include "ModelSet.h"
#include "SampleExtraction.h"
#include "SequenceClass.h"
#include "WindowScorer.h"
#include "WindowScoring.h"

namespace talvo {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

class RandomModels : public ::testing::Test {
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
    double ValueOfPairRule(const Model& model, const fnlHypo& rule, int span) {
        smplTestData s;
        s.Reset(0, span);
        s.pairAcidCnt[rule.gap][rule.first][rule.second] = static_cast<int16_t>(Draw(4));
        s.pairAcidMarg[rule.gap][0][rule.first] = static_cast<int16_t>(Draw(8));
        s.pairAcidMarg[rule.gap][1][rule.second] = static_cast<int16_t>(Draw(8));
        return PairAssociation(model, s, rule.gap, rule.first, rule.second);
    }

    // A weight of a dyadic model: a multiple of 2^-40 of magnitude below 4,
    // sometimes zero or the smallest.
    double DyadicWeight() {
        if (Draw(50) == 0) return Pick({0.0, -0.0, 0x1p-40, -0x1p-40});
        return std::ldexp(std::round((Unit() - 0.5) * std::ldexp(1.0, 40 + Draw(11) - 8)), -40);
    }

    // A fresh random model of the given window width; a dyadic one has its
    // weights multiples of 2^-40 and reads few features, each through many
    // rules.
    void FillModel(int width, bool dyadic = false) {
        model = std::make_unique<Model>();
        Model& m = *model;
        m.windowWidth = width;
        const int span = width == 96 ? 95 : 194;
        for (auto& byGap : m.pairAcidPriproTable) {
            for (auto& byFirst : byGap) {
                for (auto& pair : byFirst) PseudoCounts(pair, span);
            }
        }
        for (auto& pair : m.snglAcidPriproTable) PseudoCounts(pair, span);
        const int rules = Draw(5) == 0 ? Draw(kMaxRules + 1) : kMaxRules;
        m.rules.resize(rules);
        for (int i = 0; i < rules; ++i) {
            fnlHypo& rule = m.rules[i];
            const int roll = Draw(20);
            rule.kind = roll < 14 ? 3 : roll < 16 ? 0 : roll < 18 ? 2 : Pick({1, 4, -1});
            rule.weight = dyadic        ? DyadicWeight()
                          : Draw(50) == 0 ? Pick({0.0, -0.0, kInf, -kInf, 1e300, 0x1p-1074})
                                          : (Unit() - 0.5) * std::ldexp(1.0, Draw(12) - 8);
            const int dir = Draw(10) == 0 ? Pick({7, -1}) : Draw(2);
            rule.gap = Draw(4);
            const bool again = dyadic && i > 0 && Draw(4) != 0;  // the feature of an earlier rule
            if (again) {
                const fnlHypo& earlier = m.rules[Draw(std::min(i, 40))];
                rule.kind = earlier.kind, rule.gap = earlier.gap;
                rule.first = earlier.first, rule.second = earlier.second, rule.third = earlier.third;
            }
            if (rule.kind == 0) {
                if (!again) rule.first = Draw(4), rule.second = Draw(4), rule.third = Draw(4);
                const double t = Draw(4) == 0 ? Pick({0.0, 1.0 / 6, 0.25, 1.0 / 3, 0.5, 2.0 / 3, 1.0,
                                                      kNaN, -kInf})
                                              : Unit();
                m.codonTrsld[i] = {dir, 0, t};
            } else if (!again) {
                rule.first = Draw(kAminoAcids);
                rule.second = Draw(kAminoAcids);
            }
            m.snglAcidTrsld[i] = {dir, Draw(10) == 0 ? Pick({INT_MIN, INT_MAX, -1}) : Draw(12), 0.0};
            if (rule.kind == 3) {
                double t;
                switch (Draw(8)) {
                    case 0: t = ValueOfPairRule(m, rule, span); break;
                    case 1: t = Pick({0.0, -0.0, -1.0, kNaN, kInf, -kInf, 1e-310, 1e300, 0x1p-900});
                        break;
                    default: t = std::exp((Unit() - 0.5) * 10.0); break;
                }
                m.pairAcidTrsld[i] = {dir, 0, t};
            }
        }
    }

    // Some pair rules get a threshold on the value of one of the sequence's
    // windows, or one step either side: votes the log-sums cannot decide.
    void TieThresholds(const std::vector<short>& bases) {
        const int length = static_cast<int>(bases.size());
        if (length <= model->windowWidth) return;
        for (std::size_t i = 0; i < model->rules.size(); ++i) {
            const fnlHypo& rule = model->rules[i];
            if (rule.kind != 3 || Draw(3) != 0) continue;
            smplTestData sample;
            bool centreStop = false;
            ScanWindow(sample, bases.data(), length, Draw(length - model->windowWidth), model->windowWidth,
                       centreStop);
            const double x = PairAssociation(*model, sample, rule.gap, rule.first, rule.second);
            model->pairAcidTrsld[i].realTrsld = std::nextafter(x, Pick({-kInf, x, kInf}));
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
    std::unique_ptr<Model> model;
};

bool SameBits(double a, double b) {
    return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b);
}

TEST_F(RandomModels, FastScoreEqualsRuleByRuleScoreOnAnySample) {
    for (int round = 0; round < 60; ++round) {
        const int width = round % 2 == 0 ? 96 : 196;
        const bool dyadic = round / 2 % 2 == 1;
        FillModel(width, dyadic);
        const WindowScorer scorer(*model);
        ASSERT_EQ(scorer.Dyadic(), dyadic);
        const std::vector<short> bases = RandomSequence(400);
        for (int trial = 0; trial < 200; ++trial) {
            smplTestData sample;
            bool centreStop = false;
            ScanWindow(sample, bases.data(), 400, Draw(390), width, centreStop);
            if (trial % 4 == 1) sample.smplEnd = sample.smplStart + Draw(300) - 100;  // any span
            const std::vector<fnlHypo>& rules = model->rules;
            for (int r = 0; trial % 4 == 3 && r < 20 && !rules.empty(); ++r) {
                // Rules' counts beyond any window, or negative.
                const fnlHypo& rule = rules[Draw(static_cast<int>(rules.size()))];
                auto count = [&] { return static_cast<int16_t>(Draw(2) == 0 ? Draw(300) - 100 : Draw(8)); };
                sample.pairAcidCnt[rule.gap][rule.first][rule.second] = count();
                sample.pairAcidMarg[rule.gap][0][rule.first] = count();
                sample.pairAcidMarg[rule.gap][1][rule.second] = count();
            }
            double expected = 0.0;
            double actual = 0.0;
            const int expectedCode = ScoreWindow(*model, sample, expected);
            const int actualCode = scorer.Score(sample, actual);
            ASSERT_TRUE(SameBits(actual, expected))
                << "model " << round << " trial " << trial << ": " << actual << " vs " << expected;
            ASSERT_EQ(actualCode, expectedCode);
        }
    }
}

// A model is dyadic when every weight of a rule that votes is a multiple of
// 2^-40 and their magnitudes sum below 2^13.
TEST(DyadicModels, AreThoseWhoseEveryPartialSumIsExact) {
    const struct {
        std::vector<std::pair<int, double>> rules;  // kind, weight
        bool dyadic;
    } cases[] = {
        {{}, true},
        {{{3, 0.25}, {0, -0x1p-40}, {2, 3.0}}, true},
        {{{3, 0x1p12}, {2, -0x1p12 + 0x1p-40}}, true},  // magnitudes just below 2^13
        {{{3, 0x1p12}, {2, -0x1p12}}, false},           // 2^13
        {{{3, 0.25}, {0, 0x1p-41}}, false},
        {{{3, 0.1}}, false},
        {{{3, 0.25}, {2, kInf}}, false},
        {{{3, 0.25}, {1, 0.1}, {4, kNaN}}, true},  // rules that never vote
    };
    for (const auto& c : cases) {
        Model model;
        model.windowWidth = 96;
        for (const auto& [kind, weight] : c.rules) {
            fnlHypo rule{};
            rule.kind = kind;
            rule.weight = weight;
            model.rules.push_back(rule);
        }
        EXPECT_EQ(WindowScorer(model).Dyadic(), c.dyadic) << c.rules.size() << " rules";
    }
}

// Thresholds on the value a window gives, and one step either side of it:
// the votes that no bound can decide.
TEST_F(RandomModels, NearTiesVoteAsTheExactValue) {
    for (int round = 0; round < 30; ++round) {
        const int width = round % 2 == 0 ? 96 : 196;
        FillModel(width, round / 2 % 2 == 1);
        const std::vector<short> bases = RandomSequence(400);
        for (int trial = 0; trial < 10; ++trial) {
            smplTestData sample;
            bool centreStop = false;
            ScanWindow(sample, bases.data(), 400, Draw(200), width, centreStop);
            for (std::size_t i = 0; i < model->rules.size(); ++i) {
                const fnlHypo& rule = model->rules[i];
                if (rule.kind != 3) continue;
                const double x = PairAssociation(*model, sample, rule.gap, rule.first, rule.second);
                model->pairAcidTrsld[i].realTrsld = std::nextafter(x, Pick({-kInf, x, kInf}));
            }
            const WindowScorer scorer(*model);
            double expected = 0.0;
            double actual = 0.0;
            const int expectedCode = ScoreWindow(*model, sample, expected);
            const int actualCode = scorer.Score(sample, actual);
            ASSERT_TRUE(SameBits(actual, expected)) << "model " << round << " trial " << trial;
            ASSERT_EQ(actualCode, expectedCode);
        }
    }
}

// Sample extraction with the fast scorer files the same classes and scores
// as filing each window's fresh count scored rule by rule.
void ExpectExtractionAsRuleByRule(const Model& model, const std::vector<short>& bases, const std::string& what) {
    const int length = static_cast<int>(bases.size());
    const int width = model.windowWidth;
    layout lay;
    std::array<std::vector<double>, 3> frameScore;
    ExtractSamples(model, bases.data(), length, lay, frameScore);
    const int half = width / 6;
    double rememberedScore = 0.0;
    int rememberedClass = kNonCoding;
    for (int f = 0; f < 3; ++f) {
        for (int s = f, j = half;; s += 3, ++j) {
            smplTestData sample;
            bool centreStop = false;
            const int k = ScanWindow(sample, bases.data(), length, s, width, centreStop);
            if (k - 1 < 3 * half + 3) break;
            if (centreStop) continue;
            double score = rememberedScore;
            int code = rememberedClass;
            if (s + width < length) {
                code = ScoreWindow(model, sample, score);
                rememberedScore = score;
                rememberedClass = code;
            }
            ASSERT_LT(static_cast<std::size_t>(j), lay.windowClasses[f].size());
            ASSERT_TRUE(SameBits(frameScore[f][j], score)) << what << " frame " << f << " window " << s;
            ASSERT_EQ(lay.windowClasses[f][j], code) << what << " frame " << f << " window " << s;
        }
    }
}

TEST_F(RandomModels, ExtractionEqualsRuleByRuleScoringOfFreshCounts) {
    for (int round = 0; round < 36; ++round) {
        FillModel(round % 2 == 0 ? 96 : 196, round / 2 % 2 == 1);
        const std::vector<short> bases = RandomSequence(Pick({50, 53, 60, 100, 197, 400, 1500}));
        TieThresholds(bases);
        ExpectExtractionAsRuleByRule(*model, bases, "model " + std::to_string(round));
    }
}

// The same on every class model of the shipped parameter directories, over
// the shipped example (a human mRNA) and its reverse complement.
TEST(ShippedModels, ExtractionEqualsRuleByRuleScoringOfFreshCounts) {
    std::ifstream in(TALVO_SOURCE_DIR "/sample.txt");
    std::string line;
    std::string text;
    std::getline(in, line);  // header
    while (std::getline(in, line)) text += line;
    const std::vector<short> forward = BaseCodes(text);
    ASSERT_GT(forward.size(), 1000u);
    const std::vector<short> reverse = ReverseComplement(forward);
    for (const char* name : {"param-human", "param-arabidopsis"}) {
        const ModelSet models(std::string(TALVO_SOURCE_DIR "/") + name);
        for (const SequenceClass& cls : AllSequenceClasses()) {
            const Model& model = models.For(cls);
            for (const std::vector<short>* bases : {&forward, &reverse}) {
                ExpectExtractionAsRuleByRule(model, *bases, std::string(name) + " " + cls.FileName("param"));
            }
        }
    }
}

// Error placement with the fast scorer moves every change of frame where
// scoring each shifted window's fresh count rule by rule moves it.
TEST_F(RandomModels, ErrorPlacementEqualsRuleByRuleScoringOfFreshCounts) {
    for (int round = 0; round < 24; ++round) {
        const int width = round % 2 == 0 ? 96 : 196;
        FillModel(width, round / 2 % 2 == 1);
        const int length = Pick({300, 700, 1500});
        const std::vector<short> bases = RandomSequence(length);
        // A path through all frames with changes of either shift, some close
        // together, some near the ends.
        const int n = length / 3;
        std::vector<int> path(n, -1);
        int frame = Draw(3);
        for (int i = Draw(6); i < n - Draw(6); ++i) {
            if (Draw(25) == 0) frame = (frame + 1 + Draw(2)) % 3;
            path[i] = frame;
        }
        const int pathEnd = n - 1 - Draw(3);
        std::vector<int> expected = path;
        std::vector<int> actual = path;
        PlaceErrors(*model, bases.data(), length, pathEnd, actual);

        // The placement with every shifted window counted afresh.
        const int h = width / 6;
        std::vector<int> points;
        std::vector<int> shifts;
        for (int i = 0, prev = -1000; i < n; prev = path[i], ++i) {
            const int v = path[i];
            if (v != prev && !(i == 0 && v == -1)) {
                points.push_back(i);
                shifts.push_back(prev < v ? v - prev : v - prev + 3);
            }
        }
        for (int k = 1; k + 1 < static_cast<int>(points.size()); ++k) {
            const int c = points[k];
            const int lo = std::max(0, 3 * (c - h));
            const int hi = 3 * (c + h) + 3;
            if (hi - lo < 2 * width / 3 || expected[c - 1] < 0) continue;
            const int start = lo + expected[c - 1];
            double best = -1000.0;
            int bestOff = h;
            for (int a = 0; a <= width; a += 3) {
                smplTestData sample;
                sample.Reset(start, hi);
                for (int o = 0; o + 2 < width; o += 3) {
                    const int p = start + o + (o >= a ? shifts[k] : 0);
                    if (p + 2 <= length - 1 && p + 2 <= hi) sample.CountCodon(bases.data(), length, p);
                }
                double score = 0.0;
                ScoreWindow(*model, sample, score);
                if (score > best) best = score, bestOff = a / 3;
            }
            if (c - h + 1 + bestOff >= pathEnd) bestOff = pathEnd + h - c - 1;
            const int before = expected[c - 1];
            const int after = expected[c];
            for (int i = 0; i < width / 3; ++i) {
                const int idx = c - h + 1 + i;
                if (idx > points[k - 1] && idx < points[k + 1] && idx > 0 && idx < n) {
                    expected[idx] = i < bestOff ? before : after;
                }
            }
        }
        ASSERT_EQ(actual, expected) << "model " << round;
    }
}

}  // namespace
}  // namespace talvo
