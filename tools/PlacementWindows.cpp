#include "PlacementWindows.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "Parallel.h"
#include "Random.h"
#include "SampleExtraction.h"
#include "WindowScoring.h"

namespace talvo::tools {

std::pair<std::vector<short>, PlantedError> PlantError(const std::vector<short>& codes, int first, int last,
                                                      Random& rng) {
    const PlantedError error{first + static_cast<int>(rng.Below(static_cast<uint64_t>(last - first))),
                             rng.Below(2) == 0};
    std::vector<short> read = codes;
    if (error.insertion) {
        read.insert(read.begin() + error.at, static_cast<short>(rng.Below(4)));
    } else {
        read.erase(read.begin() + error.at);
    }
    return {std::move(read), error};
}

std::optional<bool> ReadInFrame(const PlantedError& error, int cdsFirst, int c) {
    const int newFrom = error.at + (error.insertion ? 1 : 0);
    if (c + 2 >= error.at && c < newFrom) return std::nullopt;
    if (c < error.at) return c >= cdsFirst && (c - cdsFirst) % 3 == 0;
    return (c - cdsFirst - (error.insertion ? 1 : -1)) % 3 == 0;
}

namespace {

// One result per planted error, each from a sequence of the pool whose
// coding region is longer than minCds bases, drawn with a generator of its
// own, so that the results do not depend on the number of threads.
template <typename Result, typename OneError>
std::vector<Result> ForEachError(const std::vector<AnnotatedSequence>& set, const std::vector<int>& pool, int minCds,
                                 int errors, uint64_t seed, uint64_t salt, int threads, OneError oneError) {
    std::vector<int> hosts;
    for (int idx : pool) {
        if (set[idx].cdsLast - set[idx].cdsFirst > minCds) hosts.push_back(idx);
    }
    if (hosts.empty() || errors <= 0) return {};
    std::vector<Result> results(errors);
    ParallelFor(errors, threads, [&](int e) {
        Random rng(seed * 0x9E3779B97F4A7C15ULL + static_cast<uint64_t>(e) * 0xD1B54A32D192ED03ULL + salt);
        results[e] = oneError(hosts[rng.Below(hosts.size())], rng);
    });
    return results;
}

// The read with an error at random in the coding region, at least margin
// bases from both of its ends; nothing when the region is too short.
std::optional<std::pair<std::vector<short>, PlantedError>> PlantInside(const AnnotatedSequence& seq,
                                                                       const std::vector<short>& codes, int margin,
                                                                       Random& rng) {
    const int first = seq.cdsFirst + margin;
    const int last = seq.cdsLast - margin;
    if (last <= first) return std::nullopt;
    return PlantError(codes, first, last, rng);
}

// The windows of one error, the first one split best; pairs index into them.
struct ErrorWindows {
    std::vector<smplTestData> samples;
    std::vector<RankedPair> pairs;
};

ErrorWindows WindowsOfOneError(const AnnotatedSequence& seq, const std::vector<short>& codes, int width,
                               int splits, Random& rng) {
    ErrorWindows out;
    const int h = width / 6;
    // The error lies a window width inside the coding region, so that every
    // window read across it is coding sequence.
    auto planted = PlantInside(seq, codes, 6 * h + 9, rng);
    if (!planted) return out;
    const auto& [read, error] = *planted;
    const int length = static_cast<int>(read.size());
    const int shift = error.insertion ? 1 : 2;
    const int oldFrame = seq.cdsFirst % 3;

    // The change of frame as the frame DP may leave it, up to h - 2 codons away.
    const int c = error.at / 3 + static_cast<int>(rng.Below(static_cast<uint64_t>(2 * h - 3))) - (h - 2);
    const int lo = 3 * (c - h);
    const int hi = 3 * (c + h) + 3;
    if (lo < 0 || hi + 15 >= length) return out;
    const int start = lo + oldFrame;

    const int candidates = width / 3 + 1;
    std::vector<int> wrong(candidates, 0);
    for (int k = 0; k < candidates; ++k) {
        const int a = 3 * k;
        for (int o = 0; o + 2 < width; o += 3) {
            const int p = start + o + (o >= a ? shift : 0);
            wrong[k] += !ReadInFrame(error, seq.cdsFirst, p).value_or(false);
        }
    }
    const int best = static_cast<int>(std::min_element(wrong.begin(), wrong.end()) - wrong.begin());
    std::vector<int> picked = {best};
    for (int tries = 0; static_cast<int>(picked.size()) <= splits && tries < 4 * splits; ++tries) {
        const int distance = 1 + static_cast<int>(rng.Below(static_cast<uint64_t>(h)));
        const int k = rng.Below(2) == 0 ? best - distance : best + distance;
        if (k < 0 || k >= candidates || wrong[k] <= wrong[best]) continue;
        if (std::find(picked.begin(), picked.end(), k) != picked.end()) continue;
        picked.push_back(k);
    }
    if (picked.size() < 2) return out;

    for (int k : picked) {
        smplTestData sample;
        sample.Reset(start, hi);
        for (int o = 0; o + 2 < width; o += 3) {
            const int p = start + o + (o >= 3 * k ? shift : 0);
            if (p + 2 <= length - 1 && p + 2 <= hi) sample.CountCodon(read.data(), length, p);
        }
        out.samples.push_back(sample);
    }
    // The best split above every other; on each side, a split with fewer
    // codons in the wrong frame above one with more.
    const int n = static_cast<int>(picked.size());
    for (int i = 1; i < n; ++i) {
        out.pairs.push_back({0, i});
        for (int j = 1; j < n; ++j) {
            const bool sameSide = (picked[i] < best) == (picked[j] < best);
            if (sameSide && wrong[picked[i]] < wrong[picked[j]]) out.pairs.push_back({i, j});
        }
    }
    return out;
}

StraddlingWindows StraddlingOfOneError(const AnnotatedSequence& seq, const std::vector<short>& codes, int width,
                                       int perError, Random& rng) {
    StraddlingWindows out;
    const int h = width / 6;
    auto planted = PlantInside(seq, codes, 3 * h + 3, rng);
    if (!planted) return out;
    const auto& [read, error] = *planted;
    const int length = static_cast<int>(read.size());
    const int centre = 3 * h;
    std::vector<std::pair<int, int8_t>> candidates;  // window start, label
    for (int c = error.at - centre; c <= error.at + centre; ++c) {
        const int s = c - centre;
        if (s < 0 || s + width >= length) continue;
        const std::optional<bool> right = ReadInFrame(error, seq.cdsFirst, c);
        if (!right || AminoAcidOf(read[c], read[c + 1], read[c + 2]) == kStop) continue;
        candidates.push_back({s, *right ? int8_t{1} : int8_t{-1}});
    }
    for (int k = 0; k < perError && !candidates.empty(); ++k) {
        const std::size_t pick = rng.Below(candidates.size());
        smplTestData sample;
        bool centreStop = false;
        ScanWindow(sample, read.data(), length, candidates[pick].first, width, centreStop);
        out.samples.push_back(sample);
        out.label.push_back(candidates[pick].second);
        candidates[pick] = candidates.back();
        candidates.pop_back();
    }
    return out;
}

}  // namespace

StraddlingWindows MakeStraddlingWindows(const std::vector<AnnotatedSequence>& set,
                                        const std::vector<std::vector<short>>& codes, const std::vector<int>& pool,
                                        int width, int errors, int perError, uint64_t seed, int threads) {
    StraddlingWindows result;
    const auto perErr = ForEachError<StraddlingWindows>(
        set, pool, 6 * (width / 6) + 12, errors, seed, 11, threads, [&](int idx, Random& rng) {
            return StraddlingOfOneError(set[idx], codes[idx], width, perError, rng);
        });
    for (const StraddlingWindows& one : perErr) {
        result.samples.insert(result.samples.end(), one.samples.begin(), one.samples.end());
        result.label.insert(result.label.end(), one.label.begin(), one.label.end());
    }
    return result;
}

PlacementWindows MakePlacementWindows(const std::vector<AnnotatedSequence>& set,
                                      const std::vector<std::vector<short>>& codes, const std::vector<int>& pool,
                                      int width, const PlacementOptions& options, int threads) {
    PlacementWindows result;
    const auto perError = ForEachError<ErrorWindows>(
        set, pool, 12 * (width / 6) + 24, options.errors, options.seed, 7, threads, [&](int idx, Random& rng) {
            return WindowsOfOneError(set[idx], codes[idx], width, options.splits, rng);
        });
    for (const ErrorWindows& one : perError) {
        const int base = static_cast<int>(result.samples.size());
        for (const RankedPair& pair : one.pairs) result.pairs.push_back({base + pair.better, base + pair.worse});
        result.samples.insert(result.samples.end(), one.samples.begin(), one.samples.end());
    }
    return result;
}

}  // namespace talvo::tools
