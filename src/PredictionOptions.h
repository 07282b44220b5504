// The settings of a window-model prediction: the scores of the frame DP and
// its traceback, the score a path needs to be reported, and a bound on the
// memory one prediction may take. One value with the published method's
// settings as defaults; a program that lets them vary checks them once.
#pragma once

#include <cstddef>

namespace talvo {

struct PredictionOptions {
    // Frame DP, on the transition scores' base-10 log-odds scale.
    double startScore = 2.0;          // a path begun at a start codon
    double beginScore = -30.0;        // a path begun anywhere else; a path falling below it begins afresh
    double frameChangePrice = 20.0;   // each change of frame: one sequencing error
    double unknownClassPrice = 70.0;  // each step into a position without a scored window
    // Traceback.
    double walkStop = -20.0;       // the walk back stops at a predecessor scoring below this
    int minSteps = 60;             // a path of fewer steps back scores shortPathScore
    double shortPathScore = -10.0;
    // A path scoring acceptAbove or less is reported as no coding region.
    double acceptAbove = -9.0;
    // The most bytes the tables of one prediction (those growing with the
    // read) may take; 0 for no bound.
    std::size_t maxBytes = 0;
};

// Throws EngineError (a bad value, no file) naming the first setting that is
// not a finite number, a price below 0, or a negative step count.
void CheckOptions(const PredictionOptions& options);

// The bytes that the tables of a prediction of `length` bases may take at
// most, as maxBytes bounds them.
std::size_t PredictionBytes(std::size_t length);

}  // namespace talvo
