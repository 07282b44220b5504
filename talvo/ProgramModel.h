// The single-read program's one model, and the names under which the
// program's stages know its parts: the rule list, the threshold and
// pseudo-count tables, the transition table and the run-wide settings. The
// program sets them once, before its one prediction; the engine never reads
// them (it is handed a Model).
#pragma once

#include <vector>

#include "Model.h"
#include "PredictionOptions.h"

namespace talvo {

extern Model programModel;

// The program's prediction settings: the published method's, fixed.
inline constexpr PredictionOptions kProgramOptions{};

extern std::vector<fnlHypo>& fh;
extern trsldData (&codonTrsld)[kMaxRules];
extern trsldData (&pairAcidTrsld)[kMaxRules];
extern trsldData (&snglAcidTrsld)[kMaxRules];
extern double (&pairAcidPriproTable)[4][kAminoAcids][kAminoAcids][2];
extern double (&snglAcidPriproTable)[kAminoAcids][2];
extern double (&malkovChain)[4][4];

// Run-wide settings.
extern int GCID;           // G+C class 0..3
extern int LENGTHID;       // length class 0..2
extern int& WINDOW_WIDTH;  // 96 or 196 bases: the model's window width
extern int READ_ROUND;     // rules read from the parameter file

// Empties the rule list and zeroes every table (a fresh model); the window
// width stays.
void ClearModel();

}  // namespace talvo
