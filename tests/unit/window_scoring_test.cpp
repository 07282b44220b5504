// Scoring one window of codon counts with the rule list.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "TestSupport.h"
#include "WindowScoring.h"

namespace talvo {
namespace {

enum : int { A = 0, T = 1, G = 2, C = 3 };

class WindowScoring : public ::testing::Test {
protected:
    WindowScoring() { sample.Reset(0, 95); }  // a full window of width 96
    int AddRule(int kind, int first, int second, int third, int gap, double weight) {
        fnlHypo rule;
        rule.kind = kind;
        rule.first = first;
        rule.second = second;
        rule.third = third;
        rule.gap = gap;
        rule.weight = weight;
        model.rules.push_back(rule);
        return static_cast<int>(model.rules.size()) - 1;
    }
    void AddAcidRule(int aa, int threshold, double weight, int dir = 1) {
        testing_support::AddAcidRule(model, aa, threshold, weight, dir);
    }
    double Score() {
        double score = 12345.0;
        code = ScoreWindow(model, sample, score);
        return score;
    }

    Model model;
    smplTestData sample;
    int code = 0;
};

TEST_F(WindowScoring, EmptyRuleListScoresZeroAsNonCoding) {
    EXPECT_EQ(Score(), 0.0);
    EXPECT_EQ(code, -1);
}

TEST_F(WindowScoring, RulesOfOtherKindsContributeNothing) {
    sample.snglAcidCnt[0] = 5;
    for (int kind : {1, 4, -1, 7}) {
        const int i = AddRule(kind, 0, 0, 0, 0, 9.0);
        model.snglAcidTrsld[i] = {1, 0, 0.0};
        model.codonTrsld[i] = {1, 0, 0.0};
    }
    EXPECT_EQ(Score(), 0.0);
    EXPECT_EQ(code, -1);
}

TEST_F(WindowScoring, AcidCountVotesAndTies) {
    sample.snglAcidCnt[9] = 3;
    AddAcidRule(9, 3, 1.0);       // 3 > 3 fails: -1
    AddAcidRule(9, 3, 0.5, 0);    // reversed: +0.5
    AddAcidRule(9, 2, 0.25);      // 3 > 2: +0.25
    AddAcidRule(9, 2, 0.125, 7);  // any non-zero direction keeps the vote
    EXPECT_EQ(Score(), -1.0 + 0.5 + 0.25 + 0.125);
    EXPECT_EQ(code, -1);
    model.rules[0].weight = 0.5;
    EXPECT_EQ(Score(), 0.375);
    EXPECT_EQ(code, -10);
}

TEST_F(WindowScoring, ScoreOfExactlyZeroIsNonCoding) {
    AddAcidRule(0, -1, 0.75);  // 0 > -1: +0.75
    AddAcidRule(1, 0, 0.75);   // 0 > 0 fails: -0.75
    EXPECT_EQ(Score(), 0.0);
    EXPECT_EQ(code, -1);
}

TEST_F(WindowScoring, EachRuleReadsTheThresholdTableOfItsKindAtItsIndex) {
    sample.snglAcidCnt[0] = 4;
    sample.codonCnt[G][C][A] = 4;
    AddRule(0, G, C, A, 0, 1.0);  // rule 0: codon rule, share 1.0
    AddAcidRule(0, 3, 2.0);       // rule 1: acid rule, 4 > 3
    model.codonTrsld[0] = {1, 0, 0.2};
    // Entries that the rules must not consult would turn their votes.
    model.snglAcidTrsld[0] = {1, 100, 0.0};
    model.codonTrsld[1] = {1, 0, 100.0};
    EXPECT_EQ(Score(), 3.0);
}

TEST_F(WindowScoring, CodonShare) {
    AddRule(0, G, C, A, 0, 1.0);
    model.codonTrsld[0] = {1, 0, 0.25};
    sample.snglAcidCnt[0] = 4;
    sample.codonCnt[G][C][A] = 1;  // share 1/4: not above 0.25
    EXPECT_EQ(Score(), -1.0);
    sample.codonCnt[G][C][A] = 2;  // 2/4
    EXPECT_EQ(Score(), 1.0);
}

TEST_F(WindowScoring, AbsentAminoAcidUsesTheUniformShare) {
    AddRule(0, A, T, G, 0, 1.0);  // Met: share 1.0
    AddRule(0, C, T, G, 0, 1.0);  // Leu: share 1/6
    model.codonTrsld[0] = {1, 0, 1.0};
    model.codonTrsld[1] = {1, 0, 1.0 / 6};
    EXPECT_EQ(Score(), -2.0);
    model.codonTrsld[0].realTrsld = 0.999;
    model.codonTrsld[1].realTrsld = 0.166;
    EXPECT_EQ(Score(), 2.0);
    // Other codons of the amino acid present: the observed share 0 is used.
    sample.snglAcidCnt[9] = 2;
    EXPECT_EQ(Score(), 0.0);
}

TEST_F(WindowScoring, PairRatePseudoCounts) {
    // No pair and no member counted, all pseudo-count pairs (1, 1): every
    // rate is 1 / 96 and the association is span + 1.
    for (double* pair : {model.pairAcidPriproTable[1][14][9], model.snglAcidPriproTable[14], model.snglAcidPriproTable[9]}) {
        pair[0] = 1.0;
        pair[1] = 1.0;
    }
    EXPECT_DOUBLE_EQ(PairAssociation(model, sample, 1, 14, 9), 96.0);
    AddRule(3, 14, 9, 0, 1, 1.0);
    model.pairAcidTrsld[0] = {1, 0, 95.5};
    EXPECT_EQ(Score(), 1.0);
    model.pairAcidTrsld[0].realTrsld = 96.5;
    EXPECT_EQ(Score(), -1.0);
    // The span enters the pair rule: width 196 gives 195.
    sample.smplEnd = 194;
    EXPECT_DOUBLE_EQ(PairAssociation(model, sample, 1, 14, 9), 195.0);
    model.pairAcidTrsld[0].realTrsld = 150.0;
    EXPECT_EQ(Score(), 1.0);
}

TEST_F(WindowScoring, PairRateUsesBothMembersAndTheGap) {
    sample.smplStart = 10;
    sample.smplEnd = 105;  // span 95
    sample.pairAcidCnt[2][14][9] = 2;
    sample.pairAcidCnt[2][9][14] = 50;  // the reversed pair does not count
    sample.pairAcidCnt[1][14][9] = 50;  // nor another gap
    sample.pairAcidMarg[2][0][14] = 4;
    sample.pairAcidMarg[2][1][9] = 5;
    sample.pairAcidMarg[2][0][9] = 50;
    sample.pairAcidMarg[2][1][14] = 50;
    model.pairAcidPriproTable[2][14][9][0] = 0.5;
    model.pairAcidPriproTable[2][14][9][1] = 1.0;
    model.snglAcidPriproTable[14][0] = 1.0;
    model.snglAcidPriproTable[14][1] = 2.0;
    model.snglAcidPriproTable[9][0] = 2.0;
    model.snglAcidPriproTable[9][1] = 3.0;
    const double expected = (6.0 + 0.5) / 96.0 / ((12.0 + 1.0) / 97.0) / ((15.0 + 2.0) / 98.0);
    EXPECT_DOUBLE_EQ(PairAssociation(model, sample, 2, 14, 9), expected);
    AddRule(3, 14, 9, 7, 2, 1.0);
    model.pairAcidTrsld[0] = {1, 0, expected * 0.999};
    EXPECT_EQ(Score(), 1.0);
    model.pairAcidTrsld[0].realTrsld = expected * 1.001;
    EXPECT_EQ(Score(), -1.0);
}

TEST_F(WindowScoring, NanFeatureIsNotAboveAnyThreshold) {
    sample.smplEnd = sample.smplStart;  // span 0 and pseudo-counts 0: 0 / 0
    EXPECT_TRUE(std::isnan(PairAssociation(model, sample, 0, 1, 2)));
    AddRule(3, 1, 2, 0, 0, 1.0);
    AddRule(3, 1, 2, 0, 0, 0.5);
    model.pairAcidTrsld[0] = {1, 0, -std::numeric_limits<double>::infinity()};
    model.pairAcidTrsld[1] = {0, 0, 0.0};
    EXPECT_EQ(Score(), -1.0 + 0.5);
}

}  // namespace
}  // namespace talvo
