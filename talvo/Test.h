// The scoring, DP, traceback and error-placement operations of the run
// object, on the program's one model.
#pragma once

#include <vector>

#include "CodonTable.h"
#include "Records.h"

namespace talvo {

class Test : public ReadData {
public:
    // Class index of a class code: -10 -> 0, -1 -> 1, -22 -> 2, -100 -> 3,
    // anything else -1.
    int ChkState(int code) const;

    // Scores one window with the rule list; returns -10 when the score is
    // above 0, else -1.
    int CHKSmpl(const smplTestData& sample, double& score) const;

    // Fills the 3n DP cells (cell (i, f) at 3i+f) from the layout; replaces
    // the layout's leading-fill window classes with the first window's class.
    void MakeDPMatrix(dpNode* nodes, layout& lay) const;

    // Picks the best end cell, walks back to the path's beginning, appends n
    // entries (frame or -1) to path and returns the path's score, or -10.0
    // for a path of fewer than 60 steps. Sets pathEnd.
    double TraceBack(const dpNode* nodes, int n, std::vector<int>& path);

    // Moves each change of frame inside the path to the codon offset whose
    // shifted test window scores best.
    void FocusErrPlace(const short* bases, int length, std::vector<int>& path) const;

    int pathEnd = 0;  // codon position of the traced path's last cell
};

// An annotated sequencing error, a base position and a kind, ordered by
// errComp; for evaluation routines outside the program.
struct err {
    int pos;
    int kind;
};
inline bool errComp(const err& a, const err& b) { return a.pos < b.pos; }

}  // namespace talvo
