// The genetic code as the run object's operations: the codon's amino acid,
// its rate under uniform codon use and the letter of a base code.
#pragma once

#include "GeneticCode.h"

namespace talvo {

// Operations on the vocabulary; stateless, inherited by the scoring class.
class ReadData {
public:
    // Amino-acid index 0..20 of the codon, -1 if a base is not 0..3.
    int CodonTable(int first, int second, int third) const;
    // 1 / (number of codons of the codon's amino acid), -1.0 if a base is
    // not 0..3: the codon's rate under uniform codon use.
    double BasicCodonRate(int first, int second, int third) const;
    // 'A', 'T', 'G', 'C' for codes 0..3, 'n' for anything else.
    char outPutBase(short code) const;
};

}  // namespace talvo
