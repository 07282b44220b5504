// Prediction of simulated reads with a parameter directory, and the
// comparison of the predictions with the truth.
#pragma once

#include <array>
#include <iosfwd>
#include <string>
#include <vector>

#include "ErrorSimulation.h"
#include "Prediction.h"

namespace talvo::tools {

// Predicts every read as the program does with the parameter directory dir,
// on `threads` threads. Each prediction keeps its coding region, frame path
// and errors; its window classes and scores are dropped.
std::vector<Prediction> PredictReads(const std::vector<SimulatedRead>& reads, const std::string& dir, int threads);

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

    void Add(const Tally& other);
};

// Upper ends of the distance bins (bases) of Tally::nearest; the bin after
// them counts farther calls, the last one errors without a call of their kind.
inline constexpr std::array<int, 6> kDistanceBins = {0, 3, 10, 30, 60, 100};

// Scores one prediction against its read's truth.
void Score(const SimulatedRead& read, const Prediction& prediction, Tally& tally);

// The figures, one column per scenario: a readable table, or TSV.
void PrintTable(const std::vector<std::string>& names, const std::vector<Tally>& tallies, std::ostream& out);
void PrintTsv(const std::vector<std::string>& names, const std::vector<Tally>& tallies, std::ostream& out);

}  // namespace talvo::tools
