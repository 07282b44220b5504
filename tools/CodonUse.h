// The ways talvo-eval makes its calls on a read: the window model alone, the
// window model's coding region with its errors placed anew by the codon model
// (refinement), the codon model alone (long reads), or the gene model.
#pragma once

#include <string>
#include <vector>

#include "CodonDecoder.h"
#include "GenePrediction.h"
#include "Evaluation.h"
#include "Prediction.h"

namespace talvo::tools {

enum class Use { Window, Refine, LongRead, Gene };

// "window", "refine", "long-read" or "gene"; throws std::invalid_argument on another name.
Use ParseUse(const std::string& name);
const char* UseName(Use use);

inline bool NeedsWindowModel(Use use) { return use == Use::Window || use == Use::Refine; }
inline bool NeedsCodonModel(Use use) { return use != Use::Window; }
inline bool NeedsGeneModel(Use use) { return use == Use::Gene; }

// The call of a codon-model decoding, its errors with their confidences.
Call CodonModelCall(const CodonCall& codon);

// The refinement of the window model's prediction on the read: its coding
// region (ends unchanged) with the errors the codon model places in it.
Call RefinedCall(const CodonDecoder& decoder, const std::vector<short>& bases, const Prediction& window,
                 CodonScratch& scratch);

// The call of a prediction on the strands asked for: the other strand's
// region is no region of the read's; the region's confidence is the lower
// of its start's and its stop's.
Call StrandCall(const GenePrediction& prediction, Strands strands);

// Sets the option of a KEY=VALUE text (begin-inside, end-inside, start-from,
// start-to, stop-from, stop-to, utr5-weight, utr3-weight, clean-share,
// clean-scale); throws std::invalid_argument naming the option --gene on
// another key or a bad value.
void SetGeneOption(const std::string& text, GeneOptions& options);

}  // namespace talvo::tools
