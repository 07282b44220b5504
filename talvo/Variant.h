// The two builds of the program differ in two points: variant B keeps no
// path score (no "DP SCORE: " line in the reports) and reads the sequence
// part of the FASTA file line by line.
#pragma once

namespace talvo {

#ifdef TALVO_VARIANT_B
inline constexpr bool kVariantB = true;
#else
inline constexpr bool kVariantB = false;
#endif

}  // namespace talvo
