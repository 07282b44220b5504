// The figures of a run: its reads counted by outcome and strand, and the
// lengths of the coding regions, the errors per kilobase, where the errors
// fall along the coding region and how confident they are, in fixed bins.
// Every figure is a count or a sum of whole numbers, so the figures of the
// shards of an input add up to exactly those of one run over the whole
// input, and they take the same memory for ten reads as for ten million.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "ReadPrediction.h"
#include "RegionEnds.h"

namespace talvo::scan {

// Index of an error kind in the figures.
enum KindIndex { kInsertion, kDeletion, kKinds };
// Index of a coding region's end in the gene model's confidences.
enum EndIndex { kStart, kStop, kEnds };

struct RunFigures {
    // Coding-region length: bins of 100 bases, the last for 6,000 or more.
    static constexpr int kLengthBinWidth = 100;
    static constexpr int kLengthBins = 61;
    // Errors per kilobase of a read's coding region: the first bin holds
    // the reads without an error, then bins of 1 per kb from 0 (exclusive
    // of none) to 100, the last for 100 or more.
    static constexpr int kRateBinWidth = 1;
    static constexpr int kRateBins = 102;
    // Place of an error along the coding region, 5' to 3' in the direction
    // of translation: 20 bins of 5 % of its length.
    static constexpr int kPositionBins = 20;
    // Confidence of an error in hundredths, as the table prints it: 20 bins
    // of 0.05, the last holding 1.00 as well.
    static constexpr int kConfidenceBins = 20;

    std::uint64_t reads = 0;
    std::uint64_t bases = 0;
    std::uint64_t coding[2] = {0, 0};  // reads with a coding region, [plus, minus]
    std::uint64_t noCds = 0;
    std::uint64_t tooShort = 0;
    // Reads predicted but left out of the outputs: coding regions below the
    // confidence asked for (status low_confidence).
    std::uint64_t skipped = 0;

    std::uint64_t codingBases = 0;  // sum of the coding regions' lengths on the reads
    std::uint64_t shortestCds = 0;  // 0 while no read has a coding region
    std::uint64_t longestCds = 0;
    std::array<std::uint64_t, kLengthBins> cdsLength{};
    // Reads with a coding region by whether it is complete at its 5' and at
    // its 3' end: [5' complete][3' complete].
    std::uint64_t ends[2][2] = {{0, 0}, {0, 0}};

    std::uint64_t errors[kKinds][2] = {{0, 0}, {0, 0}};  // [kind][plus, minus]
    std::uint64_t readsWithErrors = 0;
    std::array<std::uint64_t, kRateBins> errorRate{};
    std::array<std::array<std::uint64_t, kPositionBins>, kKinds> errorPosition{};
    // Errors with a confidence (the gene or codon model's), by kind and bin, and the
    // sum of their confidences in hundredths.
    std::array<std::array<std::uint64_t, kConfidenceBins>, kKinds> errorConfidence{};
    std::uint64_t confidenceHundredths = 0;
    // The gene model's confidence that a region starts, and that it stops,
    // where it does, by bin as for the errors, over the regions kept; and
    // their sums in hundredths.
    std::array<std::array<std::uint64_t, kConfidenceBins>, kEnds> regionConfidence{};
    std::uint64_t regionConfidenceHundredths[kEnds] = {0, 0};

    // Counts one read of `length` bases; ends: of its coding region.
    void Add(const ReadPrediction& prediction, std::size_t length, const RegionEnds& ends);
    // Adds the figures of other reads (a batch, a shard).
    void Add(const RunFigures& other);

    std::uint64_t Coding() const { return coding[0] + coding[1]; }
    std::uint64_t Errors(int strand) const { return errors[kInsertion][strand] + errors[kDeletion][strand]; }
    std::uint64_t Errors() const { return Errors(0) + Errors(1); }
    std::uint64_t ErrorsOfKind(int kind) const { return errors[kind][0] + errors[kind][1]; }
    std::uint64_t Confidences() const;
    // Errors per kilobase of coding region over the whole run (0 without one).
    double ErrorsPerKb() const;
    double MeanCdsLength() const;
    // Mean confidence of the errors that have one (0 when none has).
    double MeanConfidence() const;
    // Regions with the gene model's confidences; the mean of an end's (0 without).
    std::uint64_t RegionConfidences() const;
    double MeanRegionConfidence(int end) const;
};

// A confidence (0 to 1) in hundredths, rounded as "%.2f" prints it.
int Hundredths(double confidence);

// The bin of each figure, for the tests and the page's labels.
int LengthBin(std::uint64_t length);
int RateBin(std::uint64_t errors, std::uint64_t length);
int PositionBin(std::uint64_t offset, std::uint64_t length);
int ConfidenceBin(int hundredths);

// "1000 reads: 950 with a coding region (600 plus, 350 minus), 40 without,
// 10 too short; 123 errors called (80 plus, 43 minus)", and when there are
// any "; 7 left out below the confidence asked for"
std::string DescribeCounts(const RunFigures& figures);

}  // namespace talvo::scan
