// Sequencing errors simulated on annotated cDNAs, with the truth kept in the
// coordinates of the mutated sequence: an insertion sits on the extra base,
// a deletion on the base that follows the missing one (where the text
// report puts them).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "AnnotatedSet.h"
#include "ErrorRule.h"
#include "Random.h"

namespace talvo::tools {

struct ErrorModel {
    double substitution = 0.0;  // per base
    double insertion = 0.0;     // single-base insertions, per base
    double deletion = 0.0;      // single-base deletions, per base
    int planted = 0;            // exactly this many insertions/deletions inside each CDS
};

// The metrics of an error profile (metric<TAB>value lines, plain or
// gzip-compressed) by name; lines without a number are skipped. Throws
// std::runtime_error when the file cannot be read.
using ProfileMetrics = std::map<std::string, double>;
ProfileMetrics ReadProfileMetrics(const std::string& path);

// A metric of the profile read from path; throws std::runtime_error naming
// the file when it is missing.
double ProfileMetric(const ProfileMetrics& metrics, const std::string& name, const std::string& path);

// Rates from an error profile: the mismatch rate, and the insertion and deletion event
// rates scaled to their single-base share (ins_len_1 / all insertion events,
// likewise for deletions). Throws std::runtime_error when the file or a
// needed metric is missing.
ErrorModel ErrorRates(const ProfileMetrics& metrics, const std::string& path);
ErrorModel ReadErrorProfile(const std::string& path);

// A simulated insertion or deletion, placed as the program reports one.
using TrueError = SequencingError;

struct SimulatedRead {
    std::string bases;
    int cdsFirst = 0;  // first base of the start codon in the mutated sequence
    int cdsLast = 0;   // last base of the stop codon
    std::vector<TrueError> errors;  // every insertion and deletion, by position
    std::vector<int> codonStarts;   // first base of each CDS codon left intact
};

// Applies the error model to one sequence. Planted errors avoid the start
// and the stop codon and fall on distinct bases; rate errors may fall
// anywhere.
SimulatedRead SimulateErrors(const AnnotatedSequence& seq, const ErrorModel& model, Random& rng);

}  // namespace talvo::tools
