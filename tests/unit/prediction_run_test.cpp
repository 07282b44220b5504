// The coding region derived from the traced path, alone and in a whole
// prediction over a small model.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace talvo {
namespace {

using testing_support::AddAcidRule;
using testing_support::Repeat;
using testing_support::SetSequence;

struct Region {
    std::vector<int> framePath;
    int start = 99;
    int stop = 99;
};

Region Derive(const std::vector<int>& path, double score) {
    Region r;
    r.framePath.assign(3, 7);  // replaced as a whole
    CodingRegion(path, score, r.framePath, r.start, r.stop);
    return r;
}

TEST(CodingRegion, CodingFromTheFirstPositionToTheEnd) {
    const Region r = Derive(std::vector<int>(10, 0), 2.0);
    EXPECT_EQ(r.start, 0);
    EXPECT_EQ(r.stop, 29);
    EXPECT_EQ(r.framePath, std::vector<int>(10, 0));
    // In frame 2 the stop lies beyond the last base of a 30-base sequence.
    const Region f2 = Derive({-1, 2, 2}, 2.0);
    EXPECT_EQ(f2.start, 5);
    EXPECT_EQ(f2.stop, 10);
    const Region last = Derive({-1, -1, 1}, 2.0);
    EXPECT_EQ(last.start, 7);
    EXPECT_EQ(last.stop, 9);
}

TEST(CodingRegion, NoCodingRegion) {
    const Region none = Derive(std::vector<int>(6, -1), 5.0);
    EXPECT_EQ(none.start, -1);
    EXPECT_EQ(none.stop, -1);
    EXPECT_EQ(none.framePath, std::vector<int>(6, -1));
    for (double score : {-9.0, -10.0, std::numeric_limits<double>::quiet_NaN()}) {
        const Region refused = Derive({-1, 0, 0, 0, -1}, score);
        EXPECT_EQ(refused.start, -1) << score;
        EXPECT_EQ(refused.stop, -1) << score;
        EXPECT_EQ(refused.framePath, std::vector<int>(5, -1)) << score;
    }
    EXPECT_EQ(Derive({-1, 0, 0, 0, -1}, -8.999).start, 3);
}

TEST(CodingRegion, OnlyTheFirstCodingStretchCounts) {
    const std::vector<int> path = {-1, 1, 1, -1, -1, 2, 2, 0};
    const Region r = Derive(path, 0.0);
    EXPECT_EQ(r.start, 4);
    EXPECT_EQ(r.stop, 9);
    EXPECT_EQ(r.framePath, path);
}

// A whole prediction: windows without a stop codon are coding, and each step
// of a coding path along coding windows adds 1.
class PredictionRun : public testing_support::ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        AddAcidRule(20, 0, 1.0, 0);
        malkovChain[0][0] = 1.0;
    }
    // ATG and n - 1 Ala codons: the path runs in frame 0 from position 0 to
    // the end sentinel at n - 1 and scores (n - 1) - 70.
    void Predict(int n) {
        SetSequence(run, "ATG" + Repeat("GCT", n - 1));
        run.Predict();
    }
    WebPredict run;
};

TEST_F(PredictionRun, CodingFromStartToEnd) {
    Predict(100);
    EXPECT_EQ(run.seqLayout.startBase, 0);
    EXPECT_EQ(run.seqLayout.stopBase, 299);
    EXPECT_EQ(run.framePath, std::vector<int>(100, 0));
#ifndef TALVO_VARIANT_B
    EXPECT_EQ(run.dpScore, 29.0);
#endif
}

TEST_F(PredictionRun, ScoreOfExactlyMinus9IsNoPrediction) {
    Predict(62);
    EXPECT_EQ(run.seqLayout.startBase, -1);
    EXPECT_EQ(run.seqLayout.stopBase, -1);
    EXPECT_EQ(run.framePath, std::vector<int>(62, -1));
#ifndef TALVO_VARIANT_B
    EXPECT_EQ(run.dpScore, -9.0);
#endif
    run = WebPredict();
    Predict(63);
    EXPECT_EQ(run.seqLayout.startBase, 0);
    EXPECT_EQ(run.seqLayout.stopBase, 188);
}

}  // namespace
}  // namespace talvo
