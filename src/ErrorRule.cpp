#include "ErrorRule.h"

namespace talvo {

ErrorKind ErrorAt(const std::vector<int>& framePath, int p) {
    if (p < 3) return ErrorKind::None;
    const int prev = FrameAt(framePath, p / 3 - 1);
    const int cur = FrameAt(framePath, p / 3);
    if (prev < 0 || cur < 0 || prev == cur) return ErrorKind::None;
    const int r = p % 3;
    if ((cur - prev + 3) % 3 == 1) {
        // 0->1 at r 0, 1->2 at r 1, 2->0 at r 2: the old frame's codon start.
        return r == prev ? ErrorKind::Insertion : ErrorKind::None;
    }
    // 0->2 at r 2, 2->1 at r 1, 1->0 at r 0: the new frame's codon start.
    return r == cur ? ErrorKind::Deletion : ErrorKind::None;
}

}  // namespace talvo
