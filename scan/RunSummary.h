// What a run has done so far: counts of reads by outcome and strand, a
// progress line for a terminal, and the closing summary with the resources
// used.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "ReadPrediction.h"

namespace talvo::scan {

struct ReadCounts {
    std::uint64_t reads = 0;
    std::uint64_t bases = 0;
    std::uint64_t predicted[2] = {0, 0};  // with a coding region, [plus, minus]
    std::uint64_t noCds = 0;
    std::uint64_t tooShort = 0;
    std::uint64_t errors[2] = {0, 0};  // errors called, [plus, minus]
    std::uint64_t lowConfidence = 0;   // of the coding regions, those below the confidence asked for

    void Add(const ReadPrediction& prediction, std::size_t length);
    void Add(const ReadCounts& other);
};

// "1000 reads: 950 with a coding region (600 plus, 350 minus), 40 without,
// 10 too short; 123 errors called (80 plus, 43 minus)", and when there are
// any "; 7 regions below the confidence asked for"
std::string DescribeCounts(const ReadCounts& counts);

class RunSummary {
public:
    explicit RunSummary(bool showProgress);
    // Counts a written batch; on a terminal, redraws the progress line at
    // most once a second.
    void Written(const ReadCounts& batch);
    // Clears the progress line.
    void EndProgress();
    // The closing line: counts, wall time, CPU time, peak resident memory.
    std::string Summary() const;
    const ReadCounts& Counts() const { return counts_; }

private:
    bool showProgress_;
    bool progressShown_ = false;
    ReadCounts counts_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastProgress_;
};

}  // namespace talvo::scan
