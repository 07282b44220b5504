#include "CodonRefinement.h"

#include <algorithm>

#include "GeneticCode.h"

namespace talvo {

namespace {

// Amino acid of the codon at bases i..i+2, -1 when it does not lie wholly in
// the read or holds an unknown base.
int AminoAcidAt(const std::vector<short>& bases, int i) {
    if (i < 0 || i + 2 >= static_cast<int>(bases.size())) return -1;
    return AminoAcidOf(bases[i], bases[i + 1], bases[i + 2]);
}

}  // namespace

CodonCall RefineRegion(const CodonDecoder& decoder, const std::vector<short>& bases, int first, int last,
                       CodonScratch& scratch) {
    const int length = static_cast<int>(bases.size());
    if (first < 0 || first >= length || last < first) return CodonCall{};
    const bool startFixed = AminoAcidAt(bases, first) == kMet;
    const bool stopFixed = last < length && last - 2 >= first && AminoAcidAt(bases, last - 2) == kStop;
    return decoder.Refine(bases, first, std::min(last, length - 1), startFixed, stopFixed, scratch);
}

}  // namespace talvo
