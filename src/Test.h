// Records of one prediction, window scoring, the frame DP with its
// traceback, and the placement of sequencing errors.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "CodonTable.h"

namespace talvo {

// Window classes stored per codon position and frame.
inline constexpr int kCoding = -10;
inline constexpr int kNonCoding = -1;
inline constexpr int kStopCentre = -100;
inline constexpr int kBeyondEnd = -1000;
inline constexpr int kLeadIn = -20;
// Start marks.
inline constexpr int kStartCodon = -21;
inline constexpr int kOtherCodon = -14;
// Class of the previous position when the previous DP cell begins a path.
inline constexpr int kPathBegin = -22;
// prevFrame of a DP cell that begins a path.
inline constexpr int kBeginMark = 10;

// The frame layout of one sequence. Entry i of a frame's sequence belongs to
// codon position i of that frame: the codon at bases 3i+f .. 3i+f+2.
struct layout {
    std::array<std::vector<int>, 3> codonMarks;
    std::array<std::vector<int>, 3> knownClasses;  // evaluation only
    std::array<std::vector<int>, 3> windowClasses;
    std::vector<int> knownErrors;  // evaluation only
    std::vector<int> knownFrames;  // evaluation only
    int startBase = -1;
    int stopBase = -1;
};

// One cell of the dynamic programme: codon position i, frame f.
struct dpNode {
    int prevFrame = -1;  // frame of the best predecessor, kBeginMark, or -1
    double score = -1000.0;
    int endFlag = -1;  // 1 when a path may end here
};

// One scoring rule of the model.
struct fnlHypo {
    int kind = 0;  // 0 codon rule, 2 amino-acid rule, 3 pair rule
    double weight = 0.0;
    int first = 0;
    int second = 0;
    int third = 0;
    int gap = 0;
};

// Counts of one window of codons read in one frame.
struct smplTestData {
    int32_t smplMark = -1;
    int32_t smplStart = 0;
    int32_t smplEnd = 0;
    int16_t codonCnt[4][4][4];
    int16_t pairAcidCnt[4][kAminoAcids][kAminoAcids];
    int16_t snglAcidCnt[kAminoAcids];
    int16_t pairAcidMarg[4][2][kAminoAcids];
    int16_t smplTail1 = -1;
    int16_t smplTail2 = -1;

    // Empties the counts and sets the window bounds.
    void Reset(int start, int end);
    // Counts the codon whose first base is p (p + 2 < length): its codon and
    // amino-acid counts and its pairs with the four codons downstream, each
    // bounded by the sequence end only. Codons with an unknown base count
    // for nothing. A delta of -1 takes a counted codon out again. Returns the
    // codon's amino-acid index (-1 if unknown).
    int CountCodon(const short* bases, int length, int p, int delta = 1);
    // The same, telling `touched` every count it changes: touched(-1, aa, -1)
    // for the codon's own counts, touched(g, aa, aa2) for a pair at gap g.
    template <class Touched>
    int CountCodon(const short* bases, int length, int p, int delta, Touched&& touched);
};

template <class Touched>
int smplTestData::CountCodon(const short* bases, int length, int p, int delta,
                             Touched&& touched) {
    const int aa = AminoAcidOf(bases[p], bases[p + 1], bases[p + 2]);
    if (aa < 0) return aa;
    snglAcidCnt[aa] += delta;
    codonCnt[bases[p]][bases[p + 1]][bases[p + 2]] += delta;
    touched(-1, aa, -1);
    for (int g = 0; g < 4; ++g) {
        const int q = p + 3 * (g + 1);
        if (q + 2 >= length) break;
        const int aa2 = AminoAcidOf(bases[q], bases[q + 1], bases[q + 2]);
        if (aa2 < 0) continue;
        pairAcidMarg[g][0][aa] += delta;
        pairAcidCnt[g][aa][aa2] += delta;
        pairAcidMarg[g][1][aa2] += delta;
        touched(g, aa, aa2);
    }
    return aa;
}

// Counts the window of `width` bases that starts at base `start` into a fresh
// sample: the codons at start, start+3, ... that fit both the window and the
// sequence. Returns the number of bases scanned (K); sets centreStop when the
// codon at the centre offset 3 * (width / 6) is a stop codon. The sample's
// span ends at start + K - 1.
int ScanWindow(smplTestData& sample, const short* bases, int length, int start, int width,
               bool& centreStop);

// An annotated sequencing error (evaluation only).
struct err {
    int pos;
    int kind;
};
inline bool errComp(const err& a, const err& b) { return a.pos < b.pos; }

// Transition scores of the frame DP, [current class][previous class], base-10
// log-odds; class indices as given by Test::ChkState.
extern double malkovChain[4][4];

// The feature values that the rules test, exactly as the scorer computes
// them; training measures the same values.
double CodonShare(const smplTestData& s, int b1, int b2, int b3);
int AcidCount(const smplTestData& s, int aa);
double PairAssociation(const smplTestData& s, int gap, int a1, int a2);

// The term a rule adds to a window's score: +weight when its value lies
// above the threshold, -weight otherwise (NaN included); a direction of 0
// turns the vote round.
inline double VoteTerm(bool above, int dir, double weight) {
    const double v = above ? 1.0 : -1.0;
    return (dir == 0 ? -v : v) * weight;
}

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

}  // namespace talvo
