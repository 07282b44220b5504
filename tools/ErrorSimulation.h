// Sequencing errors simulated on annotated cDNAs, with the truth kept in the
// coordinates of the mutated sequence: an insertion sits on the extra base,
// a deletion on the base that follows the missing one (where the text
// report puts them).
#pragma once

#include <array>
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
    // With byRun, single-base insertions and deletions by the homopolymer
    // run of the original base instead (index L = 1..6, 6 standing for 6 or
    // longer): a deletion of the base, an insertion of a copy of it (the
    // run grows), per base; and the insertion of a base unlike its
    // neighbours, per base.
    bool byRun = false;
    std::array<double, 7> deletionInRun{};
    std::array<double, 7> insertionInRun{};
    double insertionNewBase = 0.0;
};

// The metrics of an error profile (metric<TAB>value lines, plain or
// gzip-compressed) by name; lines without a number are skipped. Throws
// std::runtime_error when the file cannot be read.
using ProfileMetrics = std::map<std::string, double>;
ProfileMetrics ReadProfileMetrics(const std::string& path);

// A metric of the profile read from path; throws std::runtime_error naming
// the file when it is missing.
double ProfileMetric(const ProfileMetrics& metrics, const std::string& name, const std::string& path);

// The profile's counts of indel events by the length of the homopolymer run
// they touch, prefix + "0" .. prefix + "6+" (index 0..6); throws
// std::runtime_error naming the file when one is missing or negative.
std::array<double, 7> RunEventCounts(const ProfileMetrics& metrics, const std::string& prefix,
                                     const std::string& path);

// Rates from an error profile: the mismatch rate, and the insertion and deletion event
// rates scaled to their single-base share (ins_len_1 / all insertion events,
// likewise for deletions). Throws std::runtime_error when the file or a
// needed metric is missing.
ErrorModel ErrorRates(const ProfileMetrics& metrics, const std::string& path);
ErrorModel ReadErrorProfile(const std::string& path);

// The same rates with the single-base insertions and deletions shared out
// by the profile's *_in_homopolymer_run_len_L counts (insertions of length
// 0: a base that extends no run; deletions of length 0 filed with 1) and
// divided by runShare[L], the share of the bases that lie in runs of length
// L, so that the rates over all bases stay the profile's.
ErrorModel RunErrorRates(const ProfileMetrics& metrics, const std::string& path,
                         const std::array<double, 7>& runShare);

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
