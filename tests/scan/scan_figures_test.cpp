// The run's figures: the bins at their edges, errors placed along the
// coding region on both strands, shards that add up to the whole run, and
// the stats file read back.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "RunFigures.h"
#include "StatsFile.h"

namespace talvo::scan {
namespace {

ReadPrediction Coding(bool minus, int first, int last, std::vector<SequencingError> errors,
                      std::vector<double> confidence = {}) {
    ReadPrediction p;
    p.status = ReadStatus::Cds;
    p.minus = minus;
    p.first = first;
    p.last = last;
    p.errors = std::move(errors);
    p.confidence = std::move(confidence);
    return p;
}

RegionEnds Marks(bool fivePrimeComplete, bool threePrimeComplete) {
    RegionEnds ends;
    ends.fivePrimeComplete = fivePrimeComplete;
    ends.threePrimeComplete = threePrimeComplete;
    return ends;
}

TEST(ScanFigures, BinEdges) {
    struct Case {
        int got;
        int bin;
    };
    const Case cases[] = {
        {LengthBin(99), 0},         {LengthBin(100), 1},        {LengthBin(5999), 59},
        {LengthBin(6000), 60},      {LengthBin(1 << 30), 60},
        {RateBin(0, 500), 0},       {RateBin(1, 1001), 1},      {RateBin(1, 1000), 2},  // [0,1) and [1,2) per kb
        {RateBin(99, 1000), 100},   {RateBin(100, 1000), 101},  {RateBin(900, 1000), 101},
        {PositionBin(0, 100), 0},   {PositionBin(4, 100), 0},   {PositionBin(5, 100), 1},
        {PositionBin(99, 100), 19}, {PositionBin(100, 100), 19},  // a base missing after the last
        {ConfidenceBin(Hundredths(0.0)), 0}, {ConfidenceBin(Hundredths(0.044)), 0},
        {ConfidenceBin(Hundredths(0.0499)), 1},  // printed 0.05
        {ConfidenceBin(Hundredths(0.95)), 19},   {ConfidenceBin(Hundredths(1.0)), 19},
        {Hundredths(0.125), 12},  // as "%.2f" rounds it
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].got, cases[i].bin) << "case " << i;
}

TEST(ScanFigures, ErrorsFromTheFivePrimeEndOnEitherStrand) {
    RunFigures f;
    // Region 101..200 (0-based 100..199): on the plus strand an extra base at
    // its first base and one missing after its last; on the minus strand the
    // same places are the 3' and the 5' end.
    const std::vector<SequencingError> edges = {{100, ErrorKind::Insertion}, {200, ErrorKind::Deletion}};
    f.Add(Coding(false, 100, 199, edges, {0.5, 1.0}), 300, Marks(true, true));
    f.Add(Coding(true, 100, 199, edges), 300, Marks(false, true));
    f.Add(ReadPrediction{}, 20, {});
    ReadPrediction none;
    none.status = ReadStatus::NoCds;
    f.Add(none, 300, {});
    EXPECT_EQ(f.ends[1][1] + f.ends[0][1], 2u);
    EXPECT_EQ(f.reads, 4u);
    EXPECT_EQ(f.bases, 920u);
    EXPECT_EQ(f.coding[0] + f.coding[1] + f.noCds + f.tooShort, 4u);
    EXPECT_EQ(f.errorPosition[kInsertion][0], 1u);   // plus: 5' end
    EXPECT_EQ(f.errorPosition[kInsertion][19], 1u);  // minus: 3' end
    EXPECT_EQ(f.errorPosition[kDeletion][19], 1u);   // plus: after the 3' end
    EXPECT_EQ(f.errorPosition[kDeletion][0], 1u);    // minus: at the 5' end
    EXPECT_EQ(f.errorRate[RateBin(2, 100)], 2u);
    EXPECT_EQ(f.cdsLength[1], 2u);
    EXPECT_EQ(f.errorConfidence[kInsertion][10] + f.errorConfidence[kDeletion][19], 2u);
    EXPECT_EQ(f.confidenceHundredths, 150u);
    EXPECT_EQ(f.ErrorsPerKb(), 20.0);
}

// Shards counted apart and added up give the whole run's figures, and the
// stats file gives them back as they were written.
TEST(ScanFigures, ShardsAddUpAndTheStatsFileReadsBack) {
    std::vector<std::pair<ReadPrediction, std::size_t>> reads;
    for (int r = 0; r < 40; ++r) {
        std::vector<SequencingError> errors;
        std::vector<double> confidence;
        for (int e = 0; e < r % 4; ++e) {
            errors.push_back({50 + 37 * e + r, e % 2 ? ErrorKind::Deletion : ErrorKind::Insertion});
            confidence.push_back(0.1 * e + 0.013 * r);
        }
        reads.push_back({Coding(r % 3 == 0, 40 + r, 300 + 45 * r, errors, confidence), 400 + 50 * r});
        reads.back().first.startConfidence = 0.025 * r;  // the gene model's
        reads.back().first.stopConfidence = 1.0 - 0.02 * r;
        if (r % 7 == 0) reads.back().first.status = ReadStatus::LowConfidence;
    }
    RunFigures whole;
    RunFigures shards[3];
    for (std::size_t r = 0; r < reads.size(); ++r) {
        const RegionEnds ends = Marks(r % 2 == 0, r % 5 != 0);
        whole.Add(reads[r].first, reads[r].second, ends);
        shards[r * 3 / reads.size()].Add(reads[r].first, reads[r].second, ends);
    }
    EXPECT_EQ(whole.skipped, 6u);
    EXPECT_EQ(whole.Coding() + whole.skipped, 40u);
    EXPECT_EQ(whole.RegionConfidences(), 34u);  // the regions kept
    EXPECT_EQ(whole.regionConfidence[kStart][19], 2u);  // reads 38 and 39: 0.95, 0.975
    EXPECT_EQ(whole.regionConfidence[kStop][19], 2u);   // reads 1 and 2: 0.98, 0.96 (read 0 left out)
    RunFigures added;
    for (const RunFigures& shard : shards) added.Add(shard);
    const RunDescription run{"reads", "talvo-scan 0; model m; strand both", "talvo-scan reads.fa"};
    EXPECT_EQ(StatsJson(added, run), StatsJson(whole, run));

    const std::string path = ::testing::TempDir() + "scan-figures-stats.json";
    std::ofstream(path) << StatsJson(whole, run);
    RunFigures back;
    RunDescription backRun;
    ReadStatsFile(path, back, backRun);
    EXPECT_EQ(StatsJson(back, backRun), StatsJson(whole, run));

    // A stats file with a bin too few is refused, naming the file and the figure.
    std::string text = StatsJson(whole, run);
    const std::size_t bins = text.find("\"counts\": [") + 11;
    text.erase(bins, text.find(',', bins) + 1 - bins);  // drops the first length bin
    std::ofstream(path) << text;
    try {
        ReadStatsFile(path, back, backRun);
        FAIL() << "a malformed stats file was read";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), path + ": talvo_scan.cds_length.counts is missing or not 61 counts");
    }
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace talvo::scan
