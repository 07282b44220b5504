// Narrowing each change of frame of the path to one codon position: the
// change moves to the offset at which a window read in the old frame before
// it and in the new frame from it scores best.
#include <deque>
#include <vector>

#include "ErrorPlacement.h"

#include "WindowScorer.h"

namespace talvo {

void PlaceErrors(const Model& model, const short* bases, int length, int pathEnd,
                 std::vector<int>& path) {
    PlaceErrors(WindowScorer(model), bases, length, pathEnd, path);
}

void PlaceErrors(const WindowScorer& scorer, const short* bases, int length, int pathEnd,
                 std::vector<int>& path) {
    const int width = scorer.Width();
    const int h = width / 6;
    const int n = static_cast<int>(path.size());

    // Change points: the path's first position, every change of frame inside
    // it, and the first position after it.
    std::vector<int> points;
    std::vector<int> shifts;
    int prev = -1000;
    for (int i = 0; i < n; ++i) {
        const int v = path[i];
        if (v != prev && !(i == 0 && v == -1)) {
            points.push_back(i);
            shifts.push_back(prev < v ? v - prev : v - prev + 3);
        }
        prev = v;
    }

    // The samples of one change point share their span; the few spans met
    // get their rate tables once.
    std::deque<WindowScorer::SpanTables> spanTables;
    auto tablesFor = [&](int span) -> const WindowScorer::SpanTables& {
        if (span == scorer.FullSpan().span) return scorer.FullSpan();
        for (const auto& tables : spanTables) {
            if (tables.span == span) return tables;
        }
        return spanTables.emplace_back(scorer.MakeSpanTables(span));
    };
    const int candidates = width / 3 + 1;  // offsets 0, 3, ..., width
    VoteBatch batch(scorer);
    std::vector<double> scores(candidates);

    for (int k = 1; k + 1 < static_cast<int>(points.size()); ++k) {
        const int c = points[k];
        const int shift = shifts[k];
        int lo = 3 * (c - h);
        const int hi = 3 * (c + h) + 3;
        if (lo < 0) lo = 0;
        if (hi - lo < 2 * width / 3) continue;
        const int oldFrame = path[c - 1];
        if (oldFrame < 0) continue;
        const int windowStart = lo + oldFrame;

        // The sample of offset a reads the codons before a in the old frame
        // and those from a on shifted: from one offset to the next, one codon
        // moves back into the old frame.
        VoteTracker tracker(scorer, tablesFor(hi - windowStart));
        tracker.Reset(windowStart, hi);
        auto count = [&](int o, bool shifted, int delta) {
            const int p = windowStart + o + (shifted ? shift : 0);
            if (p + 2 <= length - 1 && p + 2 <= hi) tracker.Count(bases, length, p, delta);
        };
        for (int o = 0; o + 2 < width; o += 3) count(o, true, 1);
        for (int a = 0, i = 0; a <= width; a += 3, ++i) {
            if (a > 0 && a - 1 < width) {
                count(a - 3, true, -1);
                count(a - 3, false, 1);
            }
            tracker.Refresh();
            batch.Add(tracker);
            if (batch.Size() == VoteBatch::kWindows || i + 1 == candidates) {
                batch.Sum(&scores[i + 1 - batch.Size()]);
            }
        }

        double best = -1000.0;
        int bestOff = h;
        for (int i = 0; i < candidates; ++i) {
            if (scores[i] > best) {
                best = scores[i];
                bestOff = i;
            }
        }
        if (c - h + 1 + bestOff >= pathEnd) bestOff = pathEnd + h - c - 1;

        const int before = path[c - 1];
        const int after = path[c];
        for (int i = 0; i < width / 3; ++i) {
            const int idx = c - h + 1 + i;
            if (idx > points[k - 1] && idx < points[k + 1] && idx > 0 && idx < n) {
                path[idx] = i < bestOff ? before : after;
            }
        }
    }
}

}  // namespace talvo
