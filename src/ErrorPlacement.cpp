// Narrowing each change of frame of the path to one codon position: the
// change moves to the offset at which a window read in the old frame before
// it and in the new frame from it scores best.
#include <deque>
#include <optional>
#include <type_traits>
#include <vector>

#include "ErrorPlacement.h"

#include "WindowScorer.h"

namespace talvo {

namespace {

// The path's change points: its first position, every change of frame
// inside it, and the first position after it; each with its shift (1: one
// base forward, 2: one base back).
struct ChangePoints {
    std::vector<int> points;
    std::vector<int> shifts;
};

ChangePoints FindChangePoints(const std::vector<int>& path) {
    ChangePoints found;
    int prev = -1000;
    for (int i = 0; i < static_cast<int>(path.size()); ++i) {
        const int v = path[i];
        if (v != prev && !(i == 0 && v == -1)) {
            found.points.push_back(i);
            found.shifts.push_back(prev < v ? v - prev : v - prev + 3);
        }
        prev = v;
    }
    return found;
}

// Where one change point's test windows lie: from windowStart (in the old
// frame) to hi, the codons from each candidate offset on shifted.
struct TestWindows {
    int windowStart;
    int hi;
    int shift;
};

// The score of every candidate offset 0, 3, ..., width into `scores`. The
// sample of offset a reads the codons before a in the old frame and those
// from a on shifted: from one offset to the next, one codon moves back into
// the old frame. A dyadic scorer's tracker knows each score at once; the
// rule-ordered sums of the others are summed sixteen at a time in the batch.
template <class Tracker>
void ScoreOffsets(const WindowScorer& scorer, const WindowScorer::SpanTables& tables, const CodonAt* codons,
                  int length, const TestWindows& test, VoteBatch* batch, std::vector<double>& scores) {
    const int width = scorer.Width();
    const int candidates = static_cast<int>(scores.size());
    Tracker tracker(scorer, tables);
    tracker.Reset(test.windowStart, test.hi);
    auto count = [&](int o, bool shifted, int delta) {
        const int p = test.windowStart + o + (shifted ? test.shift : 0);
        if (p + 2 <= length - 1 && p + 2 <= test.hi) tracker.Count(codons, p, delta);
    };
    for (int o = 0; o + 2 < width; o += 3) count(o, true, 1);
    for (int a = 0, i = 0; a <= width; a += 3, ++i) {
        if (a > 0 && a - 1 < width) {
            count(a - 3, true, -1);
            count(a - 3, false, 1);
        }
        tracker.Refresh();
        if constexpr (std::is_same_v<Tracker, SumTracker>) {
            scores[i] = tracker.Score();
        } else {
            batch->Add(tracker);
            if (batch->Size() == VoteBatch::kWindows || i + 1 == candidates) {
                batch->Sum(&scores[i + 1 - batch->Size()]);
            }
        }
    }
}

// The first offset of the best score (h when none beats -1000), kept short
// of pathEnd.
int BestOffset(const std::vector<double>& scores, int c, int h, int pathEnd) {
    double best = -1000.0;
    int bestOff = h;
    for (int i = 0; i < static_cast<int>(scores.size()); ++i) {
        if (scores[i] > best) {
            best = scores[i];
            bestOff = i;
        }
    }
    if (c - h + 1 + bestOff >= pathEnd) bestOff = pathEnd + h - c - 1;
    return bestOff;
}

}  // namespace

void PlaceErrors(const Model& model, const short* bases, int length, int pathEnd,
                 std::vector<int>& path) {
    PlaceErrors(WindowScorer(model), bases, length, pathEnd, path);
}

void PlaceErrors(const WindowScorer& scorer, const short* bases, int length, int pathEnd,
                 std::vector<int>& path) {
    const int width = scorer.Width();
    const int h = width / 6;
    const int n = static_cast<int>(path.size());
    const ChangePoints changes = FindChangePoints(path);
    const std::vector<int>& points = changes.points;

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
    std::vector<double> scores(width / 3 + 1);  // offsets 0, 3, ..., width
    std::optional<VoteBatch> batch;
    if (!scorer.Dyadic()) batch.emplace(scorer);
    std::vector<CodonAt> codons;  // read when the first change point needs them

    for (int k = 1; k + 1 < static_cast<int>(points.size()); ++k) {
        const int c = points[k];
        int lo = 3 * (c - h);
        const int hi = 3 * (c + h) + 3;
        if (lo < 0) lo = 0;
        if (hi - lo < 2 * width / 3) continue;
        const int oldFrame = path[c - 1];
        if (oldFrame < 0) continue;
        const TestWindows test{lo + oldFrame, hi, changes.shifts[k]};
        const WindowScorer::SpanTables& tables = tablesFor(hi - test.windowStart);
        if (codons.empty()) codons = CodonsOf(bases, length);
        if (scorer.Dyadic()) {
            ScoreOffsets<SumTracker>(scorer, tables, codons.data(), length, test, nullptr, scores);
        } else {
            ScoreOffsets<VoteTracker>(scorer, tables, codons.data(), length, test, &*batch, scores);
        }
        const int bestOff = BestOffset(scores, c, h, pathEnd);

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
