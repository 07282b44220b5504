// Base codes of a read in a batch run: A, C, G, T in either case and U/u
// (read as T) are bases; every other character is an unknown base (-1).
// The single-sequence program keeps its own, stricter rule; complements are
// the engine's (GeneticCode.h).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "GeneticCode.h"

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


}  // namespace talvo::scan
