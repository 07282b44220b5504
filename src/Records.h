// Records of one prediction: window class codes, the frame layout of a
// sequence, the cells of the frame DP, scoring rules and window samples.
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
};

// An annotated sequencing error (evaluation only).
struct err {
    int pos;
    int kind;
};
inline bool errComp(const err& a, const err& b) { return a.pos < b.pos; }

}  // namespace talvo
