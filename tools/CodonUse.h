// The ways talvo-eval makes its calls on a read: the window model alone, the
// window model's coding region with its errors placed anew by the codon model
// (refinement), or the codon model alone (long reads).
#pragma once

#include <string>
#include <vector>

#include "CodonDecoder.h"
#include "Evaluation.h"
#include "Prediction.h"

namespace talvo::tools {

enum class Use { Window, Refine, LongRead };

// "window", "refine" or "long-read"; throws std::invalid_argument on another name.
Use ParseUse(const std::string& name);
const char* UseName(Use use);

inline bool NeedsWindowModel(Use use) { return use != Use::LongRead; }
inline bool NeedsCodonModel(Use use) { return use != Use::Window; }

// The call of a codon-model decoding, its errors with their confidences.
Call CodonModelCall(const CodonCall& codon);

// The refinement of the window model's prediction on the read: its coding
// region (ends unchanged) with the errors the codon model places in it.
Call RefinedCall(const CodonDecoder& decoder, const std::vector<short>& bases, const Prediction& window,
                 CodonScratch& scratch);

}  // namespace talvo::tools
