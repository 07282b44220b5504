// The dynamic programme over the three frames and its traceback.
#include <gtest/gtest.h>

#include <vector>

#include "FrameDP.h"

namespace talvo {
namespace {

// n codon positions in every frame: no start marks, one window class.
layout MakeLayout(int n, int windowClass = -10) {
    layout lay;
    for (int f = 0; f < 3; ++f) {
        lay.codonMarks[f].assign(n, -14);
        lay.windowClasses[f].assign(n, windowClass);
    }
    return lay;
}

// The layout of the worked example: 100 positions, a start at (10, 0), a
// stop-centred window at (90, 0) and the end sentinel at position 99.
layout WorkedExample() {
    layout lay = MakeLayout(100);
    lay.codonMarks[0][10] = -21;
    lay.windowClasses[0][90] = -100;
    for (auto& classes : lay.windowClasses) classes[99] = -1000;
    return lay;
}

class FrameDP : public ::testing::Test {
protected:
    std::vector<dpNode> Fill(layout& lay) {
        std::vector<dpNode> nodes(3 * lay.windowClasses[0].size());
        FillDPMatrix(model, PredictionOptions{}, nodes.data(), lay);
        return nodes;
    }
    double Trace(const std::vector<dpNode>& nodes) {
        path.clear();
        return TracePath(nodes.data(), static_cast<int>(nodes.size() / 3), PredictionOptions{}, path, pathEnd);
    }
    // Hand-built cells for the traceback: a run in frame 0 over positions
    // from .. to, begun at `from`, every cell scoring 1.0, ending at `to`.
    static std::vector<dpNode> Chain(int n, int from, int to, double endScore) {
        std::vector<dpNode> nodes(3 * n);
        for (int i = from; i <= to; ++i) {
            nodes[3 * i] = {i == from ? 10 : 0, 1.0, -1};
        }
        nodes[3 * to].endFlag = 1;
        nodes[3 * to].score = endScore;
        return nodes;
    }
    static std::vector<int> Expected(int n, int from, int to, int frame) {
        std::vector<int> expected(n, -1);
        for (int i = from; i <= to; ++i) expected[i] = frame;
        return expected;
    }

    Model model;  // window width 96, transition scores 0
    std::vector<int> path;
    int pathEnd = -1;
};

TEST_F(FrameDP, WorkedExample) {
    layout lay = WorkedExample();
    const std::vector<dpNode> nodes = Fill(lay);
    auto cell = [&](int i, int f) { return nodes[3 * i + f]; };
    for (int i = 0; i < 10; ++i)
        for (int f = 0; f < 3; ++f) EXPECT_EQ(cell(i, f).score, -30.0) << i << "," << f;
    EXPECT_EQ(cell(10, 0).prevFrame, 10);
    EXPECT_EQ(cell(10, 0).score, 2.0);
    for (int i = 11; i < 99; ++i) {
        EXPECT_EQ(cell(i, 0).score, 2.0) << i;
        EXPECT_EQ(cell(i, 0).prevFrame, 0) << i;
    }
    EXPECT_EQ(cell(90, 0).endFlag, 1);
    EXPECT_EQ(cell(89, 0).endFlag, -1);
    for (int f = 0; f < 3; ++f) {
        EXPECT_EQ(cell(99, f).score, -30.0);
        EXPECT_EQ(cell(99, f).prevFrame, 10);
        EXPECT_EQ(cell(99, f).endFlag, 1);
    }
    for (const dpNode& node : nodes) EXPECT_GE(node.score, -30.0);
    EXPECT_EQ(Trace(nodes), 2.0);
    EXPECT_EQ(pathEnd, 90);
    EXPECT_EQ(path, Expected(100, 10, 90, 0));
}

TEST_F(FrameDP, SecondFillGivesTheSameCells) {
    layout lay = WorkedExample();
    lay.windowClasses[1][16] = -1;
    for (int i = 0; i < 16; ++i) lay.windowClasses[1][i] = -20;
    const std::vector<dpNode> first = Fill(lay);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(lay.windowClasses[1][i], -1) << i;
    const std::vector<dpNode> second = Fill(lay);
    for (std::size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(first[i].prevFrame, second[i].prevFrame);
        EXPECT_EQ(first[i].score, second[i].score);
        EXPECT_EQ(first[i].endFlag, second[i].endFlag);
    }
}

TEST_F(FrameDP, SinglePosition) {
    layout lay = MakeLayout(1);
    lay.codonMarks[2][0] = -21;
    const std::vector<dpNode> nodes = Fill(lay);
    EXPECT_EQ(nodes[0].score, -30.0);
    EXPECT_EQ(nodes[2].score, 2.0);
    for (const dpNode& node : nodes) {
        EXPECT_EQ(node.prevFrame, 10);
        EXPECT_EQ(node.endFlag, -1);
    }
    EXPECT_EQ(Trace(nodes), -10.0);
    EXPECT_EQ(pathEnd, 0);
    EXPECT_EQ(path, std::vector<int>{0});
}

TEST_F(FrameDP, StopClassAtPositionZeroSetsNoEndFlag) {
    layout lay = MakeLayout(20);
    for (auto& classes : lay.windowClasses) classes[16] = -100;  // copied to 0 .. 15
    const std::vector<dpNode> nodes = Fill(lay);
    for (int f = 0; f < 3; ++f) {
        EXPECT_EQ(nodes[f].endFlag, -1);
        EXPECT_EQ(nodes[3 + f].endFlag, 1);
    }
}

TEST_F(FrameDP, StartSeedAgainstAnEqualCandidate) {
    // From another frame: 2.0 + 20 (begin -> coding) - 20 equals the seed,
    // which is kept: the cell begins a new path.
    model.malkovChain[0][2] = 20.0;
    layout lay = MakeLayout(30);
    lay.codonMarks[1][19] = -21;
    lay.codonMarks[0][20] = -21;
    std::vector<dpNode> nodes = Fill(lay);
    EXPECT_EQ(nodes[3 * 19 + 1].prevFrame, 10);
    EXPECT_EQ(nodes[3 * 20].prevFrame, 10);
    EXPECT_EQ(nodes[3 * 20].score, 2.0);
    // From the same frame, an equal candidate continues the path.
    model.malkovChain[0][2] = 0.0;
    lay = MakeLayout(30);
    lay.codonMarks[1][19] = -21;
    lay.codonMarks[1][20] = -21;
    nodes = Fill(lay);
    EXPECT_EQ(nodes[3 * 20 + 1].prevFrame, 1);
    EXPECT_EQ(nodes[3 * 20 + 1].score, 2.0);
}

TEST_F(FrameDP, EqualCandidatesFromTwoFrames) {
    layout lay = MakeLayout(20);
    lay.codonMarks[0][0] = -21;
    lay.codonMarks[2][0] = -21;
    const std::vector<dpNode> nodes = Fill(lay);
    // (1, 1): 2 - 20 from frames 0 and 2: the lower frame wins.
    EXPECT_EQ(nodes[4].prevFrame, 0);
    EXPECT_EQ(nodes[4].score, -18.0);
    // (2, 1): -18 from frame 0 (2 - 20) and from frame 1 itself: the
    // current frame, the later of the two, wins.
    EXPECT_EQ(nodes[7].score, -18.0);
    EXPECT_EQ(nodes[7].prevFrame, 1);
}

TEST_F(FrameDP, EndCellTies) {
    std::vector<dpNode> nodes(3 * 10);
    nodes[3 * 8 + 0] = {10, 3.0, 1};
    nodes[3 * 5 + 2] = {10, 3.0, 1};
    EXPECT_EQ(Trace(nodes), -10.0);
    EXPECT_EQ(pathEnd, 5);  // the earlier position
    EXPECT_EQ(path, Expected(10, 5, 5, 2));
    nodes[3 * 5 + 1] = {10, 3.0, 1};
    Trace(nodes);
    EXPECT_EQ(path, Expected(10, 5, 5, 1));  // the lower frame
    nodes[3 * 8 + 0].score = 3.5;
    Trace(nodes);
    EXPECT_EQ(pathEnd, 8);  // the higher score
    // No end flag at all: position 0, frame 0.
    Trace(std::vector<dpNode>(3 * 10));
    EXPECT_EQ(pathEnd, 0);
    EXPECT_EQ(path, Expected(10, 0, 0, 0));
}

TEST_F(FrameDP, SixtyStepsAreNeeded) {
    EXPECT_EQ(Trace(Chain(70, 3, 63, 5.0)), 5.0);
    EXPECT_EQ(path, Expected(70, 3, 63, 0));
    EXPECT_EQ(Trace(Chain(70, 3, 62, 5.0)), -10.0);
    EXPECT_EQ(path, Expected(70, 3, 62, 0));
    EXPECT_EQ(pathEnd, 62);
}

TEST_F(FrameDP, WalkStopsBeforeAPredecessorBelowMinus20) {
    std::vector<dpNode> nodes = Chain(20, 0, 10, 5.0);
    nodes[3 * 5].prevFrame = 1;
    nodes[3 * 4 + 1] = {10, -25.0, -1};
    Trace(nodes);
    // The walk leaves at position 5, which takes the predecessor's frame.
    std::vector<int> expected = Expected(20, 6, 10, 0);
    expected[5] = 1;
    EXPECT_EQ(path, expected);
    // Exactly -20 does not stop it: position 5 keeps its own frame.
    nodes[3 * 4 + 1].score = -20.0;
    Trace(nodes);
    expected[5] = 0;
    expected[4] = 1;
    EXPECT_EQ(path, expected);
}

TEST_F(FrameDP, WalkStopRuleSkipsPositionsOneAndTwo) {
    std::vector<dpNode> nodes = Chain(20, 0, 10, 5.0);
    nodes[0].score = -25.0;
    nodes[3].score = -25.0;
    Trace(nodes);
    EXPECT_EQ(path, Expected(20, 0, 10, 0));
    nodes[0].prevFrame = 0;  // walks to position 0 without a begin mark
    Trace(nodes);
    EXPECT_EQ(path, Expected(20, 0, 10, 0));
    nodes[6].score = -25.0;  // position 2: the walk stops at 3
    Trace(nodes);
    EXPECT_EQ(path, Expected(20, 3, 10, 0));
}

TEST_F(FrameDP, EntriesBeyondAFrameCountAsEndSentinelWithoutStart) {
    // Frames 1 and 2 one position shorter than frame 0.
    layout shorter = MakeLayout(40);
    shorter.codonMarks[1][20] = -21;
    shorter.windowClasses[2][30] = -100;
    layout padded = shorter;
    for (int f = 1; f < 3; ++f) {
        shorter.codonMarks[f].pop_back();
        shorter.windowClasses[f].pop_back();
        padded.windowClasses[f].back() = -1000;
    }
    // The window classes longer than the codon marks (too short a sequence).
    layout fewMarks = MakeLayout(17, -1000);
    for (int f = 0; f < 3; ++f) fewMarks.codonMarks[f].resize(f == 0 ? 10 : 9);
    layout fewMarksPadded = MakeLayout(17, -1000);
    for (auto [a, b] : {std::pair{&shorter, &padded}, std::pair{&fewMarks, &fewMarksPadded}}) {
        const std::vector<dpNode> x = Fill(*a);
        const std::vector<dpNode> y = Fill(*b);
        for (std::size_t i = 0; i < x.size(); ++i) {
            EXPECT_EQ(x[i].prevFrame, y[i].prevFrame) << i;
            EXPECT_EQ(x[i].score, y[i].score) << i;
            EXPECT_EQ(x[i].endFlag, y[i].endFlag) << i;
        }
    }
    const std::vector<dpNode> x = Fill(shorter);
    EXPECT_EQ(x[3 * 39 + 1].endFlag, 1);
    EXPECT_EQ(x[3 * 39 + 0].endFlag, -1);
}

TEST_F(FrameDP, ClassesOutsideTheFourAddNoTransitionTerm) {
    for (auto& row : model.malkovChain)
        for (double& term : row) term = 5.0;
    layout lay = MakeLayout(21);
    for (auto& classes : lay.windowClasses) classes[19] = -1000;
    const std::vector<dpNode> nodes = Fill(lay);
    for (int f = 0; f < 3; ++f) {
        EXPECT_EQ(nodes[3 * 18 + f].score, 60.0);   // -30 + 18 * 5
        EXPECT_EQ(nodes[3 * 19 + f].score, -10.0);  // 60 + 0 - 70
        EXPECT_EQ(nodes[3 * 19 + f].endFlag, 1);
        EXPECT_EQ(nodes[3 * 20 + f].score, -10.0);  // -10 + 0 after class -1000
        EXPECT_EQ(nodes[3 * 20 + f].prevFrame, f);
        EXPECT_EQ(nodes[3 * 20 + f].endFlag, -1);
    }
}

}  // namespace
}  // namespace talvo
