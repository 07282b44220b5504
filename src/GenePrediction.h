// The gene model's prediction of a read on one strand or both: the strand
// whose decoding finds a coding region, or the likelier path, with the
// strand's posterior in the region's confidence; and each read decoded
// under its error setting or as good as error-free, whichever is likelier.
#pragma once

#include <string>
#include <vector>

#include "CodonDecoder.h"
#include "GeneModel.h"

namespace talvo {

enum class Strands { Both, Plus, Minus };

struct GenePrediction {
    CodonCall call;      // on the strand chosen, in its own coordinates
    bool minus = false;  // chosen: the reverse complement
    // The log odds of the read and the path against the read as given being
    // background (the strands' own backgrounds differ); on the minus strand
    // alone, against the reverse complement being background.
    double pathScore = 0.0;
    // The posterior of the strand chosen (1 when one strand was decoded).
    double strandPosterior = 1.0;
};

// Decodes the strands asked for. Between both, the one with a coding region
// wins over one without, else the higher path score, the read's own strand
// on a tie; with the gene model, the region's start and stop confidences are
// then multiplied by the chosen strand's posterior.
GenePrediction PredictStrands(const CodonDecoder& decoder, const std::vector<short>& bases, Strands strands,
                              CodonScratch& scratch);

// The gene model ready to predict, built once and shared read-only by any
// number of threads (each with its own CodonScratch).
class GenePredictor {
public:
    // Throws std::runtime_error when the codon model has no setting of that
    // name, std::invalid_argument on options out of range.
    GenePredictor(const CodonModel& codon, const GeneModel& gene, const std::string& setting,
                  const GeneOptions& options);

    // The strands decoded under the error setting; then, unless cleanShare
    // is 0 or the path has no error, the chosen strand decoded again as good
    // as error-free, and of the two the one likelier under the prior kept.
    GenePrediction Predict(const std::vector<short>& bases, Strands strands, CodonScratch& scratch) const;

private:
    CodonDecoder decoder_;
    CodonDecoder clean_;
    double cleanShare_;
};

}  // namespace talvo
