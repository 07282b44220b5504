#include "RunFigures.h"

#include <algorithm>
#include <cstdio>

namespace talvo::scan {

int Hundredths(double confidence) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", confidence);
    int whole = 0;
    int fraction = 0;
    std::sscanf(text, "%d.%d", &whole, &fraction);
    return std::clamp(whole * 100 + fraction, 0, 100);
}

int LengthBin(std::uint64_t length) {
    return static_cast<int>(std::min<std::uint64_t>(length / RunFigures::kLengthBinWidth, RunFigures::kLengthBins - 1));
}

int RateBin(std::uint64_t errors, std::uint64_t length) {
    if (errors == 0) return 0;
    // errors per kb / width, in whole numbers: errors * 1000 / (length * width).
    const std::uint64_t bin = errors * 1000 / (length * RunFigures::kRateBinWidth);
    return 1 + static_cast<int>(std::min<std::uint64_t>(bin, RunFigures::kRateBins - 2));
}

int PositionBin(std::uint64_t offset, std::uint64_t length) {
    return static_cast<int>(std::min<std::uint64_t>(offset * RunFigures::kPositionBins / length,
                                                    RunFigures::kPositionBins - 1));
}

int ConfidenceBin(int hundredths) { return std::min(hundredths / 5, RunFigures::kConfidenceBins - 1); }

void RunFigures::Add(const ReadPrediction& prediction, std::size_t length, const RegionEnds& regionEnds) {
    ++reads;
    bases += length;
    if (prediction.status == ReadStatus::NoCds) ++noCds;
    if (prediction.status == ReadStatus::TooShort) ++tooShort;
    if (prediction.status == ReadStatus::LowConfidence) ++skipped;
    if (prediction.status != ReadStatus::Cds) return;
    const int strand = prediction.minus ? 1 : 0;
    ++coding[strand];
    const auto cds = static_cast<std::uint64_t>(prediction.last - prediction.first + 1);
    codingBases += cds;
    shortestCds = shortestCds == 0 ? cds : std::min(shortestCds, cds);
    longestCds = std::max(longestCds, cds);
    ++cdsLength[LengthBin(cds)];
    ++ends[regionEnds.fivePrimeComplete][regionEnds.threePrimeComplete];
    if (prediction.startConfidence >= 0.0) {
        for (const int end : {kStart, kStop}) {
            const int hundredths = Hundredths(end == kStart ? prediction.startConfidence : prediction.stopConfidence);
            ++regionConfidence[end][ConfidenceBin(hundredths)];
            regionConfidenceHundredths[end] += static_cast<std::uint64_t>(hundredths);
        }
    }
    ++errorRate[RateBin(prediction.errors.size(), cds)];
    if (!prediction.errors.empty()) ++readsWithErrors;
    for (std::size_t e = 0; e < prediction.errors.size(); ++e) {
        const SequencingError& error = prediction.errors[e];
        const int kind = error.kind == ErrorKind::Insertion ? kInsertion : kDeletion;
        ++errors[kind][strand];
        // Bases of the region before the error in the direction of
        // translation; a missing base lies before base pos on the read, so
        // after it on the minus strand.
        const int offset = prediction.minus ? prediction.last - error.pos + (kind == kDeletion ? 1 : 0)
                                            : error.pos - prediction.first;
        ++errorPosition[kind][PositionBin(static_cast<std::uint64_t>(std::max(offset, 0)), cds)];
        if (e < prediction.confidence.size()) {
            const int hundredths = Hundredths(prediction.confidence[e]);
            ++errorConfidence[kind][ConfidenceBin(hundredths)];
            confidenceHundredths += static_cast<std::uint64_t>(hundredths);
        }
    }
}

namespace {

template <class T, std::size_t N>
void AddArray(std::array<T, N>& to, const std::array<T, N>& from) {
    for (std::size_t i = 0; i < N; ++i) to[i] += from[i];
}

}  // namespace

void RunFigures::Add(const RunFigures& other) {
    reads += other.reads;
    bases += other.bases;
    noCds += other.noCds;
    tooShort += other.tooShort;
    skipped += other.skipped;
    codingBases += other.codingBases;
    if (other.shortestCds != 0) {
        shortestCds = shortestCds == 0 ? other.shortestCds : std::min(shortestCds, other.shortestCds);
    }
    longestCds = std::max(longestCds, other.longestCds);
    readsWithErrors += other.readsWithErrors;
    confidenceHundredths += other.confidenceHundredths;
    AddArray(cdsLength, other.cdsLength);
    AddArray(errorRate, other.errorRate);
    for (int s = 0; s < 2; ++s) {
        coding[s] += other.coding[s];
        for (int t = 0; t < 2; ++t) ends[s][t] += other.ends[s][t];
    }
    for (int end = 0; end < kEnds; ++end) {
        AddArray(regionConfidence[end], other.regionConfidence[end]);
        regionConfidenceHundredths[end] += other.regionConfidenceHundredths[end];
    }
    for (int k = 0; k < kKinds; ++k) {
        for (int s = 0; s < 2; ++s) errors[k][s] += other.errors[k][s];
        AddArray(errorPosition[k], other.errorPosition[k]);
        AddArray(errorConfidence[k], other.errorConfidence[k]);
    }
}

std::uint64_t RunFigures::Confidences() const {
    std::uint64_t n = 0;
    for (const auto& kind : errorConfidence) {
        for (const std::uint64_t count : kind) n += count;
    }
    return n;
}

double RunFigures::ErrorsPerKb() const {
    return codingBases == 0 ? 0.0 : static_cast<double>(Errors()) * 1000.0 / static_cast<double>(codingBases);
}

double RunFigures::MeanCdsLength() const {
    return Coding() == 0 ? 0.0 : static_cast<double>(codingBases) / static_cast<double>(Coding());
}

double RunFigures::MeanConfidence() const {
    const std::uint64_t n = Confidences();
    return n == 0 ? 0.0 : static_cast<double>(confidenceHundredths) / 100.0 / static_cast<double>(n);
}

std::uint64_t RunFigures::RegionConfidences() const {
    std::uint64_t n = 0;
    for (const std::uint64_t count : regionConfidence[kStart]) n += count;
    return n;
}

double RunFigures::MeanRegionConfidence(int end) const {
    const std::uint64_t n = RegionConfidences();
    return n == 0 ? 0.0 : static_cast<double>(regionConfidenceHundredths[end]) / 100.0 / static_cast<double>(n);
}

std::string DescribeCounts(const RunFigures& f) {
    const auto n = [](std::uint64_t value) { return std::to_string(value); };
    return n(f.reads) + " reads: " + n(f.Coding()) + " with a coding region (" + n(f.coding[0]) + " plus, " +
           n(f.coding[1]) + " minus), " + n(f.noCds) + " without, " + n(f.tooShort) + " too short; " +
           n(f.Errors()) + " errors called (" + n(f.Errors(0)) + " plus, " + n(f.Errors(1)) + " minus)" +
           (f.skipped > 0 ? "; " + n(f.skipped) + " left out below the confidence asked for" : "");
}

}  // namespace talvo::scan
