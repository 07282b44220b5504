// Peak heap use of the benchmarks: every operator new / delete of the
// benchmark process is counted.
#pragma once

#include <cstddef>

namespace talvo::bench {

// Starts a new peak measurement at the bytes now allocated.
void ResetHeapPeak();
// Most bytes allocated at once since the last reset, minus those allocated
// at the reset.
std::size_t HeapPeakBytes();
// Peak resident set size of the process so far, in bytes (never decreases).
std::size_t MaxRssBytes();

}  // namespace talvo::bench
