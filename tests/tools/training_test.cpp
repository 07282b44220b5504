// Training: the same input gives the same files whatever the number of
// threads, the written rules vote exactly as the boosted stumps did, and
// small classes borrow their neighbours' sequences.
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "Model.h"
#include "Stumps.h"
#include "SyntheticSet.h"
#include "Trainer.h"

namespace talvo::tools {
namespace {

namespace fs = std::filesystem;

TrainOptions SmallOptions(int threads) {
    TrainOptions o;
    o.threads = threads;
    o.rounds = 25;
    o.maxCoding = o.maxNonCoding = 300;
    o.transitionSequences = 10;
    o.progress = false;
    return o;
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(Training, SameBytesWithOneOrManyThreads) {
    const auto set = synthetic::SyntheticSet(24, 5);
    const fs::path base = fs::temp_directory_path() / ("talvo-train-threads-" + std::to_string(::getpid()));
    const fs::path one = base / "one";
    const fs::path three = base / "three";
    WriteModelDirectory(TrainModels(set, SmallOptions(1)), SmallOptions(1), one.string());
    WriteModelDirectory(TrainModels(set, SmallOptions(3)), SmallOptions(3), three.string());
    int files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(one)) {
        if (!entry.is_regular_file()) continue;
        const fs::path rel = fs::relative(entry.path(), one);
        EXPECT_EQ(ReadAll(entry.path()), ReadAll(three / rel)) << rel;
        ++files;
    }
    EXPECT_EQ(files, 2 * 16 + 1);  // every parameter and transition file, and the note
    EXPECT_TRUE(fs::exists(one / "paramater32" / "paramL0G3-ex0.txt"));
    EXPECT_TRUE(fs::exists(one / "paramater" / "matrixL2G0-ex0.txt"));
    fs::remove_all(base);
}

TEST(Training, RulesVoteAsTheStumps) {
    // The scorer, given the trained model, gives every training window the
    // sum of the stumps' votes: features and thresholds are the scorer's.
    const auto set = synthetic::SyntheticSet(12, 9);
    const TrainOptions options = SmallOptions(2);
    const auto trained = TrainModels(set, options);
    const TrainedClass& tc = trained.front();
    ASSERT_GT(tc.report.rules, 0);
    InstallModel(tc.model);
    WINDOW_WIDTH = tc.key.WindowWidth();
    const auto codes = BaseCodes(set[0].bases);
    const talvo::Test scorer;
    int coding = 0;
    int windows = 0;
    for (int s = set[0].cdsFirst; s + WINDOW_WIDTH < static_cast<int>(codes.size()); s += 3) {
        smplTestData sample;
        bool centreStop = false;
        ScanWindow(sample, codes.data(), static_cast<int>(codes.size()), s, WINDOW_WIDTH, centreStop);
        double expected = 0.0;
        for (int i = 0; i < tc.report.rules; ++i) {
            const fnlHypo& r = tc.model.rules[i];
            Stump st;
            double x = 0.0;
            int dir = 1;
            if (r.kind == 0) {
                x = CodonShare(sample, r.first, r.second, r.third);
                st.threshold = tc.model.codonTrsld[i].realTrsld;
                dir = tc.model.codonTrsld[i].dir;
            } else if (r.kind == 2) {
                x = AcidCount(sample, r.first);
                st.threshold = tc.model.snglAcidTrsld[i].intTrsld;
                dir = tc.model.snglAcidTrsld[i].dir;
            } else {
                x = PairAssociation(sample, r.gap, r.first, r.second);
                st.threshold = tc.model.pairAcidTrsld[i].realTrsld;
                dir = tc.model.pairAcidTrsld[i].dir;
            }
            const double vote = (x > st.threshold ? 1.0 : -1.0) * (dir == 0 ? -1.0 : 1.0);
            expected += vote * r.weight;
        }
        double score = 0.0;
        coding += scorer.CHKSmpl(sample, score) == kCoding;
        EXPECT_EQ(score, expected);
        ++windows;
    }
    // Windows read in the annotated frame of a strongly biased CDS look coding.
    EXPECT_GT(coding, windows / 2);
}

TEST(Training, SmallClassesBorrowFromNeighbours) {
    const auto set = synthetic::SyntheticSet(12, 3);  // all ~900 bases: paramater L0
    TrainOptions options = SmallOptions(2);
    options.minSequences = 5;
    const auto trained = TrainModels(set, options);
    ASSERT_EQ(trained.size(), 16u);
    int own = 0;
    for (const TrainedClass& tc : trained) {
        own += tc.report.ownSequences;
        EXPECT_GE(tc.report.sequences, options.minSequences) << tc.key.Name();
        if (tc.report.ownSequences < options.minSequences) {
            EXPECT_FALSE(tc.report.pooled.empty()) << tc.key.Name();
        }
    }
    // Each sequence is counted once in the 12 long-sequence classes.
    EXPECT_EQ(own, 12);
}

TEST(Training, ClassesFollowTheProgramsChoiceOfFile) {
    AnnotatedSequence seq;
    seq.bases = std::string(599, 'A');
    EXPECT_EQ(ClassOf(seq).Name(), "paramater32/L0G0");
    EXPECT_EQ(ClassOf(seq).WindowWidth(), 96);
    seq.bases = std::string(300, 'A') + std::string(300, 'G');  // 600 bases, 50 % G+C
    EXPECT_EQ(ClassOf(seq).Name(), "paramater/L0G1");
    EXPECT_EQ(ClassOf(seq).FileName("matrix"), "matrixL0G1-ex0.txt");
    seq.bases = std::string(3001, 'C');
    EXPECT_EQ(ClassOf(seq).Name(), "paramater/L2G3");
}

}  // namespace
}  // namespace talvo::tools
