// The refinement use of the codon model: the coding region the window model
// found is kept, and its errors are placed anew at base resolution.
#pragma once

#include <vector>

#include "CodonDecoder.h"

namespace talvo {

// Places the errors of the coding region [first, last] of a read with the
// codon model. A last base past the read's end is taken to its last base.
// The region's start is held to a codon beginning at first when the read has
// an ATG there, its end to a stop codon when its last three bases lie in the
// read and are one; otherwise the read may begin or end inside the CDS. A read
// without a coding region (first -1) gives none.
CodonCall RefineRegion(const CodonDecoder& decoder, const std::vector<short>& bases, int first, int last,
                       CodonScratch& scratch);

}  // namespace talvo
