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

// One inferred sequencing error. An insertion is the extra base at `pos`; a
// deletion is a base missing just before base `pos` (0-based).
struct SequencingError {
    int pos;
    ErrorKind kind;
};

// The kind of error at each base of a walk along the sequence, read from a
// list of errors in base order; the bases must be visited in increasing order.
class ErrorCursor {
public:
    explicit ErrorCursor(const std::vector<SequencingError>& errors) : errors_(errors) {}
    ErrorKind At(int p) {
        while (next_ < errors_.size() && errors_[next_].pos < p) ++next_;
        return next_ < errors_.size() && errors_[next_].pos == p ? errors_[next_].kind : ErrorKind::None;
    }

private:
    const std::vector<SequencingError>& errors_;
    std::size_t next_ = 0;
};

}  // namespace talvo
