#include "PlacementWindows.h"

#include <algorithm>

#include "Parallel.h"
#include "Random.h"

namespace talvo::tools {

namespace {

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
    const int first = seq.cdsFirst + 6 * h + 9;
    const int last = seq.cdsLast - 6 * h - 9;
    if (last <= first) return out;
    const int at = first + static_cast<int>(rng.Below(static_cast<uint64_t>(last - first)));
    const bool insertion = rng.Below(2) == 0;
    std::vector<short> read = codes;
    if (insertion) {
        read.insert(read.begin() + at, static_cast<short>(rng.Below(4)));
    } else {
        read.erase(read.begin() + at);
    }
    const int length = static_cast<int>(read.size());
    const int shift = insertion ? 1 : 2;
    const int oldFrame = seq.cdsFirst % 3;
    // A codon read in the old frame is right when it ends before the error, one
    // read in the new frame when it begins after it (a deletion's error base
    // already belongs to the new frame).
    const int newFrom = at + (insertion ? 1 : 0);

    // The change of frame as the frame DP may leave it, up to h - 2 codons away.
    const int c = at / 3 + static_cast<int>(rng.Below(static_cast<uint64_t>(2 * h - 3))) - (h - 2);
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
            wrong[k] += o < a ? p + 2 >= at : p < newFrom;
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

}  // namespace

PlacementWindows MakePlacementWindows(const std::vector<AnnotatedSequence>& set,
                                      const std::vector<std::vector<short>>& codes, const std::vector<int>& pool,
                                      int width, const PlacementOptions& options, int threads) {
    PlacementWindows result;
    std::vector<int> hosts;
    for (int idx : pool) {
        if (set[idx].cdsLast - set[idx].cdsFirst > 12 * (width / 6) + 24) hosts.push_back(idx);
    }
    if (hosts.empty() || options.errors <= 0) return result;
    std::vector<ErrorWindows> perError(options.errors);
    ParallelFor(options.errors, threads, [&](int e) {
        Random rng(options.seed * 0x9E3779B97F4A7C15ULL + static_cast<uint64_t>(e) * 0xD1B54A32D192ED03ULL + 7);
        const int idx = hosts[rng.Below(hosts.size())];
        perError[e] = WindowsOfOneError(set[idx], codes[idx], width, options.splits, rng);
    });
    for (ErrorWindows& one : perError) {
        const int base = static_cast<int>(result.samples.size());
        for (const RankedPair& pair : one.pairs) result.pairs.push_back({base + pair.better, base + pair.worse});
        result.samples.insert(result.samples.end(), one.samples.begin(), one.samples.end());
    }
    return result;
}

}  // namespace talvo::tools
