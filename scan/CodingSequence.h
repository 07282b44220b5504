// A read's coding region with its codons and errors, as every output writes
// it: the coding sequence read across its errors in the direction of
// translation, its protein, and the stretches of the read that hold its
// codons. Computed once per read; the table, GFF3, BED12 and FASTA outputs
// all derive from it.
#pragma once

#include <string>
#include <vector>

#include "ReadPrediction.h"
#include "RegionEnds.h"

namespace talvo::scan {

// A stretch of the read (0-based, inclusive) made of codons of the coding
// sequence that follow each other on the read, each read whole on the read
// (three bases in a row, none extra, none missing), except that the stretch
// at the region's 5' end may begin with the rest of a codon cut by the
// region's first base and the one at its 3' end may end with the part of a
// codon cut by its last base. phase: the bases of the stretch, at its 5' end
// in the direction of translation, before its first whole codon (GFF3's
// phase).
struct CodingStretch {
    int first;
    int last;
    int phase = 0;
};

// Built for every read with a region, kept or below the confidence asked
// for; only a kept one (HasCds) goes to the GFF3, BED12, protein and CDS.
struct CodingRegion {
    ReadPrediction prediction;
    // The region in the direction of translation as positions on the read:
    // an extra base left out, a missing base given as -1. On the minus
    // strand the positions descend.
    std::vector<int> positions;
    // The corrected coding sequence: the bases at the positions
    // (complemented on the minus strand), -1 for a missing base.
    std::vector<short> cds;
    // One letter per whole codon of cds from prediction.phase on: X for a
    // codon with an unknown or missing base, * for a stop codon. A codon
    // cut by the region's first or last base is not translated.
    std::string protein;
    // In ascending order on the read. A codon that holds a missing base or
    // spans an extra base belongs to none, so that the stretches joined in
    // the direction of translation read every codon in its frame.
    std::vector<CodingStretch> stretches;
    // Whether it begins with a start codon and ends with a stop codon,
    // where they lie, and the read's untranslated bases on either side.
    RegionEnds ends;

    bool HasCds() const { return prediction.status == ReadStatus::Cds; }
};

// The region of a read (its base codes) and its prediction on it.
CodingRegion MakeCodingRegion(const std::vector<short>& bases, ReadPrediction prediction);

// One-letter amino acids of the whole codons of a coding sequence from
// base `from` on: X for a codon with an unknown or missing base, * for a
// stop codon.
std::string Translate(const std::vector<short>& cds, int from = 0);

}  // namespace talvo::scan
