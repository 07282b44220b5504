// The resources a long run used, for its closing line on standard error.
#pragma once

#include <chrono>
#include <string>

namespace talvo {

// Wall time since `begin`, CPU time and peak memory of the process:
// "wall 12.3 s, CPU 20.1 s, peak memory 85 MB".
std::string ResourceSummary(std::chrono::steady_clock::time_point begin);

}  // namespace talvo
