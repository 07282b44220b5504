// Start marks, window classes and scores per codon position and frame.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <string>

#include "SampleExtraction.h"
#include "TestSupport.h"
#include "WindowScoring.h"

namespace talvo {
namespace {

using testing_support::Codes;
using testing_support::Repeat;

constexpr int kAla = 0;
constexpr int kStopAcid = 20;

// The window's counts as the scanning rules define them, counted naively.
smplTestData FreshCount(const std::vector<short>& b, int start, int width, int& scanned) {
    smplTestData s;
    std::memset(s.codonCnt, 0, sizeof s.codonCnt);
    std::memset(s.pairAcidCnt, 0, sizeof s.pairAcidCnt);
    std::memset(s.snglAcidCnt, 0, sizeof s.snglAcidCnt);
    std::memset(s.pairAcidMarg, 0, sizeof s.pairAcidMarg);
    const int length = static_cast<int>(b.size());
    auto acid = [&](int p) { return AminoAcidOf(b[p], b[p + 1], b[p + 2]); };
    int k = 0;
    for (; k + 2 < width && start + k + 2 < length; k += 3) {
        const int p = start + k;
        const int aa = acid(p);
        if (aa < 0) continue;
        ++s.snglAcidCnt[aa];
        ++s.codonCnt[b[p]][b[p + 1]][b[p + 2]];
        for (int g = 0; g < 4; ++g) {
            const int q = p + 3 * (g + 1);
            if (q + 2 >= length) continue;
            const int aa2 = acid(q);
            if (aa2 < 0) continue;
            ++s.pairAcidMarg[g][0][aa];
            ++s.pairAcidCnt[g][aa][aa2];
            ++s.pairAcidMarg[g][1][aa2];
        }
    }
    s.smplStart = start;
    s.smplEnd = start + k - 1;
    scanned = k;
    return s;
}

bool SameCounts(const smplTestData& a, const smplTestData& b) {
    return a.smplStart == b.smplStart && a.smplEnd == b.smplEnd &&
           std::memcmp(a.codonCnt, b.codonCnt, sizeof a.codonCnt) == 0 &&
           std::memcmp(a.pairAcidCnt, b.pairAcidCnt, sizeof a.pairAcidCnt) == 0 &&
           std::memcmp(a.snglAcidCnt, b.snglAcidCnt, sizeof a.snglAcidCnt) == 0 &&
           std::memcmp(a.pairAcidMarg, b.pairAcidMarg, sizeof a.pairAcidMarg) == 0;
}

std::string RandomBases(int length, unsigned seed) {
    std::mt19937 rng(seed);
    std::string bases;
    for (int i = 0; i < length; ++i) bases += rng() % 100 == 0 ? 'N' : "ACGT"[rng() % 4];
    return bases;
}

// Rules of all three kinds with distinct weights, so that windows differ.
Model MixedModel() {
    Model model;
    for (auto& byGap : model.pairAcidPriproTable)
        for (auto& byFirst : byGap)
            for (auto& pair : byFirst) pair[0] = pair[1] = 1.0;
    for (auto& pair : model.snglAcidPriproTable) pair[0] = pair[1] = 1.0;
    for (int aa = 0; aa < 21; ++aa) testing_support::AddAcidRule(model, aa, 1 + aa % 3, 1.0 / (aa + 1), aa % 2);
    const int codons[][3] = {{2, 3, 1}, {3, 1, 2}, {0, 1, 2}, {1, 1, 0}};
    for (int i = 0; i < 4; ++i) {
        fnlHypo rule;
        rule.kind = 0;
        rule.first = codons[i][0];
        rule.second = codons[i][1];
        rule.third = codons[i][2];
        rule.weight = 0.3 + 0.01 * i;
        model.codonTrsld[model.rules.size()] = {1, 0, 0.2 + 0.1 * i};
        model.rules.push_back(rule);
    }
    for (int g = 0; g < 4; ++g) {
        fnlHypo rule;
        rule.kind = 3;
        rule.first = 5 * g;
        rule.second = 9;
        rule.gap = g;
        rule.weight = 0.07 * (g + 1);
        model.pairAcidTrsld[model.rules.size()] = {g % 2, 0, 1.0};
        model.rules.push_back(rule);
    }
    return model;
}

class SampleExtraction : public ::testing::Test {
protected:
    void Extract(const std::string& text, int width) {
        model.windowWidth = width;
        read = Codes(text);
        ExtractSamples(model, read.data(), static_cast<int>(read.size()), lay, frameScore);
    }
    const std::vector<int>& Classes(int f) const { return lay.windowClasses[f]; }
    const std::vector<double>& Scores(int f) const { return frameScore[f]; }
    void AddAcidRule(int aa, int threshold, double weight, int dir = 1) {
        testing_support::AddAcidRule(model, aa, threshold, weight, dir);
    }

    Model model;
    std::vector<short> read;  // the bases extracted last
    layout lay;
    std::array<std::vector<double>, 3> frameScore;
};

TEST_F(SampleExtraction, ScanWindowMatchesAFreshCount) {
    const std::string bases = RandomBases(260, 7) + "TAA" + Repeat("GCT", 20);
    const std::vector<short> codes = Codes(bases);
    const int length = static_cast<int>(codes.size());
    smplTestData sample;
    for (int width : {96, 196}) {
        for (int start = 0; start < length; ++start) {
            int expectedK = 0;
            const smplTestData fresh = FreshCount(codes, start, width, expectedK);
            bool centreStop = true;
            const int k = ScanWindow(sample, codes.data(), length, start, width, centreStop);
            ASSERT_EQ(k, expectedK) << start;
            ASSERT_TRUE(SameCounts(sample, fresh)) << "width " << width << " start " << start;
            const int centre = start + 3 * (width / 6);
            const bool stopAtCentre = centre + 2 < length && expectedK > 3 * (width / 6) &&
                                      AminoAcidOf(codes[centre], codes[centre + 1], codes[centre + 2]) == kStopAcid;
            ASSERT_EQ(centreStop, stopAtCentre) << start;
        }
    }
}

TEST_F(SampleExtraction, EveryScoredWindowScoresItsFreshCount) {
    for (auto [width, length] : {std::pair{96, 400}, std::pair{196, 700}}) {
        model = MixedModel();
        Extract(RandomBases(length, 11 + width), width);
        const int h = width / 6;
        int scored = 0;
        for (int f = 0; f < 3; ++f) {
            ASSERT_EQ(Scores(f).size(), Classes(f).size());
            for (std::size_t j = h; j + 1 < Classes(f).size(); ++j) {
                const int s = f + 3 * (static_cast<int>(j) - h);
                if (s + width >= length || Classes(f)[j] == -100) continue;
                int k = 0;
                double score = 0.0;
                const int code = ScoreWindow(model, FreshCount(read, s, width, k), score);
                EXPECT_EQ(Scores(f)[j], score) << "frame " << f << " entry " << j;
                EXPECT_EQ(Classes(f)[j], code) << "frame " << f << " entry " << j;
                ++scored;
            }
        }
        EXPECT_GT(scored, (length - width) * 8 / 10);
    }
}

TEST_F(SampleExtraction, ShapesOf3000Bases) {
    model = MixedModel();
    Extract(RandomBases(3000, 3), 196);
    const std::size_t sizes[3] = {1000, 999, 999};
    for (int f = 0; f < 3; ++f) {
        ASSERT_EQ(lay.codonMarks[f].size(), sizes[f]);
        ASSERT_EQ(Classes(f).size(), sizes[f]);
        ASSERT_EQ(Scores(f).size(), sizes[f]);
        for (int j = 0; j < 32; ++j) {
            EXPECT_EQ(Classes(f)[j], -20);
            EXPECT_EQ(Scores(f)[j], Scores(f)[32]);
        }
        const int last = Classes(f).back();
        EXPECT_TRUE(last == -1000 || last == -100) << last;
        // Windows from base 2804 on reach the end: they repeat the frame's
        // last scored window.
        int rememberedClass = 0;
        double rememberedScore = 0.0;
        for (std::size_t j = 32; j + 1 < sizes[f]; ++j) {
            const int s = f + 3 * (static_cast<int>(j) - 32);
            if (Classes(f)[j] == -100) {
                EXPECT_EQ(Scores(f)[j], -10.0);
            } else if (s < 2804) {
                rememberedClass = Classes(f)[j];
                rememberedScore = Scores(f)[j];
            } else {
                EXPECT_EQ(Classes(f)[j], rememberedClass) << f << " " << j;
                EXPECT_EQ(Scores(f)[j], rememberedScore) << f << " " << j;
            }
        }
        EXPECT_NE(rememberedClass, 0);
    }
}

TEST_F(SampleExtraction, SixtyBasesScoreNoWindow) {
    AddAcidRule(kAla, 0, 1.0);  // every window would be coding if scored
    Extract(Repeat("GCT", 20), 96);
    const std::vector<int> lead(16, -20);
    for (int f = 0; f < 3; ++f) {
        std::vector<int> expected = lead;
        for (int j = 0; j < (f == 0 ? 3 : 2); ++j) expected.push_back(-1);
        expected.push_back(-1000);
        EXPECT_EQ(Classes(f), expected) << f;
        std::vector<double> scores(expected.size(), 0.0);
        scores.back() = -10.0;
        EXPECT_EQ(Scores(f), scores) << f;
    }
}

TEST_F(SampleExtraction, FiftyThreeBasesHaveOnlyTheLeadInAndOneEnd) {
    Extract(Repeat("GCT", 17) + "GC", 96);
    for (int f = 0; f < 3; ++f) {
        std::vector<int> expected(16, -20);
        expected.push_back(-1000);
        EXPECT_EQ(Classes(f), expected);
        EXPECT_EQ(Scores(f), std::vector<double>(17, -10.0));
        EXPECT_EQ(lay.codonMarks[f].size(), 17u);
    }
    // A stop codon at the centre offset closes the frame with -100 instead.
    Extract(Repeat("GCT", 16) + "TAA" + "GC", 96);
    EXPECT_EQ(Classes(0).back(), -100);
    EXPECT_EQ(Classes(0).size(), 17u);
    EXPECT_EQ(Scores(0), std::vector<double>(17, -10.0));
    EXPECT_EQ(Classes(1).back(), -1000);
    // Thirty bases: the vectors are longer than the frames' codon marks.
    Extract(Repeat("GCT", 10), 96);
    EXPECT_EQ(lay.codonMarks[0].size(), 10u);
    EXPECT_EQ(lay.codonMarks[1].size(), 9u);
    EXPECT_EQ(Classes(1).size(), 17u);
}

TEST_F(SampleExtraction, StopAtWindowCentreKeepsTheRememberedResult) {
    AddAcidRule(kStopAcid, 0, 1.0, 0);  // a stop in the window votes -1
    AddAcidRule(kAla, 20, 0.5);
    // 300 bases: the last scored window of frame 0 would start at base 201;
    // its centre codon, position 83, is the stop.
    std::string bases = Repeat("GCT", 100);
    bases.replace(249, 3, "TAA");
    Extract(bases, 96);
    ASSERT_EQ(Classes(0).size(), 100u);
    EXPECT_EQ(Classes(0)[83], -100);
    EXPECT_EQ(Scores(0)[83], -10.0);
    // The window before it holds the stop off its centre: scored, non-coding.
    EXPECT_EQ(Classes(0)[82], -1);
    EXPECT_EQ(Scores(0)[82], -0.5);
    EXPECT_EQ(Classes(0)[50], -10);
    for (int j = 84; j < 99; ++j) {
        EXPECT_EQ(Classes(0)[j], -1) << j;
        EXPECT_EQ(Scores(0)[j], -0.5) << j;
    }
    EXPECT_EQ(Classes(0)[99], -1000);
}

TEST_F(SampleExtraction, RememberedResultCarriesIntoTheNextFrame) {
    AddAcidRule(kAla, 0, 1.0);
    // 97 bases: only frame 0's first window ends before the last base.
    Extract(Repeat("GCT", 32) + "G", 96);
    EXPECT_EQ(Classes(0)[16], -10);
    EXPECT_EQ(Scores(0)[16], 1.0);
    EXPECT_EQ(Classes(1)[16], -10);
    EXPECT_EQ(Scores(1)[16], 1.0);
    EXPECT_EQ(Scores(1)[0], 1.0);  // leading fill copies the first window
    EXPECT_EQ(Classes(2)[16], -10);
}

TEST_F(SampleExtraction, UnknownBaseAtTheCentre) {
    AddAcidRule(kAla, 31, 1.0);  // coding only with all 32 codons Ala
    AddAcidRule(kAla, 31, 0.5, 0);
    std::string bases = Repeat("GCT", 100);
    bases.replace(249, 3, "TAN");
    Extract(bases, 96);
    EXPECT_EQ(lay.codonMarks[0][83], -14);
    EXPECT_EQ(Classes(0)[83], -1);  // 31 Ala: scored, not a stop
    EXPECT_EQ(Scores(0)[83], -0.5);
    EXPECT_EQ(Scores(0)[50], 0.5);
    smplTestData sample;
    bool centreStop = true;
    ScanWindow(sample, read.data(), 300, 201, 96, centreStop);
    EXPECT_FALSE(centreStop);
    EXPECT_EQ(sample.snglAcidCnt[kAla], 31);
}

TEST_F(SampleExtraction, StartMarks) {
    std::string bases = "CATG" + Repeat("GCT", 10) + "atgA";
    Extract(bases, 96);
    EXPECT_EQ(lay.codonMarks[1][0], -21);
    EXPECT_EQ(lay.codonMarks[0][0], -14);
    EXPECT_EQ(lay.codonMarks[0][1], -14);
    for (std::size_t j = 1; j < lay.codonMarks[1].size(); ++j) {
        EXPECT_EQ(lay.codonMarks[1][j], -14) << j;
    }
    EXPECT_EQ(lay.codonMarks[1].back(), -14);  // lower-case atg
    EXPECT_TRUE(lay.knownClasses[0].empty());
}

}  // namespace
}  // namespace talvo
