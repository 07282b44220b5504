// Windows that teach the scorer where a sequencing error lies. Error
// placement reads a window across a change of frame, the old frame before a
// candidate codon and the new one from it, and keeps the candidate whose
// window scores best; it places the error well only when the score falls as
// more of the window's codons are read in the wrong frame. These windows
// come from annotated cDNAs with one insertion or deletion put into the
// coding region: the window split where the fewest codons are read in the
// wrong frame, and the same window split elsewhere, ranked below it.
#pragma once

#include <cstdint>
#include <vector>

#include "AnnotatedSet.h"
#include "Stumps.h"
#include "Test.h"

namespace talvo::tools {

struct PlacementOptions {
    int errors = 0;      // errors put into sequences of the pool (0: none)
    int splits = 4;      // wrongly split windows per error
    uint64_t seed = 1;
};

struct PlacementWindows {
    std::vector<smplTestData> samples;
    std::vector<RankedPair> pairs;  // indices into samples
};

// For each error: a sequence of the pool whose coding region holds a whole
// window of `width` bases, an insertion or a deletion at random inside it,
// a change of frame near the error as the frame DP would leave it, and the
// windows error placement would read there. Each wrongly split window is
// ranked below the best split, and below the wrong splits on its side that
// read fewer codons in the wrong frame. The same options give the same
// windows whatever the number of threads.
PlacementWindows MakePlacementWindows(const std::vector<AnnotatedSequence>& set,
                                      const std::vector<std::vector<short>>& codes, const std::vector<int>& pool,
                                      int width, const PlacementOptions& options, int threads);

}  // namespace talvo::tools
