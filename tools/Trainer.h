// Training of a complete parameter directory from annotated cDNAs: one
// model per sequence class, each boosted on windows of its class's width.
#pragma once

#include <array>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "AnnotatedSet.h"
#include "ClassModel.h"
#include "SequenceClass.h"

namespace talvo::tools {

struct TrainOptions {
    int threads = 0;          // 0: every core
    uint64_t seed = 1;        // fixes the sampled windows
    int rounds = kMaxRules;   // boosting rounds (rules per file; unused slots are kind 1)
    double shrinkage = 0.25;  // factor on each rule's boosting vote
    int maxCoding = 20000;    // coding windows sampled per model
    int maxNonCoding = 20000; // non-coding windows sampled per model
    int perSequence = 100;    // windows of each label drawn per sequence at most (0: no cap)
    int features = 300;       // features kept after a first screening round (0: all)
    int thresholds = 24;      // candidate thresholds per feature
    bool poolAll = true;      // every class of a window width trains on all sequences
    int minSequences = 30;    // fewer sequences than this: borrow from neighbours
    bool conditionalOdds = true;    // transitions: odds of the next class given the previous one
    bool nonCodingBackground = false;  // transitions: against steps off the coding paths only
    bool latticeSteps = true;       // transitions: background steps between any two frames
    int transitionSequences = 400;  // sequences scored to measure transitions
    double transitionScale = 1.0;   // factor on the transition scores (a change of frame costs 20 whatever they are)
    double codingReward = 0.0;      // added to the score of a step from a coding window to a coding one
    double nonCodingPrice = 0.0;    // taken from the score of a step from a non-coding window to a non-coding one
    int straddlingErrors = 0;       // planted errors whose straddling windows are labelled (0: none)
    int straddlingWindows = 8;      // windows drawn across each of them
    int placementErrors = 0;        // errors whose placement windows are ranked (0: none)
    int placementSplits = 4;        // wrongly split windows per error
    double placementWeight = 0.5;   // share of the boosting weight on their ranking
    int placementFrom = 0;          // the boosting round from which they count
    bool progress = true;     // progress on standard error
};

// The sixteen classes of a parameter directory. Length group 0 holds the
// sequences of 599 bases or fewer (sub-directory paramater32, window 96);
// groups 1..3 are the length classes 0..2 of the longer ones (paramater,
// window 196).
struct ClassKey {
    int lengthGroup;
    int gc;
    std::string SubDirectory() const;
    std::string Label() const;       // "L1G2"
    SequenceClass Class() const;
    std::string FileName(const std::string& kind) const;  // FileName("param") is "paramL1G2-ex0.txt"
    int WindowWidth() const { return lengthGroup == 0 ? 96 : 196; }
    std::string Name() const;  // "paramater/L1G2"
};
std::vector<ClassKey> AllClasses();
ClassKey ClassOf(const AnnotatedSequence& seq);

struct ClassReport {
    int ownSequences = 0;
    int sequences = 0;         // sequences the windows were drawn from
    std::string pooled;        // what was borrowed, "" when nothing
    long codingWindows = 0;    // candidate windows
    long nonCodingWindows = 0;
    int sampledCoding = 0;
    int sampledNonCoding = 0;
    int rules = 0;             // rules boosting produced
    int straddlingWindows = 0; // labelled windows read across planted errors
    int placementPairs = 0;    // ranked pairs of placement windows
    int transitionSequences = 0;
};

struct TrainedClass {
    ClassKey key;
    Model model;
    ClassReport report;
    std::vector<int> pool;  // indices of the sequences it was trained on
};

// Trains every class. Deterministic: the same sequences and options give the
// same models whatever the number of threads.
std::vector<TrainedClass> TrainModels(const std::vector<AnnotatedSequence>& set, const TrainOptions& options);

// Counts of steps between window classes, [previous class][current class],
// class indices as the frame DP numbers them (coding, non-coding, path
// begin, stop).
using TransitionCounts = std::array<std::array<long, 4>, 4>;

// Sets the model's transition scores from the steps along annotated coding
// paths and along all frames of the same sequences (see the definition).
void SetTransitions(const TransitionCounts& coding, const TransitionCounts& all, const TrainOptions& options,
                    Model& model);

// Writes the parameter directory: paramater/ and paramater32/ with every
// parameter and transition file, and TRAINING.txt describing the classes.
void WriteModelDirectory(const std::vector<TrainedClass>& classes, const TrainOptions& options,
                         const std::string& dir);

// One line per class: sequences and windows used and what was pooled.
void PrintReport(const std::vector<TrainedClass>& classes, std::ostream& out);

}  // namespace talvo::tools
