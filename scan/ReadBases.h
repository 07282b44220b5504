// Base codes of a read in a batch run: A, C, G, T in either case and U/u
// (read as T) are bases; every other character is an unknown base (-1).
// The single-sequence program keeps its own, stricter rule.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace talvo::scan {

inline constexpr std::array<int8_t, 256> kReadBaseCode = [] {
    std::array<int8_t, 256> table{};
    table.fill(-1);
    table['A'] = table['a'] = 0;
    table['T'] = table['t'] = 1;
    table['U'] = table['u'] = 1;
    table['G'] = table['g'] = 2;
    table['C'] = table['c'] = 3;
    return table;
}();

// The base of each code, 'N' for an unknown base.
inline char BaseLetter(int code) { return code >= 0 && code <= 3 ? "ATGC"[code] : 'N'; }

// Codes 0..3 pair A-T (0-1) and G-C (2-3); an unknown base stays unknown.
inline short Complement(short code) { return code >= 0 && code <= 3 ? code ^ 1 : -1; }

inline std::vector<short> ReverseComplement(const std::vector<short>& bases) {
    std::vector<short> reverse(bases.size());
    const std::size_t n = bases.size();
    for (std::size_t i = 0; i < n; ++i) reverse[i] = Complement(bases[n - 1 - i]);
    return reverse;
}

}  // namespace talvo::scan
