// Dynamic programme over the three reading frames and its traceback. A path
// runs over consecutive codon positions, one frame each; every change of
// frame between two positions stands for one sequencing error.
#include <vector>

#include "FrameDP.h"

#include "WindowScoring.h"

namespace talvo {

namespace {

constexpr double kUnseeded = -1000.0;  // below every path's score

// Entry i of a frame's sequence; a position the frame does not reach counts
// as beyond the last scored window, without a start mark.
inline int EntryOr(const std::vector<int>& v, int i, int missing) {
    return i < static_cast<int>(v.size()) ? v[i] : missing;
}

// Transition score; a class outside the four (index -1) adds nothing.
inline double Transition(const Model& model, int current, int previous) {
    if (current < 0 || previous < 0) return 0.0;
    return model.malkovChain[current][previous];
}

}  // namespace

void FillDPMatrix(const Model& model, const PredictionOptions& options, dpNode* nodes, layout& lay) {
    const int h = model.windowWidth / 6;
    const int n = static_cast<int>(lay.windowClasses[0].size());
    for (auto& classes : lay.windowClasses) {
        const int firstWindow = EntryOr(classes, h, kBeyondEnd);
        for (int i = 0; i < h && i < static_cast<int>(classes.size()); ++i) classes[i] = firstWindow;
    }
    if (n < 1) return;
    for (int f = 0; f < 3; ++f) {
        nodes[f].prevFrame = kBeginMark;
        nodes[f].score =
            EntryOr(lay.codonMarks[f], 0, kOtherCodon) == kStartCodon ? options.startScore : options.beginScore;
    }
    for (int i = 1; i < n; ++i) {
        for (int j = 0; j < 3; ++j) {
            const int cur = EntryOr(lay.windowClasses[j], i, kBeyondEnd);
            const int c = ClassIndex(cur);
            dpNode& cell = nodes[3 * i + j];
            double best = kUnseeded;
            int from = -1;
            if (EntryOr(lay.codonMarks[j], i, kOtherCodon) == kStartCodon) {
                best = options.startScore;
                from = kBeginMark;
            }
            for (int k = 0; k < 3; ++k) {
                const dpNode& before = nodes[3 * (i - 1) + k];
                const int prev = before.prevFrame == kBeginMark
                                     ? kPathBegin
                                     : EntryOr(lay.windowClasses[k], i - 1, kBeyondEnd);
                double m = before.score + Transition(model, c, ClassIndex(prev));
                if (c == -1) {
                    m -= options.unknownClassPrice;
                    cell.endFlag = 1;
                }
                if (k != j) m -= options.frameChangePrice;
                if (m == best && k == j) {
                    from = j;
                } else if (m > best) {
                    best = m;
                    from = k;
                }
            }
            if (best < options.beginScore) {
                cell.prevFrame = kBeginMark;
                cell.score = options.beginScore;
            } else {
                cell.prevFrame = from;
                cell.score = best;
            }
            if (cur == kStopCentre) cell.endFlag = 1;
        }
    }
}

double TracePath(const dpNode* nodes, int n, const PredictionOptions& options, std::vector<int>& path,
                 int& pathEnd) {
    std::vector<int> buffer(n > 0 ? n : 0, -1);
    double best = kUnseeded;
    int endPos = 0;
    int endFrame = 0;
    for (int i = 0; i < n; ++i) {
        for (int k = 0; k < 3; ++k) {
            const dpNode& cell = nodes[3 * i + k];
            if (cell.endFlag == 1 && cell.score > best) {
                best = cell.score;
                endPos = i;
                endFrame = k;
            }
        }
    }
    pathEnd = endPos;
    int pos = endPos;
    int fr = endFrame;
    int steps = 0;
    while (n > 0 && nodes[3 * pos + fr].prevFrame != kBeginMark && pos > 0) {
        buffer[pos] = fr;
        const int before = nodes[3 * pos + fr].prevFrame;
        ++steps;
        if (pos > 2 && nodes[3 * (pos - 1) + before].score < options.walkStop) {
            fr = before;
            break;
        }
        fr = before;
        --pos;
    }
    if (n > 0) buffer[pos] = fr;
    path.insert(path.end(), buffer.begin(), buffer.end());
    return steps < options.minSteps ? options.shortPathScore : best;
}

}  // namespace talvo
