// Training: the same input gives the same files whatever the number of
// threads, the written rules vote exactly as the boosted stumps did, and
// small classes borrow their neighbours' sequences.
#include <cmath>
#include <numeric>
#include <optional>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "SampleExtraction.h"
#include "WindowScoring.h"
#include "Stumps.h"
#include "SyntheticSet.h"
#include "CodonTraining.h"
#include "PlacementWindows.h"
#include "Trainer.h"

namespace talvo::tools {
namespace {

namespace fs = std::filesystem;

TrainOptions SmallOptions(int threads) {
    TrainOptions o;
    o.threads = threads;
    o.rounds = 25;
    o.maxCoding = o.maxNonCoding = 300;
    o.features = 50;
    o.perSequence = 40;
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

TEST(Training, RankedPlacementAndStraddlingWindowsGiveTheSameModelWithOneOrManyThreads) {
    const auto set = synthetic::SyntheticSet(12, 6);
    auto options = [](int threads) {
        TrainOptions o = SmallOptions(threads);
        o.placementErrors = 40;
        o.straddlingErrors = 40;
        return o;
    };
    const auto one = TrainModels(set, options(1));
    const auto three = TrainModels(set, options(3));
    ASSERT_EQ(one.size(), three.size());
    for (std::size_t c = 0; c < one.size(); ++c) {
        EXPECT_GT(one[c].report.placementPairs, 40) << c;  // the best split above 4 others, and more
        EXPECT_EQ(one[c].report.placementPairs, three[c].report.placementPairs) << c;
        for (int r = 0; r < kMaxRules; ++r) {
            EXPECT_EQ(one[c].model.rules[r].weight, three[c].model.rules[r].weight) << c << " rule " << r;
        }
    }
}

TEST(Training, CodonsAcrossAPlantedErrorAreReadInFrameOnTheRightSide) {
    // Coding region from base 10: its codons begin at 10, 13, 16, ...
    struct Case {
        PlantedError error;
        int codon;
        std::optional<bool> inFrame;
    };
    const Case cases[] = {
        {{30, true}, 25, true},         // ends at 27, before the extra base
        {{30, true}, 28, std::nullopt}, // holds the extra base 30
        {{30, true}, 30, std::nullopt},
        {{30, true}, 31, false},        // 31..33 were 30..32
        {{30, true}, 32, true},         // 32..34 were 31..33
        {{30, true}, 35, true},
        {{30, false}, 25, true},        // base 30 of the cDNA missing: read base 30 was 31
        {{30, false}, 28, std::nullopt},
        {{30, false}, 29, std::nullopt},
        {{30, false}, 30, true},        // 30..32 were 31..33
        {{30, false}, 32, false},
        {{30, false}, 7, false},        // before the coding region
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReadInFrame(c.error, 10, c.codon), c.inFrame)
            << (c.error.insertion ? "insertion" : "deletion") << " at " << c.error.at << ", codon " << c.codon;
    }
}

TEST(Training, RulesVoteAsTheStumps) {
    // The scorer, given the trained model, gives every training window the
    // sum of the stumps' votes: features and thresholds are the scorer's.
    const auto set = synthetic::SyntheticSet(12, 9);
    const TrainOptions options = SmallOptions(2);
    const auto trained = TrainModels(set, options);
    const TrainedClass& tc = trained.front();
    ASSERT_GT(tc.report.rules, 0);
    const int width = tc.key.WindowWidth();
    ASSERT_EQ(tc.model.windowWidth, width);
    const auto codes = BaseCodes(set[0].bases);
    int coding = 0;
    int windows = 0;
    for (int s = set[0].cdsFirst; s + width < static_cast<int>(codes.size()); s += 3) {
        smplTestData sample;
        bool centreStop = false;
        ScanWindow(sample, codes.data(), static_cast<int>(codes.size()), s, width, centreStop);
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
                x = PairAssociation(tc.model, sample, r.gap, r.first, r.second);
                st.threshold = tc.model.pairAcidTrsld[i].realTrsld;
                dir = tc.model.pairAcidTrsld[i].dir;
            }
            const double vote = (x > st.threshold ? 1.0 : -1.0) * (dir == 0 ? -1.0 : 1.0);
            expected += vote * r.weight;
        }
        double score = 0.0;
        coding += ScoreWindow(tc.model, sample, score) == kCoding;
        EXPECT_EQ(score, expected);
        ++windows;
    }
    // Windows read in the annotated frame of a strongly biased CDS look coding.
    EXPECT_GT(coding, windows / 2);
}

TEST(Training, SmallClassesBorrowFromNeighbours) {
    const auto set = synthetic::SyntheticSet(12, 3);  // all ~900 bases: paramater L0
    TrainOptions options = SmallOptions(2);
    options.poolAll = false;
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

TEST(Training, PoolingAllGivesOneModelPerWindowWidth) {
    auto set = synthetic::SyntheticSet(10, 4);  // ~900 bases: paramater L0
    Random rng(8);
    for (int i = 0; i < 4; ++i) set.push_back(synthetic::SyntheticSequence("short" + std::to_string(i), 60, 100, 60, rng));
    TrainOptions options = SmallOptions(2);
    options.poolAll = true;
    const auto trained = TrainModels(set, options);
    ASSERT_EQ(trained.size(), 16u);
    for (const TrainedClass& tc : trained) {
        EXPECT_EQ(tc.report.sequences, 14) << tc.key.Name();
        EXPECT_EQ(tc.report.pooled, "all sequences");
        const TrainedClass& same = tc.key.WindowWidth() == 96 ? trained.back() : trained.front();
        EXPECT_EQ(tc.model.rules[0].weight, same.model.rules[0].weight) << tc.key.Name();
    }
    // The short model sees windows of width 96 of the long sequences too.
    EXPECT_GT(trained.back().report.codingWindows, trained.front().report.codingWindows);
    EXPECT_NE(trained.back().model.rules[0].weight, trained.front().model.rules[0].weight);
}

TEST(Training, WindowsPerSequenceAreCapped) {
    const auto set = synthetic::SyntheticSet(6, 2);
    TrainOptions options = SmallOptions(1);
    options.poolAll = true;
    options.maxCoding = options.maxNonCoding = 100000;
    options.perSequence = 7;
    const TrainedClass tc = TrainModels(set, options).front();
    EXPECT_EQ(tc.report.sampledCoding, 6 * 7);
    EXPECT_EQ(tc.report.sampledNonCoding, 6 * 7);
    EXPECT_GT(tc.report.codingWindows, 6 * 7);
}

// Eight windows, two features with one threshold each: feature 3 splits
// them but for one window, feature 5 but for two.
QuantisedWindows TwoFeatureWindows() {
    QuantisedWindows data;
    data.windows = 8;
    data.samples = 8;
    data.label = {1, 1, 1, 1, -1, -1, -1, -1};
    data.isCoding = {1, 1, 1, 1, 0, 0, 0, 0};
    data.thresholds.resize(kFeatureCount);
    data.bins.assign(static_cast<std::size_t>(kFeatureCount) * 8, 0);
    data.thresholds[3] = {0.5};
    data.thresholds[5] = {2.0};
    const uint8_t f3[8] = {1, 1, 1, 0, 0, 0, 0, 0};
    const uint8_t f5[8] = {1, 1, 1, 1, 1, 1, 0, 0};
    for (int i = 0; i < 8; ++i) {
        data.bins[3 * 8 + i] = f3[i];
        data.bins[5 * 8 + i] = f5[i];
    }
    return data;
}

TEST(Boosting, ScreeningAndShrinkage) {
    const QuantisedWindows data = TwoFeatureWindows();
    const auto none = [](int) {};
    const std::vector<Stump> all = Boost(data, {6, 1.0, 0}, 1, none);
    ASSERT_EQ(all.size(), 6u);
    EXPECT_EQ(all[0].feature, 3);
    EXPECT_DOUBLE_EQ(all[0].weight, 0.5 * std::log(7.0));  // error 1/8
    bool usesFive = false;
    for (const Stump& st : all) usesFive = usesFive || st.feature == 5;
    EXPECT_TRUE(usesFive);
    // Screened to the one best feature, every round can only take feature 3.
    const std::vector<Stump> screened = Boost(data, {6, 1.0, 1}, 2, none);
    ASSERT_FALSE(screened.empty());
    for (const Stump& st : screened) EXPECT_EQ(st.feature, 3);
    const std::vector<Stump> shrunk = Boost(data, {1, 0.25, 0}, 1, none);
    ASSERT_EQ(shrunk.size(), 1u);
    EXPECT_DOUBLE_EQ(shrunk[0].weight, 0.25 * all[0].weight);
}

TEST(Boosting, RankedPairsPullTheFirstStumpToTheirOrder) {
    // Four more windows in two pairs: feature 5 orders both, feature 3 neither.
    QuantisedWindows data = TwoFeatureWindows();
    std::vector<uint8_t> bins(static_cast<std::size_t>(kFeatureCount) * 12, 0);
    for (int f = 0; f < kFeatureCount; ++f) {
        for (int i = 0; i < 8; ++i) bins[f * 12 + i] = data.bins[f * 8 + i];
    }
    bins[5 * 12 + 8] = bins[5 * 12 + 10] = 1;
    data.samples = 12;
    data.bins = std::move(bins);
    data.pairs = {{8, 9}, {10, 11}};
    const auto none = [](int) {};
    EXPECT_EQ(Boost(data, {1, 1.0, 0, 0.0}, 1, none)[0].feature, 3);  // pairs without weight change nothing
    const std::vector<Stump> ranked = Boost(data, {1, 1.0, 0, 0.9}, 2, none);
    ASSERT_EQ(ranked.size(), 1u);
    EXPECT_EQ(ranked[0].feature, 5);
    EXPECT_EQ(ranked[0].dir, 1);
    // Right: 6 of the 8 windows (0.1 / 8 each) and both pairs (0.45 each).
    EXPECT_NEAR(ranked[0].weight, 0.5 * std::log(0.975 / 0.025), 1e-12);
}

TEST(Training, TransitionScoresAreLogOddsOfTheCodingPaths) {
    TransitionCounts coding{};
    TransitionCounts all{};
    // [previous][current]: coding 0, non-coding 1, begin 2, stop 3.
    coding[2][0] = 10;
    coding[0][0] = 80;
    coding[0][1] = 10;
    coding[1][0] = 10;
    coding[0][3] = 10;
    all = coding;
    all[2][0] += 90;
    all[2][1] = 100;
    all[0][1] += 90;
    all[1][1] = 300;
    all[1][0] += 90;
    all[1][3] = 100;
    all[3][1] = 50;
    TrainOptions pairOdds;
    pairOdds.conditionalOdds = false;
    Model pair;
    SetTransitions(coding, all, pairOdds, pair);
    // 110 coding steps on the paths, 740 in all (begin steps apart).
    EXPECT_DOUBLE_EQ(pair.malkovChain[0][0], std::log10((80.0 / 110) / (80.0 / 740)));
    EXPECT_DOUBLE_EQ(pair.malkovChain[1][1], -1000.0);  // no coding path steps on n -> n
    EXPECT_DOUBLE_EQ(pair.malkovChain[1][3], -1000.0);  // nor beyond a stop
    EXPECT_DOUBLE_EQ(pair.malkovChain[0][2], std::log10((10.0 / 10) / (100.0 / 200)));
    EXPECT_DOUBLE_EQ(pair.malkovChain[1][2], -1000.0);

    TrainOptions conditional;
    conditional.conditionalOdds = true;
    conditional.nonCodingBackground = true;
    Model cond;
    SetTransitions(coding, all, conditional, cond);
    // Given a coding window: coding next 80 of 100 on the paths; off them 0 of 90.
    EXPECT_DOUBLE_EQ(cond.malkovChain[0][0], -1000.0);
    EXPECT_DOUBLE_EQ(cond.malkovChain[1][0], std::log10((10.0 / 100) / (90.0 / 90)));
    EXPECT_DOUBLE_EQ(cond.malkovChain[0][1], std::log10((10.0 / 10) / (90.0 / 490)));
    EXPECT_DOUBLE_EQ(cond.malkovChain[0][2], std::log10((10.0 / 10) / (90.0 / 190)));
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

// The codon model's words fall to the codon position of their last base
// inside the CDS or wholly inside the UTRs; an error profile's rates become
// probabilities per base at risk by homopolymer run length.
TEST(CodonTraining, WordsByCodonPositionAndRatesPerBaseAtRisk) {
    // CCCCCC ATG AAA TAA GGGGGG: runs of one base are A, T, G, T (4 of 21 bases).
    const std::vector<AnnotatedSequence> set = {{"s", "CCCCCCATGAAATAAGGGGGG", 6, 14, "", 0}};
    const CodonModel model = CountCodonWords(set);
    auto word = [](const std::string& bases) {
        int w = 0;
        for (char c : bases) w = 4 * w + kBaseCode[static_cast<unsigned char>(c)];
        return w;
    };
    EXPECT_EQ(model.coding[2][word("ATGAAA")], 1u);
    EXPECT_EQ(model.coding[0][word("TGAAAT")], 1u);
    EXPECT_EQ(model.coding[1][word("GAAATA")], 1u);
    EXPECT_EQ(model.coding[2][word("AAATAA")], 1u);
    EXPECT_EQ(model.noncoding[word("CCCCCC")], 1u);
    EXPECT_EQ(model.noncoding[word("GGGGGG")], 1u);
    long total = 0;
    for (const auto& counts : model.coding) total += std::accumulate(counts.begin(), counts.end(), 0L);
    EXPECT_EQ(total + std::accumulate(model.noncoding.begin(), model.noncoding.end(), 0L), 6);
    EXPECT_DOUBLE_EQ(model.meanUtr5, 6.0);
    EXPECT_DOUBLE_EQ(model.meanCds, 9.0);

    const fs::path dir = fs::temp_directory_path() / ("talvo-codon-training-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::string profile = "metric\tvalue\nmismatch_rate\t0.001\ninsertion_event_rate\t0.02\nins_len_1\t1\n"
                          "ins_len_2\t1\ndeletion_event_rate\t0.02\ndel_len_1\t1\n";
    for (const char* kind : {"ins", "del"}) {
        for (const char* length : {"0", "1", "2", "3", "4", "5", "6+"}) {
            // Insertions that join no run (length 1 in the read), deletions from runs of 2 (leaving 1).
            const bool counted = std::string(kind) == "ins" ? std::string(length) == "0" : std::string(length) == "2";
            profile += std::string(kind) + "_in_homopolymer_run_len_" + length + "\t" + (counted ? "5" : "0") + "\n";
        }
    }
    const std::string path = (dir / "profile.tsv").string();
    std::ofstream(path) << profile;
    const ErrorSetting s = ReadErrorSetting("x", path, set);
    EXPECT_EQ(s.name, "x");
    EXPECT_NEAR(s.insertion[1], 0.01 / (4.0 / 21.0), 1e-12);
    EXPECT_NEAR(s.deletion[1], 0.02 / (4.0 / 21.0), 1e-12);
    EXPECT_EQ(s.insertion[2], 0.0);  // no insertion joined a run
    EXPECT_EQ(s.deletion[6], 0.0);
    EXPECT_EQ(s.substitution, 0.001);
    std::ofstream(path) << "metric\tvalue\nmismatch_rate\t0.001\n";
    EXPECT_THROW(ReadErrorSetting("x", path, set), std::runtime_error);
    fs::remove_all(dir);
}

TEST(CodonTraining, GeneModelCountsUtrsStartsAndSites) {
    // 5' UTR ATGTAAC (an ATG, the first of its frame), ATG GGG ATG CCC (a
    // later ATG in frame) TGA, 3' UTR TTTTTT.
    const std::vector<AnnotatedSequence> set = {{"s", "ATGTAACATGGGGATGCCCTGATTTTTT", 7, 21, "", 0}};
    const GeneModel model = CountGeneModel(set);
    EXPECT_EQ(model.starts, (std::array<std::uint64_t, 2>{1, 0}));
    EXPECT_EQ(model.upstreamAtgs, (std::array<std::uint64_t, 2>{1, 0}));
    const auto pair = [](char before, char base) {
        return 4 * kBaseCode[static_cast<unsigned char>(before)] + kBaseCode[static_cast<unsigned char>(base)];
    };
    // Position -1 before the start is C after A; position 2 is the G of ATG.
    EXPECT_EQ(model.startSite[-1 - GeneModel::kStartFrom][pair('A', 'C')], 1u);
    EXPECT_EQ(model.startSite[2 - GeneModel::kStartFrom][pair('T', 'G')], 1u);
    // Position -8 lies before the cDNA: not counted.
    const auto& far = model.startSite[-8 - GeneModel::kStartFrom];
    EXPECT_EQ(std::accumulate(far.begin(), far.end(), 0u), 0u);
    // The first base after the stop codon TGA, and the stop's last base.
    EXPECT_EQ(model.stopSite[0 - GeneModel::kStopFrom][pair('A', 'T')], 1u);
    EXPECT_EQ(model.stopSite[-1 - GeneModel::kStopFrom][pair('G', 'A')], 1u);
    // Six-base words wholly inside each UTR: ATGTAA, TGTAAC; TTTTTT.
    EXPECT_EQ(std::accumulate(model.utr5.begin(), model.utr5.end(), 0u), 2u);
    EXPECT_EQ(std::accumulate(model.utr3.begin(), model.utr3.end(), 0u), 1u);
}

}  // namespace
}  // namespace talvo::tools
