// Moving each change of frame inside the path to its best codon position.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "ErrorPlacement.h"
#include "TestSupport.h"

namespace talvo {
namespace {

using testing_support::Codes;
using testing_support::Repeat;

constexpr int kAla = 0;
constexpr int kGly = 5;

// A path of n positions made of runs (first, last, frame), -1 elsewhere.
std::vector<int> PathOf(int n, std::vector<std::tuple<int, int, int>> runs) {
    std::vector<int> path(n, -1);
    for (auto [first, last, frame] : runs)
        for (int i = first; i <= last; ++i) path[i] = frame;
    return path;
}

class ErrorPlacement : public ::testing::Test {
protected:
    // Places the errors of path over n codons of GGC: frame 0 reads Gly,
    // frame 1 Ala, so the rules can tell the offsets apart.
    std::vector<int> Place(std::vector<int> path, int pathEnd) {
        const std::vector<short> bases = Codes(Repeat("GGC", static_cast<int>(path.size())));
        PlaceErrors(model, bases.data(), static_cast<int>(bases.size()), pathEnd, path);
        return path;
    }
    void AddAcidRule(int aa, int threshold, double weight) { testing_support::AddAcidRule(model, aa, threshold, weight); }

    Model model;  // window width 96
};

// The worked example: frame 0 at 100 .. 199, frame 1 at 200 .. 299.
const std::vector<int> kExample = PathOf(320, {{100, 199, 0}, {200, 299, 1}});

TEST_F(ErrorPlacement, WorkedExampleBestOffset15KeepsTheChange) {
    // Offset 45 bases: 15 Gly then 17 Ala, the only sample with both votes.
    AddAcidRule(kGly, 14, 1.0);
    AddAcidRule(kAla, 16, 1.0);
    EXPECT_EQ(Place(kExample, 299), kExample);
}

TEST_F(ErrorPlacement, WorkedExampleBestOffset0MovesTheChange) {
    AddAcidRule(kAla, 31, 1.0);  // only offset 0 reads all 32 codons as Ala
    EXPECT_EQ(Place(kExample, 299), PathOf(320, {{100, 184, 0}, {185, 299, 1}}));
}

TEST_F(ErrorPlacement, EqualScoresTakeTheSmallestOffset) {
    EXPECT_EQ(Place(kExample, 299), PathOf(320, {{100, 184, 0}, {185, 299, 1}}));
}

TEST_F(ErrorPlacement, NoScoreAboveMinus1000MovesTheChangeOneOn) {
    AddAcidRule(kAla, 1000, 2000.0);
    EXPECT_EQ(Place(kExample, 299), PathOf(320, {{100, 200, 0}, {201, 299, 1}}));
}

TEST_F(ErrorPlacement, LowerWindowLimit) {
    for (auto [width, limit] : {std::pair{96, 4}, std::pair{196, 10}}) {
        model.windowWidth = width;
        const std::vector<int> atLimit = PathOf(80, {{0, limit - 1, 0}, {limit, 60, 1}});
        EXPECT_EQ(Place(atLimit, 60), atLimit) << width;
        const std::vector<int> above = PathOf(80, {{0, limit, 0}, {limit + 1, 60, 1}});
        EXPECT_EQ(Place(above, 60), PathOf(80, {{0, 0, 0}, {1, 60, 1}})) << width;
    }
}

TEST_F(ErrorPlacement, ClampAtPathEnd) {
    AddAcidRule(kGly, 30, 1.0);  // offsets 93 and 96: the change would pass the end
    const std::vector<int> path = PathOf(320, {{100, 199, 0}, {200, 210, 1}});
    EXPECT_EQ(Place(path, 210), PathOf(320, {{100, 209, 0}, {210, 210, 1}}));
}

TEST_F(ErrorPlacement, RewritesStopAtTheNeighbouringChanges) {
    const std::vector<int> path = PathOf(320, {{100, 199, 0}, {200, 205, 1}, {206, 299, 2}});
    EXPECT_EQ(Place(path, 299), PathOf(320, {{100, 184, 0}, {185, 200, 1}, {201, 299, 2}}));
}

TEST_F(ErrorPlacement, PathsWithoutAChangeInsideAreUnchanged) {
    const std::vector<int> single = PathOf(150, {{10, 50, 0}});
    EXPECT_EQ(Place(single, 50), single);
    // The last change of a path that reaches the last position is not moved.
    const std::vector<int> toEnd = PathOf(150, {{10, 99, 0}, {100, 149, 1}});
    EXPECT_EQ(Place(toEnd, 149), toEnd);
    const std::vector<int> none(150, -1);
    EXPECT_EQ(Place(none, 0), none);
}

}  // namespace
}  // namespace talvo
