// The uses of the codon-level model on a read: refinement of the window
// model's errors, the codon model alone for reads with many errors, and the
// gene model built on it.
#pragma once

#include <string>
#include <vector>

#include "CodonDecoder.h"
#include "GenePrediction.h"
#include "ModelSet.h"
#include "ReadPrediction.h"

namespace talvo::scan {

// Throws std::runtime_error naming the file and the settings it holds when
// the model read from `path` has no error setting of that name.
void CheckErrorSetting(const CodonModel& model, const std::string& setting, const std::string& path);

// Maps a codon-model call on the read (minus false) or on its reverse
// complement (minus true) onto the read of `length` bases, errors with
// their confidence.
ReadPrediction OnRead(const CodonCall& call, bool minus, int length);

// Refinement: the window model chooses the strand and the coding region as
// PredictRead does; the codon model then places the errors inside that
// region anew (RefineRegion). scratch is the worker's own.
ReadPrediction RefineRead(const ModelSet& models, const PredictionOptions& options, const CodonDecoder& decoder,
                          const std::vector<short>& bases, StrandMode mode, CodonScratch& scratch);

// The long-read use: each strand the mode asks for decoded with the codon
// model alone, the choice between both made as MinusWins makes it (on the
// codon model's score).
ReadPrediction DecodeRead(const CodonDecoder& decoder, const std::vector<short>& bases, StrandMode mode,
                          CodonScratch& scratch);

// The gene model's prediction of the strands the mode asks for, with the
// confidence of the region's ends; a region whose confidence lies below
// minConfidence has status LowConfidence.
ReadPrediction GeneRead(const GenePredictor& predictor, const std::vector<short>& bases, StrandMode mode,
                        double minConfidence, CodonScratch& scratch);

}  // namespace talvo::scan
