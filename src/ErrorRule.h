// How changes of frame along the frame path become sequencing errors.
#pragma once

#include <vector>

namespace talvo {

enum class ErrorKind { None, Insertion, Deletion };

// Frame of codon position c on the path; a position beyond the path's end
// counts as off the path (-1).
inline int FrameAt(const std::vector<int>& framePath, int c) {
    return c >= 0 && c < static_cast<int>(framePath.size()) ? framePath[c] : -1;
}

// The error at base position p (p >= 3): a change of frame by +1 between
// codon positions p/3 - 1 and p/3 is an insertion on the first base of the
// codon in the old frame; a change by -1 is a deletion just before the first
// base of the codon in the new frame.
ErrorKind ErrorAt(const std::vector<int>& framePath, int p);

}  // namespace talvo
