// Cross-validation folds by groups of isoforms: transcripts of one gene
// share coding stretches and must not be split between training and test.
#pragma once

#include <vector>

#include "AnnotatedSet.h"

namespace talvo::tools {

// Group of each sequence (the index of the group's first member): two
// sequences are in one group when they name the same gene or their coding
// regions share a 32-base stretch, directly or through other sequences (so
// a set without gene ids joins a set with them through shared sequence).
std::vector<int> GroupIsoforms(const std::vector<AnnotatedSequence>& set);

// Fold 0..folds-1 of each sequence: whole groups, largest first, each into
// the fold that holds the fewest sequences so far (lowest fold on a tie).
std::vector<int> AssignFolds(const std::vector<int>& group, int folds);

}  // namespace talvo::tools
