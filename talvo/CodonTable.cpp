#include "CodonTable.h"

namespace talvo {

namespace {

// Number of codons coding each amino-acid class (stop included).
constexpr std::array<int, kAminoAcids> kSynonymousCodons = [] {
    std::array<int, kAminoAcids> counts{};
    for (int aa : kGeneticCode) ++counts[aa];
    return counts;
}();

}  // namespace

int ReadData::CodonTable(int first, int second, int third) const {
    return AminoAcidOf(first, second, third);
}

double ReadData::BasicCodonRate(int first, int second, int third) const {
    const int aa = AminoAcidOf(first, second, third);
    if (aa < 0) return -1.0;
    return 1.0 / kSynonymousCodons[aa];
}

char ReadData::outPutBase(short code) const {
    static constexpr char kLetters[4] = {'A', 'T', 'G', 'C'};
    return IsBase(code) ? kLetters[code] : 'n';
}

}  // namespace talvo
