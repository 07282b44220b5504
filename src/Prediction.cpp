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

Prediction Predict(const Model& model, const std::vector<short>& bases, double gcPressure,
                   const PredictionOptions& options) {
    return Predict(model, WindowScorer(model), bases, gcPressure, options);
}

Prediction Predict(const Model& model, const WindowScorer& scorer, const std::vector<short>& bases,
                   double gcPressure, const PredictionOptions& options) {
    if (options.maxBytes != 0 && PredictionBytes(bases.size()) > options.maxBytes) {
        throw EngineError(EngineError::Kind::NoMemory, "", 0,
                          "a read of " + std::to_string(bases.size()) + " bases needs " +
                              std::to_string(PredictionBytes(bases.size())) + " bytes, more than the " +
                              std::to_string(options.maxBytes) + " allowed");
    }
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
    FillDPMatrix(model, options, nodes.get(), p.seqLayout);
    std::vector<int> path;
    int pathEnd = 0;
    p.pathScore = TracePath(nodes.get(), n, options, path, pathEnd);
    nodes.reset();
    PlaceErrors(scorer, bases.data(), length, pathEnd, path);
    CodingRegion(path, p.pathScore > options.acceptAbove, p.framePath, p.seqLayout.startBase,
                 p.seqLayout.stopBase);
    p.errors = ErrorsOnPath(p.framePath, length);
    return p;
}

Prediction Predict(const ModelSet& models, const std::vector<short>& bases, const PredictionOptions& options) {
    const double gc = GcPressure(bases);
    const SequenceClass cls = ClassifySequence(static_cast<int>(bases.size()), gc);
    return Predict(models.For(cls), models.ScorerFor(cls), bases, gc, options);
}

void CodingRegion(const std::vector<int>& path, bool accepted, std::vector<int>& framePath, int& start,
                  int& stop) {
    const int n = static_cast<int>(path.size());
    framePath.assign(n, -1);
    start = 0;
    stop = 0;
    if (accepted) {
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
