// The class of a sequence, from its length and G+C content, which selects
// its model: the window width and the parameter and transition files.
#pragma once

#include <string>
#include <vector>

namespace talvo {

inline constexpr int kMinSequenceLength = 30;  // shorter sequences are not predicted

struct SequenceClass {
    int gcId;         // 0..3
    int lengthId;     // 0..2
    int windowWidth;  // 96 or 196
    const char* subDirectory;  // "/paramater/" or "/paramater32/"

    // Index 0..15 of the class among every class a directory holds: the
    // four of paramater32 first, then the twelve of paramater.
    int Index() const;
    // kind + "L<length>G<gc>-ex0.txt": FileName("param") is "paramL1G2-ex0.txt".
    std::string FileName(const std::string& kind) const;
    // dir + sub-directory + FileName("param"), and FileName("matrix").
    std::string ParameterPath(const std::string& dir) const;
    std::string TransitionPath(const std::string& dir) const;
};
SequenceClass ClassifySequence(int seqLen, double gcPressure);
// Every class a parameter directory holds, in Index() order.
std::vector<SequenceClass> AllSequenceClasses();

// G+C content in percent of base codes: 100 x (codes 2 and 3) / length,
// every entry counting in the denominator.
double GcPressure(const std::vector<short>& bases);

}  // namespace talvo
