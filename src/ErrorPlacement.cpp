// Narrowing each change of frame of the path to one codon position: the
// change moves to the offset at which a window read in the old frame before
// it and in the new frame from it scores best.
#include <vector>

#include "ErrorPlacement.h"

#include "WindowScoring.h"

namespace talvo {

void PlaceErrors(const Model& model, const short* bases, int length, int pathEnd,
                 std::vector<int>& path) {
    const int width = model.windowWidth;
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

    smplTestData sample;
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

        double best = -1000.0;
        int bestOff = h;
        for (int a = 0; a <= width; a += 3) {
            sample.Reset(windowStart, hi);
            for (int o = 0; o + 2 < width; o += 3) {
                const int p = windowStart + o + (o >= a ? shift : 0);
                if (p + 2 <= length - 1 && p + 2 <= hi) sample.CountCodon(bases, length, p);
            }
            double score = 0.0;
            ScoreWindow(model, sample, score);
            if (score > best) {
                best = score;
                bestOff = a / 3;
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
