// The ends of a read's coding region: whether it begins with a start codon
// and ends with a stop codon (else it is partial there, as where the read's
// start or end cuts it), where those codons lie on the read, and the parts
// of the read before and after the region in the direction of translation
// (its untranslated regions).
#pragma once

#include <vector>

namespace talvo::scan {

// Bases first..last of the read (0-based, inclusive); first -1: none.
struct ReadSpan {
    int first = -1;
    int last = -1;
    bool Empty() const { return first < 0; }
};

struct RegionEnds {
    bool fivePrimeComplete = false;   // begins with ATG, a whole codon from its first base
    bool threePrimeComplete = false;  // ends with TAA, TAG or TGA, a whole codon in its frame
    // The start and stop codons where the region has them and the read holds
    // their three bases in a row (no error inside them); empty otherwise.
    ReadSpan startCodon;
    ReadSpan stopCodon;
    ReadSpan fivePrimeUtr;
    ReadSpan threePrimeUtr;
};

// From the region's bases in the direction of translation as positions on
// the read (-1 for a missing base) and their corrected base codes, the
// bases before its first whole codon (phase), its strand, its lowest and
// highest base on the read and the read's length.
RegionEnds EndsOf(const std::vector<int>& positions, const std::vector<short>& cds, int phase, bool minus,
                  int first, int last, int length);

}  // namespace talvo::scan
