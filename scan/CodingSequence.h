// The coding sequence of a read, read across its errors: its codons in the
// direction of translation, the corrected nucleotides and protein, and the
// stretches of the read that hold its whole codons.
#pragma once

#include <string>
#include <vector>

#include "ReadPrediction.h"

namespace talvo::scan {

// The coding region in the direction of translation as positions on the
// read: an extra base left out, a missing base given as -1. On the minus
// strand the positions descend. Empty for a read without a coding region.
std::vector<int> CodingPositions(const ReadPrediction& prediction);

// The corrected coding sequence: the bases at the positions (complemented
// on the minus strand), -1 for a missing base.
std::vector<short> CorrectedCds(const std::vector<short>& bases, const ReadPrediction& prediction);

// One-letter amino acids of the whole codons: X for a codon with an unknown
// or missing base, * for a stop codon.
std::string Translate(const std::vector<short>& cds);

// A stretch of the read (0-based, inclusive) made of whole codons of the
// coding sequence that follow each other on the read; the last one may end
// in an incomplete codon.
struct CodingStretch {
    int first;
    int last;
};

// The stretches in ascending order on the read. Codons that hold a missing
// base or span an extra one belong to none, so that the stretches joined in
// the direction of translation read every codon in its frame: each begins
// with a whole codon (phase 0).
std::vector<CodingStretch> CodingStretches(const ReadPrediction& prediction);

}  // namespace talvo::scan
