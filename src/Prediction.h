// The prediction of one read: a value computed from a model and the read's
// base codes alone, read by every report and output.
#pragma once

#include <array>
#include <vector>

#include "ErrorRule.h"
#include "Model.h"
#include "ModelSet.h"
#include "PredictionOptions.h"
#include "Records.h"
#include "SequenceClass.h"
#include "WindowScorer.h"

namespace talvo {

struct Prediction {
    SequenceClass cls{};
    int length = 0;            // bases (base codes) of the read
    double gcPressure = 0.0;   // percent
    // Start marks and window classes per codon position and frame; its
    // startBase and stopBase are the coding region's first and last base
    // (0-based), both -1 when none was found.
    layout seqLayout;
    std::array<std::vector<double>, 3> frameScore;  // window score per codon position and frame
    std::vector<int> framePath;  // frame 0..2 or -1 per codon position (-1 throughout: no region)
    double pathScore = 0.0;      // score of the traced path
    std::vector<SequencingError> errors;  // in base order

    bool HasCodingRegion() const { return seqLayout.startBase != -1 || seqLayout.stopBase != -1; }
};

// Predicts a read of at least kMinSequenceLength bases with the model of its
// class (the model's window width is used) and checked options. No shared
// mutable state: any number of threads may predict at once with one model.
// A read whose tables would take more than options.maxBytes, or for whose
// frame DP no memory is left, throws EngineError (no memory).
Prediction Predict(const Model& model, const std::vector<short>& bases, double gcPressure,
                   const PredictionOptions& options);
// The same with the model's compiled scorer, built once for many reads.
Prediction Predict(const Model& model, const WindowScorer& scorer, const std::vector<short>& bases,
                   double gcPressure, const PredictionOptions& options);
// Classifies the read and predicts it with its class's model.
Prediction Predict(const ModelSet& models, const std::vector<short>& bases, const PredictionOptions& options);

// The coding region of a traced path: framePath receives the path when it
// was accepted (else -1 throughout); start and stop become the first and
// last base of the path's first coding stretch, both -1 when there is none.
void CodingRegion(const std::vector<int>& path, bool accepted, std::vector<int>& framePath, int& start,
                  int& stop);

// The errors of a frame path, by the error rule, in base order.
std::vector<SequencingError> ErrorsOnPath(const std::vector<int>& framePath, int length);

}  // namespace talvo
