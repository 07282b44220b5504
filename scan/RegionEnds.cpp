#include "RegionEnds.h"

#include <algorithm>

#include "GeneticCode.h"

namespace talvo::scan {

namespace {

// The codon at positions[i..i+2] on the read, when its bases are there in a
// row in the direction of translation.
ReadSpan WholeOnRead(const std::vector<int>& positions, std::size_t i, bool minus) {
    const int step = minus ? -1 : 1;
    if (positions[i] < 0 || positions[i + 1] != positions[i] + step || positions[i + 2] != positions[i] + 2 * step) {
        return {};
    }
    return {std::min(positions[i], positions[i + 2]), std::max(positions[i], positions[i + 2])};
}

}  // namespace

RegionEnds EndsOf(const std::vector<int>& positions, const std::vector<short>& cds, int phase, bool minus,
                  int first, int last, int length) {
    RegionEnds ends;
    const std::size_t n = cds.size();
    if (n >= 3 && phase == 0 && AminoAcidOf(cds[0], cds[1], cds[2]) == kMet) {
        ends.fivePrimeComplete = true;
        ends.startCodon = WholeOnRead(positions, 0, minus);
    }
    if (n >= static_cast<std::size_t>(phase) + 3 && (n - static_cast<std::size_t>(phase)) % 3 == 0 &&
        AminoAcidOf(cds[n - 3], cds[n - 2], cds[n - 1]) == kStop) {
        ends.threePrimeComplete = true;
        ends.stopCodon = WholeOnRead(positions, n - 3, minus);
    }
    const ReadSpan below = first > 0 ? ReadSpan{0, first - 1} : ReadSpan{};
    const ReadSpan above = last < length - 1 ? ReadSpan{last + 1, length - 1} : ReadSpan{};
    ends.fivePrimeUtr = minus ? above : below;
    ends.threePrimeUtr = minus ? below : above;
    return ends;
}

}  // namespace talvo::scan
