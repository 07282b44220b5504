// The prediction of a read on the strand chosen for it, in coordinates on
// the read as given.
#pragma once

#include <algorithm>
#include <vector>

#include "ModelSet.h"
#include "Prediction.h"
#include "ReadBases.h"

namespace talvo::scan {

enum class StrandMode { Both, Plus, Minus };

// What predicts the reads: the gene model (the default); the window model
// alone, as talvo predicts; the window model's coding region with its errors
// placed anew by the codon model; or the codon model alone, for reads with
// many errors.
enum class ScanUse { Gene, Window, Refine, LongRead };

// LowConfidence: a coding region whose confidence lies below the run's
// threshold (the gene model's).
enum class ReadStatus { Cds, NoCds, TooShort, LowConfidence };

struct ReadPrediction {
    ReadStatus status = ReadStatus::TooShort;
    bool minus = false;  // predicted on the reverse complement
    // The coding region's lowest and highest base on the read (0-based),
    // both -1 when there is none.
    int first = -1;
    int last = -1;
    // Bases of the region, at its 5' end in the direction of translation,
    // before its first whole codon: 1 or 2 when a codon is cut by the
    // region's first base (a read that begins inside the CDS), else 0.
    int phase = 0;
    // In ascending order, in the text report's convention on the read as
    // given: an insertion is the extra base at pos, a deletion a base missing
    // just before base pos.
    std::vector<SequencingError> errors;
    // The confidence (0 to 1) of each error, in the order of errors, when
    // the codon model placed them; empty otherwise.
    std::vector<double> confidence;
    double pathScore = 0.0;  // of the chosen strand; not set for a short read
    // The gene model's posterior probability that the region starts, and
    // that it stops, where it does (0 to 1); -1 in the other uses.
    double startConfidence = -1.0;
    double stopConfidence = -1.0;

    // The region's confidence: the lower of its start's and its stop's.
    double RegionConfidence() const { return std::min(startConfidence, stopConfidence); }
    // Whether it has a coding region, kept or below the threshold.
    bool HasRegion() const { return status == ReadStatus::Cds || status == ReadStatus::LowConfidence; }
};

// Maps the prediction of the read (minus false) or of its reverse
// complement (minus true) onto the read of `length` bases. A coding region
// whose last codon runs past the read's end ends at the read's last base; one
// whose last base the error rule calls an extra base ends before it, without
// that error.
ReadPrediction OnRead(const Prediction& prediction, bool minus, int length);

// Errors found on the reverse complement of a read of `length` bases, in
// base order, as errors of the read: each keeps its kind, an extra base its
// base, a missing base its place between two bases; their order reverses.
std::vector<SequencingError> ErrorsOnRead(const std::vector<SequencingError>& onReverse, int length);

// Whether the minus strand's prediction wins over the plus strand's: the
// strand with a coding region wins over one without; between two with (or
// two without), the higher path score wins, the read's own strand on a tie.
bool MinusWins(const ReadPrediction& minus, const ReadPrediction& plus);

// The prediction on the read that a strand's result is or holds.
inline const ReadPrediction& ReadOf(const ReadPrediction& prediction) { return prediction; }
template <class Holding>
const ReadPrediction& ReadOf(const Holding& holding) {
    return holding.read;
}

// The prediction on the strand the mode chooses, from predict(strandBases,
// minus), which returns a ReadPrediction on the read as given, or a value
// holding one as `read`. A read shorter than kMinSequenceLength gives a
// default value (status too short).
template <class PredictStrand>
auto OnChosenStrand(const std::vector<short>& bases, StrandMode mode, PredictStrand predict) {
    using Result = decltype(predict(bases, false));
    if (static_cast<int>(bases.size()) < kMinSequenceLength) return Result{};
    if (mode == StrandMode::Plus) return predict(bases, false);
    Result minus = predict(ReverseComplement(bases), true);
    if (mode == StrandMode::Minus) return minus;
    Result plus = predict(bases, false);
    if (MinusWins(ReadOf(minus), ReadOf(plus))) return minus;  // moved out, not copied
    return plus;
}

// Predicts the read with the window model on the strands the mode asks for
// (MinusWins chooses between both).
ReadPrediction PredictRead(const ModelSet& models, const PredictionOptions& options, const std::vector<short>& bases,
                           StrandMode mode);

}  // namespace talvo::scan
