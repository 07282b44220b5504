// The gene model's prediction of a read on one strand or both: the strand
// whose decoding finds a coding region, or the likelier path, with the
// strand's posterior in the region's confidence.
#pragma once

#include <vector>

#include "CodonDecoder.h"

namespace talvo {

enum class Strands { Both, Plus, Minus };

struct GenePrediction {
    CodonCall call;      // on the strand chosen, in its own coordinates
    bool minus = false;  // chosen: the reverse complement
    // The log odds of the read and the path against the read as given being
    // background (the strands' own backgrounds differ); on the minus strand
    // alone, against the reverse complement being background.
    double pathScore = 0.0;
};

// The reverse complement of base codes (A 0, T 1, G 2, C 3); an unknown base
// stays unknown.
std::vector<short> ReverseComplement(const std::vector<short>& bases);

// Decodes the strands asked for with a gene-model decoder. Between both, the
// one with a coding region wins over one without, else the higher path
// score, the read's own strand on a tie; the region's start and stop
// confidences are then multiplied by the chosen strand's posterior.
GenePrediction PredictGene(const CodonDecoder& decoder, const std::vector<short>& bases, Strands strands,
                           CodonScratch& scratch);
// (experiment) the same, then the chosen strand again with `clean`; the
// likelier by the prior cleanPrior wins.
GenePrediction PredictGene(const CodonDecoder& decoder, const std::vector<short>& bases, Strands strands,
                           CodonScratch& scratch, const CodonDecoder* clean, double cleanPrior);

}  // namespace talvo
