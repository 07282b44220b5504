// Decoding a read with the codon-level model: the most probable path
// (Viterbi) for the coding region and its errors, and the posterior
// probability of each error call as its confidence.
#pragma once

#include <string>
#include <vector>

#include "CodonModel.h"
#include "ErrorRule.h"

namespace talvo {

// One inferred sequencing error in the text report's convention: an
// insertion is the extra base at pos, a deletion a base missing just before
// base pos (0-based); confidence in [0, 1] is the posterior probability that
// the read holds an error of that kind within a few bases of pos.
struct CodonErrorCall {
    int pos = 0;
    ErrorKind kind = ErrorKind::None;
    double confidence = 0.0;
};

struct CodonCall {
    int first = -1;  // the coding region's first and last base (0-based), -1 when none
    int last = -1;
    std::vector<CodonErrorCall> errors;  // in base order, inside [first, last]
    double score = 0.0;  // natural-log odds of the path against background alone (strand choice)
};

// Log-probability tables of one model under one error setting, built once
// and shared read-only by any number of threads.
class CodonDecoder {
public:
    // Throws std::runtime_error when the model has no setting of that name.
    CodonDecoder(const CodonModel& model, const std::string& setting);

    // The long-read use: the whole read decoded with the codon model alone
    // (5' background, a start codon, coding, a stop codon, 3' background; a
    // read may begin or end inside the CDS). Unknown bases (code -1) are
    // allowed anywhere.
    CodonCall Decode(const std::vector<short>& bases) const;

    // The refinement use: the coding region [first, last] is kept and only
    // its errors are placed anew. startFixed: a codon begins at first (else
    // the read begins inside the CDS, any codon position); stopFixed: last is
    // the last base of the stop codon that ends the CDS (else the read ends
    // inside it). The result keeps first and last.
    CodonCall Refine(const std::vector<short>& bases, int first, int last, bool startFixed,
                     bool stopFixed) const;
};

}  // namespace talvo
