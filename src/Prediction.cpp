// The prediction of one read: samples, frame DP, traceback, error placement,
// and the coding region's first and last base.
#include "Prediction.h"

#include <memory>
#include <new>

#include "ErrorPlacement.h"
#include "EngineError.h"
#include "FrameDP.h"
#include "SampleExtraction.h"

namespace talvo {

namespace {
constexpr double kAcceptAbove = -9.0;  // a path scoring -9 or less is no prediction
}

Prediction Predict(const Model& model, const std::vector<short>& bases, double gcPressure) {
    return Predict(model, WindowScorer(model), bases, gcPressure);
}

Prediction Predict(const Model& model, const WindowScorer& scorer, const std::vector<short>& bases,
                   double gcPressure) {
    Prediction p;
    const int length = static_cast<int>(bases.size());
    p.cls = ClassifySequence(length, gcPressure);
    p.length = length;
    p.gcPressure = gcPressure;
    ExtractSamples(scorer, bases.data(), length, p.seqLayout, p.frameScore);
    const int n = static_cast<int>(p.seqLayout.windowClasses[0].size());
    std::unique_ptr<dpNode[]> nodes(new (std::nothrow) dpNode[3 * static_cast<std::size_t>(n)]);
    if (!nodes) {
        throw EngineError(EngineError::Kind::NoMemory, "", 0,
                          "no memory for the frame DP of " + std::to_string(n) + " codon positions");
    }
    FillDPMatrix(model, nodes.get(), p.seqLayout);
    std::vector<int> path;
    int pathEnd = 0;
    p.pathScore = TracePath(nodes.get(), n, path, pathEnd);
    nodes.reset();
    PlaceErrors(scorer, bases.data(), length, pathEnd, path);
    CodingRegion(path, p.pathScore, p.framePath, p.seqLayout.startBase, p.seqLayout.stopBase);
    p.errors = ErrorsOnPath(p.framePath, length);
    return p;
}

Prediction Predict(const ModelSet& models, const std::vector<short>& bases) {
    const double gc = GcPressure(bases);
    const SequenceClass cls = ClassifySequence(static_cast<int>(bases.size()), gc);
    return Predict(models.For(cls), models.ScorerFor(cls), bases, gc);
}

void CodingRegion(const std::vector<int>& path, double score, std::vector<int>& framePath,
                  int& start, int& stop) {
    const int n = static_cast<int>(path.size());
    framePath.assign(n, -1);
    start = 0;
    stop = 0;
    if (score > kAcceptAbove) {
        bool started = false;
        bool stopped = false;
        for (int j = 0; j < n; ++j) {
            framePath[j] = path[j];
            if (stopped) continue;
            if (!started) {
                if (path[j] != -1) {
                    started = true;
                    start = 3 * j + path[j];
                    if (j == n - 1) {
                        stop = 3 * j + path[j] + 2;
                        stopped = true;
                    }
                }
            } else if (path[j] == -1) {
                stop = 3 * (j - 1) + path[j - 1] + 2;
                stopped = true;
            } else if (j == n - 1) {
                stop = 3 * j + path[j] + 2;
                stopped = true;
            }
        }
    }
    if (start == 0 && stop == 0) {
        start = -1;
        stop = -1;
    }
}

std::vector<SequencingError> ErrorsOnPath(const std::vector<int>& framePath, int length) {
    std::vector<SequencingError> errors;
    for (int p = 3; p < length; ++p) {
        const ErrorKind kind = ErrorAt(framePath, p);
        if (kind != ErrorKind::None) errors.push_back({p, kind});
    }
    return errors;
}

}  // namespace talvo
