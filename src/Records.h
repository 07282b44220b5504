// Records of one prediction: window class codes, the frame layout of a
// sequence, the cells of the frame DP, scoring rules and window samples.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "GeneticCode.h"

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

}  // namespace talvo
