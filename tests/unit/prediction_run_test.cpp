// The class of a read, the rule that turns changes of frame into insertions
// and deletions, the coding region derived from the traced path, and whole
// predictions over a small model with their settings.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "EngineError.h"
#include "Prediction.h"
#include "TestSupport.h"

namespace talvo {
namespace {

using testing_support::Codes;
using testing_support::Repeat;

TEST(Classification, LengthAndWindow) {
    EXPECT_EQ(ClassifySequence(599, 50).windowWidth, 96);
    EXPECT_STREQ(ClassifySequence(599, 50).subDirectory, "/paramater32/");
    EXPECT_EQ(ClassifySequence(600, 50).windowWidth, 196);
    EXPECT_STREQ(ClassifySequence(600, 50).subDirectory, "/paramater/");
    EXPECT_EQ(ClassifySequence(30, 50).lengthId, 0);
    EXPECT_EQ(ClassifySequence(999, 50).lengthId, 0);
    EXPECT_EQ(ClassifySequence(1000, 50).lengthId, 1);
    EXPECT_EQ(ClassifySequence(3000, 50).lengthId, 1);
    EXPECT_EQ(ClassifySequence(3001, 50).lengthId, 2);
}

TEST(Classification, GcBoundaries) {
    EXPECT_EQ(ClassifySequence(100, 42.9).gcId, 0);
    EXPECT_EQ(ClassifySequence(100, 43.0).gcId, 1);
    EXPECT_EQ(ClassifySequence(100, 50.99).gcId, 1);
    EXPECT_EQ(ClassifySequence(100, 51.0).gcId, 2);
    EXPECT_EQ(ClassifySequence(100, 57.0).gcId, 2);
    EXPECT_EQ(ClassifySequence(100, 57.1).gcId, 3);
    EXPECT_EQ(ClassifySequence(100, 0.0).gcId, 0);
    EXPECT_EQ(ClassifySequence(100, 100.0).gcId, 3);
    // As the reader computes it: 43 of 100 bases, 57 of 100 bases.
    EXPECT_EQ(ClassifySequence(100, 100.0 * 43 / 100).gcId, 1);
    EXPECT_EQ(ClassifySequence(100, 100.0 * 57 / 100).gcId, 2);
}

TEST(ErrorRule, SixCasesAtTheirOwnBaseOnly) {
    // (prev, cur) -> kind and the base offset r = p mod 3 that carries it.
    struct Case {
        int prev, cur, r;
        ErrorKind kind;
    };
    const Case cases[] = {
        {0, 1, 0, ErrorKind::Insertion}, {1, 2, 1, ErrorKind::Insertion},
        {2, 0, 2, ErrorKind::Insertion}, {0, 2, 2, ErrorKind::Deletion},
        {2, 1, 1, ErrorKind::Deletion},  {1, 0, 0, ErrorKind::Deletion},
    };
    for (const Case& c : cases) {
        const std::vector<int> path = {-1, c.prev, c.cur, -1};
        for (int r = 0; r < 3; ++r) {
            EXPECT_EQ(ErrorAt(path, 6 + r), r == c.r ? c.kind : ErrorKind::None)
                << c.prev << "->" << c.cur << " r " << r;
        }
    }
}

TEST(ErrorRule, NoErrorWithoutAFrameChangeInsideThePath) {
    const std::vector<int> path = {0, 1, 1, -1, 2, 0, -1};
    for (int p = 0; p < 3; ++p) EXPECT_EQ(ErrorAt(path, p), ErrorKind::None);  // before codon 1
    for (int p = 6; p < 9; ++p) EXPECT_EQ(ErrorAt(path, p), ErrorKind::None);  // 1 -> 1
    for (int p = 9; p < 15; ++p) EXPECT_EQ(ErrorAt(path, p), ErrorKind::None);  // to and from -1
    EXPECT_EQ(ErrorAt(path, 15), ErrorKind::None);                              // 2 -> 0 at r 0
    EXPECT_EQ(ErrorAt(path, 17), ErrorKind::Insertion);                         // 2 -> 0 at r 2
    EXPECT_EQ(ErrorAt(path, 3), ErrorKind::Insertion);                          // 0 -> 1 at base 3
}

TEST(ErrorRule, PositionBeyondThePathIsOffThePath) {
    // 26 bases, 8 codon positions: bases 24 and 25 belong to position 8. The
    // vector keeps a frame-1 entry past its end, which must not be read.
    std::vector<int> path = {-1, 0, 0, 0, 0, 0, 0, 0, 1};
    path.pop_back();
    EXPECT_EQ(ErrorAt(path, 24), ErrorKind::None);
    EXPECT_EQ(ErrorAt(path, 25), ErrorKind::None);
    EXPECT_EQ(FrameAt(path, 8), -1);
    EXPECT_EQ(FrameAt(path, -1), -1);
}

struct Region {
    std::vector<int> framePath;
    int start = 99;
    int stop = 99;
};

Region Derive(const std::vector<int>& path, double score) {
    Region r;
    r.framePath.assign(3, 7);  // replaced as a whole
    CodingRegion(path, score > PredictionOptions{}.acceptAbove, r.framePath, r.start, r.stop);
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

// A whole prediction over a small model: windows without a stop codon are
// coding, and each step of a coding path along coding windows adds 1.
class PredictionRun : public ::testing::Test {
protected:
    PredictionRun() {
        fnlHypo stops;
        stops.kind = 2;
        stops.first = kStop;
        stops.weight = 1.0;
        model.rules.push_back(stops);  // direction 0: no stop codon votes +1
        model.malkovChain[0][0] = 1.0;
    }
    // ATG and n - 1 Ala codons: the path runs in frame 0 from position 0 to
    // the end sentinel at n - 1 and scores (n - 1) - 70.
    Prediction Run(int n, const PredictionOptions& options = {}) const {
        const std::vector<short> bases = Codes("ATG" + Repeat("GCT", n - 1));
        return Predict(model, bases, GcPressure(bases), options);
    }
    Model model;
};

TEST_F(PredictionRun, CodingFromStartToEnd) {
    const Prediction p = Run(100);
    EXPECT_EQ(p.seqLayout.startBase, 0);
    EXPECT_EQ(p.seqLayout.stopBase, 299);
    EXPECT_EQ(p.framePath, std::vector<int>(100, 0));
    EXPECT_EQ(p.pathScore, 29.0);
}

TEST_F(PredictionRun, ScoreOfExactlyMinus9IsNoPrediction) {
    const Prediction refused = Run(62);
    EXPECT_EQ(refused.seqLayout.startBase, -1);
    EXPECT_EQ(refused.seqLayout.stopBase, -1);
    EXPECT_EQ(refused.framePath, std::vector<int>(62, -1));
    EXPECT_EQ(refused.pathScore, -9.0);
    const Prediction accepted = Run(63);
    EXPECT_EQ(accepted.seqLayout.startBase, 0);
    EXPECT_EQ(accepted.seqLayout.stopBase, 188);
}

// Each setting reaches the step it tunes.
TEST_F(PredictionRun, OptionsTuneTheDPTracebackAndAcceptance) {
    struct Case {
        const char* what;
        PredictionOptions options;
        double score;
        bool found;
    };
    PredictionOptions cheapEnd, strict, longer, shortScored;
    cheapEnd.unknownClassPrice = 60.0;
    strict.acceptAbove = 29.0;
    longer.minSteps = 100;
    shortScored.minSteps = 100;
    shortScored.shortPathScore = 5.0;
    const Case cases[] = {
        {"defaults", {}, 29.0, true},
        {"price of the end sentinel", cheapEnd, 39.0, true},
        {"acceptance", strict, 29.0, false},
        {"minimum steps", longer, -10.0, false},
        {"short path's score", shortScored, 5.0, true},
    };
    for (const Case& c : cases) {
        const Prediction p = Run(100, c.options);
        EXPECT_EQ(p.pathScore, c.score) << c.what;
        EXPECT_EQ(p.HasCodingRegion(), c.found) << c.what;
    }
}

TEST_F(PredictionRun, MemoryBound) {
    PredictionOptions bounded;
    bounded.maxBytes = PredictionBytes(300);
    EXPECT_TRUE(Run(100, bounded).HasCodingRegion());
    bounded.maxBytes = PredictionBytes(300) - 1;
    try {
        Run(100, bounded);
        ADD_FAILURE() << "no bound";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.kind, EngineError::Kind::NoMemory);
    }
}

TEST(PredictionOptions, CheckRefusesEachBadSetting) {
    EXPECT_NO_THROW(CheckOptions(PredictionOptions{}));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<const char*, void (*)(PredictionOptions&, double)> settings[] = {
        {"start score", [](PredictionOptions& o, double v) { o.startScore = v; }},
        {"begin score", [](PredictionOptions& o, double v) { o.beginScore = v; }},
        {"frame-change price", [](PredictionOptions& o, double v) { o.frameChangePrice = v; }},
        {"unknown-class price", [](PredictionOptions& o, double v) { o.unknownClassPrice = v; }},
        {"walk stop", [](PredictionOptions& o, double v) { o.walkStop = v; }},
        {"short-path score", [](PredictionOptions& o, double v) { o.shortPathScore = v; }},
        {"acceptance score", [](PredictionOptions& o, double v) { o.acceptAbove = v; }},
    };
    for (const auto& [name, set] : settings) {
        for (double bad : {nan, inf, -inf}) {
            PredictionOptions options;
            set(options, bad);
            try {
                CheckOptions(options);
                ADD_FAILURE() << name << " " << bad;
            } catch (const EngineError& e) {
                EXPECT_EQ(e.problem.rfind(name, 0), 0u) << e.problem;
            }
        }
    }
    PredictionOptions negative;
    negative.frameChangePrice = -1.0;
    EXPECT_THROW(CheckOptions(negative), EngineError);
    negative = {};
    negative.minSteps = -1;
    EXPECT_THROW(CheckOptions(negative), EngineError);
}

}  // namespace
}  // namespace talvo
