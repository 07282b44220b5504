// Small annotated sets for the tools' tests: random untranslated regions
// around coding regions with a strong codon preference.
#pragma once

#include <string>
#include <vector>

#include "AnnotatedSet.h"
#include "Random.h"

namespace talvo::tools::synthetic {

inline std::string RandomBases(int n, Random& rng) {
    static const char kBases[] = "ACGT";
    std::string s;
    for (int i = 0; i < n; ++i) s.push_back(kBases[rng.Below(4)]);
    return s;
}

inline AnnotatedSequence SyntheticSequence(const std::string& id, int utr5, int codons, int utr3, Random& rng) {
    static const char* kPreferred[] = {"GCC", "GAG", "AAG", "CTG", "GGC", "CAG", "ACC", "GTG", "AGC", "TTC"};
    AnnotatedSequence seq;
    seq.id = id;
    seq.bases = RandomBases(utr5, rng) + "ATG";
    for (int i = 0; i < codons; ++i) seq.bases += kPreferred[rng.Below(10)];
    seq.bases += "TAA" + RandomBases(utr3, rng);
    seq.cdsFirst = utr5;
    seq.cdsLast = utr5 + 3 * codons + 5;
    return seq;
}

inline std::vector<AnnotatedSequence> SyntheticSet(int count, uint64_t seed) {
    Random rng(seed);
    std::vector<AnnotatedSequence> set;
    for (int i = 0; i < count; ++i) {
        set.push_back(SyntheticSequence("seq" + std::to_string(i), 100 + static_cast<int>(rng.Below(100)), 200,
                                        150 + static_cast<int>(rng.Below(100)), rng));
    }
    return set;
}

}  // namespace talvo::tools::synthetic
