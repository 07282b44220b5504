// Training of the codon-level model and of the gene model built on it: word
// counts, mean region lengths and site counts from annotated cDNAs, and
// error settings from measured error profiles.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "AnnotatedSet.h"
#include "CodonModel.h"
#include "GeneModel.h"

namespace talvo::tools {

// The word counts and mean lengths of the annotated cDNAs; no settings yet.
// Words with a base other than A, C, G, T are not counted.
CodonModel CountCodonWords(const std::vector<AnnotatedSequence>& set);

// The gene model's counts on the annotated cDNAs: words wholly inside each
// untranslated region, the start codons and the ATGs of the 5' UTRs, and
// the pairs of bases around each start codon and after each stop codon.
GeneModel CountGeneModel(const std::vector<AnnotatedSequence>& set);

// The error setting of an error profile (see ReadProfileMetrics): its
// single-base insertion and deletion rates shared out over homopolymer run
// lengths by the profile's *_in_homopolymer_run_len_L counts and divided by
// the share of the cDNAs' bases in runs of that length, so that each is a
// probability per base at risk. An insertion is filed under the length of
// the run it makes, a deletion under the length of the run it leaves (at
// least 1; runs of 5 and of 6 or more share one rate). Throws std::runtime_error naming the file when it cannot be
// read or lacks a needed metric.
ErrorSetting ReadErrorSetting(const std::string& name, const std::string& profilePath,
                              const std::vector<AnnotatedSequence>& set);

// The share of the cDNAs' bases (A, C, G, T) that lie in a homopolymer run
// of length L (index L = 1..6, 6 standing for 6 or longer; index 0 unused).
std::array<double, 7> RunLengthShares(const std::vector<AnnotatedSequence>& set);

// True when the name may name a setting: lower-case letters, digits, '-'.
bool IsSettingName(const std::string& name);

// The values of --error-profile options, NAME=FILE each.
struct ProfileOption {
    std::string name;
    std::string path;
};
// Throws std::invalid_argument naming the option on a value that is not
// NAME=FILE with a setting name, or on a name given twice.
std::vector<ProfileOption> ReadProfileOptions(const std::vector<std::string>& values);

}  // namespace talvo::tools
