// Prediction of simulated reads with a parameter directory, and the
// comparison of the calls made on them with the truth.
#pragma once

#include <array>
#include <iosfwd>
#include <string>
#include <vector>

#include "ErrorSimulation.h"
#include "Prediction.h"

namespace talvo::tools {

// Predicts every read with the parameter directory dir and the options, on
// `threads` threads. Each prediction keeps its coding region, frame path and
// errors; its window classes and scores are dropped.
std::vector<Prediction> PredictReads(const std::vector<SimulatedRead>& reads, const std::string& dir,
                                     const PredictionOptions& options, int threads);

// Counts over a set of reads.
struct Tally {
    long sequences = 0;
    long noPrediction = 0;
    long startExact = 0;
    long stopExact = 0;
    long bothExact = 0;
    long codingTruePositive = 0;  // coding bases inside the predicted region
    long codingMissed = 0;        // coding bases outside it
    long codingFalse = 0;         // non-coding bases inside it
    long trueErrors = 0;          // insertions and deletions inside the coding region
    long predictedErrors = 0;
    long recalled10 = 0;  // true errors matched by a prediction of their kind within 10 bases
    long recalled3 = 0;
    long correct10 = 0;   // predicted errors matching a true error of their kind within 10 bases
    long correct3 = 0;
    long codons = 0;      // intact coding codons
    long codonsInFrame = 0;
    // True errors inside the coding region by the distance in bases to the
    // nearest predicted error of their kind (kDistanceBins; the last bin: none).
    std::array<long, 8> nearest{};
    long callBefore = 0;  // ... of which the nearest call lies before the error (1 base or more)
    // Error calls that carry a confidence: whether there were any, and the
    // sums of the confidences of the calls matched within 10 bases (right)
    // and of the others (wrong).
    bool confident = false;
    double confidenceRight = 0.0;
    double confidenceWrong = 0.0;
    // Calls decoded on both strands: whether there were any, and how many
    // chose the other strand.
    bool strands = false;
    long otherStrand = 0;
    // Calls with a confidence of their coding region: the reads with a
    // region by bin of that confidence (kConfidenceBins), and of them those
    // with both ends exact.
    bool regions = false;
    std::array<long, 7> regionReads{};
    std::array<long, 7> regionExact{};

    void Add(const Tally& other);
};

// What a method calls on one read.
struct Call {
    int first = -1;  // the coding region's first and last base, -1 when none
    int last = -1;   // (the window model's last base may lie past the read's end)
    std::vector<SequencingError> errors;  // in base order
    bool confident = false;               // the method gives each error a confidence (0..1) ...
    std::vector<double> confidence;       // ... one per error
    // The frame of each codon position (-1 off the path), as the window model
    // reads the read; empty: the codons are read from a codon that begins at
    // `first`, each insertion moving the later ones by +1, each deletion by -1.
    std::vector<int> framePath;
    bool strands = false;      // decoded on both strands ...
    bool otherStrand = false;  // ... and the other one chosen (the call holds no region)
    double regionConfidence = -1.0;  // of both ends of the region, 0..1; -1 when not given
};

// Lower ends of the bins of region confidence after the first (0 up).
inline constexpr std::array<double, 6> kConfidenceBins = {0.5, 0.7, 0.8, 0.9, 0.95, 0.99};

// The call of the window model's prediction.
Call WindowCall(const Prediction& prediction);

// Upper ends of the distance bins (bases) of Tally::nearest; the bin after
// them counts farther calls, the last one errors without a call of their kind.
inline constexpr std::array<int, 6> kDistanceBins = {0, 3, 10, 30, 60, 100};

// Scores one call against its read's truth.
void Score(const SimulatedRead& read, const Call& call, Tally& tally);
void Score(const SimulatedRead& read, const Prediction& prediction, Tally& tally);

// The figures, one column per scenario: a readable table, or TSV. The mean
// confidences of right and wrong calls are shown when a tally has any.
void PrintTable(const std::vector<std::string>& names, const std::vector<Tally>& tallies, std::ostream& out);
void PrintTsv(const std::vector<std::string>& names, const std::vector<Tally>& tallies, std::ostream& out);

}  // namespace talvo::tools
