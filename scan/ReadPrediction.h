// The prediction of a read on the strand chosen for it, in coordinates on
// the read as given.
#pragma once

#include <vector>

#include "ModelSet.h"
#include "Prediction.h"

namespace talvo::scan {

enum class StrandMode { Both, Plus, Minus };

enum class ReadStatus { Cds, NoCds, TooShort };

struct ReadPrediction {
    ReadStatus status = ReadStatus::TooShort;
    bool minus = false;  // predicted on the reverse complement
    // The coding region's lowest and highest base on the read (0-based),
    // both -1 when there is none.
    int first = -1;
    int last = -1;
    // In ascending order, in the text report's convention on the read as
    // given: an insertion is the extra base at pos, a deletion a base missing
    // just before base pos.
    std::vector<SequencingError> errors;
    double pathScore = 0.0;  // of the chosen strand; not set for a short read
};

// Maps the prediction of the read (minus false) or of its reverse
// complement (minus true) onto the read of `length` bases. A coding region
// whose last codon runs past the read's end ends at the read's last base.
ReadPrediction OnRead(const Prediction& prediction, bool minus, int length);

// Predicts the read on the strands the mode asks for. With both, the strand
// with a coding region wins over one without; between two with (or two
// without), the higher path score wins, the read's own strand on a tie.
ReadPrediction PredictRead(const ModelSet& models, const std::vector<short>& bases, StrandMode mode);

}  // namespace talvo::scan
