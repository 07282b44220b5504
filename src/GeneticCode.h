// The genetic code: base codes, codon and amino-acid indices, and the
// codons' rates under uniform codon use.
//
// A base is a signed 16-bit code: A 0, T 1, G 2, C 3, anything else -1.
// A codon's index is 16 * first + 4 * second + third; amino acids are the
// 21 classes Ala, Cys, Asp, Glu, Phe, Gly, His, Ile, Lys, Leu, Met, Asn,
// Pro, Gln, Arg, Ser, Thr, Val, Trp, Tyr and stop, numbered 0..20.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace talvo {

inline constexpr int kAminoAcids = 21;
inline constexpr int kMet = 10;   // ATG, the start codon
inline constexpr int kStop = 20;  // TAA, TAG, TGA

// Base code of one input character: only the upper-case letters A, T, G
// and C are bases, every other byte codes -1.
inline constexpr std::array<int8_t, 256> kBaseCode = [] {
    std::array<int8_t, 256> table{};
    table.fill(-1);
    table['A'] = 0;
    table['T'] = 1;
    table['G'] = 2;
    table['C'] = 3;
    return table;
}();

// Amino-acid index of each codon index (standard genetic code).
inline constexpr std::array<int8_t, 64> kGeneticCode = {
    8,  11, 8,  11,  // AAx Lys Asn Lys Asn
    7,  7,  10, 7,   // ATx Ile Ile Met Ile
    14, 15, 14, 15,  // AGx Arg Ser Arg Ser
    16, 16, 16, 16,  // ACx Thr
    20, 19, 20, 19,  // TAx stop Tyr stop Tyr
    9,  4,  9,  4,   // TTx Leu Phe Leu Phe
    20, 1,  18, 1,   // TGx stop Cys Trp Cys
    15, 15, 15, 15,  // TCx Ser
    3,  2,  3,  2,   // GAx Glu Asp Glu Asp
    17, 17, 17, 17,  // GTx Val
    5,  5,  5,  5,   // GGx Gly
    0,  0,  0,  0,   // GCx Ala
    13, 6,  13, 6,   // CAx Gln His Gln His
    9,  9,  9,  9,   // CTx Leu
    14, 14, 14, 14,  // CGx Arg
    12, 12, 12, 12,  // CCx Pro
};

// Base codes of a sequence text, one per character.
inline std::vector<short> BaseCodes(std::string_view text) {
    std::vector<short> codes(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) codes[i] = kBaseCode[static_cast<unsigned char>(text[i])];
    return codes;
}

inline constexpr bool IsBase(int code) { return code >= 0 && code <= 3; }

// Codes 0..3 pair A-T (0-1) and G-C (2-3); an unknown base stays unknown.
inline short Complement(short code) { return IsBase(code) ? static_cast<short>(code ^ 1) : static_cast<short>(-1); }

inline std::vector<short> ReverseComplement(const std::vector<short>& bases) {
    std::vector<short> reverse(bases.size());
    const std::size_t n = bases.size();
    for (std::size_t i = 0; i < n; ++i) reverse[i] = Complement(bases[n - 1 - i]);
    return reverse;
}

// Amino-acid index of three base codes, -1 when any of them is not a base.
inline constexpr int AminoAcidOf(int first, int second, int third) {
    if (!IsBase(first) || !IsBase(second) || !IsBase(third)) return -1;
    return kGeneticCode[16 * first + 4 * second + third];
}

// Number of codons coding each amino-acid class (stop included).
inline constexpr std::array<int, kAminoAcids> kSynonymousCodons = [] {
    std::array<int, kAminoAcids> counts{};
    for (int aa : kGeneticCode) ++counts[aa];
    return counts;
}();

// 1 / (number of codons of the codon's amino acid), -1.0 if a base is not
// 0..3: the codon's rate under uniform codon use.
inline constexpr double BasicCodonRate(int first, int second, int third) {
    const int aa = AminoAcidOf(first, second, third);
    return aa < 0 ? -1.0 : 1.0 / kSynonymousCodons[aa];
}

}  // namespace talvo
