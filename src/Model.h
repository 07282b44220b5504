// The process-wide model of one run: the rule list with its thresholds and
// pseudo-counts (filled by the parameter loader, read by the window scorer)
// and the run-wide settings chosen from the sequence's class.
#pragma once

#include <vector>

#include "Test.h"

namespace talvo {

inline constexpr int kMaxRules = 500;

// The threshold of one rule.
struct trsldData {
    int dir = 0;  // 1 (or any non-zero): a value above the threshold votes +weight
    int intTrsld = 0;
    double realTrsld = 0.0;
};

extern std::vector<fnlHypo> fh;
extern trsldData codonTrsld[kMaxRules];
extern trsldData pairAcidTrsld[kMaxRules];
extern trsldData snglAcidTrsld[kMaxRules];
// Pseudo-count pairs (added to 3 x count, added to the window span).
extern double pairAcidPriproTable[4][kAminoAcids][kAminoAcids][2];
extern double snglAcidPriproTable[kAminoAcids][2];

// Run-wide settings.
extern int GCID;          // G+C class 0..3
extern int LENGTHID;      // length class 0..2
extern int WINDOW_WIDTH;  // 96 or 196 bases
extern int READ_ROUND;    // rules read from the parameter file

// Empties the rule list and zeroes every table (a fresh model).
void ClearModel();

}  // namespace talvo
