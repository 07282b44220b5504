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
#include <optional>
#include <utility>
#include <vector>

#include "AnnotatedSet.h"
#include "Random.h"
#include "Records.h"
#include "Stumps.h"

namespace talvo::tools {

// A single-base insertion (an extra base at `at`) or deletion (the base
// before `at` missing) in a read, in read coordinates.
struct PlantedError {
    int at;
    bool insertion;
};

// The read with an error at random in bases first .. last-1 of the coding
// region (an inserted base drawn at random too).
std::pair<std::vector<short>, PlantedError> PlantError(const std::vector<short>& codes, int first, int last,
                                                      Random& rng);

// Whether the read's codon beginning at base c is a codon of the coding
// region that begins at cdsFirst, read in its frame: a codon ending before
// the error in the region's frame, one beginning after it in the frame the
// error shifted it to (the caller keeps c before the region's end). No answer
// for a codon holding the error (for a deletion: the bases on both sides of
// the missing one).
std::optional<bool> ReadInFrame(const PlantedError& error, int cdsFirst, int c);

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

// Windows read across a planted error, labelled as the frame DP should see
// them: coding when the centre codon is read in its right frame (the old
// frame before the error, the new one after it), non-coding otherwise. For
// each error: a sequence of the pool, an insertion or a deletion at random
// inside its coding region, and `perError` windows of the three frames whose
// centre codon lies within half a window of the error (the codon holding the
// error and centre stops left out). Deterministic whatever the threads.
struct StraddlingWindows {
    std::vector<smplTestData> samples;
    std::vector<int8_t> label;  // +1 coding, -1 non-coding
};
StraddlingWindows MakeStraddlingWindows(const std::vector<AnnotatedSequence>& set,
                                        const std::vector<std::vector<short>>& codes, const std::vector<int>& pool,
                                        int width, int errors, int perError, uint64_t seed, int threads);

}  // namespace talvo::tools
