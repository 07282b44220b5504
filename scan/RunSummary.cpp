#include "RunSummary.h"

#include <cstdio>
#include <iostream>

#include "ResourceSummary.h"

namespace talvo::scan {

void ReadCounts::Add(const ReadPrediction& prediction, std::size_t length) {
    ++reads;
    bases += length;
    switch (prediction.status) {
        case ReadStatus::LowConfidence:
            ++lowConfidence;
            [[fallthrough]];
        case ReadStatus::Cds:
            ++predicted[prediction.minus];
            errors[prediction.minus] += prediction.errors.size();
            break;
        case ReadStatus::NoCds:
            ++noCds;
            break;
        case ReadStatus::TooShort:
            ++tooShort;
            break;
    }
}

void ReadCounts::Add(const ReadCounts& other) {
    reads += other.reads;
    bases += other.bases;
    noCds += other.noCds;
    tooShort += other.tooShort;
    lowConfidence += other.lowConfidence;
    for (int s = 0; s < 2; ++s) {
        predicted[s] += other.predicted[s];
        errors[s] += other.errors[s];
    }
}

std::string DescribeCounts(const ReadCounts& c) {
    const auto n = [](std::uint64_t value) { return std::to_string(value); };
    return n(c.reads) + " reads: " + n(c.predicted[0] + c.predicted[1]) + " with a coding region (" +
           n(c.predicted[0]) + " plus, " + n(c.predicted[1]) + " minus), " + n(c.noCds) + " without, " +
           n(c.tooShort) + " too short; " + n(c.errors[0] + c.errors[1]) + " errors called (" + n(c.errors[0]) +
           " plus, " + n(c.errors[1]) + " minus)" +
           (c.lowConfidence > 0 ? "; " + n(c.lowConfidence) + " regions below the confidence asked for" : "");
}

RunSummary::RunSummary(bool showProgress)
    : showProgress_(showProgress), start_(std::chrono::steady_clock::now()), lastProgress_(start_) {}

void RunSummary::Written(const ReadCounts& batch) {
    counts_.Add(batch);
    if (!showProgress_) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastProgress_ < std::chrono::seconds(1)) return;
    lastProgress_ = now;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    char line[160];
    std::snprintf(line, sizeof line, "\rtalvo-scan: %llu reads, %.1f Mb done, %.0f reads/s ",
                  static_cast<unsigned long long>(counts_.reads), counts_.bases / 1e6, counts_.reads / seconds);
    std::cerr << line << std::flush;
    progressShown_ = true;
}

void RunSummary::EndProgress() {
    if (progressShown_) std::cerr << "\r\033[K" << std::flush;
    progressShown_ = false;
}

std::string RunSummary::Summary() const {
    return "talvo-scan: " + DescribeCounts(counts_) + "; " + ResourceSummary(start_);
}

}  // namespace talvo::scan
